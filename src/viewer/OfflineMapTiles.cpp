#include "viewer/OfflineMapTiles.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <mutex>

namespace {

// Line pieces this long at the most, so that a tile draws little of a long coast.
constexpr qsizetype kPointsPerPiece = 64;
// Rings are cut this far outside the tile: the cut edges never show, and
// antialiasing at the tile's edge sees the land beyond it.
constexpr double kCutMargin = 2.0;

QRectF boundsOf(const QPolygonF& points)
{
    return points.boundingRect().adjusted(-1e-9, -1e-9, 1e-9, 1e-9); // a straight line still has an area
}

// One pass of Sutherland-Hodgman: the part of the ring on the inner side of an edge.
template<typename Inside, typename Cross>
QPolygonF cutBy(const QPolygonF& ring, Inside inside, Cross cross)
{
    QPolygonF kept;
    if (ring.isEmpty())
        return kept;
    kept.reserve(ring.size() + 4);
    QPointF previous = ring.last();
    bool previousInside = inside(previous);
    for (const QPointF& point : ring) {
        const bool pointInside = inside(point);
        if (pointInside != previousInside)
            kept.append(cross(previous, point));
        if (pointInside)
            kept.append(point);
        previous = point;
        previousInside = pointInside;
    }
    return kept;
}

QPolygonF cutToRect(QPolygonF ring, const QRectF& rect)
{
    const auto atX = [](QPointF a, QPointF b, double x) {
        return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
    };
    const auto atY = [](QPointF a, QPointF b, double y) {
        return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
    };
    const double left = rect.left(), right = rect.right(), top = rect.top(), bottom = rect.bottom();
    ring = cutBy(ring, [&](QPointF p) { return p.x() >= left; }, [&](QPointF a, QPointF b) { return atX(a, b, left); });
    ring = cutBy(
        ring, [&](QPointF p) { return p.x() <= right; }, [&](QPointF a, QPointF b) { return atX(a, b, right); });
    ring = cutBy(ring, [&](QPointF p) { return p.y() >= top; }, [&](QPointF a, QPointF b) { return atY(a, b, top); });
    ring = cutBy(
        ring, [&](QPointF p) { return p.y() <= bottom; }, [&](QPointF a, QPointF b) { return atY(a, b, bottom); });
    return ring;
}

struct Look {
    QColor sea;
    QColor land;
    bool coasts;
    bool borders;
    QColor border;
    Qt::PenStyle borderStyle;
};

Look lookOf(MapType type)
{
    const bool shaded = type != MapType::Road;
    return { OfflineMapTiles::seaColour(type), shaded ? QColor(0x4a, 0x63, 0x3a) : QColor(0xf2, 0xef, 0xe9), !shaded,
        type != MapType::Satellite, shaded ? QColor(0xf3, 0xe3, 0x9a) : QColor(0x9a, 0x8c, 0xa8),
        shaded ? Qt::SolidLine : Qt::DashLine };
}

} // namespace

// The outlines in world pixels at zoom 0, each ring and line piece with its bounds.
struct OfflineMapTiles::Projected {
    struct Part {
        QPolygonF points;
        QRectF bounds;
    };
    QList<Part> land;
    QList<Part> coasts;
    QList<Part> borders;
};

OfflineMapTiles::OfflineMapTiles(std::shared_ptr<const MapOutlines> outlines)
    : m_outlines(std::move(outlines))
{
}

OfflineMapTiles::~OfflineMapTiles() = default;

QColor OfflineMapTiles::seaColour(MapType look)
{
    return look == MapType::Road ? QColor(0xaa, 0xd3, 0xdf) : QColor(0x1d, 0x3f, 0x6e);
}

