#include "app/OnlineConsentPrompt.h"

#include "app/AppDelegate.h"
#include "app/OnlineAccess.h"
#include "base/NotificationCenter.h"
#include "base/Notifications.h"
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
    AlertRequest request;
    request.objectName = QStringLiteral("alertOnlineServices");
    request.title = QStringLiteral("Online Maps and Place Names");
    request.message = QStringLiteral("Show online maps and look up place names?");
    request.informativeText = QStringLiteral(
        "The map's tiles come from OpenStreetMap and place names from its Nominatim service. Each request tells that "
        "server a position where your photos were taken, and nothing else about you.\n\n"
        "Offline, the map shows country outlines with the GeoNames places, and place names come from GeoNames. "
        "The Edit menu changes this choice later.");
    request.buttons = { QStringLiteral("Use Online Maps"), QStringLiteral("Offline Only") };
    request.icon = AlertRequest::Icon::Information;
    QPointer<AppDelegate> guard(&app);
    app.presenter().presentAlert(window, request, [guard, then = std::move(then)](int button) {
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
