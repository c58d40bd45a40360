#pragma once

#include "form/widgets/MetadataFormView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

class AttachedPopupTable;
class MetaDataObject;
class PresetChoice;
class PresetListModel;
class PresetWindow;
class Presenter;
class QPushButton;
class QWidget;

// The editor's presets: the Presets drop-down ("btnPresets") and the preset window.
// It keeps the one list model over the application's preset list, so that the
// drop-down and the window see each other's changes, and every change of the list
// (a preset added, renamed, removed or edited) writes the archive at once.
//
// The drop-down lists the presets by name and, last, a row that opens the preset
// window. Choosing a preset, there or with the window's Apply, lays it over the
// editor's form through the host's applyPreset. The drop-down
// remembers the preset it applied last; when that preset is removed it shows none.
class PresetsPanel : public QObject {
    Q_OBJECT
public:
    // The last row of the drop-down.
    static inline const QString kEditPresetsRow = QStringLiteral("Add/Edit Presets...");

    // What the panel needs from the editor it serves.
    class Host {
    public:
        virtual ~Host() = default;
        virtual Presenter& presenter() = 0;
        // The preset list changed (a preset added, renamed, removed or edited): the archive is written.
        virtual void presetsDidChange() = 0;
        // A chosen preset is laid over the editor's form.
        virtual void applyPreset(const MetaDataObject& preset) = 0;
        // The application's busy flag, held by the preset window while it presents a preset.
        virtual std::atomic<bool>& subWindowOpenedFlag() = 0;
        // What opens the map picker from the preset's GPS tab; none hides its button.
        virtual MetadataFormView::MapPickerOpener mapPickerOpener() { return {}; }
    };

    // `presets` is the application's preset list; `editor` hosts the button and is
    // the preset window's parent; `popup` is the editor's one attached drop-down list.
    PresetsPanel(Host& host, QList<std::shared_ptr<MetaDataObject>>& presets, QWidget* editor,
        AttachedPopupTable& popup, QObject* parent = nullptr);
    ~PresetsPanel() override;

    QPushButton* button() const { return m_button; }
    PresetListModel& model() const { return *m_model; }
    // The preset the drop-down shows (applied last).
    PresetChoice& shownPreset() const { return *m_shown; }
    // The preset window, once it was opened.
    PresetWindow* presetWindow() const;

    void setEnabled(bool enable);

    // Opens the drop-down below the button.
    void btnPresetTapped();
    // A row of the drop-down: a preset is applied; the last row opens the window.
    void changeViewAccordingToPresetSelected(int row);
    // Opens the preset window on the preset the drop-down shows (or the first).
    void addPresetWindow();
    // Lays a preset over the editor's form.
    void btnApplyPresetTapped(const std::shared_ptr<MetaDataObject>& preset);

private:
    void showChosenName();

    Host& m_host;
    QWidget* m_editor;
    AttachedPopupTable& m_popup;
    PresetListModel* m_model = nullptr;
    PresetChoice* m_shown = nullptr;
    QPushButton* m_button = nullptr;
    QPointer<PresetWindow> m_window;
};
