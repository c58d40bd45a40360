#include "batch/naming/OutputOptionsModel.h"

#include "batch/naming/RenamingChoiceLists.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

using Option = OutputOptionsModel::Option;
using Part = OutputOptionsModel::LocationPart;

TEST(OutputOptionsModel, aNewPageBuildsARecordThatKeepsNamesWhateverItsFieldsShow)
{
    OutputOptionsModel panel;
    panel.txtAddPrefixString = u"typed but not ticked"_s;
    const OutputRenamingOptions options = panel.getOutputFileRenamingSetting();
    EXPECT_EQ(options.renamingOptionIndex, 0);
    EXPECT_EQ(options.addStringCheck + options.addEXIFDateTimeCheck + options.addEXIFLocationCheck
            + options.appendWidthHeightCheck + options.replaceFilenameCheck,
        0);
    EXPECT_EQ(options.sourseFolderSelected, 0);
    EXPECT_EQ(options.ouptputFolderPathName, OutputRenamingOptions::defaultOutputFolder());
    EXPECT_TRUE(options.addString.addStringPrefixValue.isEmpty());
    EXPECT_EQ(panel.nextButtonImage(), u"rename_option_normal"_s);
}

TEST(OutputOptionsModel, theRecordCarriesOnlyTheTickedOptionsAndTheFolderAsChosen)
{
    OutputOptionsModel panel;
    panel.setEditMode(true);
    panel.setOption(Option::Date, true);
    panel.chooseFromList(RenamingChoiceLists::Position, 1);
    panel.chooseFromList(RenamingChoiceLists::DateSource, 2);
    panel.chooseFromList(RenamingChoiceLists::DateFormat, 19);
    panel.setOption(Option::CustomName, true);
    panel.txtEXIFCustomNameShow = u"Holiday"_s;
    panel.txtAddSuffixString = u"_x"_s; // prefix/suffix not ticked
    panel.setDestination(u"/media/Ann/Card Backup"_s, false);

    const OutputRenamingOptions options = panel.getOutputFileRenamingSetting();
    EXPECT_EQ(options.renamingOptionIndex, 1);
    EXPECT_EQ(options.addEXIFDateTimeCheck, 1);
    EXPECT_EQ(options.addEXIFDateTime.asValue, 1);
    EXPECT_EQ(options.addEXIFDateTime.typeValue, 2);
    EXPECT_EQ(options.addEXIFDateTime.formatValue, 19);
    EXPECT_EQ(options.replaceFilename.customNameValue, u"Holiday"_s);
    EXPECT_TRUE(options.addString.addStringSuffixValue.isEmpty());
    EXPECT_EQ(options.ouptputFolderPathName, u"/media/Ann/Card Backup"_s);
    EXPECT_TRUE(panel.isRenamingInForce());
    EXPECT_EQ(panel.nextButtonImage(), u"rename_option_Edit_normal"_s);
    EXPECT_EQ(panel.txtEXIFtype, u"Modify Date"_s);
    EXPECT_EQ(panel.txtEXIFformat, u"YYYY-MM-DD_HH-MM-SS"_s);
    EXPECT_EQ(panel.selectedNameChangeType, u"YYYY-MM-DD_HH-MM-SS"_s);

    panel.chooseFromList(RenamingChoiceLists::DateFormat, 20);
    EXPECT_EQ(panel.selectedDateFormat, 19) << "a row outside the list changes nothing";

    // Unticking the date resets its fields and its indexes.
    panel.setOption(Option::Date, false);
    EXPECT_EQ(panel.txtEXIFas, u"Prefix"_s);
    EXPECT_EQ(panel.txtEXIFtype, u"Original Date/Time"_s);
    EXPECT_EQ(panel.txtEXIFformat, u"DDMMYYYY"_s);
    EXPECT_EQ(panel.selectedAsOptionIndex + panel.selectedDateType + panel.selectedDateFormat, 0);
}

