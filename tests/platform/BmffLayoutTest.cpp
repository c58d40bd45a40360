#include "platform/BmffLayout.h"
#include "platform/Exiv2Adapter.h"

#include <QByteArray>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

namespace {

QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char((value >> (8 * i)) & 0xff));
    return bytes;
}

QByteArray box(const char* type, const QByteArray& payload)
{
    return bigEndian(8 + payload.size(), 4) + type + payload;
}

QByteArray fullBox(const char* type, int version, const QByteArray& payload)
{
    return box(type, bigEndian(version, 1) + bigEndian(0, 3) + payload);
}

// A big-endian TIFF block with one entry: Artist "Ab".
const QByteArray kTiff = QByteArray::fromHex("4d4d002a00000008"
                                             "0001"
                                             "013b00020000000341620000"
                                             "00000000");

// The Exif item as HEIF stores it: the offset of the TIFF header, then "Exif\0\0".
const QByteArray kExifItem = bigEndian(6, 4) + QByteArray("Exif\0\0", 6) + kTiff;

struct ItemLayout {
    int ilocVersion = 0; // 2 also gives the item a 32-bit id
    bool inIdat = false; // else in "mdat"
    quint64 offsetPastItem = 0; // moves the extent that far beyond where the item is
    int ilocCut = 0; // bytes cut from the end of "iloc", its box made smaller to match
    QByteArray item = kExifItem;
};

// A HEIF file with one item of type "Exif", placed as layout says.
QByteArray heifWith(const ItemLayout& layout)
{
    const int idSize = layout.ilocVersion == 2 ? 4 : 2;
    const QByteArray iinf = fullBox("iinf", 0,
        bigEndian(1, 2)
            + fullBox("infe", idSize == 4 ? 3 : 2, bigEndian(1, idSize) + bigEndian(0, 2) + "Exif" + QByteArray(1, '\0')));
    const auto metaWith = [&](quint64 base, quint64 offset) {
        QByteArray entry = bigEndian(1, idSize);
        if (layout.ilocVersion >= 1)
            entry += bigEndian(layout.inIdat ? 1 : 0, 2);
        entry += bigEndian(0, 2) + bigEndian(base, 4) + bigEndian(1, 2) + bigEndian(offset, 4)
            + bigEndian(layout.item.size(), 4);
        entry.chop(layout.ilocCut);
        const QByteArray iloc = fullBox(
            "iloc", layout.ilocVersion, QByteArray::fromHex("4440") + bigEndian(1, idSize) + entry);
        return fullBox("meta", 0, iinf + iloc + (layout.inIdat ? box("idat", layout.item) : QByteArray()));
    };
    const QByteArray ftyp = box("ftyp", QByteArray("mif1") + bigEndian(0, 4) + "mif1heic");
    if (layout.inIdat)
        return ftyp + metaWith(0, layout.offsetPastItem);
    // Version 2 splits the position into a base and an extent offset; the others
    // give it all in the extent offset, as exiftool does and exiv2 alone misses.
    const quint64 itemStart = ftyp.size() + metaWith(0, 0).size() + 8;
    const quint64 base = layout.ilocVersion == 2 ? itemStart - 4 : 0;
    return ftyp + metaWith(base, itemStart - base + layout.offsetPastItem) + box("mdat", layout.item);
}

std::string artistOf(QByteArrayView bytes)
{
    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openBuffer(bytes, "read", "test.heic");
    if (!image)
        return "(not opened)";
    const auto artist = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Artist"));
    return artist == image->exifData().end() ? std::string() : artist->toString();
}

} // namespace

// Each way of placing the item gives its TIFF block, and our reader decodes it
// where exiv2 alone finds nothing.
TEST(BmffLayout, findsTheExifItemInTheFileOrInMetasOwnData)
{
    for (const ItemLayout& layout : { ItemLayout {}, ItemLayout { .ilocVersion = 1, .inIdat = true },
             ItemLayout { .ilocVersion = 2 }, ItemLayout { .item = QByteArray("Exif\0\0", 6) + kTiff } }) {
        SCOPED_TRACE(layout.ilocVersion);
        EXPECT_EQ(BmffLayout::exifItem(heifWith(layout)), QByteArrayView(kTiff));
    }
    EXPECT_EQ(artistOf(heifWith({})), "Ab");
}

// The file is untrusted: offsets past the end, a header offset past the item, or
// a file cut anywhere give no Exif item and no read outside the bytes.
TEST(BmffLayout, aDamagedItemLocationGivesNoExifItem)
{
    EXPECT_FALSE(BmffLayout::exifItem(heifWith({ .offsetPastItem = 1 })));
    EXPECT_FALSE(BmffLayout::exifItem(heifWith({ .offsetPastItem = 0xfffffff0 })));
    EXPECT_FALSE(BmffLayout::exifItem(heifWith({ .ilocVersion = 1, .inIdat = true, .offsetPastItem = 1 })));
    EXPECT_FALSE(BmffLayout::exifItem(heifWith({ .item = bigEndian(0xffffffff, 4) + kTiff })));
    for (int cut : { 1, 4, 9 })
        EXPECT_FALSE(BmffLayout::exifItem(heifWith({ .ilocCut = cut }))) << cut;
    EXPECT_EQ(artistOf(heifWith({ .offsetPastItem = 1 })), "");

    // Items whose extents hold no bytes: a location table that places nothing is
    // read through at once, not extent by extent.
    QByteArray emptyExtents = bigEndian(0xffff, 2);
    for (int item = 0; item < 0xffff; ++item)
        emptyExtents += bigEndian(2, 2) + bigEndian(0, 2) + bigEndian(0xffff, 2);
    const QByteArray manyItems = box("ftyp", QByteArray("mif1") + bigEndian(0, 4) + "mif1")
        + fullBox("meta", 0,
            fullBox("iinf", 0, bigEndian(1, 2) + fullBox("infe", 2, bigEndian(1, 2) + bigEndian(0, 2) + "Exif" + QByteArray(1, '\0')))
                + fullBox("iloc", 0, QByteArray(2, '\0') + emptyExtents));
    EXPECT_FALSE(BmffLayout::exifItem(manyItems));

    const QByteArray whole = heifWith({});
    for (qsizetype size = 0; size < whole.size(); ++size) {
        const QByteArrayView cut = QByteArrayView(whole).first(size);
        const std::optional<QByteArrayView> tiff = BmffLayout::exifItem(cut);
        EXPECT_FALSE(tiff) << size;
        EXPECT_FALSE(BmffLayout::xmpItem(cut)) << size;
    }
}
