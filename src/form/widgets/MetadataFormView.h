#pragma once

#include "form/DropDownTables.h"
#include "form/FormFieldTable.h"
#include "form/MetadataFormState.h"
#include "model/DateTimeConfiguration.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class DatePanelView;
class DisableScrollView;
class AttachedPopupTable;
class FormTextView;
class Presenter;
class QAbstractButton;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

// The metadata form ("vwMetaContainer"): seven tabs of controls generated from the
// form's field table, one control per field named "txt" + field name (or the text
// view's name), with the drop-down lists, the date panel, the editing mode, the
// clear boxes and Apply / Revert. It shows and forwards; every rule lives in the
// form core (MetadataFormState, FormDisplay, FieldTyping, FieldValidation,
// DropDownTables, DatePanelModel).
//
// The form shows the record of one editor (FormRecordEditor) and hands it every
// edit, after the typing rules; it never writes a record itself:
// - the selection (the default): its own MetadataFormState speaks for the ticked
//   photos. setupUIForSelectedPhotoFiles merges them off the main thread and
//   fills the form; Apply and Revert act on the state's records.
// - another editor (setEditor), such as the preset window's editor of the chosen
//   preset: the form never merges, shows no placeholders and hides Apply and
//   Revert.
class MetadataFormView : public QWidget {
    Q_OBJECT
public:
    explicit MetadataFormView(QWidget* parent = nullptr);
    ~MetadataFormView() override;

    // ---- Selection binding ----
    MetadataFormState& state() { return m_state; }
    const MetadataFormState& state() const { return m_state; }
    void setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos);
    bool isParamsChanged() const { return m_state.isParamsChanged(); }
    bool isMetaDataResetEnable() const { return m_state.isMetaDataResetEnable(); }
    // The whole form checked before a batch or an apply: error lines shown, the
    // first invalid field brought into view. True when every check passes.
    bool isValidFormData();
    // The changed fields into the changes record (state().metaDataObjectWithUpdatedChange()).
    void createUpdatedChnagesOnly() { m_state.createUpdatedChnagesOnly(); }
    // What a batch run writes: the form record and its changed fields only, made
    // afresh from the form.
    struct RunRecords {
        std::shared_ptr<MetaDataObject> form;
        std::shared_ptr<MetaDataObject> changes;
    };
    RunRecords recordsForRun()
    {
        createUpdatedChnagesOnly();
        return { m_state.metaDataObject(), m_state.metaDataObjectWithUpdatedChange() };
    }
    // A run wrote the form's edits: none is kept or outlined any more. The caller
    // then hands the ticked photos again.
    void runEnded() { m_state.endOfRun(); }
    // Sets or clears the "edits not applied" state (an adding replaced what the
    // form showed).
    void setParamsChanged(bool changed) { m_state.isMetadataParamChanged(changed); }
    // What the ticked photos share, and the edited fields of the last Apply.
    const std::shared_ptr<MetaDataObject>& mergedRecord() const { return m_state.selectedMetatDataSettingObj(); }
    const std::shared_ptr<MetaDataObject>& appliedChanges() const
    {
        return m_state.selectedMetatDataSettingObjOnlyUpdatedFields();
    }
    // Reset, the end of a batch or an emptied list: the kept edits are dropped. The
    // caller then hands the ticked photos again.
    void resetMetadata();
    // The editing mode of the form (0, 1 or 2); "Clean Metadata info" brings its tab.
    void changeViewAccordingToMetadataOtion(int editingOption);
    // A preset laid over the form (its date settings copied).
    void appendPreset(const MetaDataObject& preset) { m_state.appendPreset(preset); }

    // ---- The map picker ----
    // btnShowMap opens the picker through the host, which knows the map's tiles, the
    // place names and the user's leave to go online. Without an opener the button is
    // hidden.
    using MapPickerOpener = std::function<void(MetadataFormView& form)>;
    void setMapPickerOpener(MapPickerOpener opener);
    // The record whose position the picker opens on: what the form shows.
    const MetaDataObject& mapPickerRecord() const { return shownRecord(); }
    // The picker's hand-over: the four GPS fields filled, or emptied, exactly as
    // typing them would (edited flags, outline, checks).
    void changeLocationToTitle(const QString& title, double latitude, double longitude);
    void removeLocationcordinates();

    // The editor's more-options button ("btnMetadataMoreOptions") beside the editing
    // mode, made on the first call, on and off with the mode; the form's owner
    // decides what it opens. A form that edits a preset has none.
    QAbstractButton* addMetadataMoreOptionsButton();

    // ---- The editor ----
    // The editor whose record the form shows and edits; nullptr gives the form
    // back to the selection. The editor outlives the form or leaves it first.
    void setEditor(FormRecordEditor* editor);
    FormRecordEditor& editor() { return m_editor ? *m_editor : static_cast<FormRecordEditor&>(m_state); }
    const FormRecordEditor& editor() const
    {
        return m_editor ? *m_editor : static_cast<const FormRecordEditor&>(m_state);
    }
    // The form speaks for the ticked photos.
    bool editsSelection() const { return !m_editor; }

    // ---- Shared ----
    // Questions to the user (the revert question). Without one, Revert acts at once.
    void setPresenter(Presenter* presenter) { m_presenter = presenter; }
    const DropDownTables& dropDownTables() const { return m_tables; }
    // segmentMetaTabTapped: shows a tab (and applies its editing-mode rule).
    void showTab(FormTab tab);
    FormTab currentTab() const;
    // Shows the panel of the form's metadata option index (always the Exif fields:
    // nothing changes the index). The argument is not read.
    void setViewForSelectedIndex(int index);
    // The view whose buttons the pop-ups disable while they are open (the form
    // itself unless set).
    void setButtonsRoot(QWidget* root);
    // The open drop-down list and the date panel's pop-up.
    AttachedPopupTable& dropDownPopup() const { return *m_popup; }
    AttachedPopupTable& datePopup() const { return *m_datePopup; }
    // The date panel, made when it is first needed (the window opens without it).
    DatePanelView& datePanel() const;
    // Puts the date panel back to its defaults; a panel not made yet has them.
    void resetDatePanel();
    // The date field the date panel edits, when it is open.
    std::optional<DateSetting> dateFieldBeingEdited() const { return m_dateSetting; }

