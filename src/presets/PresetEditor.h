#pragma once

#include "model/FormRecordEditor.h"
#include "model/MetadataFields.h"

#include <QString>
#include <memory>

class DateTimeConfiguration;
class MetaDataObject;
class PresetChoice;
class PresetListModel;

// The edits of the preset window's form, made on the chosen preset itself: a typed
// field, the editing mode, a clear box, a date setting from the date panel. Each
// edit marks the field as edited, as the editor's form does, and counts as a change
// of the preset list at once, so the archive holds it even if the program ends
// without quitting. With no preset chosen an edit does nothing and answers false.
// Another choice replaces the record the form shows.
class PresetEditor : public FormRecordEditor {
    Q_OBJECT
public:
    PresetEditor(PresetListModel& model, PresetChoice& choice, QObject* parent = nullptr);

    // The chosen preset.
    const MetaDataObject* record() const override;
    // A text for a field, after the form's typing rules.
    bool editField(MetadataField field, const QString& text) override;
    bool setEditingOption(int editingOption) override;
    bool setClearFlag(ClearFlag flag, bool on) override;
    // The preset holds the setting from now on; no other record shares it.
    bool setDateTimeConfiguration(
        DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary) override;

private:
    MetaDataObject* editable() const;
    void edited();

    PresetListModel& m_model;
    PresetChoice& m_choice;
};
