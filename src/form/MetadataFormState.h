#pragma once

#include "form/FieldValidation.h"
#include "form/FormDisplay.h"
#include "form/SelectionMerge.h"
#include "form/SelectionMergeJob.h"
#include "model/FormRecordEditor.h"

#include <array>
#include <memory>

class DatePanelModel;
class MetaDataObject;

// The records of the metadata form and the operations on them, without a widget:
//
//   merged record   selectedMetatDataSettingObj: what the ticked photos share
//   snapshot        metaDataObjectBeforeSaving: the merged values for Revert, with
//                   date settings of its own so that no later edit reaches it
//   form record     metaDataObject: what the form shows and the user edits
//   changes record  metaDataObjectWithUpdatedChange: the changed fields only
//   edited record   editedMetaDataObject: every edit the user made, laid over
//                   each new selection until Reset or the end of a batch
//
// Every edit goes into the form record and the edited record with the field's
// edited flag; nothing here walks over the photos. As the form's editor
// (FormRecordEditor) it edits the form record and shows the merged one while no
// photo is ticked.
class MetadataFormState : public FormRecordEditor {
    Q_OBJECT
public:
    explicit MetadataFormState(QObject* parent = nullptr);

    const std::shared_ptr<MetaDataObject>& metaDataObject() const { return m_form; }
    const std::shared_ptr<MetaDataObject>& metaDataObjectBeforeSaving() const { return m_snapshot; }
    const std::shared_ptr<MetaDataObject>& metaDataObjectWithUpdatedChange() const { return m_changes; }
    const std::shared_ptr<MetaDataObject>& editedMetaDataObject() const { return m_edited; }
    const std::shared_ptr<MetaDataObject>& selectedMetatDataSettingObj() const { return m_merged; }
    // The changes record as the last Apply left it.
    const std::shared_ptr<MetaDataObject>& selectedMetatDataSettingObjOnlyUpdatedFields() const
    {
        return m_appliedChanges;
    }
    bool isEditedMetadataObject() const { return m_isEdited; }
    bool isParamsChanged() const { return m_isParamsChanged; }
    bool isMetaDataResetEnable() const { return m_isParamsChanged; }
    int totalPhotosSelected() const { return m_totalPhotosSelected; }
    const PlaceholderState& placeholders() const { return m_placeholders; }
    // The record whose fields the controls show: the form record, or after an
    // empty selection the empty merged record (the mode and clear boxes always come
    // from the form record).
    const MetaDataObject& displayRecord() const;

    // ---- FormRecordEditor ----
    const MetaDataObject* record() const override { return m_form.get(); }
    const MetaDataObject* shownRecord() const override { return &displayRecord(); }
    bool acceptsEdits() const override { return m_totalPhotosSelected > 0; }
    // A text for a field as it is stored (the form view has passed the typed text
    // through FieldTyping).
    bool editField(MetadataField field, const QString& text) override;
    // changeViewAccordingToMetadataOtion: the editing mode of the form, edited and
    // merged records; a mode outside 0 to 2 is refused.
    bool setEditingOption(int editingOption) override;
    bool setClearFlag(ClearFlag flag, bool on) override;
    // A date setting for the date, held by the form and edited records, and its
    // summary written into the date field.
    bool setDateTimeConfiguration(
        DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary) override;

