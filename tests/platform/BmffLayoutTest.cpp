#include "platform/BmffLayout.h"
#include "platform/BmffItemRewrite.h"
#include "platform/BmffBoxes.h"
#include "platform/Exiv2Adapter.h"
#include "platform/ImageDataLayout.h"

#include <QByteArray>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <optional>
#include <vector>
#include <gtest/gtest.h>

namespace {

using BmffBoxes::bigEndian;
using BmffBoxes::box;
using BmffBoxes::fullBox;

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
    std::optional<quint64> length = {}; // the extent's length when not the item's
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
            + bigEndian(layout.length.value_or(quint64(layout.item.size())), 4);
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

// A writer must tell an Exif item it cannot read from one that holds nothing.
TEST(BmffLayout, tellsADamagedExifItemFromAnEmptiedOne)
{
    using State = BmffLayout::ExifItemState;
    EXPECT_EQ(BmffLayout::exifItemState(heifWith({})), State::Placed);
    EXPECT_EQ(BmffLayout::exifItemState(heifWith({ .offsetPastItem = 1 })), State::Damaged);
    EXPECT_EQ(BmffLayout::exifItemState(heifWith({ .item = bigEndian(0xffffffff, 4) + kTiff })), State::Elsewhere);
    // No length: Exif data at its place lost its length; other bytes mark an item emptied.
    EXPECT_EQ(BmffLayout::exifItemState(heifWith({ .length = 0 })), State::Damaged);
    EXPECT_EQ(BmffLayout::exifItemState(heifWith({ .item = QByteArray(20, 'x'), .length = 0 })), State::None);
}

namespace {

// One item of a file made by heifWithItems.
struct Item {
    quint64 id = 0;
    const char* type = "hvc1";
    QByteArray bytes = {};
    quint64 describes = 0; // the item a metadata item describes ("cdsc"), or none
    bool inIdat = false;
    bool twoExtents = false;
};

struct FileLayout {
    std::vector<Item> items = {};
    bool placedByBase = false; // the position in the base offset, the extent's offset 0
    bool metaLast = false; // "mdat" before "meta"
    QByteArray topBoxAfter = {}; // a box after the others
};

QByteArray itemInfo(const Item& item)
{
    const bool xmp = QByteArrayView(item.type) == "mime";
    return fullBox("infe", 2,
        bigEndian(item.id, 2) + bigEndian(0, 2) + item.type + QByteArray(1, '\0')
            + (xmp ? QByteArray("application/rdf+xml") + QByteArray(1, '\0') : QByteArray()));
}

// A HEIF file with the items, item 1 the primary image; the bytes of those not
// in "idat" follow one another in "mdat".
QByteArray heifWithItems(const FileLayout& layout)
{
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + bigEndian(0, 4) + "mif1heic");
    QByteArray infos, references, idat, mediaData;
    for (const Item& item : layout.items) {
        infos += itemInfo(item);
        if (item.describes != 0)
            references += box("cdsc", bigEndian(item.id, 2) + bigEndian(1, 2) + bigEndian(item.describes, 2));
        if (item.inIdat)
            idat += item.bytes;
    }
    const auto metaWith = [&](qsizetype mediaStart) {
        QByteArray entries;
        qsizetype inMedia = 0, inIdat = 0;
        for (const Item& item : layout.items) {
            const qsizetype at = item.inIdat ? inIdat : mediaStart + inMedia;
            (item.inIdat ? inIdat : inMedia) += item.bytes.size();
            const bool byBase = layout.placedByBase && !item.inIdat;
            entries += bigEndian(item.id, 2) + bigEndian(item.inIdat ? 1 : 0, 2) + bigEndian(0, 2)
                + bigEndian(byBase ? at : 0, 4);
            const qsizetype half = item.twoExtents ? item.bytes.size() / 2 : item.bytes.size();
            const quint64 offset = byBase ? 0 : quint64(at);
            entries += item.twoExtents ? bigEndian(2, 2) + bigEndian(offset, 4) + bigEndian(half, 4)
                    + bigEndian(offset + half, 4) + bigEndian(item.bytes.size() - half, 4)
                                       : bigEndian(1, 2) + bigEndian(offset, 4) + bigEndian(half, 4);
        }
        return fullBox("meta", 0,
            fullBox("hdlr", 0, bigEndian(0, 4) + "pict" + QByteArray(13, '\0'))
                + fullBox("pitm", 0, bigEndian(1, 2))
                + fullBox("iinf", 0, bigEndian(layout.items.size(), 2) + infos)
                + (references.isEmpty() ? QByteArray() : fullBox("iref", 0, references))
                + fullBox("iloc", 1, QByteArray::fromHex("4440") + bigEndian(layout.items.size(), 2) + entries)
                + (idat.isEmpty() ? QByteArray() : box("idat", idat)));
    };
    for (const Item& item : layout.items) {
        if (!item.inIdat)
            mediaData += item.bytes;
    }
    const qsizetype metaSize = metaWith(0).size();
    if (layout.metaLast)
        return ftyp + box("mdat", mediaData) + metaWith(ftyp.size() + 8) + layout.topBoxAfter;
    return ftyp + metaWith(ftyp.size() + metaSize + 8) + box("mdat", mediaData) + layout.topBoxAfter;
}

const QByteArray kGainMapPacket = "<x:xmpmeta><HDRGainMapVersion>65536</HDRGainMapVersion></x:xmpmeta>";

// The primary image (1), its Exif and XMP items, a second image (4) with an XMP
// item of its own (a gain map), in that order in the media data.
std::vector<Item> photoItems()
{
    return { { .id = 2, .type = "Exif", .bytes = kExifItem, .describes = 1 },
        { .id = 3, .type = "mime", .bytes = "<x:xmpmeta>old packet, padded      </x:xmpmeta>", .describes = 1 },
        { .id = 1, .bytes = QByteArray(300, 'P') }, { .id = 4, .bytes = QByteArray(200, 'G') },
        { .id = 5, .type = "mime", .bytes = kGainMapPacket, .describes = 4 } };
}

} // namespace

