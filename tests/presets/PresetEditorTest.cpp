#include "presets/PresetEditor.h"

#include "model/MetaDataObject.h"
#include "model/ProjectSession.h"
#include "presets/PresetChoice.h"
#include "presets/PresetListModel.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class PresetEditorTest : public ::testing::Test {
protected:
    PresetEditorTest()
    {
        QObject::connect(&model, &PresetListModel::presetsChanged, [this] { ++changes; });
        model.addPreset();
        model.addPreset();
        changes = 0;
        other = presets[1];
    }

    QList<std::shared_ptr<MetaDataObject>> presets;
    PresetListModel model { presets };
    PresetChoice window { model };
    PresetEditor editor { model, window };
    std::shared_ptr<MetaDataObject> other;
    int changes = 0;
};

} // namespace

TEST_F(PresetEditorTest, editsGoIntoTheChosenPresetAtOnceMarkedAsEdited)
{
    window.chooseRow(0);
    const auto preset = window.preset();
    EXPECT_TRUE(editor.editField(MetadataField::IPTC_City, u"Zürich"_s));
    EXPECT_TRUE(editor.editField(MetadataField::Artist, u""_s)); // an emptied field is an edit too
    EXPECT_TRUE(editor.setEditingOption(MetaDataObject::CleanMetadataInfo));
    EXPECT_TRUE(editor.setClearFlag(ClearFlag::GpsInfo, true));

    EXPECT_EQ(preset->IPTC_City(), u"Zürich"_s);
    EXPECT_TRUE(preset->isupdated_IPTC_City());
    EXPECT_TRUE(preset->isupdated_Artist());
    EXPECT_FALSE(preset->isupdated_Copyright());
    EXPECT_EQ(preset->editingOption, MetaDataObject::CleanMetadataInfo);
    EXPECT_TRUE(preset->clearGpsInfo);
    EXPECT_EQ(changes, 4); // each edit is saved on its own
    EXPECT_EQ(other->IPTC_City(), u""_s);
}

TEST_F(PresetEditorTest, aDateSettingFromThePanelBelongsToThePresetAlone)
{
    window.chooseRow(0);
    const auto preset = window.preset();
    auto shift = std::make_shared<DateTimeConfiguration>();
    shift->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    shift->stringIncDecHour = u"2"_s;
    EXPECT_TRUE(editor.setDateTimeConfiguration(DateSetting::ModifyDate, shift, u"+2 hours"_s));

    EXPECT_EQ(preset->dateTimeConfigModifyDate(), shift);
    EXPECT_EQ(preset->Date_Modify(), u"+2 hours"_s);
    EXPECT_TRUE(preset->isupdated_Date_Modify());
    EXPECT_EQ(other->dateTimeConfigModifyDate()->option(), DateTimeConfiguration::KeepOriginal);
    EXPECT_EQ(changes, 1);

    // An XMP date setting writes into its own field.
    EXPECT_TRUE(editor.setDateTimeConfiguration(DateSetting::PhotoshopCreationDate, nullptr, u"Empty"_s));
    EXPECT_EQ(preset->XMP_PhotoshopDateCreated(), u"Empty"_s);
    EXPECT_NE(preset->dateTimeConfigPhotoshopCreationDate(), nullptr);
}

TEST_F(PresetEditorTest, withoutAChosenPresetNothingIsEdited)
{
    EXPECT_FALSE(editor.editField(MetadataField::Artist, u"Ann"_s));
    EXPECT_FALSE(editor.setEditingOption(1));
    EXPECT_FALSE(editor.setClearFlag(ClearFlag::Exif, true));
    EXPECT_FALSE(editor.setDateTimeConfiguration(DateSetting::OriginalDate, nullptr, u"x"_s));

    window.chooseRow(0);
    const auto removed = window.preset();
    model.removePreset(0); // the open preset removed: the window shows none and edits stop
    changes = 0;
    EXPECT_FALSE(editor.editField(MetadataField::Artist, u"Ann"_s));
    EXPECT_EQ(removed->Artist(), u""_s);
    EXPECT_EQ(changes, 0);

    window.chooseRow(0);
    EXPECT_FALSE(editor.setEditingOption(3)); // no such mode
    EXPECT_FALSE(editor.setEditingOption(-1));
    EXPECT_EQ(window.preset()->editingOption, 0);
}

TEST_F(PresetEditorTest, presetsMadeAndEditedHereSurviveARestart)
{
    window.chooseRow(0);
    model.renamePreset(0, u"Studio Köln — 写真"_s);
    editor.editField(MetadataField::IPTC_City, u"Köln"_s);
    editor.setEditingOption(MetaDataObject::ModifyEditedClearOthers);
    editor.setClearFlag(ClearFlag::XMP, true);
    auto chosen = std::make_shared<DateTimeConfiguration>();
    chosen->tagConfigureOption = DateTimeConfiguration::ChosenDate;
    chosen->stringSelectedDate = u"2021:06:01 12:00:00"_s;
    editor.setDateTimeConfiguration(DateSetting::XMPCreationDate, chosen, u"2021:06:01 12:00:00"_s);

    // What the application stores at every change, read back at the next start.
    QList<std::shared_ptr<MetaDataObject>> restarted
        = ProjectSession::unarchive(ProjectSession::archivedData(presets)).presets;
    PresetListModel reloaded(restarted);
    ASSERT_EQ(reloaded.presetNames(), QStringList({ u"Studio Köln — 写真"_s, u"New Configuration"_s }));
    const auto back = reloaded.presetAt(0);
    EXPECT_EQ(back->IPTC_City(), u"Köln"_s);
    EXPECT_EQ(back->XMP_CreationDate(), u"2021:06:01 12:00:00"_s);
    EXPECT_EQ(back->editingOption, MetaDataObject::ModifyEditedClearOthers);
    EXPECT_TRUE(back->clearXMP);
    EXPECT_EQ(*back->dateTimeConfigXMPCreationDate(), *chosen);
    EXPECT_EQ(back->dateTimeConfigOriginalDate()->option(), DateTimeConfiguration::KeepOriginal);
}
