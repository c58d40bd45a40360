#include "app/OnlineAccess.h"

#include "app/AppDelegate.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/NominatimGeocoder.h"
#include "platform/UserDefaults.h"

namespace OnlineAccess {

OnlineServices::Settings settings()
{
    auto* app = AppDelegate::shared();
    return app ? OnlineServices::settingsFrom(app->defaults()) : OnlineServices::Settings {};
}

bool isOnline()
{
    auto* app = AppDelegate::shared();
    return app && OnlineServices::mayGoOnline(settings().consent, app->networkStatus);
}

std::shared_ptr<ReverseGeocoder> placeNameGeocoder()
{
    static std::shared_ptr<ReverseGeocoder> offline = std::make_shared<GeoNamesGeocoder>();
    static std::shared_ptr<ReverseGeocoder> online;
    static QString onlineUrl;
    if (!isOnline())
        return offline;
    const QString url = settings().geocoderUrl;
    if (!online || url != onlineUrl) {
        online = std::make_shared<NominatimGeocoder>(url, OnlineServices::acceptLanguage());
        onlineUrl = url;
    }
    return online;
}

} // namespace OnlineAccess
