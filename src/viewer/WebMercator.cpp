#include "viewer/WebMercator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WebMercator {

namespace {
double worldSize(double zoom)
{
    return kTileSize * std::exp2(zoom);
}
} // namespace

QPointF toWorldPixel(QPointF coordinate, double zoom)
{
    const double size = worldSize(zoom);
    const double latitude = std::clamp(coordinate.y(), -kMaximumLatitude, kMaximumLatitude);
    const double sinLat = std::sin(latitude * std::numbers::pi / 180.0);
    const double x = (coordinate.x() + 180.0) / 360.0 * size;
    const double y = (0.5 - std::log((1 + sinLat) / (1 - sinLat)) / (4 * std::numbers::pi)) * size;
    return { x, y };
}

QPointF toCoordinate(QPointF worldPixel, double zoom)
{
    const double size = worldSize(zoom);
    const double longitude = worldPixel.x() / size * 360.0 - 180.0;
    const double n = std::numbers::pi * (1 - 2 * worldPixel.y() / size);
    const double latitude = std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
    return { longitude, latitude };
}

int zoomForSpan(double latitude, double spanDegrees, QSizeF viewSize)
{
    if (!(spanDegrees > 0) || viewSize.isEmpty())
        return kMinimumZoom;
    const double half = spanDegrees / 2;
    for (int zoom = kMaximumZoom; zoom > kMinimumZoom; --zoom) {
        const QPointF north = toWorldPixel({ 0, latitude + half }, zoom);
        const QPointF south = toWorldPixel({ 0, latitude - half }, zoom);
        const double width = spanDegrees / 360.0 * worldSize(zoom);
        if (width <= viewSize.width() && south.y() - north.y() <= viewSize.height())
            return zoom;
    }
    return kMinimumZoom;
}

TileSource sourceOf(const TileKey& key, int deepestZoom)
{
    const int levels = key.zoom - std::max(deepestZoom, kMinimumZoom);
    if (levels <= 0)
        return { key, QRectF(0, 0, kTileSize, kTileSize), false };
    // 2^levels tiles of this zoom across one of the deepest level's.
    const int across = 1 << levels;
    const double side = double(kTileSize) / across;
    const TileKey source { key.zoom - levels, key.x >> levels, key.y >> levels };
    return { source, QRectF((key.x & (across - 1)) * side, (key.y & (across - 1)) * side, side, side), true };
}

} // namespace WebMercator

using namespace WebMercator;

MapViewport::MapViewport(QPointF center, int zoom, QSizeF viewSize)
    : m_center(center)
    , m_zoom(std::clamp(zoom, kMinimumZoom, kMaximumZoom))
    , m_viewSize(viewSize)
{
    clampCenter();
}

void MapViewport::setViewSize(QSizeF size)
{
    m_viewSize = size;
    clampCenter();
}

void MapViewport::setZoom(int zoom, QPointF anchor)
{
    zoom = std::clamp(zoom, kMinimumZoom, kMaximumZoom);
    if (zoom == m_zoom)
        return;
    const QPointF anchored = toCoordinate(anchor);
    m_zoom = zoom;
    // Put the anchored coordinate back under the anchor.
    const QPointF offset = anchor - QPointF(m_viewSize.width() / 2, m_viewSize.height() / 2);
    m_center = WebMercator::toCoordinate(WebMercator::toWorldPixel(anchored, m_zoom) - offset, m_zoom);
    clampCenter();
}

void MapViewport::panBy(QPointF delta)
{
    const QPointF centerPixel = WebMercator::toWorldPixel(m_center, m_zoom) - delta;
    m_center = WebMercator::toCoordinate(centerPixel, m_zoom);
    clampCenter();
}

QPointF MapViewport::topLeftWorldPixel() const
{
    return WebMercator::toWorldPixel(m_center, m_zoom) - QPointF(m_viewSize.width() / 2, m_viewSize.height() / 2);
}

QPointF MapViewport::toView(QPointF coordinate) const
{
    const double size = kTileSize * std::exp2(m_zoom);
    QPointF point = WebMercator::toWorldPixel(coordinate, m_zoom) - topLeftWorldPixel();
    // Of the copies of a place around the wrapping world, the one nearest the centre.
    const double centreX = m_viewSize.width() / 2;
    point.setX(point.x() - std::round((point.x() - centreX) / size) * size);
    return point;
}

QPointF MapViewport::toCoordinate(QPointF viewPoint) const
{
    QPointF coordinate = WebMercator::toCoordinate(viewPoint + topLeftWorldPixel(), m_zoom);
    coordinate.setX(std::remainder(coordinate.x(), 360.0));
    return coordinate;
}

double MapViewport::degreesPerPixel() const
{
    return 360.0 / (kTileSize * std::exp2(m_zoom));
}

QList<MapViewport::PlacedTile> MapViewport::tilesInView() const
{
    QList<PlacedTile> tiles;
    if (m_viewSize.isEmpty())
        return tiles;
    const int count = 1 << m_zoom;
    const QPointF topLeft = topLeftWorldPixel();
    const int firstX = int(std::floor(topLeft.x() / kTileSize));
    const int lastX = int(std::floor((topLeft.x() + m_viewSize.width() - 1) / kTileSize));
    const int firstY = std::max(0, int(std::floor(topLeft.y() / kTileSize)));
    const int lastY = std::min(count - 1, int(std::floor((topLeft.y() + m_viewSize.height() - 1) / kTileSize)));
    const int columns = lastX - firstX + 1;
    for (int ty = firstY; ty <= lastY; ++ty) {
        for (int tx = firstX; tx < firstX + columns; ++tx) {
            const int wrapped = ((tx % count) + count) % count;
            tiles.append({ { m_zoom, wrapped, ty }, QPointF(tx * kTileSize, ty * kTileSize) - topLeft });
        }
    }
    const QPointF centre(m_viewSize.width() / 2 - kTileSize / 2.0, m_viewSize.height() / 2 - kTileSize / 2.0);
    std::stable_sort(tiles.begin(), tiles.end(), [&](const PlacedTile& a, const PlacedTile& b) {
        const QPointF da = a.topLeft - centre, db = b.topLeft - centre;
        return QPointF::dotProduct(da, da) < QPointF::dotProduct(db, db);
    });
    return tiles;
}

void MapViewport::clampCenter()
{
    if (!std::isfinite(m_center.x()) || !std::isfinite(m_center.y()))
        m_center = {};
    m_center.setX(std::remainder(m_center.x(), 360.0));
    const double size = kTileSize * std::exp2(m_zoom);
    QPointF pixel = WebMercator::toWorldPixel(m_center, m_zoom);
    const double half = m_viewSize.height() / 2;
    if (size <= m_viewSize.height())
        pixel.setY(size / 2);
    else
        pixel.setY(std::clamp(pixel.y(), half, size - half));
    m_center.setY(WebMercator::toCoordinate(pixel, m_zoom).y());
}
