#include "viewer/MapOutlines.h"

#include <QFile>
#include <QIODevice>
#include <cstdint>

const QByteArray MapOutlines::kMagic = QByteArray("VLMAP\x01\n\x00", 8);

namespace {

// The largest file read; the outlines we ship are under half a megabyte.
constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
// Coordinates are thousandths of a degree; copies across the 180th meridian reach
// one world's width beyond it.
constexpr double kUnitsPerDegree = 1000.0;
constexpr std::int64_t kMaxAbsLongitude = 540 * 1000;
constexpr std::int64_t kMaxAbsLatitude = 90 * 1000;

class Reader {
public:
    explicit Reader(const QByteArray& data)
        : m_data(reinterpret_cast<const unsigned char*>(data.constData()))
        , m_size(data.size())
    {
    }

    void skip(qsizetype count) { m_pos = std::min(m_size, m_pos + count); }
    qsizetype remaining() const { return m_size - m_pos; }

    std::optional<std::uint64_t> varint()
    {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_pos >= m_size)
                return std::nullopt;
            const unsigned char byte = m_data[m_pos++];
            value |= std::uint64_t(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return value;
        }
        return std::nullopt;
    }

    // A count of items that each take at least minBytes: more than the rest of the
    // data can hold is damage, not a reason to allocate.
    std::optional<qsizetype> count(qsizetype minBytes)
    {
        const auto value = varint();
        if (!value || *value > std::uint64_t(remaining() / minBytes))
            return std::nullopt;
        return qsizetype(*value);
    }

    std::optional<QPolygonF> polyline()
    {
        const auto points = count(2);
        if (!points)
            return std::nullopt;
        QPolygonF polyline;
        polyline.reserve(*points);
        std::int64_t x = 0;
        std::int64_t y = 0;
        for (qsizetype i = 0; i < *points; ++i) {
            const auto dx = varint();
            const auto dy = varint();
            if (!dx || !dy)
                return std::nullopt;
            x += unzigzag(*dx);
            y += unzigzag(*dy);
            if (x > kMaxAbsLongitude || x < -kMaxAbsLongitude || y > kMaxAbsLatitude || y < -kMaxAbsLatitude)
                return std::nullopt;
            polyline.append(QPointF(double(x) / kUnitsPerDegree, double(y) / kUnitsPerDegree));
        }
        return polyline;
    }

private:
    static std::int64_t unzigzag(std::uint64_t value)
    {
        // Deltas beyond the coordinate range are caught by the range check after
        // adding, so only the bits that fit matter here.
        const auto magnitude = std::int64_t(value >> 1 & 0x3FFFFFFFFFFFFFFF);
        return (value & 1) ? -magnitude - 1 : magnitude;
    }

    const unsigned char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

} // namespace

std::optional<MapOutlines> MapOutlines::fromData(const QByteArray& data)
{
    if (!data.startsWith(kMagic))
        return std::nullopt;
    Reader reader(data);
    reader.skip(kMagic.size());

    MapOutlines outlines;
    const auto rings = reader.count(3);
    if (!rings)
        return std::nullopt;
    outlines.m_landRings.reserve(*rings);
    for (qsizetype i = 0; i < *rings; ++i) {
        auto ring = reader.polyline();
        if (!ring)
            return std::nullopt;
        outlines.m_landRings.append(std::move(*ring));
    }

    const auto lines = reader.count(4);
    if (!lines)
        return std::nullopt;
    outlines.m_lines.reserve(*lines);
    for (qsizetype i = 0; i < *lines; ++i) {
        const auto kind = reader.varint();
        if (!kind || *kind > 1)
            return std::nullopt;
        auto points = reader.polyline();
        if (!points)
            return std::nullopt;
        outlines.m_lines.append(Line { LineKind(*kind), std::move(*points) });
    }
    if (reader.remaining() != 0)
        return std::nullopt;
    return outlines;
}

std::optional<MapOutlines> MapOutlines::fromDevice(QIODevice& device)
{
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = device.read(kMaxBytes + 1);
    if (data.size() > kMaxBytes)
        return std::nullopt;
    return fromData(data);
}

std::optional<MapOutlines> MapOutlines::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromDevice(file);
}

std::shared_ptr<const MapOutlines> MapOutlines::bundled()
{
    static const std::shared_ptr<const MapOutlines> outlines = []() -> std::shared_ptr<const MapOutlines> {
        auto read = fromFile(kBundledPath);
        if (!read)
            return nullptr;
        return std::make_shared<const MapOutlines>(std::move(*read));
    }();
    return outlines;
}
