#include "platform/BmffItemRewrite.h"
#include "platform/BmffLayout.h"
#include "platform/BmffBoxes.h"
#include "platform/ImageDataLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <vector>

using namespace Qt::Literals::StringLiterals;

// The rewrite of a HEIF file's Exif and XMP items where they lie, held against a
// reader of the test's own: every other item must point at the very bytes it
// pointed at before, in every layout the rewrite accepts, and every field it
// moves, moved wrongly, must be caught by the image data comparison that guards
// each write.
namespace {

using BmffBoxes::box;
using BmffBoxes::fullBox;

QByteArray be(quint64 value, int size)
{
    return BmffBoxes::bigEndian(value, size);
}

// 0 past the end of bytes.
quint64 numberAt(QByteArrayView bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | (at + i < bytes.size() ? uchar(bytes[at + i]) : 0);
    return value;
}

// ---- The test's own reader: it shares no code with BmffLayout. ----

struct Box {
    QByteArray type;
    qsizetype start = 0;
    qsizetype payload = 0;
    qsizetype end = 0;
};

std::vector<Box> boxesIn(QByteArrayView bytes, qsizetype from, qsizetype to, bool* fills = nullptr)
{
    std::vector<Box> boxes;
    qsizetype at = from;
    while (to - at >= 8) {
        quint64 size = numberAt(bytes, at, 4);
        qsizetype header = 8;
        if (size == 1) {
            if (to - at < 16)
                break;
            size = numberAt(bytes, at + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = quint64(to - at);
        }
        if (size < quint64(header) || size > quint64(to - at))
            break;
        boxes.push_back({ bytes.sliced(at + 4, 4).toByteArray(), at, at + header, at + qsizetype(size) });
        at += qsizetype(size);
    }
    if (fills != nullptr)
        *fills = at == to;
    return boxes;
}

const Box* firstOf(const std::vector<Box>& boxes, QByteArrayView type)
{
    for (const Box& b : boxes) {
        if (b.type == type)
            return &b;
    }
    return nullptr;
}

// A field of the file that places something: where it lies and its width.
struct Field {
    qsizetype at = 0;
    int size = 0;
};

struct ReadItem {
    QByteArray type;
    QByteArray bytes; // "(outside)" when an extent does not lie in its source
    std::vector<Field> places; // its base offset and extent offset fields
};

struct ReadFile {
    bool whole = false; // the top-level boxes fill the file
    std::vector<Field> mediaSizes; // each media data box's size field
    std::map<quint64, ReadItem> items;
};

ReadFile readFile(QByteArrayView file)
{
    ReadFile read;
    const std::vector<Box> top = boxesIn(file, 0, file.size(), &read.whole);
    for (const Box& b : top) {
        if (b.type == "mdat" && numberAt(file, b.start, 4) != 0)
            read.mediaSizes.push_back(numberAt(file, b.start, 4) == 1 ? Field { b.start + 8, 8 } : Field { b.start, 4 });
    }
    const Box* meta = firstOf(top, "meta");
    if (meta == nullptr)
        return read;
    const std::vector<Box> inMeta = boxesIn(file, meta->payload + 4, meta->end);
    const Box* iinf = firstOf(inMeta, "iinf");
    const Box* iloc = firstOf(inMeta, "iloc");
    const Box* idat = firstOf(inMeta, "idat");
    std::map<quint64, QByteArray> types;
    if (iinf != nullptr) {
        const qsizetype entries = iinf->payload + 4 + (numberAt(file, iinf->payload, 1) == 0 ? 2 : 4);
        for (const Box& infe : boxesIn(file, std::min(entries, iinf->end), iinf->end)) {
            const int version = int(numberAt(file, infe.payload, 1));
            const int idSize = version == 2 ? 2 : 4;
            if (version >= 2 && infe.end - infe.payload >= 4 + idSize + 6)
                types[numberAt(file, infe.payload + 4, idSize)] = file.sliced(infe.payload + 4 + idSize + 2, 4).toByteArray();
        }
    }
    if (iloc == nullptr)
        return read;
    qsizetype at = iloc->payload;
    const int version = int(numberAt(file, at, 1));
    const int sizes = int(numberAt(file, at + 4, 1)), moreSizes = int(numberAt(file, at + 5, 1));
    const int offsetSize = sizes >> 4, lengthSize = sizes & 15;
    const int baseSize = moreSizes >> 4, indexSize = version >= 1 ? moreSizes & 15 : 0;
    at += 6;
    const int idSize = version < 2 ? 2 : 4;
    const quint64 count = numberAt(file, at, idSize);
    at += idSize;
    for (quint64 n = 0; n < count && at < iloc->end; ++n) {
        const quint64 id = numberAt(file, at, idSize);
        at += idSize;
        int method = 0;
        if (version >= 1) {
            method = int(numberAt(file, at, 2) & 15);
            at += 2;
        }
        at += 2; // data reference
        ReadItem item;
        item.type = types[id];
        if (baseSize > 0)
            item.places.push_back({ at, baseSize });
        const quint64 base = numberAt(file, at, baseSize);
        at += baseSize;
        const quint64 extents = numberAt(file, at, 2);
        at += 2;
        bool outside = false;
        for (quint64 e = 0; e < extents && at < iloc->end; ++e) {
            at += indexSize;
            item.places.push_back({ at, offsetSize });
            const quint64 offset = numberAt(file, at, offsetSize);
            const quint64 length = numberAt(file, at + offsetSize, lengthSize);
            at += offsetSize + lengthSize;
            if (outside || method > 1 || (method == 1 && idat == nullptr)) {
                outside = true;
                continue; // the next entries follow all the same
            }
            const qsizetype sourceStart = method == 1 ? idat->payload : 0;
            const qsizetype sourceEnd = method == 1 ? idat->end : file.size();
            const quint64 start = quint64(sourceStart) + base + offset;
            const quint64 end = length == 0 ? quint64(sourceEnd) : start + length;
            if (start > end || end > quint64(sourceEnd)) {
                outside = true;
                continue;
            }
            item.bytes += file.sliced(qsizetype(start), qsizetype(end - start)).toByteArray();
        }
        if (outside)
            item.bytes = "(outside)";
        read.items[id] = item;
    }
    return read;
}

// ---- Files made to order. ----

// One item: its id, type and the item it describes ("cdsc"), if any.
struct Made {
    quint64 id = 0;
    const char* type = "hvc1";
    quint64 describes = 0;
    bool located = true; // else "iinf" alone names it
    const char* encoding = nullptr; // a mime item's content encoding
    bool fromItems = false; // made of other items' bytes (construction method 2)
};

// A run of an item's bytes; an item made of several runs has one extent each.
struct Part {
    quint64 item = 0;
    QByteArray bytes;
    enum Where { FirstMedia, SecondMedia, Idat, FreeBox } where = FirstMedia;
    bool restOfFile = false; // placed with a length of 0: the last bytes of the file
};

struct Layout {
    const char* name = "";
    int version = 1; // of "iloc"; 2 also gives 32-bit ids in every box
    int offsetSize = 4;
    int lengthSize = 4;
    int baseSize = 0;
    int indexSize = 0;
    bool byBase = false; // an item of one extent in the file is placed by its base offset
    bool metaLast = false;
    bool metaToEnd = false; // "meta", last, has a size of 0
    int mediaHeader = 8; // 16: the media data boxes have a large size
    bool lastToEnd = false; // the last media data box's size is 0, "to the end of the file"
    std::vector<Made> items = {};
    std::vector<Part> parts = {};
};

// A big-endian TIFF block with one entry: Artist "Ab".
const QByteArray kTiff = QByteArray::fromHex("4d4d002a00000008"
                                             "0001"
                                             "013b00020000000341620000"
                                             "00000000");
const QByteArray kExifPrefix = be(6, 4) + QByteArray("Exif\0\0", 6);
const QByteArray kPacket = "<x:xmpmeta>the old packet, with some padding      </x:xmpmeta>";

QByteArray craft(const Layout& layout)
{
    const bool wide = layout.version == 2;
    const int idSize = wide ? 4 : 2;
    std::array<QByteArray, 4> sources;
    std::vector<qsizetype> within;
    for (const Part& part : layout.parts) {
        within.push_back(sources[part.where].size());
        sources[part.where] += part.bytes;
    }
    const bool second = !sources[Part::SecondMedia].isEmpty(), freeBox = !sources[Part::FreeBox].isEmpty();
    const auto metaWith = [&](const std::array<qsizetype, 4>& payloadAt) {
        QByteArray infos, references, entries;
        for (const Made& item : layout.items) {
            const bool mime = QByteArrayView(item.type) == "mime";
            infos += fullBox("infe", wide ? 3 : 2,
                be(item.id, idSize) + be(0, 2) + item.type + QByteArray(1, '\0')
                    + (mime ? QByteArray("application/rdf+xml") + QByteArray(1, '\0') : QByteArray())
                    + (item.encoding ? QByteArray(item.encoding) + QByteArray(1, '\0') : QByteArray()));
            if (item.describes != 0)
                references += box("cdsc", be(item.id, idSize) + be(1, 2) + be(item.describes, idSize));
            if (!item.located)
                continue;
            if (item.fromItems) {
                entries += be(item.id, idSize) + be(2, 2) + be(0, 2) + be(0, layout.baseSize) + be(1, 2)
                    + be(1, layout.indexSize) + be(0, layout.offsetSize) + be(10, layout.lengthSize);
                continue;
            }
            std::vector<std::pair<quint64, quint64>> extents;
            bool inIdat = false;
            for (std::size_t i = 0; i < layout.parts.size(); ++i) {
                const Part& part = layout.parts[i];
                if (part.item != item.id)
                    continue;
                inIdat = part.where == Part::Idat;
                extents.push_back({ quint64(payloadAt[part.where] + within[i]),
                    part.restOfFile ? 0 : quint64(part.bytes.size()) });
            }
            const bool byBase = layout.byBase && !inIdat && extents.size() == 1;
            entries += be(item.id, idSize) + (layout.version >= 1 ? be(inIdat ? 1 : 0, 2) : QByteArray()) + be(0, 2)
                + be(byBase ? extents[0].first : 0, layout.baseSize) + be(extents.size(), 2);
            for (const auto& [offset, length] : extents)
                entries += be(0, layout.indexSize) + be(byBase ? 0 : offset, layout.offsetSize) + be(length, layout.lengthSize);
        }
        return fullBox("meta", 0,
            fullBox("hdlr", 0, be(0, 4) + "pict" + QByteArray(13, '\0'))
                + box("dinf", fullBox("dref", 0, be(1, 4) + fullBox("url ", 0, {}).replace(11, 1, "\x01")))
                + fullBox("pitm", wide ? 1 : 0, be(1, idSize))
                + fullBox("iinf", wide ? 1 : 0, be(layout.items.size(), idSize) + infos)
                + fullBox("iref", wide ? 1 : 0, references)
                + fullBox("iloc", layout.version,
                    be(layout.offsetSize * 16 + layout.lengthSize, 1) + be(layout.baseSize * 16 + layout.indexSize, 1)
                        + be(std::count_if(layout.items.begin(), layout.items.end(), [](const Made& m) { return m.located; }),
                            idSize)
                        + entries)
                + (sources[Part::Idat].isEmpty() ? QByteArray() : box("idat", sources[Part::Idat])));
    };
    const auto media = [&](const QByteArray& payload, bool last) {
        if (last && layout.lastToEnd)
            return be(0, 4) + "mdat" + payload;
        if (layout.mediaHeader == 16)
            return be(1, 4) + "mdat" + be(16 + payload.size(), 8) + payload;
        return box("mdat", payload);
    };
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + be(0, 4) + "mif1heic");
    const qsizetype metaSize = metaWith({}).size();
    std::array<qsizetype, 4> payloadAt {};
    const QByteArray first = media(sources[Part::FirstMedia], !second && !freeBox);
    const QByteArray freeBytes = freeBox ? box("free", sources[Part::FreeBox]) : QByteArray();
    const QByteArray secondBytes = second ? media(sources[Part::SecondMedia], true) : QByteArray();
    qsizetype at = ftyp.size() + (layout.metaLast ? 0 : metaSize);
    payloadAt[Part::FirstMedia] = at + first.size() - sources[Part::FirstMedia].size();
    at += first.size();
    payloadAt[Part::FreeBox] = at + 8;
    at += freeBytes.size();
    payloadAt[Part::SecondMedia] = at + secondBytes.size() - sources[Part::SecondMedia].size();
    QByteArray meta = metaWith(payloadAt);
    if (layout.metaToEnd)
        meta.replace(0, 4, be(0, 4));
    return ftyp + (layout.metaLast ? QByteArray() : meta) + first + freeBytes + secondBytes
        + (layout.metaLast ? meta : QByteArray());
}

// The primary image (1) in two tiles' worth of bytes, its Exif (2) and XMP (3)
// items, a gain map (4) with its own XMP item (5), a thumbnail (6).
std::vector<Made> photoItems()
{
    return { { 1 }, { 2, "Exif", 1 }, { 3, "mime", 1 }, { 4 }, { 5, "mime", 4 }, { 6 } };
}

QByteArray filled(char c, int size)
{
    QByteArray bytes(size, c);
    for (int i = 0; i < size; i += 7)
        bytes[i] = char(i);
    return bytes;
}

std::vector<Part> photoParts(Part::Where exifWhere = Part::FirstMedia)
{
    return { { 6, filled('T', 40) }, { 2, kExifPrefix + kTiff + QByteArray(40, '\0'), exifWhere },
        { 3, kPacket, exifWhere }, { 1, filled('P', 300), exifWhere }, { 4, filled('G', 200), exifWhere },
        { 5, "<x:xmpmeta>gain map</x:xmpmeta>", exifWhere } };
}

// Every layout a plain rewrite should take.
std::vector<Layout> acceptedLayouts()
{
    std::vector<Layout> layouts;
    const auto add = [&](Layout layout) {
        if (layout.items.empty())
            layout.items = photoItems();
        if (layout.parts.empty())
            layout.parts = photoParts();
        layouts.push_back(layout);
    };
    add({ .name = "iloc version 1" });
    add({ .name = "iloc version 0", .version = 0 });
    add({ .name = "iloc version 2, 32-bit ids", .version = 2 });
    add({ .name = "8-byte offsets, lengths, bases and indices", .offsetSize = 8, .lengthSize = 8, .baseSize = 8,
        .indexSize = 8 });
    add({ .name = "placed by 4-byte bases", .baseSize = 4, .byBase = true });
    add({ .name = "placed by 8-byte bases, version 2", .version = 2, .baseSize = 8, .indexSize = 4, .byBase = true });
    add({ .name = "meta last", .metaLast = true });
    add({ .name = "meta last, placed by bases", .baseSize = 4, .byBase = true, .metaLast = true });
    add({ .name = "meta last, to the end of the file", .metaLast = true, .metaToEnd = true });
    add({ .name = "large media data size", .mediaHeader = 16 });
    add({ .name = "media data to the end of the file", .lastToEnd = true });
    add({ .name = "Exif in the second media data box", .parts = photoParts(Part::SecondMedia) });
    add({ .name = "Exif in the second media data box, large sizes", .mediaHeader = 16,
        .parts = photoParts(Part::SecondMedia) });
    add({ .name = "Exif in the second media data box, to the end", .lastToEnd = true,
        .parts = photoParts(Part::SecondMedia) });
    {
        std::vector<Part> parts = photoParts();
        parts.push_back({ 7, filled('S', 90), Part::SecondMedia }); // another image in the second box
        parts.push_back({ 8, filled('F', 30), Part::FreeBox }); // and bytes placed in a free box between
        std::vector<Made> items = photoItems();
        items.push_back({ 7 });
        items.push_back({ 8 });
        add({ .name = "items in a second media data box and a free box", .items = items, .parts = parts });
        add({ .name = "the same, meta last", .metaLast = true, .items = items, .parts = parts });
    }
    {
        // The primary image's two halves lie on either side of the Exif and XMP items.
        std::vector<Part> parts = photoParts();
        parts.insert(parts.begin(), { 1, filled('H', 64) });
        add({ .name = "an image straddling the metadata", .parts = parts });
        add({ .name = "an image straddling the metadata, placed by bases", .baseSize = 4, .byBase = true,
            .parts = parts });
    }
    {
        std::vector<Part> parts = photoParts();
        parts.push_back({ 7, filled('I', 8), Part::Idat }); // a grid's description in "idat"
        parts.push_back({ 9, filled('E', 50), Part::FirstMedia, true }); // the rest of the file
        std::vector<Made> items = photoItems();
        items.push_back({ 7, "grid" });
        items.push_back({ 8 }); // no extents at all
        items.push_back({ 9 });
        add({ .name = "idat, no extents, to the end", .items = items, .parts = parts });
    }
    return layouts;
}

// The items whose new bytes replace the old: the Exif item's after its prefix.
struct NewItems {
    QByteArray tiff;
    QByteArray packet;
};

// Checks what the rewrite made against the original through the test's reader.
void expectOnlyTheItemsChanged(QByteArrayView original, QByteArrayView written, quint64 exifId, quint64 xmpId,
    const QByteArray& exifPrefix, const NewItems& wanted)
{
    const ReadFile before = readFile(original);
    const ReadFile after = readFile(written);
    EXPECT_TRUE(after.whole);
    ASSERT_EQ(after.items.size(), before.items.size());
    for (const auto& [id, item] : before.items) {
        SCOPED_TRACE(id);
        ASSERT_EQ(after.items.count(id), 1u);
        const QByteArray& now = after.items.at(id).bytes;
        if (id == exifId) {
            EXPECT_EQ(now, exifPrefix + wanted.tiff);
        } else if (id == xmpId) {
            EXPECT_TRUE(now.startsWith(wanted.packet));
            EXPECT_EQ(now.sliced(wanted.packet.size()), QByteArray(now.size() - wanted.packet.size(), '\0'));
        } else {
            EXPECT_NE(item.bytes, "(outside)");
            EXPECT_EQ(now, item.bytes);
        }
    }
    EXPECT_EQ(ImageDataLayout::compare(original, written).outcome, ImageDataLayout::Comparison::Same);
}

} // namespace

