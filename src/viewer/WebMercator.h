#pragma once

#include <QHashFunctions>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QSizeF>

// One square of a slippy map: 256 pixels at zoom z, x and y from the top left of the
// world (x from 0 to 2^z - 1, west to east; y north to south).
struct TileKey {
    int zoom = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TileKey&) const = default;
};

inline size_t qHash(const TileKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.zoom, key.x, key.y);
}

// The Web Mercator projection of tiled maps. "World pixels" at zoom z run from 0 to
// 256 * 2^z on both axes; latitudes beyond kMaximumLatitude are held at it.
namespace WebMercator {

inline constexpr int kTileSize = 256;
inline constexpr double kMaximumLatitude = 85.0511287798066;
inline constexpr int kMinimumZoom = 0;
inline constexpr int kMaximumZoom = 19;

// Coordinates are QPointF(longitude, latitude), as elsewhere in the map.
QPointF toWorldPixel(QPointF coordinate, double zoom);
QPointF toCoordinate(QPointF worldPixel, double zoom);

// The whole zoom at which a view of viewSize shows at least spanDegrees of latitude
// and of longitude around latitude.
int zoomForSpan(double latitude, double spanDegrees, QSizeF viewSize);

// Where a tile's picture comes from when the source has no level deeper than
// deepestZoom: below it, the tile itself, whole; beyond it, the part of the deepest
// level's tile that covers it (a quarter a level, each side halved), to be
// enlarged to a whole tile.
struct TileSource {
    TileKey key;
    QRectF part; // in the source tile's pixels
    bool enlarged = false;
};
TileSource sourceOf(const TileKey& key, int deepestZoom);

} // namespace WebMercator

// What one view of the tiled map shows: a centre, a whole zoom and the view's size in
// pixels. It answers where a coordinate lands in the view and back, and which tiles
// cover it. Longitude wraps around; latitude is held so the view stays inside the
// world where the world is taller than the view.
class MapViewport {
public:
    MapViewport() = default;
    MapViewport(QPointF center, int zoom, QSizeF viewSize);

    QPointF center() const { return m_center; }
    int zoom() const { return m_zoom; }
    QSizeF viewSize() const { return m_viewSize; }

    void setViewSize(QSizeF size);
    // Changes the zoom, keeping the coordinate under anchor (a view point) in place.
    void setZoom(int zoom, QPointF anchor);
    void setZoom(int zoom) { setZoom(zoom, QPointF(m_viewSize.width() / 2, m_viewSize.height() / 2)); }
    // The map follows a drag by delta pixels.
    void panBy(QPointF delta);

    QPointF toView(QPointF coordinate) const;
    QPointF toCoordinate(QPointF viewPoint) const;

    // The tiles that cover the view, those nearest the centre first, with where the
    // top left of each lands in the view. x is wrapped into the world; rows outside
    // the world are left out.
    struct PlacedTile {
        TileKey key;
        QPointF topLeft;
    };
    QList<PlacedTile> tilesInView() const;

    // How many degrees of longitude one view pixel covers.
    double degreesPerPixel() const;

private:
    QPointF topLeftWorldPixel() const;
    void clampCenter();

    QPointF m_center;
    int m_zoom = 0;
    QSizeF m_viewSize;
};
