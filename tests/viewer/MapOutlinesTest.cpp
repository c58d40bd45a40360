#include "viewer/MapOutlines.h"

#include <QBuffer>
#include <QFile>
#include <QPainterPath>
#include <gtest/gtest.h>
#include <random>

namespace {

QString outlinesPath()
{
    return QStringLiteral(VELLORAN_RESOURCES_DIR "/map/world-outlines.bin");
}

QByteArray shippedBytes()
{
    QFile file(outlinesPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const MapOutlines& shipped()
{
    static const MapOutlines outlines = *MapOutlines::fromFile(outlinesPath());
    return outlines;
}

// Land as the map fills it.
const QPainterPath& land()
{
    static const QPainterPath path = [] {
        QPainterPath p;
        p.setFillRule(Qt::WindingFill);
        for (const QPolygonF& ring : shipped().landRings())
            p.addPolygon(ring);
        return p;
    }();
    return path;
}

bool isLand(double latitude, double longitude)
{
    return land().contains(QPointF(longitude, latitude));
}

void appendVarint(QByteArray& out, quint64 value)
{
    do {
        char byte = char(value & 0x7F);
        value >>= 7;
        if (value)
            byte = char(byte | 0x80);
        out.append(byte);
    } while (value);
}

// A file with one triangle of land and one border line, written as the script does.
QByteArray tinyOutlines()
{
    QByteArray data = MapOutlines::kMagic;
    appendVarint(data, 1); // rings
    appendVarint(data, 3);
    for (int v : { 2000, 4000, 2000, 0, 0, -4000 }) // (2,4), then steps of (2,0) and (0,-4) degrees
        appendVarint(data, quint64(v >= 0 ? v * 2 : -v * 2 - 1));
    appendVarint(data, 1); // lines
    appendVarint(data, 1); // border
    appendVarint(data, 2);
    for (int v : { -5000, 2500, 10000, 0 })
        appendVarint(data, quint64(v >= 0 ? v * 2 : -v * 2 - 1));
    return data;
}

} // namespace

TEST(MapOutlines, theShippedFileReadsFromAPathAndFromADevice)
{
    ASSERT_TRUE(MapOutlines::fromFile(outlinesPath()));
    QBuffer buffer;
    buffer.setData(shippedBytes());
    const auto fromDevice = MapOutlines::fromDevice(buffer);
    ASSERT_TRUE(fromDevice);
    EXPECT_EQ(fromDevice->landRings().size(), shipped().landRings().size());
    EXPECT_GT(shipped().landRings().size(), 1000);
    int borders = 0;
    for (const auto& line : shipped().lines())
        borders += line.kind == MapOutlines::LineKind::Border;
    EXPECT_GT(borders, 300);
    EXPECT_GT(shipped().lines().size() - borders, 300); // coasts
}

TEST(MapOutlines, landAndSeaAreWhereTheyAre)
{
    EXPECT_TRUE(isLand(48.86, 2.35)); // Paris
    EXPECT_TRUE(isLand(-23.55, -46.63)); // São Paulo
    EXPECT_TRUE(isLand(35.68, 139.76)); // Tokyo
    EXPECT_TRUE(isLand(-25.0, 134.0)); // inside Australia
    EXPECT_FALSE(isLand(30.0, -40.0)); // the Atlantic
    EXPECT_FALSE(isLand(0.0, -150.0)); // the Pacific
    EXPECT_FALSE(isLand(-40.0, 80.0)); // the Indian Ocean
}

TEST(MapOutlines, landAcrossTheDateLineAndAroundThePoleIsFilled)
{
    EXPECT_TRUE(isLand(66.0, -175.0)); // Chukotka, east of the 180th meridian
    EXPECT_TRUE(isLand(66.0, 175.0)); // Chukotka, west of it
    EXPECT_TRUE(isLand(71.2, -179.5)); // Wrangel Island
    EXPECT_TRUE(isLand(-89.5, 0.0)); // the South Pole
    EXPECT_TRUE(isLand(-86.0, -179.9)); // Antarctica at the date line, behind the Ross Ice Shelf
    EXPECT_TRUE(isLand(-86.0, 179.9));
    EXPECT_FALSE(isLand(85.0, 0.0)); // the Arctic Ocean is not closed like Antarctica
    EXPECT_FALSE(isLand(-60.0, 0.0));
}

TEST(MapOutlines, everyPointLiesOnTheMapOrOneWorldBeside)
{
    for (const QPolygonF& ring : shipped().landRings()) {
        const QRectF bounds = ring.boundingRect();
        EXPECT_TRUE(bounds.intersects(QRectF(-180, -90, 360, 180)));
        EXPECT_GE(bounds.left(), -540);
        EXPECT_LE(bounds.right(), 540);
    }
    for (const auto& line : shipped().lines()) {
        for (int i = 1; i < line.points.size(); ++i) // cut at the date line, never across the map
            EXPECT_LT(std::abs(line.points[i].x() - line.points[i - 1].x()), 180);
    }
}

TEST(MapOutlines, readsTheDegreesTheScriptWrote)
{
    const auto outlines = MapOutlines::fromData(tinyOutlines());
    ASSERT_TRUE(outlines);
    ASSERT_EQ(outlines->landRings().size(), 1);
    EXPECT_EQ(outlines->landRings()[0], QPolygonF({ QPointF(2, 4), QPointF(4, 4), QPointF(4, 0) }));
    ASSERT_EQ(outlines->lines().size(), 1);
    EXPECT_EQ(outlines->lines()[0].kind, MapOutlines::LineKind::Border);
    EXPECT_EQ(outlines->lines()[0].points, QPolygonF({ QPointF(-5, 2.5), QPointF(5, 2.5) }));
}

TEST(MapOutlines, damagedDataGivesNoOutlinesAtAll)
{
    const QByteArray good = tinyOutlines();
    for (qsizetype size = 0; size < good.size(); ++size)
        EXPECT_FALSE(MapOutlines::fromData(good.left(size))) << size;
    EXPECT_FALSE(MapOutlines::fromData(good + '\0')); // trailing bytes

    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(MapOutlines::fromData(wrongMagic));

    QByteArray hugeCount = MapOutlines::kMagic;
    appendVarint(hugeCount, quint64(1) << 40);
    EXPECT_FALSE(MapOutlines::fromData(hugeCount));

    QByteArray farAway = MapOutlines::kMagic; // a point beyond the poles
    appendVarint(farAway, 1);
    appendVarint(farAway, 1);
    appendVarint(farAway, 0);
    appendVarint(farAway, 2 * 91000);
    appendVarint(farAway, 0);
    EXPECT_FALSE(MapOutlines::fromData(farAway));

    QByteArray endlessVarint = MapOutlines::kMagic;
    endlessVarint.append(QByteArray(20, char(0xFF)));
    EXPECT_FALSE(MapOutlines::fromData(endlessVarint));

    EXPECT_FALSE(MapOutlines::fromFile(QStringLiteral("/nonexistent/world-outlines.bin")));
}

TEST(MapOutlines, randomDamageNeverCrashesOrLeavesTheWorld)
{
    const QByteArray good = shippedBytes();
    ASSERT_FALSE(good.isEmpty());
    std::mt19937 random(18);
    std::uniform_int_distribution<qsizetype> position(MapOutlines::kMagic.size(), good.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        QByteArray damaged = good;
        for (int i = 0; i < 4; ++i)
            damaged[position(random)] = char(byte(random));
        const auto outlines = MapOutlines::fromData(damaged);
        if (!outlines)
            continue;
        for (const QPolygonF& ring : outlines->landRings()) {
            const QRectF bounds = ring.boundingRect();
            ASSERT_TRUE(bounds.left() >= -540 && bounds.right() <= 540 && bounds.top() >= -90 && bounds.bottom() <= 90);
        }
    }
}
