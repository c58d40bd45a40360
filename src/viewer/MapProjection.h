#pragma once

#include "viewer/MapRegion.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// The equirectangular view of the world map: which part of the world a view of a
// given size shows, and where a coordinate lands in it. A degree of longitude and
// a degree of latitude take the same number of pixels.
//
// The view never shows beyond the world: it zooms out at most until the whole
// world fits, in at most until it spans kMinimumSpan degrees, and its centre is
// held so that no edge of the world comes inside the view unless the whole world
// already fits that way (then the world is centred).
//
// View points have their origin at the top left, y growing downwards; coordinates
// are QPointF(longitude, latitude).
class MapProjection {
public:
    static constexpr double kMinimumSpan = 0.01;

    MapProjection() = default;
    explicit MapProjection(QSizeF viewSize, const MapRegion& region = MapRegion::world());

    QSizeF viewSize() const { return m_viewSize; }
    // Until the user zooms or pans, the region set last is fitted again to the new
    // size; afterwards the centre and the scale stay, within the limits of the size.
    void setViewSize(QSizeF size);

    // Shows at least the whole region, as large as the view allows.
    void setRegion(const MapRegion& region);
    const MapRegion& region() const { return m_region; }

    // What the view shows now, as a region whose spans are the view's own.
    MapRegion visibleRegion() const;
    double pixelsPerDegree() const { return m_pixelsPerDegree; }
    QPointF center() const { return m_center; }

    QPointF toView(QPointF coordinate) const;
    QPointF toCoordinate(QPointF viewPoint) const;
    // Degrees to view pixels, for drawing whole outlines at once.
    QTransform transform() const;

    // Scales by factor (above 1 zooms in) and keeps the coordinate under anchor where it is.
    void zoomBy(double factor, QPointF anchor);
    // Moves the map with the pointer: the map follows a drag by delta pixels.
    void panBy(QPointF delta);

    bool isEmpty() const { return m_viewSize.width() <= 0 || m_viewSize.height() <= 0; }

private:
    double minimumPixelsPerDegree() const;
    double maximumPixelsPerDegree() const;
    void clamp();

    QSizeF m_viewSize;
    MapRegion m_region;
    QPointF m_center; // longitude, latitude
    double m_pixelsPerDegree = 1;
    bool m_followsRegion = true;
};