    // setupUIForSelectedPhotoFiles: merges the ticked photos off the main thread
    // and fills the form with the newest merge (an empty list at once, before this
    // returns). The form counts as unchanged until the fill; from 5001 photos
    // loadingChanged brackets the merge and the fill with "Please Wait...".
    void setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos);
    SelectionMergeJob& mergeJob() { return m_job; }
    static const QString kPleaseWait; // "Please Wait..."

    // The editing mode a tab asks for: the clean tab the "Clean Metadata info"
    // mode; leaving it, mode 0; any other tab keeps the mode the user chose.
    static int editingOptionForTab(FormTab tab, int currentEditingOption);

    // The fill after a merge: merged record published, snapshot, form record and an
    // empty changes record made from it, kept edits laid over the form record (the
    // form then counts as changed), placeholders computed. Emits recordsReplaced.
    void fill(const MergeResult& result);

    // updateDateTimeMetaDataConfiguration: setDateTimeConfiguration with a new
    // setting built from the date panel and its summary.
    void updateDateTimeMetaDataConfiguration(DateSetting setting, const DatePanelModel& panel);
    // A preset laid over the form and edited records: the fields and date settings
    // it sets replace the form's, the form's other edits and date settings stay in
    // force with their edit marks. The records take copies of the preset's date
    // settings, so later edits in the form never change the stored preset.
    void appendPreset(const MetaDataObject& preset);
    // The preset sets that date: its field has a text or an edit mark, or its
    // setting changes the date.
    static bool presetSetsDate(const MetaDataObject& preset, DateSetting setting);

    // createUpdatedChnagesOnly: the changes record becomes the form record's
    // edited-fields-only twin against the merged record (MetaDataObject::editedFieldsOnlyCopy),
    // the very record the batch hands to the writer.
    void createUpdatedChnagesOnly();
    // isMetadataParamChanged: the form holds edits not yet applied or reverted.
    void isMetadataParamChanged(bool changed);
    // isValidFormData: the form record checked before a batch or an apply
    // (FieldValidation::isValidFormData of this editor: GPS signs settled first).
    FormValidationResult isValidFormData();

    // Apply: when the form is valid, the merged record becomes a copy of the form
    // record and the changes are kept as the applied ones. Answers the check.
    FormValidationResult apply();
    // Revert: back to the snapshot, with no edits kept (they would otherwise come
    // back with the next change of selection).
    void revert();
    // Reset, the end of a batch or an emptied photo list: the kept edits are
    // dropped. The caller merges the ticked photos again.
    void reset();
    // The end of a run: the kept edits are dropped and no field stays marked as an
    // edit (no outline, nothing to Reset). The caller fills the form again.
    void endOfRun();

    // showDateWariningifGreterThanToday: the warning of each of the six dates ("" for none).
    std::array<QString, kDateSettingCount> dateWarnings() const { return dateWarnings(*m_form); }
    static std::array<QString, kDateSettingCount> dateWarnings(const MetaDataObject& record);

    // A copy of a record (initWithObject) whose date settings are copies too.
    static std::shared_ptr<MetaDataObject> copyWithOwnDateSettings(const MetaDataObject& source);

    // Besides the editor's signals (recordsReplaced after a fill, Revert or a
    // preset; fieldEdited for a field of the form record typed, chosen or set by
    // the date panel):
signals:
    // isParamsChanged changed: Reset enabled, the Apply and Revert notes hidden.
    void paramsChangedChanged(bool changed);
    // The "Please Wait..." overlay over the form, shown and hidden by the same test.
    void loadingChanged(bool shown, const QString& text);
    // isEditedMetadataObject changed: the form took its first kept edit (typed,
    // chosen, a mode, a preset), or they were all dropped (Reset, Revert, a run).
    void editsKeptChanged(bool kept);

private:
    // Erases others (mode 1), or cleans with a box ticked: a mode that changes the
    // photos without any field edited.
    static bool modeWritesOnItsOwn(const MetaDataObject& record);
    void storeEdit(MetadataField field, const QString& text);
    void keepEdits(bool kept);

    std::shared_ptr<MetaDataObject> m_merged;
    std::shared_ptr<MetaDataObject> m_snapshot;
    std::shared_ptr<MetaDataObject> m_form;
    std::shared_ptr<MetaDataObject> m_changes;
    std::shared_ptr<MetaDataObject> m_edited;
    std::shared_ptr<MetaDataObject> m_appliedChanges;
    bool m_isEdited = false;
    bool m_isParamsChanged = false;
    int m_totalPhotosSelected = 0;
    PlaceholderState m_placeholders;
    SelectionMergeJob m_job;
    bool m_loadingShown = false;
};
