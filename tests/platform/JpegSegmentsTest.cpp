#include "platform/JpegExifSegment.h"
#include "platform/JpegExtendedXmp.h"
#include "platform/PhotoshopIptcDigest.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

namespace {

QByteArray segment(unsigned char marker, const QByteArray& data)
{
    const int length = int(data.size()) + 2;
    return QByteArray("\xff") + char(marker) + char(length >> 8) + char(length & 0xff) + data;
}

QByteArray jpeg(const QByteArray& segments)
{
    return QByteArray("\xff\xd8", 2) + segments + QByteArray("\xff\xda\x00\x02pixels\xff\xd9", 12);
}

QByteArray exif(const QByteArray& body)
{
    return segment(0xE1, QByteArray("Exif\0\0", 6) + body);
}

// A Photoshop segment with the IPTC data and its digest.
QByteArray photoshop(const QByteArray& iptc, const QByteArray& digest)
{
    auto resource = [](quint16 id, const QByteArray& value) {
        QByteArray bytes = QByteArray("8BIM") + char(id >> 8) + char(id & 0xff) + QByteArray(2, '\0');
        const quint32 size = quint32(value.size());
        bytes += char(size >> 24) + QByteArray(1, char(size >> 16)) + char(size >> 8) + char(size);
        bytes += value;
        if (value.size() % 2)
            bytes += '\0';
        return bytes;
    };
    return segment(0xED, QByteArray("Photoshop 3.0\0", 14) + resource(0x0404, iptc) + resource(0x0425, digest));
}

QByteArray md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

} // namespace

TEST(JpegExifSegment, findsTheExifSegmentAndPutsAnOriginalOneBack)
{
    const QByteArray app0 = segment(0xE0, "JFIF\0");
    const QByteArray original = jpeg(app0 + exif("old block"));
    const QByteArray edited = jpeg(app0 + exif("new, longer block") + segment(0xE1, "http://ns.adobe.com/xap/1.0/"));
    const auto found = JpegExifSegment::find(original);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->offset, 2 + app0.size());
    EXPECT_EQ(found->size, exif("old block").size());

    EXPECT_EQ(JpegExifSegment::withExifSegmentOf(edited, original),
        jpeg(app0 + exif("old block") + segment(0xE1, "http://ns.adobe.com/xap/1.0/")));
    EXPECT_EQ(JpegExifSegment::withExifSegmentOf(original, original), std::nullopt);
    EXPECT_FALSE(JpegExifSegment::find(jpeg(app0)));
    EXPECT_FALSE(JpegExifSegment::find("no jpeg"));
    // A segment that claims to run past the end is no segment.
    EXPECT_FALSE(JpegExifSegment::find(QByteArray("\xff\xd8\xff\xe1\x7f\xff", 6) + "Exif"));
}

TEST(JpegExifSegment, stepsOverRestartMarkersAndCountsFillBytesAsPartOfTheSegment)
{
    // The header walk refuses such a layout; this one only has to find the block.
    const QByteArray head = QByteArray("\xff\xd0\xff\x01", 4) + segment(0xE0, "JFIF\0");
    const QByteArray original = jpeg(head + QByteArray("\xff\xff", 2) + exif("old block"));
    const auto found = JpegExifSegment::find(original);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->offset, 2 + head.size());
    EXPECT_EQ(found->size, exif("old block").size() + 2);
    // A block behind the start of scan is image data, not a segment.
    EXPECT_FALSE(JpegExifSegment::find(jpeg(segment(0xE0, "JFIF\0")) + exif("late block")));
}

namespace {

// A piece of extended XMP under the GUID: signature, GUID, full length, offset, data.
QByteArray extension(const QByteArray& guid, const QByteArray& data)
{
    return segment(0xE1,
        QByteArray("http://ns.adobe.com/xmp/extension/\0", 35) + guid + QByteArray("\0\0\0\x10\0\0\0\0", 8) + data);
}

} // namespace