signals:
    // isParamsChanged changed (Reset follows it).
    void paramsChangedChanged(bool changed);
    // The merged record of the selection was replaced (a fill, Apply, Revert).
    void mergedRecordChanged();
    // Apply stored the form: publish the merged and the edited-fields-only records.
    void applied();
    void reverted();
    // The merge and the fill of a big selection start (shown) and end: the owner
    // may cover more than the form meanwhile.
    void loadingChanged(bool shown, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct FieldControl {
        const FormField* field = nullptr;
        QLineEdit* line = nullptr; // line fields, numbers, drop-downs, dates
        FormTextView* textView = nullptr;
        QLabel* placeholderLabel = nullptr; // over a text view
        QLabel* errorLabel = nullptr;
        QWidget* box = nullptr; // the control whose border shows the edited outline
    };

    // Building (MetadataFormView.cpp).
    void buildForm();
    QWidget* buildTab(const FormTabInfo& tab);
    void buildFieldRow(const FormField& field, class QGridLayout* grid, int& row, QWidget* tab);
    QWidget* buildTextView(const FormField& field, FieldControl& control, QWidget* tab);
    QWidget* buildComponentBoxes(const FormField& field, QWidget* tab);
    QWidget* buildLineField(const FormField& field, FieldControl& control, QWidget* tab);
    QWidget* buildEditingOptions();
    QWidget* buildApplyRevert();
    void buildClearBoxes(QWidget* tab, class QVBoxLayout* layout);
    void buildMapButton(QWidget* tab, class QVBoxLayout* layout);
    void showPickedFieldChecks();

    // Binding (MetadataFormViewBinding.cpp).
    const MetaDataObject& editedRecord() const;
    const MetaDataObject& shownRecord() const;
    void updateTextFieldsValues();
    void showEditingOption();
    void showField(const FieldControl& control);
    void showEditedField(MetadataField field);
    void showPlaceholders();
    void highlightBorder();
    void highlight(const FieldControl& control);
    void showDateWarnings();
    void hideAllErrorLabels();
    void showFieldCheck(const FieldControl& control, const QString& text);
    void fieldTyped(const FieldControl& control, const QString& text);
    void storeEdit(const FieldControl& control, const QString& text);
    void btnDropDownTapped(const FieldControl& control);
    void btnDatePickerTapped(const FieldControl& control);
    void updateDateTimeMetaDataConfiguration();
    void btnEditingOptionTapped();
    void chooseEditingOption(int editingOption);
    void clearBoxTapped(ClearFlag flag, bool on);
    void btnApplyMetaDataTapped();
    void btnRevertExifInfoTapped();
    void btnYesOnRevertAlertTapped();
    void isMetadataParamChanged(bool changed);
    void recordsReplaced();
    void showLoading(bool shown, const QString& text);
    void scrollToField(MetadataField field);
    const FieldControl* controlFor(MetadataField field) const;

    MetadataFormState m_state;
    QPointer<FormRecordEditor> m_editor; // null: m_state
    QMetaObject::Connection m_editorFieldEdited;
    QMetaObject::Connection m_editorRecordsReplaced;
    DropDownTables m_tables;
    Presenter* m_presenter = nullptr;

    QTabBar* m_segment = nullptr;
    DisableScrollView* m_scroll = nullptr;
    QWidget* m_fieldsArea = nullptr; // vwMetaDataFields
    QList<QWidget*> m_tabs;
    int m_selectedMetaDataOptionIndex = 0;
    QList<FieldControl> m_controls; // one per form field, in table order
    QHash<int, QLabel*> m_dateWarnings; // by DateSetting
    QHash<int, QCheckBox*> m_clearBoxes; // by ClearFlag
    QLineEdit* m_editingOption = nullptr;
    QHBoxLayout* m_topRow = nullptr; // the editing mode and the owner's more-options button
    QWidget* m_editingOptions = nullptr;
    QPointer<QAbstractButton> m_moreOptions; // once the owner asked for it
    QWidget* m_applyRevert = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_revert = nullptr;
    QPushButton* m_applyNote = nullptr;
    QPushButton* m_revertNote = nullptr;
    QLabel* m_loading = nullptr;
    QPushButton* m_showMap = nullptr;
    MapPickerOpener m_mapPickerOpener;
    AttachedPopupTable* m_popup = nullptr;
    AttachedPopupTable* m_datePopup = nullptr;
    mutable DatePanelView* m_datePanel = nullptr;
    std::optional<DateSetting> m_dateSetting;
    std::optional<MetadataField> m_typingField; // the field whose keystroke is being stored
    bool m_showingTab = false;
};