// In every layout a plain rewrite takes (each "iloc" version and field width,
// items placed by base or extent offsets, "meta" before or after the media data,
// large and to-the-end box sizes, two media data boxes, an image on both sides
// of the metadata, items in "idat" and a free box), with an Exif block that grows,
// shrinks or keeps its size: each other item keeps its bytes, the new ones are in
// place, and the boxes fill the file.
TEST(BmffItemRewrite, keepsEveryOtherItemsBytesInEveryLayoutItTakes)
{
    const QByteArray longer = QByteArray(kTiff).replace("Ab", "Zo") + QByteArray(173, '\0');
    const QByteArray shorter = QByteArray(kTiff).replace("Ab", "Zo");
    const QByteArray same = QByteArray(kTiff).replace("Ab", "Zo") + QByteArray(40, '\0');
    for (const Layout& layout : acceptedLayouts()) {
        SCOPED_TRACE(layout.name);
        const QByteArray original = craft(layout);
        ASSERT_TRUE(readFile(original).whole);
        ASSERT_EQ(BmffLayout::exifItem(original), QByteArrayView(kTiff + QByteArray(40, '\0')));
        for (const NewItems& wanted : { NewItems { longer, "<x:xmpmeta>new</x:xmpmeta>" },
                 NewItems { shorter, kPacket + QByteArray(500, ' ') }, NewItems { same, kPacket } }) {
            SCOPED_TRACE(wanted.tiff.size());
            const std::optional<QByteArray> written = BmffLayout::withMetadataItems(original, wanted.tiff, wanted.packet);
            ASSERT_TRUE(written);
            expectOnlyTheItemsChanged(original, *written, 2, 3, kExifPrefix, wanted);
            EXPECT_EQ(written->size(),
                original.size() + wanted.tiff.size() - (kTiff.size() + 40) + wanted.packet.size() - kPacket.size());
        }
    }
}

