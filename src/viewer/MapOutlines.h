#pragma once

#include <QByteArray>
#include <QList>
#include <QPolygonF>
#include <QString>
#include <memory>
#include <optional>

class QIODevice;

// The world's land and its borders, as the map draws them: points are degrees
// (x longitude, y latitude). Land rings are meant for a non-zero fill: holes run
// the other way round from the rings around them, and land across the 180th
// meridian is repeated a world's width over, so a plain equirectangular drawing
// clipped to -180..180 is complete.
//
// The data is the compact file that scripts/make-map-outlines writes. Reading
// never trusts it: truncated or damaged data gives no outlines at all, never a crash
// and never half a map.
class MapOutlines {
public:
    enum class LineKind { Coast = 0, Border = 1 };
    struct Line {
        LineKind kind;
        QPolygonF points;
    };

    static std::optional<MapOutlines> fromData(const QByteArray& data);
    static std::optional<MapOutlines> fromDevice(QIODevice& device);
    static std::optional<MapOutlines> fromFile(const QString& path);

    // The outlines bundled with the application (resource kBundledPath), read once
    // and shared by every map; nullptr when they are missing or damaged. The
    // application's resources must be registered before the first call.
    static std::shared_ptr<const MapOutlines> bundled();
    static inline const QString kBundledPath = QStringLiteral(":/map/world-outlines.bin");

    const QList<QPolygonF>& landRings() const { return m_landRings; }
    const QList<Line>& lines() const { return m_lines; }

    // The file's first bytes; data without them is not read.
    static const QByteArray kMagic;

private:
    QList<QPolygonF> m_landRings;
    QList<Line> m_lines;
};