const OfflineMapTiles::Projected& OfflineMapTiles::projected()
{
    if (m_projected)
        return *m_projected;
    // Every map draws the same bundled outlines: they are projected once.
    static std::mutex mutex;
    static std::weak_ptr<const MapOutlines> lastOutlines;
    static std::shared_ptr<const Projected> lastProjected;
    const std::lock_guard lock(mutex);
    if (m_outlines && lastProjected && lastOutlines.lock() == m_outlines) {
        m_projected = lastProjected;
        return *m_projected;
    }
    auto made = std::make_shared<Projected>();
    const auto project = [](const QPolygonF& points) {
        QPolygonF projected;
        projected.reserve(points.size());
        for (const QPointF& point : points)
            projected.append(WebMercator::toWorldPixel(point, 0));
        return projected;
    };
    if (m_outlines) {
        for (const QPolygonF& ring : m_outlines->landRings()) {
            QPolygonF points = project(ring);
            const QRectF bounds = boundsOf(points);
            made->land.append({ std::move(points), bounds });
        }
        for (const MapOutlines::Line& line : m_outlines->lines()) {
            QList<Projected::Part>& parts = line.kind == MapOutlines::LineKind::Border ? made->borders : made->coasts;
            const QPolygonF points = project(line.points);
            // Pieces share their end points, so the line stays whole.
            for (qsizetype first = 0; first + 1 < points.size(); first += kPointsPerPiece - 1) {
                QPolygonF piece = points.mid(first, kPointsPerPiece);
                const QRectF bounds = boundsOf(piece);
                parts.append({ std::move(piece), bounds });
            }
        }
        lastOutlines = m_outlines;
        lastProjected = made;
    }
    m_projected = std::move(made);
    return *m_projected;
}

QImage OfflineMapTiles::tile(const TileKey& key, MapType look)
{
    return cached({ key, look, false });
}

QImage OfflineMapTiles::bordersOverlay(const TileKey& key)
{
    return cached({ key, MapType::Hybrid, true });
}

QImage OfflineMapTiles::cached(const CacheKey& key)
{
    if (const QImage* kept = m_cache.object(key))
        return *kept;
    QImage made = render(key.tile, key.look, key.overlay);
    m_cache.insert(key, new QImage(made));
    return made;
}

QImage OfflineMapTiles::render(const TileKey& key, MapType look, bool overlay)
{
    constexpr int side = WebMercator::kTileSize;
    const Look colours = lookOf(look);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(overlay ? QColor(Qt::transparent) : colours.sea);
    const Projected& outlines = projected();

    // Tile pixels from world pixels at zoom 0.
    const double scale = std::exp2(key.zoom);
    const QPointF origin(key.x * double(side), key.y * double(side));
    const double reach = (side + 2 * kCutMargin) / scale;
    const QRectF area(origin.x() / scale - kCutMargin / scale, origin.y() / scale - kCutMargin / scale, reach, reach);
    const QRectF cut(-kCutMargin, -kCutMargin, side + 2 * kCutMargin, side + 2 * kCutMargin);
    const auto toTile = [&](const QPolygonF& points) {
        QPolygonF placed(points.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            placed[i] = points[i] * scale - origin;
        return placed;
    };

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!overlay) {
        QPainterPath land;
        land.setFillRule(Qt::WindingFill);
        for (const Projected::Part& ring : outlines.land) {
            if (!ring.bounds.intersects(area))
                continue;
            const QPolygonF inTile = cutToRect(toTile(ring.points), cut);
            if (inTile.size() >= 3)
                land.addPolygon(inTile);
        }
        painter.fillPath(land, colours.land);
    }

    const auto drawLines = [&](const QList<Projected::Part>& parts, QPen pen) {
        pen.setCosmetic(true);
        painter.setPen(pen);
        for (const Projected::Part& piece : parts) {
            if (piece.bounds.intersects(area))
                painter.drawPolyline(toTile(piece.points));
        }
    };
    if (colours.coasts && !overlay)
        drawLines(outlines.coasts, QPen(QColor(0x7f, 0xa7, 0xb8), 0.8));
    if (colours.borders)
        drawLines(outlines.borders, QPen(colours.border, 0.9, colours.borderStyle));
    return image;
}
