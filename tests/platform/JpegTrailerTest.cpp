#include "platform/JpegTrailer.h"

#include "platform/ImageDataLayout.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

// The trailers other programs append after a JPEG's image: found where they lie,
// moved with their absolute offsets, and their IPTC data taken out in a clear.

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray sample(const char* name)
{
    QFile file(samplesDir() + QStringLiteral("/makers/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<JpegTrailer::Trailer> trailersOf(QByteArrayView file)
{
    return JpegTrailer::trailersOf(file, ImageDataLayout::jpegScanStart(file).value_or(file.size()));
}

std::vector<QByteArray> tagsOf(const JpegTrailer::Trailer& trailer)
{
    std::vector<QByteArray> tags;
    for (const JpegTrailer::Entry& entry : trailer.entries)
        tags.push_back(entry.tag);
    return tags;
}

// The file with a comment segment of size bytes right after its start of image: a
// header grown as a writer grows it.
QByteArray withGrownHeader(QByteArrayView file, int size)
{
    const int length = size + 2;
    return file.first(2).toByteArray() + "\xff\xfe" + char(length >> 8) + char(length & 0xff) + QByteArray(size, 'c')
        + file.sliced(2).toByteArray();
}

} // namespace

TEST(JpegTrailer, movesAnAfcpTrailerWithAGrownHeaderAndTakesOutOnlyItsIptcEntry)
{
    const QByteArray original = sample("AFCP.jpg");
    ASSERT_FALSE(original.isEmpty());
    const auto before = trailersOf(original);
    ASSERT_EQ(before.size(), 1U);
    EXPECT_EQ(before[0].kind, JpegTrailer::Trailer::Afcp);
    EXPECT_EQ(before[0].start, before[0].statedStart);
    EXPECT_EQ(tagsOf(before[0]), (std::vector<QByteArray> { "IPTC", "%SCC" }));

    // Copied unread behind a grown header, the trailer is still found, its offsets
    // now beside its values, which the check of a written file names.
    const QByteArray grown = withGrownHeader(original, 300);
    const auto stale = trailersOf(grown);
    ASSERT_EQ(stale.size(), 1U);
    EXPECT_EQ(stale[0].start - stale[0].statedStart, 304);
    EXPECT_TRUE(JpegTrailer::difference(original, grown, false));

    const std::optional<QByteArray> moved = JpegTrailer::carriedOver(grown, original, false);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->size(), grown.size());
    EXPECT_EQ(JpegTrailer::difference(original, *moved, false), std::nullopt);
    EXPECT_TRUE(JpegTrailer::difference(original, *moved, true)) << "the IPTC entry is still there";
    EXPECT_EQ(ImageDataLayout::compare(original, *moved).outcome, ImageDataLayout::Comparison::Same);

    const std::optional<QByteArray> cleared = JpegTrailer::carriedOver(grown, original, true);
    ASSERT_TRUE(cleared);
    const auto after = trailersOf(*cleared);
    ASSERT_EQ(after.size(), 1U);
    EXPECT_EQ(after[0].start, after[0].statedStart);
    EXPECT_EQ(tagsOf(after[0]), std::vector<QByteArray> { "%SCC" });
    EXPECT_EQ(after[0].entries[0].value, before[0].entries[1].value);
    EXPECT_EQ(JpegTrailer::difference(original, *cleared, true), std::nullopt);
    EXPECT_TRUE(JpegTrailer::difference(original, *cleared, false)) << "an IPTC entry that was to stay went";
    EXPECT_EQ(ImageDataLayout::compare(original, *cleared).outcome, ImageDataLayout::Comparison::Same);

    // In place, with nothing to change, nothing is made.
    EXPECT_FALSE(JpegTrailer::carriedOver(original, original, false));
}

TEST(JpegTrailer, takesTheIptcRecordOutOfFotoStationAndATrailerLeftEmptyGoesWhole)
{
    const QByteArray original = sample("FotoStation.jpg");
    ASSERT_FALSE(original.isEmpty());
    const auto before = trailersOf(original);
    ASSERT_EQ(before.size(), 1U);
    ASSERT_EQ(before[0].entries.size(), 2U);
    EXPECT_TRUE(before[0].entries[0].holdsIptc);

    const std::optional<QByteArray> cleared = JpegTrailer::carriedOver(original, original, true);
    ASSERT_TRUE(cleared);
    const auto after = trailersOf(*cleared);
    ASSERT_EQ(after.size(), 1U);
    ASSERT_EQ(after[0].entries.size(), 1U);
    EXPECT_EQ(after[0].entries[0].value, before[0].entries[1].value);
    EXPECT_EQ(JpegTrailer::difference(original, *cleared, true), std::nullopt);
    EXPECT_EQ(ImageDataLayout::compare(original, *cleared).outcome, ImageDataLayout::Comparison::Same);

    // Its IPTC record alone: the whole trailer goes, the image stays to its last byte.
    const qsizetype imageEnd = before[0].start;
    const QByteArray record = original.sliced(imageEnd, before[0].entries[0].value.size() + 10);
    const QByteArray iptcOnly = original.first(imageEnd) + record;
    const std::optional<QByteArray> bare = JpegTrailer::carriedOver(iptcOnly, iptcOnly, true);
    ASSERT_TRUE(bare);
    EXPECT_EQ(*bare, original.first(imageEnd));
    EXPECT_EQ(JpegTrailer::difference(iptcOnly, *bare, true), std::nullopt);
}

TEST(JpegTrailer, anAfcpTrailerWhoseDirectoryDoesNotFitIsNoneAndStaysAsItIs)
{
    QByteArray original = sample("AFCP.jpg");
    ASSERT_FALSE(original.isEmpty());
    const qsizetype start = trailersOf(original).at(0).start;
    QByteArray tooMany = original;
    tooMany[start + 6] = '\xff';
    QByteArray outside = original;
    outside[start + 12 + 8] = '\x7f'; // the IPTC entry's offset far past the file
    QByteArray otherOutside = original;
    otherOutside[start + 24 + 8] = '\x7f'; // the entry after it
    const qsizetype scan = ImageDataLayout::jpegScanStart(original).value_or(0);
    for (const QByteArray& damaged : { tooMany, outside, otherOutside }) {
        EXPECT_TRUE(trailersOf(damaged).empty());
        EXPECT_FALSE(JpegTrailer::carriedOver(withGrownHeader(damaged, 10), damaged, true));
        EXPECT_EQ(JpegTrailer::difference(damaged, damaged, true), std::nullopt);
    }
    // Read as exiftool reads it, up to its first entry that cannot be, only the last
    // keeps IPTC data that a clear leaves.
    EXPECT_FALSE(JpegTrailer::iptcKeptIn(tooMany, scan, true));
    EXPECT_FALSE(JpegTrailer::iptcKeptIn(outside, scan, true));
    EXPECT_TRUE(JpegTrailer::iptcKeptIn(otherOutside, scan, true));
    EXPECT_FALSE(JpegTrailer::iptcKeptIn(original, scan, true)) << "read whole, it is rewritten";
    EXPECT_TRUE(JpegTrailer::iptcKeptIn(original, scan, false)) << "copied as it is, it keeps its IPTC entry";
}

TEST(JpegTrailer, aMieTrailerIsKnownByItsEndAndKeepsItsIptcData)
{
    const QByteArray original = sample("AFCP.jpg");
    const qsizetype imageEnd = trailersOf(original).at(0).start;
    const QByteArray image = original.first(imageEnd);
    // A group whose IPTC element is all it holds, its size in 4 bytes big-endian.
    const QByteArray group
        = QByteArray("~\x10\x04\x00IPTC", 8) + QByteArray("~\0\x04\0zmie~\0\0\x06\0\0\0\x1a\x10\x04", 18);
    const QByteArray withMie = image + group;
    EXPECT_TRUE(JpegTrailer::endsWithOne(QByteArrayView(withMie).last(64)));
    const auto kept = JpegTrailer::iptcKeptIn(withMie, 0, true);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->trailer, u"MIE"_s);
    EXPECT_FALSE(kept->unreadable);
    EXPECT_FALSE(JpegTrailer::iptcKeptIn(QByteArray(withMie).replace(imageEnd + 4, 4, "XMP_"), 0, true));
}
