#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/OnlineConsentPrompt.h"
#include "app/OnlineAccess.h"
#include "viewer/TileFetcher.h"
#include "viewer/widgets/MetaDataPopupView.h"
#include "base/NotificationCenter.h"
#include "base/Notifications.h"
#include "batch/list/widgets/PhotoListPanel.h"

#include <QTimer>

// The metadata viewer of the editor, drawn over the main window while it is up. It
// shows a row of the batch list when a photo is double-clicked, or when the photo
// list's "Get Info" finds no file manager to answer. It is built when it is first
// shown: the first window does not need it.

void ExifEditorView::wireMetaDataPopup()
{
    connect(m_photoList, &PhotoListPanel::photoDoubleClicked, this, &ExifEditorView::showMetaDataPopup);
    connect(m_photoList, &PhotoListPanel::rowDoubleClicked, this, &ExifEditorView::showMetaDataPopup);
    connect(m_photoList, &PhotoListPanel::metadataViewerRequested, this, &ExifEditorView::showMetaDataPopup);
}

MetaDataPopupView* ExifEditorView::ensureMetaDataPopup()
{
    if (m_metaDataPopup)
        return m_metaDataPopup;
    m_metaDataPopup = new MetaDataPopupView(m_context.batchList(), this);
    m_metaDataPopup->setPresenter(&m_app.presenter());
    // The viewer's tiles, the map's and the imagery's: online only where the user
    // agreed and the network is there, else what the disk cache holds, with the
    // offline map around it.
    const OnlineServices::Settings online = OnlineAccess::settings();
    auto* tiles = new TileFetcher(online.tileUrl, TileFetcher::defaultCacheDirectory(), m_metaDataPopup);
    auto* imagery = new TileFetcher(online.satelliteTileUrl, TileFetcher::imageryCacheDirectory(), m_metaDataPopup);
    imagery->setDeepestZoom(OnlineServices::kSatelliteDeepestZoom);
    for (TileFetcher* fetcher : { tiles, imagery }) {
        fetcher->setOnline(OnlineAccess::isOnline());
        for (const QString& name : { Notifications::reachabilityChanged, Notifications::onlineServicesChanged }) {
            NotificationCenter::defaultCenter().addObserver(fetcher, name, [fetcher](const Notification&) {
                // After the application has taken the new status in.
                QTimer::singleShot(0, fetcher, [fetcher] { fetcher->setOnline(OnlineAccess::isOnline()); });
            });
        }
    }
    m_metaDataPopup->mapView().setTileFetcher(tiles);
    m_metaDataPopup->mapView().setSatelliteTileFetcher(imagery);
    return m_metaDataPopup;
}

void ExifEditorView::showMetaDataPopup(int row)
{
    MetaDataPopupView* viewer = ensureMetaDataPopup();
    if (!viewer->showPhotoAt(row))
        return;
    // The viewer's map is the first thing that may go online: the user is asked once,
    // over the viewer, which shows the offline map until the answer.
    QTimer::singleShot(0, this, [this] {
        if (m_metaDataPopup && m_metaDataPopup->isVisible())
            OnlineConsentPrompt::askIfNeeded(m_app, m_metaDataPopup->window(), [] {});
    });
}