// Each field the rewrite sets (each item's base and extent offsets, each media
// data box's size), set one byte or the whole change too far or too short, is
// caught before the file replaces anything: the image data comparison, the Exif
// and XMP items read back, or the other images' items no longer hold. A media
// data box made shorter by bytes that only a metadata item held is caught too:
// the boxes must fill the file as they did.
TEST(BmffItemRewrite, everyMisplacedFieldIsCaughtByTheVerification)
{
    const QByteArray tiff = QByteArray(kTiff).replace("Ab", "Zo") + QByteArray(113, '\0');
    const QByteArray packet = "<x:xmpmeta>new</x:xmpmeta>";
    for (const Layout& layout : acceptedLayouts()) {
        SCOPED_TRACE(layout.name);
        const QByteArray original = craft(layout);
        const std::optional<QByteArray> written = BmffLayout::withMetadataItems(original, tiff, packet);
        ASSERT_TRUE(written);
        const qint64 grows = written->size() - original.size();
        const ReadFile read = readFile(*written);
        std::vector<std::pair<quint64, Field>> fields;
        for (const Field& field : read.mediaSizes)
            fields.push_back({ 0, field });
        for (const auto& [id, item] : read.items) {
            for (const Field& field : item.places)
                fields.push_back({ id, field });
        }
        for (const auto& [owner, field] : fields) {
            const quint64 value = numberAt(*written, field.at, field.size);
            for (const qint64 wrong : { qint64(1), qint64(-1), grows, -grows }) {
                if (qint64(value) + wrong < 0)
                    continue;
                QByteArray misplaced = *written;
                misplaced.replace(field.at, field.size, be(quint64(qint64(value) + wrong), field.size));
                const bool caught
                    = ImageDataLayout::compare(original, misplaced).outcome != ImageDataLayout::Comparison::Same
                    || BmffLayout::exifItem(misplaced) != QByteArrayView(tiff)
                    || BmffLayout::xmpItem(misplaced) != QByteArrayView(packet)
                    || BmffLayout::metadataItems(misplaced).othersItems != BmffLayout::metadataItems(original).othersItems;
                EXPECT_TRUE(caught) << "item " << owner << "'s field at " << field.at << " moved by " << wrong;
            }
        }
    }
}

