#pragma once

#include "controls/BusyPresenter.h"

#include <QDialog>
#include <memory>
#include <optional>

class EditorContext;
class MetaDataObject;
class PresetListModel;
class PresetView;

// The preset window ("winPresets"): a window-modal sheet over the editor holding
// the PresetView. While it is open the editor context counts a sub-window as open,
// so alerts of the editor wait; closing it, by any path, clears that.
class PresetWindow : public QDialog {
    Q_OBJECT
public:
    PresetWindow(PresetListModel& model, EditorContext& context, QWidget* parent = nullptr);
    ~PresetWindow() override;

    PresetView& presetView() const { return *m_view; }

    // Presents a preset (the first of the list when none is given and the list
    // has one) and counts the sub-window as open.
    void setupUIForSelectedPresetObject(const std::shared_ptr<MetaDataObject>& preset);

signals:
    // The open preset is to be laid over the editor's form.
    void applyPresetTapped(const std::shared_ptr<MetaDataObject>& preset);

protected:
    void done(int result) override;

private:
    PresetView* m_view = nullptr;
    EditorContext& m_context;
    std::optional<BusyScope> m_busy; // from presenting a preset to done()
};
