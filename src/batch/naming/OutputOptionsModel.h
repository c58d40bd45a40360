#pragma once

#include "batch/naming/OutputFileSetting.h"
#include "batch/naming/OutputRenamingOptions.h"

#include <QString>

// The state and rules of the renaming page and the output folder choice, without
// a widget: which options are ticked, what the sample and list fields show, which
// controls are enabled, which warning a step gives, and the renaming options
// record built from it all. The page's widgets show this state and forward each
// click to the matching method.
class OutputOptionsModel {
public:
    enum class Option { CustomName, PrefixSuffix, Date, Location, Size };
    enum class LocationPart { Place, City, State, Country };

    // Which controls take clicks (besides a drop-down being open, see enabledControls).
    struct Enabled {
        bool optionChecks = false; // the five option check boxes
        bool refresh = false; // btnRefresh
        bool keepOriginalName = true; // btnKeepOriginalFileName
        bool editOriginalName = true; // btnEditOriginalName
        bool dateListButtons = false;
        bool locationTicks = false;
        bool customNameEditable = false;
        bool prefixSuffixEditable = false;
    };

    // What Process (or Next) leads to: an alert by its tag, or the folder panel.
    struct ProcessStep {
        int alertTag = 0; // 113, 114, 115; 0 for none
        bool confirmAfterPanel = false; // edit mode: the panel is followed by a confirmation (also after Yes on 113)
    };

    static const QString kLocationSample; // "{Place}_{City}_{State}_{Country}"
    static const QString kSizeSample; // "Filename_{Width}X{Height}"
    static const QString kDefaultPosition; // "Prefix"
    static const QString kDefaultDateSource; // "Original Date/Time"
    static const QString kDefaultDateFormat; // "DDMMYYYY"

    // Keep mode, nothing ticked, the default output folder.
    OutputOptionsModel();

    // ---- Clicks ----
    // The Keep / Edit radio pair. Keep resets the whole page; Edit leaves the options as they are.
    void setEditMode(bool edit);
    // An option check box turned on or off.
    void setOption(Option option, bool on);
    // A location part tick; nothing happens while the location option is off.
    void setLocationPart(LocationPart part, bool on);
    // A row chosen in list 25, 26 or 27; an index outside the list changes nothing.
    void chooseFromList(int listType, int index);
    // The page's reset (btnRefresh, the notice's close button, every adding or removal).
    void reset();
    // The destination panel's answer: the folder as chosen (its case kept) and
    // whether each photo goes beside its source instead.
    void setDestination(const QString& folder, bool keepSourceFolder);

    // ---- Rules ----
    bool isEditMode() const { return imageRenamingOptions == 1; }
    // Edit mode and at least one option ticked: the notice shows and Next shows its edit image.
    bool isRenamingInForce() const;
    QString nextButtonImage() const;
    Enabled enabledControls(bool dropDownOpen) const;
    // Leaving the page: 114 (custom name ticked but empty), 115 (prefix/suffix ticked,
    // both empty) or 0 when the page may close. A prefix or a suffix alone is enough.
    int leavePageAlert() const;
    // Pressing Process with a valid form.
    ProcessStep processStep() const;
    // The panel closed with a folder: with confirmAfterPanel, 111 (the form holds no
    // edit), 112 (the form is invalid) or 100 (START PROCESS); without, 112 or 0 (the
    // run starts).
    static int afterPanelAlert(bool confirmAfterPanel, bool formValid, bool formChanged);

    // The record the batch and the path builder read, built afresh on every call.
    OutputRenamingOptions getOutputFileRenamingSetting() const;

    // ---- State (the names of the page's fields) ----
    int imageRenamingOptions = 0;
    // Whether any photo is ticked: renaming can only be chosen for something to rename.
    bool photosTicked = true;
    // The older output record, made with the page's state at every set-up.
    OutputFileSetting outputOptionsObject;
    int filenameCheck = 0;
    int stringCheck = 0;
    int dateTimeCheck = 0;
    int locationCheck = 0;
    int widthHeightCheck = 0;
    int placeCheck = 0;
    int cityCheck = 0;
    int stateCheck = 0;
    int countryCheck = 0;
    int selectedAsOptionIndex = 0;
    int selectedDateType = 0;
    int selectedDateFormat = 0;
    QString selectedNameChangeType;
    int destiFolderCheck = 0;
    QString outputFolderLocationPath;

    // The texts of the page's fields.
    QString txtEXIFCustomNameShow;
    QString txtAddPrefixString;
    QString txtAddSuffixString;
    QString txtEXIFas;
    QString txtEXIFtype;
    QString txtEXIFformat;
    QString txtEXIFLocationShow;
    QString txtEXIFLocationPlaceholder;
    QString txtEXIFWidthHeightShow;

private:
    int& locationPartCheck(LocationPart part);
    void resetDateFields();
    void rebuildLocationSample();
};
