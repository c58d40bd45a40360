#include "app/OnlineConsentPrompt.h"

#include "app/AppDelegate.h"
#include "app/OnlineAccess.h"
#include "base/NotificationCenter.h"
#include "base/Notifications.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/Presenter.h"
#include "platform/OnlineServices.h"

#include <QPointer>

namespace OnlineConsentPrompt {

void askIfNeeded(AppDelegate& app, QWidget* window, std::function<void()> then)
{
    if (!OnlineServices::needsAsking(OnlineAccess::settings().consent, app.networkStatus)) {
        then();
        return;
    }
    QPointer<AppDelegate> guard(&app);
    app.presenter().presentAlert(window, AlertCatalog::onlineServices(), [guard, then = std::move(then)](int button) {
        if (guard && (button == 0 || button == 1))
            setOnline(*guard, button == 0);
        then();
    });
}

void setOnline(AppDelegate& app, bool online)
{
    OnlineServices::storeConsent(app.defaults(), online);
    NotificationCenter::defaultCenter().post(Notifications::onlineServicesChanged, &app);
}

bool isOnlineChosen(const AppDelegate&)
{
    return OnlineAccess::settings().consent == OnlineServices::Consent::Online;
}

} // namespace OnlineConsentPrompt
