#pragma once

#include <QWidget>
#include <memory>

class MetaDataObject;
class MetadataFormView;
class PresetChoice;
class PresetEditor;
class PresetListModel;
class QLineEdit;
class QListView;
class QPushButton;

// The preset window's content ("vwPresetRef"): the preset list with its add and
// remove buttons and a name field on the left, and on the right a second metadata
// form whose editor is the chosen preset's (PresetEditor). Edits in that form go
// into the preset at once and count as changes of the list, so the archive is
// written. A preset that leaves the list is dropped from the view: the form
// then shows no preset.
class PresetView : public QWidget {
    Q_OBJECT
public:
    PresetView(PresetListModel& model, QWidget* parent = nullptr);
    ~PresetView() override;

    PresetListModel& model() const { return m_model; }
    PresetChoice& choice() const { return *m_choice; }
    MetadataFormView& form() const { return *m_form; }
    const std::shared_ptr<MetaDataObject>& selectedPreset() const;

    // Shows a preset of the list in the form; nullptr (or a preset that is not in
    // the list) shows none.
    void setupUIForSelectedPresetObject(const std::shared_ptr<MetaDataObject>& preset);
    // Adds "New Configuration" at the top of the list and opens it.
    void btnAddPresetTapped();
    // Removes the preset that is open.
    void btnRemovePresetTapped();
    // Gives the open preset the name field's text; a blank name is refused and the
    // field shows the stored name again.
    void renameSelectedPreset();
    void btnApplyPresetTapped();

signals:
    // A preset is shown, or none (nullptr).
    void presetPresented(const std::shared_ptr<MetaDataObject>& preset);
    // Apply: the open preset is to be laid over the editor's form.
    void applyPresetTapped(const std::shared_ptr<MetaDataObject>& preset);
    void closeTapped();

private:
    void build();
    void chosenPresetChanged(const std::shared_ptr<MetaDataObject>& preset);
    void showChoiceInList();

    PresetListModel& m_model;
    PresetChoice* m_choice = nullptr;
    PresetEditor* m_editor = nullptr;
    QListView* m_list = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_apply = nullptr;
    MetadataFormView* m_form = nullptr;
    bool m_choosing = false; // the list's current row follows the choice, not the other way round
};
