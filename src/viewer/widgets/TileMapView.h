#pragma once

#include "platform/OnlineServices.h"
#include "viewer/MapRegion.h"
#include "viewer/MapType.h"
#include "viewer/MetaDataViewerLocation.h"
#include "viewer/TileFetcher.h"
#include "viewer/WebMercator.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class OfflineMapTiles;
class QLabel;
class QToolButton;

// The application's map, in the viewer and in the map picker: OpenStreetMap-style raster tiles from a TileFetcher, with
// the attribution always in view; where a tile is not there (offline, not yet
// fetched, failed) the country outlines and the GeoNames places show instead, cities
// as labelled dots, more of them as the map zooms in. Pan by dragging or the arrow
// keys, zoom by the wheel, a double-click, the "+"/"-" buttons and keys. Where the
// owner allows it, the pin is the user's to place: dragged, or put where a click
// lands.
//
// "Satellite" and "Hybrid" draw imagery tiles from a second fetcher (hybrid with the
// offline map's borders and places over them); closer in than the imagery's deepest
// level, that level's tile is enlarged and the attribution says so. Where imagery is
// missing both show the offline map in its shaded look, borders and places included.
class TileMapView : public QWidget {
    Q_OBJECT
public:
    static inline const QString kAttribution = QStringLiteral("\u00a9 OpenStreetMap contributors");
    static inline const QString kImageryAttribution = QString::fromLatin1(OnlineServices::kSatelliteAttribution);

    explicit TileMapView(QWidget* parent = nullptr);
    ~TileMapView() override;

    // The tiles' source; without one (or while it is offline and has nothing cached)
    // the offline map shows. Not owned.
    void setTileFetcher(TileFetcher* fetcher);
    TileFetcher* tileFetcher() const { return m_fetcher; }
    // The imagery of Satellite and Hybrid, with its deepest level set. Not owned.
    void setSatelliteTileFetcher(TileFetcher* fetcher);
    TileFetcher* satelliteTileFetcher() const { return m_satelliteFetcher; }

    MapType mapType() const { return m_mapType; }
    void setMapType(MapType type);
    void setMapTypeForTag(int tag) { setMapType(mapTypeForTag(tag)); }

    // Shows at least the region, at the closest whole zoom that holds it.
    void setRegion(const MapRegion& region);
    MapRegion region() const { return m_region; }
    const MapViewport& viewport() const { return m_viewport; }

    // One pin; a new one replaces the old. A titled pin marks no position: only its
    // title shows.
    void setPin(double latitude, double longitude, const QString& title = {});
    void removePins();
    bool hasPin() const { return m_pin.has_value(); }
    // The pin as QPointF(longitude, latitude).
    QPointF pinCoordinate() const;
    QString pinTitle() const;
    // The pin's title ("lblPinTitle"), centred in the view and wrapped to its width;
    // hidden while the pin has no title.
    QLabel* titleLabel() const { return m_title; }

    // Off by default. On, a drag that starts on the pin moves it and a click (a press
    // and release that do not drag) puts an untitled pin there; either ends with
    // pinMoved. A drag elsewhere still pans the map.
    void setPinDraggable(bool draggable) { m_pinDraggable = draggable; }
    bool pinDraggable() const { return m_pinDraggable; }

    void showLocation(const MetaDataViewerLocation& location);

    void zoomIn();
    void zoomOut();

    // True when the last frame drew the offline map somewhere (a tile was missing).
    bool showsOfflineMap() const { return m_drewOffline; }
    // The places labelled in the last frame.
    int labelledPlaceCount() const { return m_labelled; }
    // True when the last frame drew imagery, and imagery enlarged beyond its deepest level.
    bool showsImagery() const { return m_drewImagery; }
    bool showsEnlargedImagery() const { return m_drewEnlarged; }
    // The attribution line the map shows now.
    QString attributionText() const;

    QSize sizeHint() const override { return { 320, 200 }; }
    QSize minimumSizeHint() const override { return { 120, 80 }; }

    // One frame of the map into painter, as paintEvent draws it (benchmarks).
    void paintFrame(QPainter& painter);

signals:
    // The user placed the pin; longitude within -180..180.
    void pinMoved(double latitude, double longitude);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Pin {
        QPointF coordinate;
        QString title;
    };

    // The fetcher of the current look.
    TileFetcher* activeFetcher() const;
    void replaceFetcher(QPointer<TileFetcher>& slot, TileFetcher* fetcher);
    void watchFetcher(TileFetcher* fetcher);
    void changed();
    void fitRegion();
    void requestTiles();
    void paintOffline(QPainter& painter, const QRegion& where);
    void paintPlaces(QPainter& painter, const QRegion& where);
    void paintPin(QPainter& painter) const;
    void paintAttribution(QPainter& painter) const;
    void layoutControls();
    bool pinHit(QPointF viewPoint) const;
    void movePinTo(QPointF viewPoint);

    MapViewport m_viewport;
    MapRegion m_region = MapRegion::world();
    bool m_followsRegion = true;
    MapType m_mapType = MapType::Road;
    std::optional<Pin> m_pin;
    QPointer<TileFetcher> m_fetcher;
    QPointer<TileFetcher> m_satelliteFetcher;
    std::unique_ptr<OfflineMapTiles> m_offline;
    std::optional<QPointF> m_dragFrom;
    QPointF m_pressedAt;
    bool m_pinDraggable = false;
    bool m_draggingPin = false;
    bool m_dragged = false; // the press moved further than a click
    QPointF m_grabOffset; // from the pointer to the pin's tip while the pin is dragged
    QToolButton* m_zoomIn = nullptr;
    QToolButton* m_zoomOut = nullptr;
    QLabel* m_title = nullptr;
    QPixmap m_cache;
    bool m_cacheValid = false;
    bool m_drewOffline = false;
    bool m_drewImagery = false;
    bool m_drewEnlarged = false;
    int m_labelled = 0;
};
