#pragma once

#include "form/widgets/MetadataFormView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <utility>

class AttachedPopupTable;
class MetaDataObject;
class PresetChoice;
class PresetListModel;
class PresetWindow;
class QPushButton;
class QWidget;
class WindowServices;

// The editor's presets: the Presets drop-down ("btnPresets") and the preset window.
// It keeps the one list model over the application's preset list, so that the
// drop-down and the window see each other's changes, and reports every change of
// the list (a preset added, renamed, removed or edited) with presetsChanged.
//
// The drop-down lists the presets by name and, last, a row that opens the preset
// window. Choosing a preset, there or with the window's Apply, is reported by
// presetChosen, which the owner connects to its form. The drop-down remembers the
// preset it applied last; when that preset is removed it shows none.
class PresetsPanel : public QObject {
    Q_OBJECT
public:
    // The last row of the drop-down.
    static inline const QString kEditPresetsRow = QStringLiteral("Add/Edit Presets...");

    // `presets` is the application's preset list; `editor` hosts the button and is
    // the preset window's parent; `popup` is the editor's one attached drop-down list.
    PresetsPanel(WindowServices& services, QList<std::shared_ptr<MetaDataObject>>& presets, QWidget* editor,
        AttachedPopupTable& popup, QObject* parent = nullptr);
    ~PresetsPanel() override;

    QPushButton* button() const { return m_button; }
    PresetListModel& model() const { return *m_model; }
    // The preset the drop-down shows (applied last).
    PresetChoice& shownPreset() const { return *m_shown; }
    // The preset window, once it was opened.
    PresetWindow* presetWindow() const;

    void setEnabled(bool enable);
    // What opens the map picker from the preset's GPS tab; none (the default) hides its button.
    void setMapPickerOpener(MetadataFormView::MapPickerOpener opener) { m_mapPickerOpener = std::move(opener); }

    // Opens the drop-down below the button.
    void btnPresetTapped();
    // A row of the drop-down: a preset is applied; the last row opens the window.
    void changeViewAccordingToPresetSelected(int row);
    // Opens the preset window on the preset the drop-down shows (or the first).
    void addPresetWindow();
    // Lays a preset over the editor's form.
    void btnApplyPresetTapped(const std::shared_ptr<MetaDataObject>& preset);

signals:
    // The preset list changed (a preset added, renamed, removed or edited): the owner writes the archive.
    void presetsChanged();
    // A preset was chosen in the drop-down or applied in the window: the owner lays it over the form.
    void presetChosen(const MetaDataObject& preset);

private:
    void showChosenName();

    WindowServices& m_services;
    MetadataFormView::MapPickerOpener m_mapPickerOpener;
    QWidget* m_editor;
    AttachedPopupTable& m_popup;
    PresetListModel* m_model = nullptr;
    PresetChoice* m_shown = nullptr;
    QPushButton* m_button = nullptr;
    QPointer<PresetWindow> m_window;
};
