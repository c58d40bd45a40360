#pragma once

#include "controls/DialogPresenter.h"

#include <QList>
#include <functional>

// The bench's user: sheets of ours really open (offscreen) so that their buttons can
// be clicked; alerts and open panels are kept for the road to answer.
class RoadPresenter : public DialogPresenter {
public:
    struct Alert {
        AlertRequest request;
        std::function<void(int)> answer;
    };

    void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int)> answered) override;
    void presentOpenPanel(
        QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList&)> chosen) override;

    QList<Alert> alerts;
};