// The new Exif block (longer) and packet (shorter) take the items' places; what
// follows moves, and every image, the gain map's packet and the Exif item's
// prefix are kept, wherever "meta" lies and however "iloc" places the items.
TEST(BmffLayout, rewritesTheMetadataItemsWhereTheyLieAndMovesWhatFollows)
{
    const QByteArray tiff = QByteArray(kTiff).replace("Ab", "Zo") + QByteArray(30, '\0');
    const QByteArray packet = "<x:xmpmeta>new</x:xmpmeta>";
    for (const FileLayout& layout : { FileLayout { .items = photoItems() },
             FileLayout { .items = photoItems(), .placedByBase = true },
             FileLayout { .items = photoItems(), .metaLast = true } }) {
        SCOPED_TRACE(layout.placedByBase ? "by base" : layout.metaLast ? "meta last" : "plain");
        const QByteArray original = heifWithItems(layout);
        ASSERT_EQ(BmffLayout::exifItem(original), QByteArrayView(kTiff));
        const std::optional<QByteArray> written = BmffLayout::withMetadataItems(original, tiff, packet);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->size(), original.size() + (tiff.size() - kTiff.size()) + (packet.size() - 47));
        EXPECT_EQ(BmffLayout::exifItem(*written), QByteArrayView(tiff));
        EXPECT_TRUE(written->contains(bigEndian(6, 4) + QByteArray("Exif\0\0", 6) + tiff));
        EXPECT_EQ(BmffLayout::xmpItem(*written), QByteArrayView(packet));
        EXPECT_EQ(artistOf(*written), "Zo");
        EXPECT_EQ(ImageDataLayout::compare(original, *written).outcome, ImageDataLayout::Comparison::Same);
        EXPECT_EQ(BmffLayout::metadataItems(*written).othersItems,
            std::vector<QByteArrayView> { QByteArrayView(kGainMapPacket) });

        // Only the Exif block, or only the packet, of the very same size: nothing else changes.
        const QByteArray sameSize = QByteArray(kTiff).replace("Ab", "Zo");
        const std::optional<QByteArray> inPlace = BmffLayout::withMetadataItems(original, sameSize, std::nullopt);
        ASSERT_TRUE(inPlace);
        EXPECT_EQ(QByteArray(original).replace(kTiff, sameSize), *inPlace);
        EXPECT_EQ(BmffLayout::xmpItem(*BmffLayout::withMetadataItems(original, std::nullopt, packet)),
            QByteArrayView(packet));
    }
}

// Whatever a plain rewrite cannot place is left to a writer that rebuilds the
// file: an item in "idat" or in two extents, an item to add, another item's
// bytes overlapping the replaced ones, a box whose offsets would go stale, an
// empty packet, and every cut of the file.
TEST(BmffLayout, leavesEveryLayoutItCannotPlainlyRewrite)
{
    const QByteArray tiff = kTiff + QByteArray(8, '\0');
    const auto withItem = [](std::size_t index, const std::function<void(Item&)>& change) {
        std::vector<Item> items = photoItems();
        change(items[index]);
        return FileLayout { .items = items };
    };
    EXPECT_FALSE(BmffLayout::withMetadataItems(heifWithItems(withItem(0, [](Item& i) { i.inIdat = true; })), tiff, {}));
    EXPECT_FALSE(BmffLayout::withMetadataItems(heifWithItems(withItem(0, [](Item& i) { i.twoExtents = true; })), tiff, {}));
    EXPECT_FALSE(BmffLayout::withMetadataItems(heifWithItems(withItem(1, [](Item& i) { i.type = "hvc1"; })), {}, "<x/>"));
    EXPECT_FALSE(BmffLayout::withMetadataItems(heifWithItems({ .items = photoItems() }), {}, ""));
    EXPECT_FALSE(BmffLayout::withMetadataItems(
        heifWithItems({ .items = photoItems(), .topBoxAfter = box("moov", QByteArray(16, '\0')) }), tiff, {}));
    EXPECT_TRUE(BmffLayout::withMetadataItems(
        heifWithItems({ .items = photoItems(), .topBoxAfter = box("free", QByteArray(16, '\0')) }), tiff, {}));

    // The primary image's extent made to start inside the Exif item.
    QByteArray overlapping = heifWithItems({ .items = photoItems() });
    const QByteArray imageEntry = bigEndian(1, 2) + bigEndian(0, 2) + bigEndian(0, 2) + bigEndian(0, 4) + bigEndian(1, 2);
    const qsizetype entryAt = overlapping.indexOf(imageEntry);
    ASSERT_GT(entryAt, 0);
    const qsizetype exifAt = overlapping.indexOf(kExifItem);
    overlapping.replace(entryAt + imageEntry.size(), 4, bigEndian(exifAt + 4, 4));
    EXPECT_FALSE(BmffLayout::withMetadataItems(overlapping, tiff, {}));

    const QByteArray whole = heifWithItems({ .items = photoItems() });
    ASSERT_TRUE(BmffLayout::withMetadataItems(whole, tiff, "<x/>"));
    for (qsizetype size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(BmffLayout::withMetadataItems(QByteArrayView(whole).first(size), tiff, "<x/>")) << size;
}