// The HEIF, HIF and AVIF samples, each item's bytes before and after a rewrite
// with a longer and a shorter Exif block and XMP packet: only the Exif and XMP
// items change, every image, tile, thumbnail and grid points at its own bytes.
TEST(BmffItemRewrite, keepsEveryOtherItemOfTheSamples)
{
    const QDir heif(QDir(samplesDir()).filePath(u"heif"_s));
    int rewritten = 0;
    for (const QString& name : heif.entryList(QDir::Files, QDir::Name)) {
        SCOPED_TRACE(qPrintable(name));
        QFile file(heif.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray original = file.readAll();
        const std::optional<QByteArrayView> tiff = BmffLayout::exifItem(original);
        const std::optional<QByteArrayView> packet = BmffLayout::xmpItem(original);
        if (!tiff && !packet)
            continue; // a CR3 file keeps its metadata elsewhere
        const ReadFile before = readFile(original);
        quint64 exifId = 0, xmpId = 0;
        for (const auto& [id, item] : before.items) {
            if (tiff && item.type == "Exif" && item.bytes.endsWith(tiff->toByteArray()))
                exifId = id;
            if (packet && item.type == "mime" && item.bytes.startsWith(packet->toByteArray()))
                xmpId = id;
        }
        const QByteArray prefix
            = exifId != 0 ? before.items.at(exifId).bytes.chopped(tiff->size()) : QByteArray();
        for (const int change : { 4093, -1 }) {
            SCOPED_TRACE(change);
            NewItems wanted;
            if (tiff)
                wanted.tiff = change > 0 ? tiff->toByteArray() + QByteArray(change, '\0') : tiff->first(tiff->size() - 4).toByteArray();
            wanted.packet = packet ? (change > 0 ? packet->toByteArray() + QByteArray(change, ' ')
                                                 : packet->toByteArray().replace("</x:xmpmeta>", "</x:xmpmeta"))
                                   : QByteArray();
            const std::optional<QByteArray> written = BmffLayout::withMetadataItems(original,
                tiff ? std::optional<QByteArrayView>(wanted.tiff) : std::nullopt,
                packet ? std::optional<QByteArrayView>(wanted.packet) : std::nullopt);
            ASSERT_TRUE(written);
            expectOnlyTheItemsChanged(original, *written, exifId, xmpId, prefix, wanted);
        }
        ++rewritten;
    }
    EXPECT_GE(rewritten, 6);
}

// What a plain rewrite cannot do without touching bytes that are not the
// metadata items' goes to exiftool: an item whose extent holds a media data
// box's header or a field of "iloc" (both change), an item made of other items
// (the replaced ones among them, maybe), an image's id that "iinf" also lists as
// the XMP item, an XMP item whose packet is deflated, and bytes after the boxes.
TEST(BmffItemRewrite, leavesEveryFileWhereOtherBytesWouldChange)
{
    const QByteArray tiff = QByteArray(kTiff).replace("Ab", "Zo") + QByteArray(100, '\0');
    const QByteArray packet = "<x:xmpmeta>new</x:xmpmeta>";
    const QByteArray plain = craft({ .items = photoItems(), .parts = photoParts() });
    ASSERT_TRUE(BmffLayout::withMetadataItems(plain, tiff, packet));
    const ReadFile read = readFile(plain);
    const std::vector<Box> top = boxesIn(plain, 0, plain.size());
    const Box* media = firstOf(top, "mdat");
    ASSERT_NE(media, nullptr);
    // The thumbnail (6), first in the media data, made to hold what lies before it.
    const auto thumbnailFrom = [&](qsizetype start) {
        QByteArray file = plain;
        const Field offset = read.items.at(6).places.front();
        const qsizetype end = qsizetype(numberAt(plain, offset.at, 4)) + 40;
        file.replace(offset.at, 4, be(quint64(start), 4));
        file.replace(offset.at + 4, 4, be(quint64(end - start), 4));
        return file;
    };
    const QByteArray holdsHeader = thumbnailFrom(media->start + 4);
    const QByteArray holdsIloc = thumbnailFrom(read.items.at(1).places.front().at);

    std::vector<Made> items = photoItems();
    items.push_back({ .id = 10, .fromItems = true });
    const QByteArray fromItems = craft({ .items = items, .parts = photoParts() });

    std::vector<Made> twice = photoItems();
    twice.erase(twice.begin() + 2); // the XMP item (3) goes, and the image's id names a packet
    twice.insert(twice.begin() + 1, { .id = 1, .type = "mime", .located = false });
    std::vector<Part> noXmp = photoParts();
    noXmp.erase(noXmp.begin() + 2);
    const QByteArray imageAsXmp = craft({ .items = twice, .parts = noXmp });
    ASSERT_TRUE(BmffLayout::xmpItem(imageAsXmp));

    std::vector<Made> deflated = photoItems();
    deflated[2].encoding = "deflate";
    const QByteArray deflatedXmp = craft({ .items = deflated, .parts = photoParts() });

    for (const auto& [name, file] : std::vector<std::pair<const char*, QByteArray>> { { "holds a header", holdsHeader },
             { "holds iloc", holdsIloc }, { "from items", fromItems }, { "image as XMP", imageAsXmp },
             { "deflated XMP", deflatedXmp }, { "trailing bytes", plain + "xyz" },
             { "a trailing box of no known kind", plain + box("junk", "junk") } }) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(BmffLayout::withMetadataItems(file, tiff, packet));
        EXPECT_FALSE(BmffLayout::withMetadataItems(file, std::nullopt, packet));
    }
    // The deflated packet's item stands in the way of the packet only.
    EXPECT_TRUE(BmffLayout::withMetadataItems(deflatedXmp, tiff, std::nullopt));
}

// An id that "iinf" lists as an image and as XMP (a damaged or crafted file) is
// an image to the comparison that guards every write, whoever writes: its bytes
// taken for a packet and replaced show as image data that changed.
TEST(BmffItemRewrite, anImageAlsoListedAsMetadataIsComparedAsAnImage)
{
    std::vector<Made> twice = photoItems();
    twice.erase(twice.begin() + 2);
    twice.insert(twice.begin() + 1, { .id = 1, .type = "mime", .located = false });
    std::vector<Part> parts = photoParts();
    parts.erase(parts.begin() + 2);
    const QByteArray original = craft({ .items = twice, .parts = parts });
    ASSERT_EQ(BmffLayout::xmpItem(original), QByteArrayView(filled('P', 300)));
    QByteArray overwritten = original;
    const qsizetype image = original.indexOf(filled('P', 300));
    overwritten.replace(image, 300, QByteArray("<x:xmpmeta>a packet</x:xmpmeta>").leftJustified(300, ' '));
    EXPECT_EQ(ImageDataLayout::compare(original, overwritten).outcome, ImageDataLayout::Comparison::Differs);
}
