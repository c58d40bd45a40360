#pragma once

#include "model/MetadataFields.h"

#include <QObject>
#include <QString>
#include <memory>

class DateTimeConfiguration;
class MetaDataObject;

// What the metadata form edits: one record and the four edits a user makes in it.
// The form view holds one editor and shows what it announces; it never writes a
// record itself. The editor of the ticked photos (MetadataFormState) and the
// editor of a preset (PresetEditor) both implement it, which is why it sits on the
// model floor: the form and the presets stand side by side and may not include
// each other, and the interface speaks of records only.
//
// Texts reach an editor as they are stored: the form view passes whatever is typed
// through the typing rules (FieldTyping) before it calls editField.
class FormRecordEditor : public QObject {
    Q_OBJECT
public:
    explicit FormRecordEditor(QObject* parent = nullptr);
    ~FormRecordEditor() override;

    // The record being edited: its mode, clear flags, date settings and edited
    // flags. nullptr when there is none (no preset chosen).
    virtual const MetaDataObject* record() const = 0;
    // The record whose texts the fields show: the edited one unless the editor
    // shows other texts over it (an empty selection shows empty fields while its
    // kept edits wait for the next one).
    virtual const MetaDataObject* shownRecord() const { return record(); }
    // Whether the fields take edits now: there is a record to edit.
    virtual bool acceptsEdits() const { return record() != nullptr; }

    // Each edit answers whether the record took it; the edited field is marked
    // as edited.
    virtual bool editField(MetadataField field, const QString& text) = 0;
    virtual bool setEditingOption(int editingOption) = 0;
    virtual bool setClearFlag(ClearFlag flag, bool on) = 0;
    // A date setting built by the date panel, with the summary text its date
    // field shows. The record holds the setting from now on.
    virtual bool setDateTimeConfiguration(
        DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary)
        = 0;

signals:
    // One field's text or edited flag changed: its control shows it anew.
    void fieldEdited(MetadataField field);
    // The record was replaced, or changed as a whole: every control shows anew.
    void recordsReplaced();
};