TEST(OutputOptionsModel, theLocationSampleFollowsThePartsInTheirFixedOrder)
{
    OutputOptionsModel panel;
    panel.setEditMode(true);
    panel.setLocationPart(Part::City, false);
    EXPECT_EQ(panel.cityCheck, 0) << "no part changes while the option is off";

    panel.setOption(Option::Location, true);
    EXPECT_EQ(panel.txtEXIFLocationShow, u"{Place}_{City}_{State}_{Country}"_s);
    panel.setLocationPart(Part::State, false);
    panel.setLocationPart(Part::Place, false);
    EXPECT_EQ(panel.txtEXIFLocationShow, u"{City}_{Country}"_s);
    const OutputRenamingOptions options = panel.getOutputFileRenamingSetting();
    EXPECT_EQ(options.addEXIFLocation.placeTick, 0);
    EXPECT_EQ(options.addEXIFLocation.cityTick, 1);
    EXPECT_EQ(options.addEXIFLocation.locationDetailFull, u"{City}_{Country}"_s);

    panel.setLocationPart(Part::Country, false);
    panel.setLocationPart(Part::City, false);
    EXPECT_EQ(panel.locationCheck, 0) << "the last part gone turns the option off";
    EXPECT_TRUE(panel.txtEXIFLocationShow.isEmpty());
    EXPECT_EQ(panel.txtEXIFLocationPlaceholder, u"{Place}_{City}_{State}_{Country}"_s);
    EXPECT_FALSE(panel.enabledControls(false).locationTicks);
}

TEST(OutputOptionsModel, keepModeResetsThePageButKeepsTheListIndexes)
{
    OutputOptionsModel panel;
    panel.setEditMode(true);
    panel.setOption(Option::PrefixSuffix, true);
    panel.txtAddPrefixString = u"A_"_s;
    panel.setOption(Option::Size, true);
    panel.setOption(Option::Date, true);
    panel.chooseFromList(RenamingChoiceLists::DateSource, 1);
    EXPECT_EQ(panel.txtEXIFWidthHeightShow, u"Filename_{Width}X{Height}"_s);

    panel.setEditMode(false);
    EXPECT_FALSE(panel.isEditMode());
    EXPECT_EQ(panel.stringCheck + panel.widthHeightCheck + panel.dateTimeCheck, 0);
    EXPECT_TRUE(panel.txtAddPrefixString.isEmpty());
    EXPECT_TRUE(panel.txtEXIFWidthHeightShow.isEmpty());
    EXPECT_EQ(panel.txtEXIFtype, u"Original Date/Time"_s);
    EXPECT_EQ(panel.selectedDateType, 1);
    EXPECT_FALSE(panel.isRenamingInForce());
}

TEST(OutputOptionsModel, controlsFollowTheModeTheTicksAndAnOpenList)
{
    OutputOptionsModel panel;
    OutputOptionsModel::Enabled enabled = panel.enabledControls(false);
    EXPECT_FALSE(enabled.optionChecks);
    EXPECT_FALSE(enabled.refresh);
    EXPECT_FALSE(enabled.dateListButtons);

    panel.setEditMode(true);
    panel.setOption(Option::Date, true);
    panel.setOption(Option::Location, true);
    panel.setOption(Option::CustomName, true);
    enabled = panel.enabledControls(false);
    EXPECT_TRUE(enabled.optionChecks && enabled.refresh && enabled.dateListButtons && enabled.locationTicks);
    EXPECT_TRUE(enabled.customNameEditable);
    EXPECT_FALSE(enabled.prefixSuffixEditable);

    enabled = panel.enabledControls(true);
    EXPECT_FALSE(enabled.optionChecks || enabled.refresh || enabled.dateListButtons || enabled.keepOriginalName);
    EXPECT_TRUE(enabled.locationTicks) << "the location ticks stay usable while a list is open";
    EXPECT_TRUE(enabled.editOriginalName) << "an open list leaves Rename files usable";

    // Renaming is for ticked photos: without any, Rename files takes no click, whatever the mode.
    EXPECT_TRUE(panel.enabledControls(false).editOriginalName);
    panel.photosTicked = false;
    EXPECT_FALSE(panel.enabledControls(false).editOriginalName);
    EXPECT_TRUE(panel.enabledControls(false).keepOriginalName);
}

