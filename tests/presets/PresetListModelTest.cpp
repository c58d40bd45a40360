#include "presets/PresetListModel.h"

#include "model/MetaDataObject.h"
#include "presets/PresetChoice.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<MetaDataObject> preset(const QString& name)
{
    auto record = std::make_shared<MetaDataObject>();
    record->name = name;
    return record;
}

class PresetListTest : public ::testing::Test {
protected:
    PresetListTest()
    {
        QObject::connect(&model, &PresetListModel::presetsChanged, [this] { ++changes; });
        QObject::connect(&model, &PresetListModel::presetRemoved,
            [this](const std::shared_ptr<MetaDataObject>& removed) { this->removed.append(removed); });
    }

    QList<std::shared_ptr<MetaDataObject>> presets { preset(u"Holiday"_s), preset(u"Studio"_s) };
    PresetListModel model { presets };
    int changes = 0;
    QList<std::shared_ptr<MetaDataObject>> removed;
};

} // namespace

TEST_F(PresetListTest, aNewPresetIsAnEmptyRecordNamedNewConfigurationAtTheTop)
{
    presets.first()->setArtist(u"Ann"_s);
    const auto added = model.addPreset();

    ASSERT_EQ(presets.size(), 3);
    EXPECT_EQ(presets.first(), added);
    EXPECT_EQ(added->name, u"New Configuration"_s);
    for (const auto& info : kMetadataFields) {
        EXPECT_EQ(added->field(info.field), u""_s) << info.name;
        EXPECT_FALSE(added->isUpdated(info.field));
    }
    EXPECT_EQ(added->editingOption, 0);
    // Its date settings are its own, not another preset's.
    EXPECT_NE(added->dateTimeConfigOriginalDate(), presets[1]->dateTimeConfigOriginalDate());
    EXPECT_EQ(model.presetNames(), QStringList({ u"New Configuration"_s, u"Holiday"_s, u"Studio"_s }));
    EXPECT_EQ(model.data(model.index(0)).toString(), u"New Configuration"_s);
    EXPECT_EQ(changes, 1);

    model.addPreset();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(changes, 2);
}

TEST_F(PresetListTest, renamingChangesOnlyThatPresetsName)
{
    EXPECT_TRUE(model.renamePreset(1, u"Atelier — Paris 山"_s));
    EXPECT_EQ(presets[1]->name, u"Atelier — Paris 山"_s);
    EXPECT_EQ(presets[0]->name, u"Holiday"_s);
    EXPECT_EQ(changes, 1);

    EXPECT_TRUE(model.setData(model.index(0), u"Beach"_s));
    EXPECT_EQ(presets[0]->name, u"Beach"_s);
    EXPECT_TRUE(model.flags(model.index(0)).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(changes, 2);

    EXPECT_TRUE(model.renamePreset(0, u"Beach"_s)); // the same name is no change
    EXPECT_EQ(changes, 2);
}

TEST_F(PresetListTest, aBlankNameOrAMissingRowIsRefused)
{
    EXPECT_FALSE(model.renamePreset(0, u""_s));
    EXPECT_FALSE(model.renamePreset(0, u"  \t"_s));
    EXPECT_FALSE(model.renamePreset(2, u"Gone"_s));
    EXPECT_FALSE(model.renamePreset(-1, u"Gone"_s));
    EXPECT_FALSE(model.setData(model.index(0), u"Other"_s, Qt::DisplayRole));
    EXPECT_EQ(model.presetNames(), QStringList({ u"Holiday"_s, u"Studio"_s }));
    EXPECT_EQ(changes, 0);
}

TEST_F(PresetListTest, removalTakesThePresetOutAndSaysWhichOne)
{
    const auto studio = presets[1];
    EXPECT_TRUE(model.removePreset(1));
    EXPECT_EQ(model.presetNames(), QStringList({ u"Holiday"_s }));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.first(), studio);
    EXPECT_EQ(changes, 1);

    EXPECT_FALSE(model.removePreset(1));
    EXPECT_FALSE(model.removePreset(-1));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(model.removePreset(0));
    EXPECT_TRUE(presets.isEmpty());
}

TEST_F(PresetListTest, editingAPresetInPlaceCountsAsAChangeOfTheList)
{
    const auto holiday = presets[0];
    holiday->setIPTC_City(u"Kraków"_s);
    holiday->setIsupdated_IPTC_City(true);
    holiday->dateTimeConfigModifyDate()->tagConfigureOption = 4;
    model.presetEdited(holiday);
    EXPECT_EQ(changes, 1);

    model.presetEdited(preset(u"not in the list"_s));
    model.presetEdited(nullptr);
    EXPECT_EQ(changes, 1);
}

TEST_F(PresetListTest, viewsShowingARemovedPresetShowNone)
{
    PresetChoice dropDown(model);
    PresetChoice window(model);
    QList<std::shared_ptr<MetaDataObject>> windowChoices;
    QObject::connect(&window, &PresetChoice::chosenPresetChanged,
        [&windowChoices](const std::shared_ptr<MetaDataObject>& chosen) { windowChoices.append(chosen); });
    const auto studio = presets[1];
    dropDown.chooseRow(1);
    window.choose(studio);
    EXPECT_EQ(window.row(), 1);

    model.addPreset(); // rows move, the choice follows the preset
    EXPECT_EQ(window.row(), 2);
    EXPECT_EQ(dropDown.preset(), studio);

    model.removePreset(1); // another preset: nothing changes
    EXPECT_EQ(window.preset(), studio);

    model.removePreset(model.rowOf(studio.get()));
    EXPECT_EQ(dropDown.preset(), nullptr);
    EXPECT_EQ(window.preset(), nullptr);
    EXPECT_EQ(window.row(), -1);
    EXPECT_EQ(windowChoices, QList<std::shared_ptr<MetaDataObject>>({ studio, nullptr }));
}

TEST_F(PresetListTest, aChoiceIsAlwaysAPresetOfTheList)
{
    PresetChoice choice(model);
    choice.choose(preset(u"stranger"_s));
    EXPECT_EQ(choice.preset(), nullptr);
    choice.chooseRow(7);
    EXPECT_EQ(choice.preset(), nullptr);

    choice.chooseRow(0);
    const auto holiday = presets[0];
    presets = { preset(u"read from the archive"_s) }; // the list replaced as a whole
    model.reload();
    EXPECT_EQ(choice.preset(), nullptr);
    EXPECT_EQ(model.presetNames(), QStringList({ u"read from the archive"_s }));

    choice.chooseRow(0);
    model.reload(); // still there: kept
    EXPECT_EQ(choice.row(), 0);
}
