#include "RoadPresenter.h"

void RoadPresenter::presentAlert(QWidget*, const AlertRequest& request, std::function<void(int)> answered)
{
    alerts.append({ request, std::move(answered) });
}

void RoadPresenter::presentOpenPanel(QWidget*, const OpenPanelRequest&, std::function<void(const QStringList&)> chosen)
{
    // The road adds its folder directly; a panel asked for is cancelled.
    if (chosen)
        chosen({});
}
