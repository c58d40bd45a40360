#include "app/MapPickerOpening.h"

#include "app/AppDelegate.h"
#include "app/OnlineConsentPrompt.h"
#include "app/OnlineAccess.h"
#include "controls/Presenter.h"
#include "form/widgets/MapPickerWindow.h"
#include "viewer/TileFetcher.h"

#include <QPointer>

namespace MapPickerOpening {

namespace {

void openPicker(AppDelegate& app, MetadataFormView& form)
{
    QPointer<MetadataFormView> target(&form);
    auto* tiles = new TileFetcher(OnlineAccess::settings().tileUrl, TileFetcher::defaultCacheDirectory());
    tiles->setOnline(OnlineAccess::isOnline());
    auto* window = new MapPickerWindow(form.mapPickerRecord(), tiles, &OnlineAccess::placeNameGeocoder, form.window());
    tiles->setParent(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &MapPickerWindow::chosen, &form, [target](const QString& title, double lat, double lon) {
        if (target)
            target->changeLocationToTitle(title, lat, lon);
    });
    QObject::connect(window, &MapPickerWindow::removed, &form, [target] {
        if (target)
            target->removeLocationcordinates();
    });
    app.presenter().presentSheet(window, {});
}

} // namespace

MetadataFormView::MapPickerOpener opener(AppDelegate& app)
{
    QPointer<AppDelegate> guard(&app);
    return [guard](MetadataFormView& form) {
        if (!guard)
            return;
        QPointer<MetadataFormView> target(&form);
        OnlineConsentPrompt::askIfNeeded(*guard, form.window(), [guard, target] {
            if (guard && target)
                openPicker(*guard, *target);
        });
    };
}

} // namespace MapPickerOpening
