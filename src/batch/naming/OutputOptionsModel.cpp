#include "batch/naming/OutputOptionsModel.h"

#include "batch/naming/RenamingChoiceLists.h"

using namespace Qt::Literals::StringLiterals;

const QString OutputOptionsModel::kLocationSample = u"{Place}_{City}_{State}_{Country}"_s;
const QString OutputOptionsModel::kSizeSample = u"Filename_{Width}X{Height}"_s;
const QString OutputOptionsModel::kDefaultPosition = u"Prefix"_s;
const QString OutputOptionsModel::kDefaultDateSource = u"Original Date/Time"_s;
const QString OutputOptionsModel::kDefaultDateFormat = u"DDMMYYYY"_s;

OutputOptionsModel::OutputOptionsModel()
    : outputFolderLocationPath(OutputRenamingOptions::defaultOutputFolder())
{
    resetDateFields();
}

void OutputOptionsModel::resetDateFields()
{
    txtEXIFas = kDefaultPosition;
    txtEXIFtype = kDefaultDateSource;
    txtEXIFformat = kDefaultDateFormat;
}

void OutputOptionsModel::setEditMode(bool edit)
{
    if (edit) {
        imageRenamingOptions = 1;
        return;
    }
    reset();
}

void OutputOptionsModel::setOption(Option option, bool on)
{
    const int state = on ? 1 : 0;
    switch (option) {
    case Option::Date:
        dateTimeCheck = state;
        if (!on)
            resetDateFields();
        selectedAsOptionIndex = 0;
        selectedDateType = 0;
        selectedDateFormat = 0;
        break;
    case Option::Location:
        locationCheck = state;
        placeCheck = cityCheck = stateCheck = countryCheck = state;
        txtEXIFLocationShow = on ? kLocationSample : QString();
        break;
    case Option::Size:
        widthHeightCheck = state;
        txtEXIFWidthHeightShow = on ? kSizeSample : QString();
        break;
    case Option::CustomName:
        filenameCheck = state;
        if (!on)
            txtEXIFCustomNameShow.clear();
        break;
    case Option::PrefixSuffix:
        stringCheck = state;
        if (!on) {
            txtAddPrefixString.clear();
            txtAddSuffixString.clear();
        }
        break;
    }
}

int& OutputOptionsModel::locationPartCheck(LocationPart part)
{
    switch (part) {
    case LocationPart::Place:
        return placeCheck;
    case LocationPart::City:
        return cityCheck;
    case LocationPart::State:
        return stateCheck;
    case LocationPart::Country:
        break;
    }
    return countryCheck;
}

void OutputOptionsModel::rebuildLocationSample()
{
    QString sample;
    if (placeCheck == 1)
        sample += u"_{Place}"_s;
    if (cityCheck == 1)
        sample += u"_{City}"_s;
    if (stateCheck == 1)
        sample += u"_{State}"_s;
    if (countryCheck == 1)
        sample += u"_{Country}"_s;
    txtEXIFLocationShow = sample.mid(1);
    txtEXIFLocationPlaceholder = txtEXIFLocationShow;
}

void OutputOptionsModel::setLocationPart(LocationPart part, bool on)
{
    if (locationCheck != 1)
        return;
    locationPartCheck(part) = on ? 1 : 0;
    rebuildLocationSample();
    if (placeCheck == 0 && cityCheck == 0 && stateCheck == 0 && countryCheck == 0) {
        // The last part gone turns the option off; the placeholder shows what it would give.
        locationCheck = 0;
        txtEXIFLocationShow.clear();
        txtEXIFLocationPlaceholder = kLocationSample;
    }
}

void OutputOptionsModel::chooseFromList(int listType, int index)
{
    const QStringList rows = RenamingChoiceLists::rows(listType);
    if (index < 0 || index >= rows.size())
        return;
    switch (listType) {
    case RenamingChoiceLists::Position:
        txtEXIFas = rows[index];
        selectedAsOptionIndex = index;
        break;
    case RenamingChoiceLists::DateSource:
        txtEXIFtype = rows[index];
        selectedDateType = index;
        break;
    case RenamingChoiceLists::DateFormat:
        txtEXIFformat = rows[index];
        selectedDateFormat = index;
        break;
    default:
        return;
    }
    selectedNameChangeType = rows[index];
}

