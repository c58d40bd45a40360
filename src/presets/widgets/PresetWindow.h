#pragma once

#include "controls/BusyPresenter.h"

#include <QDialog>
#include <atomic>
#include <memory>
#include <optional>

class MetaDataObject;
class PresetListModel;
class PresetView;

// The preset window ("winPresets"): a window-modal sheet over the editor holding
// the PresetView. While it is open the application counts a sub-window as open
// (the flag given), so alerts of the editor wait; closing it, by any path, clears
// the flag.
class PresetWindow : public QDialog {
    Q_OBJECT
public:
    PresetWindow(PresetListModel& model, std::atomic<bool>& isSubWindowOpened, QWidget* parent = nullptr);
    ~PresetWindow() override;

    PresetView& presetView() const { return *m_view; }

    // Presents a preset (the first of the list when none is given and the list
    // has one) and sets the sub-window flag.
    void setupUIForSelectedPresetObject(const std::shared_ptr<MetaDataObject>& preset);

signals:
    // The open preset is to be laid over the editor's form.
    void applyPresetTapped(const std::shared_ptr<MetaDataObject>& preset);

protected:
    void done(int result) override;

private:
    PresetView* m_view = nullptr;
    std::atomic<bool>& m_isSubWindowOpened;
    std::optional<BusyScope> m_busy; // from presenting a preset to done()
};
