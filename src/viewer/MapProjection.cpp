#include "viewer/MapProjection.h"

#include <algorithm>
#include <cmath>

namespace {

// A span of the world, or the wanted span when it is no number or not positive.
double usableSpan(double span, double world)
{
    return std::isfinite(span) && span > 0 ? std::min(span, world) : world;
}

double usableCoordinate(double value, double limit)
{
    return std::isfinite(value) ? std::clamp(value, -limit, limit) : 0.0;
}

// The centre along one axis: the world centred when the view is wider than the
// world, else the wanted centre held so that the view stays inside the world.
double heldCenter(double center, double visibleSpan, double worldHalf)
{
    const double half = visibleSpan / 2;
    if (half >= worldHalf)
        return 0;
    return std::clamp(center, -worldHalf + half, worldHalf - half);
}

} // namespace

MapProjection::MapProjection(QSizeF viewSize, const MapRegion& region)
    : m_viewSize(viewSize)
{
    setRegion(region);
}

void MapProjection::setViewSize(QSizeF size)
{
    m_viewSize = size;
    if (m_followsRegion)
        setRegion(m_region);
    else
        clamp();
}

void MapProjection::setRegion(const MapRegion& region)
{
    m_region = region;
    m_followsRegion = true;
    const double latitudeSpan = usableSpan(region.latitudeDelta, 180);
    const double longitudeSpan = usableSpan(region.longitudeDelta, 360);
    m_center = QPointF(usableCoordinate(region.centerLongitude, 180), usableCoordinate(region.centerLatitude, 90));
    m_pixelsPerDegree
        = isEmpty() ? 1 : std::min(m_viewSize.width() / longitudeSpan, m_viewSize.height() / latitudeSpan);
    clamp();
}

MapRegion MapProjection::visibleRegion() const
{
    return MapRegion { m_center.y(), m_center.x(), m_viewSize.height() / m_pixelsPerDegree,
        m_viewSize.width() / m_pixelsPerDegree };
}

QPointF MapProjection::toView(QPointF coordinate) const
{
    return QPointF(m_viewSize.width() / 2 + (coordinate.x() - m_center.x()) * m_pixelsPerDegree,
        m_viewSize.height() / 2 - (coordinate.y() - m_center.y()) * m_pixelsPerDegree);
}

QPointF MapProjection::toCoordinate(QPointF viewPoint) const
{
    return QPointF(m_center.x() + (viewPoint.x() - m_viewSize.width() / 2) / m_pixelsPerDegree,
        m_center.y() - (viewPoint.y() - m_viewSize.height() / 2) / m_pixelsPerDegree);
}

QTransform MapProjection::transform() const
{
    // x' = w/2 + (x - cx) * s ;  y' = h/2 - (y - cy) * s
    const double s = m_pixelsPerDegree;
    return QTransform(
        s, 0, 0, -s, m_viewSize.width() / 2 - m_center.x() * s, m_viewSize.height() / 2 + m_center.y() * s);
}

void MapProjection::zoomBy(double factor, QPointF anchor)
{
    if (!std::isfinite(factor) || factor <= 0 || isEmpty())
        return;
    m_followsRegion = false;
    const QPointF fixed = toCoordinate(anchor);
    m_pixelsPerDegree = std::clamp(m_pixelsPerDegree * factor, minimumPixelsPerDegree(), maximumPixelsPerDegree());
    // Put the anchored coordinate back under the anchor.
    m_center += QPointF((fixed.x() - toCoordinate(anchor).x()), (fixed.y() - toCoordinate(anchor).y()));
    clamp();
}

void MapProjection::panBy(QPointF delta)
{
    if (isEmpty())
        return;
    m_followsRegion = false;
    m_center -= QPointF(delta.x() / m_pixelsPerDegree, -delta.y() / m_pixelsPerDegree);
    clamp();
}

double MapProjection::minimumPixelsPerDegree() const
{
    return std::min(m_viewSize.width() / 360, m_viewSize.height() / 180);
}

double MapProjection::maximumPixelsPerDegree() const
{
    return std::max(m_viewSize.width(), m_viewSize.height()) / kMinimumSpan;
}

void MapProjection::clamp()
{
    if (isEmpty()) {
        m_pixelsPerDegree = 1;
        return;
    }
    m_pixelsPerDegree = std::clamp(m_pixelsPerDegree, minimumPixelsPerDegree(), maximumPixelsPerDegree());
    m_center = QPointF(heldCenter(m_center.x(), m_viewSize.width() / m_pixelsPerDegree, 180),
        heldCenter(m_center.y(), m_viewSize.height() / m_pixelsPerDegree, 90));
}
