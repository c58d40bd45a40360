#pragma once

#include "controls/Presenter.h"

// The presenter of the running application: QDialog, QMessageBox and QFileDialog,
// each drawn inside the window it belongs to (InWindowSheet) while that window is on
// the screen, else opened window-modal with open().
class DialogPresenter : public Presenter {
public:
    void presentSheet(QDialog* sheet, std::function<void(int result)> finished) override;
    void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered) override;
    void presentOpenPanel(QWidget* parent, const OpenPanelRequest& request,
        std::function<void(const QStringList& paths)> chosen) override;
};