TEST(JpegExtendedXmp, findsTheExtensionSegmentsAndKeepsOnlyThoseOfTheNamedGuid)
{
    const QByteArray a(32, 'A');
    const QByteArray app0 = segment(0xE0, "JFIF\0");
    const QByteArray packet = segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>");
    // Fill bytes before a marker belong to its segment.
    const QByteArray firstOfA = QByteArray("\xff", 1) + extension(a, "first");
    const QByteArray photo
        = jpeg(app0 + firstOfA + packet + extension(QByteArray(32, 'B'), "other") + extension(a, "second"));

    EXPECT_EQ(JpegExtendedXmp::bytesOf(photo, QByteArrayView(a)),
        QList<QByteArrayView>({ firstOfA, extension(a, "second") }));
    EXPECT_EQ(JpegExtendedXmp::keepingOnly(photo, a), jpeg(app0 + firstOfA + packet + extension(a, "second")));
    EXPECT_EQ(JpegExtendedXmp::keepingOnly(photo, {}), jpeg(app0 + packet));
    EXPECT_EQ(JpegExtendedXmp::keepingOnly(jpeg(app0 + extension(a, "only")), a), std::nullopt);
    // A segment too short for a GUID belongs to no packet; one behind the start of
    // scan is image data.
    EXPECT_EQ(JpegExtendedXmp::keepingOnly(jpeg(extension("AB", "")), QByteArrayView("AB")), jpeg({}));
    EXPECT_EQ(JpegExtendedXmp::segmentsOf(jpeg(app0) + extension(a, "late")), QList<JpegExtendedXmp::Segment>());
    // Segments that run past the end cannot be walked.
    EXPECT_FALSE(JpegExtendedXmp::segmentsOf(QByteArray("\xff\xd8\xff\xe1\x7f\xff", 6) + "http"));
    EXPECT_FALSE(JpegExtendedXmp::keepingOnly("no jpeg", {}));
}

TEST(PhotoshopIptcDigest, aCurrentDigestFollowsTheNewIptcDataAndAStaleOneIsLeft)
{
    const QByteArray oldIptc("\x1c\x02\x5a\x00\x05Paris", 10);
    const QByteArray newIptc("\x1c\x02\x5a\x00\x04Lyon", 9);
    const QByteArray original = jpeg(photoshop(oldIptc, md5(oldIptc)));
    const QByteArray edited = jpeg(photoshop(newIptc, md5(oldIptc)));

    EXPECT_EQ(PhotoshopIptcDigest::updated(edited, original), jpeg(photoshop(newIptc, md5(newIptc))));
    const QByteArray stale = jpeg(photoshop(oldIptc, QByteArray(16, 'x')));
    EXPECT_EQ(PhotoshopIptcDigest::updated(edited, stale), std::nullopt);
    EXPECT_EQ(PhotoshopIptcDigest::updated(original, original), std::nullopt);
}

// The IPTC resource takes data of another size, odd or even, with its padding,
// its size and the segment's length set to match; the digest is left to updated.
TEST(PhotoshopIptcDigest, theIptcDataIsReplacedWithItsSizeAndPaddingAndTheSegmentLength)
{
    const QByteArray even("\x1c\x02\x5a\x00\x05Paris", 10);
    const QByteArray odd("\x1c\x02\x5a\x00\x04Lyon", 9);
    const QByteArray digest(16, 'd');
    const QByteArray app0 = segment(0xE0, "JFIF\0");
    const QByteArray original = jpeg(app0 + photoshop(even, digest));

    EXPECT_EQ(PhotoshopIptcDigest::iptcDataOf(original), QByteArrayView(even));
    EXPECT_EQ(PhotoshopIptcDigest::withIptcData(original, odd), jpeg(app0 + photoshop(odd, digest)));
    EXPECT_EQ(PhotoshopIptcDigest::withIptcData(jpeg(app0 + photoshop(odd, digest)), even), original);
    EXPECT_EQ(PhotoshopIptcDigest::withIptcData(original, even), std::nullopt);
    EXPECT_EQ(PhotoshopIptcDigest::withIptcData(jpeg(app0), odd), std::nullopt);
}