void OutputOptionsModel::reset()
{
    // The list indexes and the location placeholder stay; ticking the date option zeroes the indexes.
    imageRenamingOptions = 0;
    filenameCheck = stringCheck = dateTimeCheck = locationCheck = widthHeightCheck = 0;
    placeCheck = cityCheck = stateCheck = countryCheck = 0;
    txtAddPrefixString.clear();
    txtAddSuffixString.clear();
    txtEXIFCustomNameShow.clear();
    txtEXIFLocationShow.clear();
    txtEXIFWidthHeightShow.clear();
    resetDateFields();
}

void OutputOptionsModel::setDestination(const QString& folder, bool keepSourceFolder)
{
    outputFolderLocationPath = folder;
    destiFolderCheck = keepSourceFolder ? 1 : 0;
}

bool OutputOptionsModel::isRenamingInForce() const
{
    return getOutputFileRenamingSetting().isRenamingInForce();
}

QString OutputOptionsModel::nextButtonImage() const
{
    return isRenamingInForce() ? u"rename_option_Edit_normal"_s : u"rename_option_normal"_s;
}

OutputOptionsModel::Enabled OutputOptionsModel::enabledControls(bool dropDownOpen) const
{
    Enabled enabled;
    enabled.optionChecks = isEditMode() && !dropDownOpen;
    enabled.refresh = isEditMode() && !dropDownOpen;
    enabled.keepOriginalName = !dropDownOpen;
    // An open list leaves the mode's Rename side alone: only Keep takes no click then.
    enabled.editOriginalName = photosTicked;
    enabled.dateListButtons = dateTimeCheck == 1 && !dropDownOpen;
    // The location ticks stay usable while a list is open, as long as their option is on.
    enabled.locationTicks = locationCheck == 1;
    enabled.customNameEditable = filenameCheck == 1;
    enabled.prefixSuffixEditable = stringCheck == 1;
    return enabled;
}

int OutputOptionsModel::leavePageAlert() const
{
    const OutputRenamingOptions options = getOutputFileRenamingSetting();
    if (options.renamingOptionIndex != 1)
        return 0;
    if (options.replaceFilenameCheck == 1 && txtEXIFCustomNameShow.isEmpty())
        return 114;
    if (options.addStringCheck == 1 && txtAddPrefixString.isEmpty() && txtAddSuffixString.isEmpty())
        return 115;
    return 0;
}

OutputOptionsModel::ProcessStep OutputOptionsModel::processStep() const
{
    const OutputRenamingOptions options = getOutputFileRenamingSetting();
    ProcessStep step;
    if (options.renamingOptionIndex != 1)
        return step;
    // Yes on 113 goes on to the panel without renaming, still with the confirmation.
    step.confirmAfterPanel = true;
    step.alertTag = options.isRenamingInForce() ? leavePageAlert() : 113;
    return step;
}

int OutputOptionsModel::afterPanelAlert(bool confirmAfterPanel, bool formValid, bool formChanged)
{
    if (!confirmAfterPanel)
        return formValid ? 0 : 112;
    if (!formChanged)
        return 111;
    return formValid ? 100 : 112;
}

OutputRenamingOptions OutputOptionsModel::getOutputFileRenamingSetting() const
{
    OutputRenamingOptions options;
    options.renamingOptionIndex = imageRenamingOptions;
    options.addStringCheck = stringCheck;
    options.addEXIFDateTimeCheck = dateTimeCheck;
    options.addEXIFLocationCheck = locationCheck;
    options.appendWidthHeightCheck = widthHeightCheck;
    options.replaceFilenameCheck = filenameCheck;
    options.sourseFolderSelected = destiFolderCheck;
    options.ouptputFolderPathName = outputFolderLocationPath;
    if (stringCheck == 1) {
        options.addString.addStringPrefixValue = txtAddPrefixString;
        options.addString.addStringSuffixValue = txtAddSuffixString;
    }
    if (dateTimeCheck == 1) {
        options.addEXIFDateTime.asValue = selectedAsOptionIndex;
        options.addEXIFDateTime.typeValue = selectedDateType;
        options.addEXIFDateTime.formatValue = selectedDateFormat;
    }
    if (locationCheck == 1) {
        options.addEXIFLocation.locationDetailFull = txtEXIFLocationShow;
        options.addEXIFLocation.placeTick = placeCheck;
        options.addEXIFLocation.cityTick = cityCheck;
        options.addEXIFLocation.countryTick = countryCheck;
        options.addEXIFLocation.stateTick = stateCheck;
    }
    if (widthHeightCheck == 1)
        options.appendWidthHeight.widthHeightValue = txtEXIFWidthHeightShow;
    if (filenameCheck == 1)
        options.replaceFilename.customNameValue = txtEXIFCustomNameShow;
    return options;
}
