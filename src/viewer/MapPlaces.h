#pragma once

#include <QList>
#include <QPointF>
#include <QString>

// The places libgeonames knows, for the offline map: a name, a position and a
// population, biggest first, read once per process.
struct MapPlace {
    QString name;
    QPointF coordinate; // longitude, latitude
    quint32 population = 0;
    // Where it lies on the map at zoom 0 (WebMercator::toWorldPixel), made once so
    // that a frame need not project every place again.
    QPointF worldPixel;
};

namespace MapPlaces {

const QList<MapPlace>& all();

// The smallest population a place needs to be labelled at a zoom: only the biggest
// cities on the whole world, every place from street level on.
quint32 minimumPopulationAt(int zoom);

} // namespace MapPlaces
