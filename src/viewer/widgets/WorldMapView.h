#pragma once

#include "viewer/MapOutlines.h"
#include "viewer/MapProjection.h"
#include "viewer/MetaDataViewerLocation.h"

#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QIODevice;
class QLabel;
class QToolButton;
class QVariantAnimation;

// A small world map drawn from country outlines: no tiles, no network. It shows a
// region, one pin with an optional title, and zooms (wheel, double-click, "+"/"-"
// buttons and keys) and pans (drag, arrow keys) within the world.
//
// Three looks of the same outlines, for the road, satellite and hybrid buttons:
// road draws flat land and sea with coasts and borders; satellite shades land and
// sea without any line; hybrid is the shading with the borders on top. There are
// no streets and no imagery.
class WorldMapView : public QWidget {
    Q_OBJECT
public:
    // The values are the tags of the map-type buttons.
    enum class MapType { Road = 1, Satellite = 2, Hybrid = 3 };
    Q_ENUM(MapType)

    // Starts with the outlines bundled with the application, when they are there.
    explicit WorldMapView(QWidget* parent = nullptr);
    ~WorldMapView() override;

    // The bundled outlines (resource kBundledOutlines), read once and shared by
    // every map; nullptr when they are missing or damaged.
    static std::shared_ptr<const MapOutlines> bundledOutlines();
    static inline const QString kBundledOutlines = QStringLiteral(":/map/world-outlines.bin");

    // The outlines to draw, shared between maps; without them the map shows only sea.
    bool loadOutlines(const QString& path);
    bool loadOutlines(QIODevice& device);
    void setOutlines(std::shared_ptr<const MapOutlines> outlines);
    bool hasOutlines() const { return m_outlines != nullptr; }

    MapType mapType() const { return m_mapType; }
    void setMapType(MapType type);
    // A button tag: 1 road, 2 satellite, anything else hybrid.
    void setMapTypeForTag(int tag);

    // Shows at least the region; animated moves there over a quarter of a second.
    void setRegion(const MapRegion& region, bool animated = false);
    // The region asked for last.
    MapRegion region() const { return m_projection.region(); }
    // What the view shows now.
    MapRegion visibleRegion() const { return m_projection.visibleRegion(); }
    const MapProjection& projection() const { return m_projection; }

    // One pin; a new one replaces the old.
    void setPin(double latitude, double longitude, const QString& title = {});
    void removePins();
    bool hasPin() const { return m_pin.has_value(); }
    // The pin as QPointF(longitude, latitude).
    QPointF pinCoordinate() const;
    QString pinTitle() const;
    // The pin's title ("lblPinTitle"), centred in the view and wrapped to its width;
    // hidden while the pin has no title.
    QLabel* titleLabel() const { return m_title; }

    // The viewer's placement: the pin, its title and the region.
    void showLocation(const MetaDataViewerLocation& location);

    void zoomIn();
    void zoomOut();

    QSize sizeHint() const override { return { 320, 200 }; }
    QSize minimumSizeHint() const override { return { 120, 80 }; }

signals:
    void visibleRegionChanged();

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
        QPointF coordinate; // longitude, latitude
        QString title;
    };

    void rebuildPaths();
    void stopAnimation();
    void changed();
    void paintMap(QPainter& painter);
    void paintPin(QPainter& painter) const;
    void layoutButtons();
    void layoutTitle();

    std::shared_ptr<const MapOutlines> m_outlines;
    QPainterPath m_land; // degrees
    QPainterPath m_coasts;
    QPainterPath m_borders;
    MapProjection m_projection;
    MapType m_mapType = MapType::Road;
    std::optional<Pin> m_pin;
    QPointer<QVariantAnimation> m_animation;
    std::optional<QPointF> m_dragFrom;
    QToolButton* m_zoomIn = nullptr;
    QToolButton* m_zoomOut = nullptr;
    QLabel* m_title = nullptr;
    // The map as last drawn, reused while only the pin or the buttons repaint.
    QPixmap m_cache;
    bool m_cacheValid = false;
};