TEST(OutputOptionsModel, theOlderOutputRecordIsMadeWithItsDefaultsAtEverySetUp)
{
    OutputOptionsModel panel;
    panel.outputOptionsObject.outputFormatConpressionQuality = 10;
    panel = OutputOptionsModel();
    const OutputFileSetting& older = panel.outputOptionsObject;
    EXPECT_EQ(older.outputFormatConpressionQuality, 75);
    EXPECT_EQ(older.ouptputFolder, OutputRenamingOptions::defaultOutputFolder());
    EXPECT_TRUE(older.outputFolderPath.isEmpty() && older.outputFileNamePrefixValue.isEmpty());
    EXPECT_EQ(older.nameSave + older.citySave + older.countrySave, 3);
    EXPECT_EQ(older.outputFormat + older.outputFolderOption + older.sourceFolderSelected + older.dateTypeValue, 0);
}

TEST(OutputOptionsModel, processAndLeavingThePageWarnAboutAnEmptyNameOrAffix)
{
    OutputOptionsModel panel;
    EXPECT_EQ(panel.processStep().alertTag, 0);
    EXPECT_FALSE(panel.processStep().confirmAfterPanel) << "keep mode: the run starts after the panel";

    panel.setEditMode(true);
    EXPECT_EQ(panel.leavePageAlert(), 0) << "edit mode with nothing ticked leaves without a warning";
    EXPECT_EQ(panel.processStep().alertTag, 113);
    EXPECT_TRUE(panel.processStep().confirmAfterPanel);

    panel.setOption(Option::CustomName, true);
    EXPECT_EQ(panel.leavePageAlert(), 114);
    EXPECT_EQ(panel.processStep().alertTag, 114);
    panel.txtEXIFCustomNameShow = u"X"_s;
    panel.setOption(Option::PrefixSuffix, true);
    EXPECT_EQ(panel.processStep().alertTag, 115);
    panel.txtAddPrefixString = u"A_"_s;
    EXPECT_EQ(panel.processStep().alertTag, 0) << "a prefix alone is enough";

    panel.setOption(Option::CustomName, false);
    panel.setOption(Option::PrefixSuffix, false);
    panel.setOption(Option::Date, true);
    EXPECT_EQ(panel.processStep().alertTag, 0) << "only the date ticked needs no text";

    EXPECT_EQ(OutputOptionsModel::afterPanelAlert(false, true, false), 0);
    EXPECT_EQ(OutputOptionsModel::afterPanelAlert(false, false, true), 112);
    EXPECT_EQ(OutputOptionsModel::afterPanelAlert(true, true, false), 111);
    EXPECT_EQ(OutputOptionsModel::afterPanelAlert(true, false, true), 112);
    EXPECT_EQ(OutputOptionsModel::afterPanelAlert(true, true, true), 100);
}

TEST(RenamingChoiceLists, holdTheThreeDateListsAndSizeTheirPopUp)
{
    EXPECT_EQ(RenamingChoiceLists::rows(25), QStringList({ u"Prefix"_s, u"Suffix"_s }));
    EXPECT_EQ(
        RenamingChoiceLists::rows(26), QStringList({ u"Original Date/Time"_s, u"Creation Date"_s, u"Modify Date"_s }));
    const QStringList formats = RenamingChoiceLists::rows(27);
    ASSERT_EQ(formats.size(), 20);
    EXPECT_EQ(formats.front(), u"DDMMYYYY"_s);
    EXPECT_EQ(formats[10], u"MM-DD-YYYY"_s);
    EXPECT_EQ(formats.back(), u"YYYY-MM-DD_HH-MM-SS"_s);
    EXPECT_TRUE(RenamingChoiceLists::rows(24).isEmpty());

    EXPECT_EQ(RenamingChoiceLists::popupHeight(25), 68);
    EXPECT_EQ(RenamingChoiceLists::popupHeight(26), 98);
    EXPECT_EQ(RenamingChoiceLists::popupHeight(27), 186);
    EXPECT_EQ(RenamingChoiceLists::popupWidth(120), 118);
    EXPECT_EQ(RenamingChoiceLists::listForButtonTag(603), RenamingChoiceLists::DateSource);
    EXPECT_FALSE(RenamingChoiceLists::listForButtonTag(605).has_value());
}
