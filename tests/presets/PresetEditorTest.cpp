#include "presets/PresetEditor.h"

#include "model/MetaDataObject.h"
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
