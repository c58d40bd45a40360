#include "platform/BmffLayout.h"

#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

// Big-endian numbers read one after another from untrusted bytes. A read past the
// end answers 0 and marks the reader failed for good, so a walk checks once at the end.
class Reader {
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    // size is 0 (nothing, as an absent field), 1, 2, 3, 4 or 8 bytes.
    quint64 number(unsigned size)
    {
        if (m_failed || size > 8 || size > quint64(m_bytes.size() - m_at)) {
            m_failed = true;
            return 0;
        }
        quint64 value = 0;
        for (unsigned i = 0; i < size; ++i)
            value = (value << 8) | static_cast<unsigned char>(m_bytes[m_at++]);
        return value;
    }

    QByteArrayView take(qsizetype size)
    {
        if (m_failed || size > m_bytes.size() - m_at) {
            m_failed = true;
            return {};
        }
        m_at += size;
        return m_bytes.sliced(m_at - size, size);
    }

    QByteArrayView rest() const { return m_failed ? QByteArrayView() : m_bytes.sliced(m_at); }
    bool failed() const { return m_failed; }
    qsizetype position() const { return m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

// The header of the box that starts bytes: its size (a size of 0, "to the end",
// answered as the rest of bytes), type and header size; nothing when it does not fit.
struct BoxHeader {
    quint64 size = 0;
    QByteArrayView type;
    qsizetype headerSize = 8;
    bool toEnd = false;
};

std::optional<BoxHeader> boxHeaderOf(QByteArrayView bytes)
{
    Reader header(bytes);
    BoxHeader box;
    box.size = header.number(4);
    box.type = header.take(4);
    if (box.size == 1) {
        box.size = header.number(8);
        box.headerSize = 16;
    } else if (box.size == 0) {
        box.size = quint64(bytes.size());
        box.toEnd = true;
    }
    if (header.failed() || box.size < quint64(box.headerSize) || box.size > quint64(bytes.size()))
        return std::nullopt;
    return box;
}

// Calls visit(type, payload) for each box that fills bytes, one after another,
// until it answers true; stops quietly at the first box that does not fit.
template<typename Visit>
void forEachBox(QByteArrayView bytes, Visit visit)
{
    while (!bytes.isEmpty()) {
        const std::optional<BoxHeader> box = boxHeaderOf(bytes);
        if (!box)
            return;
        if (visit(box->type, bytes.sliced(box->headerSize, qsizetype(box->size) - box->headerSize)))
            return;
        bytes = bytes.sliced(qsizetype(box->size));
    }
}

std::optional<QByteArrayView> payloadOf(QByteArrayView bytes, QByteArrayView wanted)
{
    std::optional<QByteArrayView> found;
    forEachBox(bytes, [&](QByteArrayView type, QByteArrayView payload) {
        if (type == wanted)
            found = payload;
        return found.has_value();
    });
    return found;
}

// Calls visit(version, entry) for each entry ("infe") of "iinf", entry read up to
// its item's id, until it answers true.
template<typename Visit>
void forEachItemEntry(QByteArrayView iinf, Visit visit)
{
    Reader list(iinf);
    const quint64 version = list.number(1);
    list.number(3);
    list.number(version == 0 ? 2 : 4); // the count: the boxes that follow tell
    forEachBox(list.rest(), [&](QByteArrayView type, QByteArrayView payload) {
        if (type != "infe")
            return false;
        Reader entry(payload);
        const quint64 entryVersion = entry.number(1);
        entry.number(3);
        return visit(entryVersion, entry);
    });
}

// Calls visit(id, type, content) for each entry of "iinf" that names its item's
// type (content: a mime item's content type, else what follows the name), until
// it answers true.
template<typename Visit>
void forEachItemInfo(QByteArrayView iinf, Visit visit)
{
    forEachItemEntry(iinf, [&](quint64 entryVersion, Reader& entry) {
        if (entryVersion < 2) // older entries name no item type
            return false;
        const quint64 itemId = entry.number(entryVersion == 2 ? 2 : 4);
        entry.number(2); // protection index
        const QByteArrayView itemType = entry.take(4);
        if (entry.failed())
            return false;
        // The item's name, then a mime item's content type, each ended by a zero.
        const QByteArrayView texts = entry.rest();
        const qsizetype nameEnd = texts.indexOf('\0');
        return visit(itemId, itemType, nameEnd < 0 ? QByteArrayView() : texts.sliced(nameEnd + 1));
    });
}

bool namesContent(QByteArrayView content, QByteArrayView contentType)
{
    return content == contentType
        || (content.startsWith(contentType) && content.size() > contentType.size()
            && content[contentType.size()] == '\0');
}

// The ids of the items of type that "iinf" lists, in its order; for a "mime" item,
// only those of contentType.
std::vector<quint64> itemIdsOf(QByteArrayView iinf, QByteArrayView itemType, QByteArrayView contentType)
{
    std::vector<quint64> ids;
    forEachItemInfo(iinf, [&](quint64 itemId, QByteArrayView type, QByteArrayView content) {
        if (type == itemType && (contentType.isEmpty() || namesContent(content, contentType)))
            ids.push_back(itemId);
        return false;
    });
    return ids;
}

// The primary image's id ("pitm"); nothing when the file names none.
std::optional<quint64> primaryItemOf(QByteArrayView meta)
{
    const std::optional<QByteArrayView> pitm = payloadOf(meta, "pitm");
    if (!pitm)
        return std::nullopt;
    Reader at(*pitm);
    const quint64 version = at.number(1);
    at.number(3);
    const quint64 id = at.number(version == 0 ? 2 : 4);
    return at.failed() ? std::nullopt : std::optional(id);
}

// The items each metadata item describes ("cdsc" references of "iref").
std::map<quint64, std::set<quint64>> describedItemsOf(QByteArrayView meta)
{
    std::map<quint64, std::set<quint64>> described;
    const std::optional<QByteArrayView> iref = payloadOf(meta, "iref");
    if (!iref)
        return described;
    Reader header(*iref);
    const unsigned idSize = header.number(1) == 0 ? 2 : 4;
    header.number(3);
    forEachBox(header.rest(), [&](QByteArrayView type, QByteArrayView payload) {
        if (type != "cdsc")
            return false;
        Reader reference(payload);
        const quint64 from = reference.number(idSize);
        const quint64 count = reference.number(2);
        std::set<quint64>& targets = described[from];
        for (quint64 i = 0; i < count && !reference.failed(); ++i) {
            const quint64 to = reference.number(idSize);
            if (!reference.failed())
                targets.insert(to);
        }
        return false;
    });
    return described;
}

// One entry of "iloc": where an item's bytes lie.
struct ItemLocation {
    quint64 id = 0;
    quint64 method = 0; // 0: in the file, 1: in "idat", 2: made of other items
    quint64 dataReference = 0; // 0: this file
    quint64 base = 0;
    qsizetype baseAt = 0; // where the field lies in the box's payload
    struct Extent {
        quint64 offset = 0;
        quint64 length = 0;
        qsizetype offsetAt = 0;
        qsizetype lengthAt = 0;
    };
    std::vector<Extent> extents;
};

// The sizes of the fields of "iloc", in bytes (0: the field is absent).
struct ItemLocationSizes {
    unsigned offset = 0;
    unsigned length = 0;
    unsigned base = 0;
};

// The entries of "iloc" in its order, as far as they can be read (complete tells
// whether that is all of them); nothing when the box's sizes are not valid.
std::optional<std::vector<ItemLocation>> itemLocations(
    QByteArrayView iloc, bool* complete = nullptr, ItemLocationSizes* fieldSizes = nullptr)
{
    Reader at(iloc);
    const quint64 version = at.number(1);
    at.number(3);
    const quint64 sizes = at.number(1);
    const quint64 moreSizes = at.number(1);
    const unsigned offsetSize = unsigned(sizes >> 4), lengthSize = unsigned(sizes & 15);
    const unsigned baseSize = unsigned(moreSizes >> 4), indexSize = version >= 1 ? unsigned(moreSizes & 15) : 0;
    const auto valid = [](unsigned size) { return size == 0 || size == 4 || size == 8; };
    if (version > 2 || !valid(offsetSize) || !valid(lengthSize) || !valid(baseSize) || !valid(indexSize))
        return std::nullopt;
    const unsigned extentSize = indexSize + offsetSize + lengthSize;
    if (fieldSizes != nullptr)
        *fieldSizes = { offsetSize, lengthSize, baseSize };
    const quint64 count = at.number(version < 2 ? 2 : 4);
    std::vector<ItemLocation> locations;
    for (quint64 item = 0; item < count && !at.failed(); ++item) {
        ItemLocation location;
        location.id = at.number(version < 2 ? 2 : 4);
        location.method = version >= 1 ? at.number(2) & 15 : 0;
        location.dataReference = at.number(2);
        location.baseAt = at.position();
        location.base = at.number(baseSize);
        const quint64 extents = at.number(2);
        // Extents of no bytes at all would cost a turn each and place nothing.
        for (quint64 extent = 0; extent < extents && extentSize > 0 && !at.failed(); ++extent) {
            at.number(indexSize);
            ItemLocation::Extent placed;
            placed.offsetAt = at.position();
            placed.offset = at.number(offsetSize);
            placed.lengthAt = at.position();
            placed.length = at.number(lengthSize);
            location.extents.push_back(placed);
        }
        if (!at.failed())
            locations.push_back(std::move(location));
    }
    if (complete != nullptr)
        *complete = !at.failed();
    return locations;
}

// The bytes of one extent within source; nothing when they do not lie in it. A
// length of 0 stands for the rest of the source.
std::optional<QByteArrayView> extentBytes(QByteArrayView source, quint64 base, const ItemLocation::Extent& extent)
{
    const quint64 size = quint64(source.size());
    if (base > size || extent.offset > size - base)
        return std::nullopt;
    const quint64 start = base + extent.offset;
    const quint64 length = extent.length == 0 ? size - start : extent.length;
    if (length > size - start)
        return std::nullopt;
    return source.sliced(qsizetype(start), qsizetype(length));
}

// Where "iloc" places the item: its bytes within file, or within "idat" (meta's
// own data); nothing for more than one extent or another file.
std::optional<QByteArrayView> itemBytes(QByteArrayView iloc, quint64 wanted, QByteArrayView file, QByteArrayView meta)
{
    const std::optional<std::vector<ItemLocation>> locations = itemLocations(iloc);
    if (!locations)
        return std::nullopt;
    for (const ItemLocation& location : *locations) {
        if (location.id != wanted)
            continue;
        if (location.extents.size() != 1 || location.dataReference != 0 || location.method > 1)
            return std::nullopt;
        std::optional<QByteArrayView> source = location.method == 0 ? std::optional(file) : payloadOf(meta, "idat");
        // A length of 0 may mean "to the end of the source", but exiftool leaves
        // the item it empties so: a metadata item of no length is taken as none.
        if (!source || location.extents.front().length == 0)
            return std::nullopt;
        return extentBytes(*source, location.base, location.extents.front());
    }
    return std::nullopt;
}

// The metadata items of one kind: the primary image's, and every other image's.
struct ItemsOfKind {
    std::optional<QByteArrayView> primary;
    std::optional<quint64> primaryId;
    std::vector<QByteArrayView> others;
    bool hasOthers = false;
};

// The items of type (and contentType): the first that describes the primary image,
// or the file as a whole (it describes no item), is the primary image's; one that
// describes only other images (a gain map, a depth map) is theirs. A file that
// names no primary image has only the first item, as the primary image's.
ItemsOfKind itemsOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType)
{
    ItemsOfKind items;
    if (!BmffLayout::isBmff(file))
        return items;
    const std::optional<QByteArrayView> metaBox = payloadOf(file, "meta");
    if (!metaBox || metaBox->size() < 4)
        return items;
    const QByteArrayView meta = metaBox->sliced(4); // after its version and flags
    const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
    const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
    if (!iinf || !iloc)
        return items;
    const std::vector<quint64> ids = itemIdsOf(*iinf, itemType, contentType);
    const std::optional<quint64> primary = primaryItemOf(meta);
    const std::map<quint64, std::set<quint64>> described
        = primary ? describedItemsOf(meta) : std::map<quint64, std::set<quint64>>();
    bool primaryFound = false;
    // Each look-up walks "iloc" anew; a real file has a few such items, and a
    // crafted one of thousands costs no more than these.
    constexpr std::size_t kItemsLooked = 64;
    std::size_t looked = 0;
    for (const quint64 id : ids) {
        if (++looked > kItemsLooked) {
            items.hasOthers = true;
            break;
        }
        const auto targets = described.find(id);
        const bool primarys = !primary || targets == described.end() || targets->second.empty()
            || targets->second.count(*primary) != 0;
        if (primarys && !primaryFound) {
            primaryFound = true;
            items.primaryId = id;
            items.primary = itemBytes(*iloc, id, file, meta);
        } else if (!primarys) {
            items.hasOthers = true;
            if (const std::optional<QByteArrayView> bytes = itemBytes(*iloc, id, file, meta))
                items.others.push_back(*bytes);
        }
        if (!primary)
            break;
    }
    return items;
}

constexpr QByteArrayView kCanonMetadataUuid("\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48", 16);
constexpr QByteArrayView kXmpUuid("\xbe\x7a\xcf\xcb\x97\xa9\x42\xe8\x9c\x71\x99\x94\x91\xe3\xaf\xac", 16);

// The payload of the first "uuid" box among bytes' boxes whose uuid is wanted,
// the uuid included.
std::optional<QByteArrayView> uuidPayloadOf(QByteArrayView bytes, QByteArrayView wanted)
{
    std::optional<QByteArrayView> found;
    forEachBox(bytes, [&](QByteArrayView type, QByteArrayView payload) {
        if (type == "uuid" && payload.startsWith(wanted))
            found = payload;
        return found.has_value();
    });
    return found;
}

std::optional<QByteArrayView> canonMetadataBoxOf(QByteArrayView file)
{
    if (!BmffLayout::isBmff(file))
        return std::nullopt;
    const std::optional<QByteArrayView> moov = payloadOf(file, "moov");
    return moov ? uuidPayloadOf(*moov, kCanonMetadataUuid) : std::nullopt;
}

QByteArray boxOf(QByteArrayView type, QByteArrayView payload)
{
    QByteArray box(4, '\0');
    qToBigEndian<quint32>(quint32(8 + payload.size()), box.data());
    box.append(type.data(), type.size());
    box.append(payload.data(), payload.size());
    return box;
}

std::optional<QByteArrayView> tiffOfExifItem(std::optional<QByteArrayView> item)
{
    if (!item || item->size() < 4)
        return std::nullopt;

    // The item starts with the offset of the TIFF header past its own four bytes,
    // usually over an "Exif\0\0" prefix; some writers give the prefix alone.
    constexpr QByteArrayView kPrefix("Exif\0\0", 6);
    QByteArrayView tiff;
    if (item->startsWith(kPrefix)) {
        tiff = item->sliced(6);
    } else {
        const quint64 headerOffset = qFromBigEndian<quint32>(item->data());
        if (headerOffset > quint64(item->size() - 4))
            return std::nullopt;
        tiff = item->sliced(4 + qsizetype(headerOffset));
        if (tiff.startsWith(kPrefix))
            tiff = tiff.sliced(6);
    }
    if (!tiff.startsWith(QByteArrayView("II*\0", 4)) && !tiff.startsWith(QByteArrayView("MM\0*", 4)))
        return std::nullopt;
    return tiff;
}

std::optional<QByteArrayView> packetOfXmpItem(std::optional<QByteArrayView> packet)
{
    // A packet may be stored with its C string's end.
    while (packet && packet->endsWith('\0'))
        packet->chop(1);
    if (!packet || packet->isEmpty())
        return std::nullopt;
    return packet;
}

} // namespace

namespace BmffLayout {

bool isBmff(QByteArrayView head)
{
    return head.size() >= 12 && head.sliced(4, 4) == "ftyp";
}

std::optional<QString> missingPart(const QString& path)
{
    QFile file(path);
    if (!openRegularFile(file) || !isBmff(file.peek(12)))
        return std::nullopt;
    const qint64 size = file.size();
    qint64 at = 0;
    bool mediaData = false;
    while (at < size) {
        if (!file.seek(at))
            return std::nullopt;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        quint64 boxSize = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (boxSize == 1) {
            if (header.size() < 16)
                return u"The photo's file ends inside its structure, so it cannot be written."_s;
            boxSize = qFromBigEndian<quint64>(header.constData() + 8);
        } else if (boxSize == 0) {
            boxSize = quint64(size - at);
        }
        if (boxSize < 8 || boxSize > quint64(size - at))
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        if (type == "mdat")
            mediaData = true;
        if (type == "meta" && boxSize < (64u << 20)) {
            const QByteArray meta = file.read(qint64(boxSize) - 16);
            mediaData = mediaData || meta.contains("idat");
        }
        at += qint64(boxSize);
    }
    if (!mediaData)
        return u"The photo's image data is not in its file (it was cut away), so it cannot be written."_s;
    return std::nullopt;
}

std::optional<QByteArrayView> exifItem(QByteArrayView file)
{
    return tiffOfExifItem(itemsOf(file, "Exif", {}).primary);
}

std::optional<QByteArrayView> xmpItem(QByteArrayView file)
{
    return packetOfXmpItem(itemsOf(file, "mime", "application/rdf+xml").primary);
}

bool isCanonRaw(QByteArrayView file)
{
    return canonMetadataBoxOf(file).has_value();
}

std::optional<QByteArray> canonRawMetadataFile(QByteArrayView file)
{
    const std::optional<QByteArrayView> canon = canonMetadataBoxOf(file);
    const std::optional<QByteArrayView> ftyp = canon ? payloadOf(file, "ftyp") : std::nullopt;
    // Boxes of 4 GB and more would need the long size field; metadata never is that big.
    if (!ftyp || canon->size() > 0x0fffffff)
        return std::nullopt;
    return boxOf("ftyp", *ftyp) + boxOf("moov", boxOf("uuid", *canon));
}

std::optional<QByteArrayView> canonRawXmp(QByteArrayView file)
{
    if (!BmffLayout::isBmff(file))
        return std::nullopt;
    const std::optional<QByteArrayView> box = uuidPayloadOf(file, kXmpUuid);
    return box ? packetOfXmpItem(box->sliced(kXmpUuid.size())) : std::nullopt;
}

MetadataItems metadataItems(QByteArrayView file)
{
    const ItemsOfKind exif = itemsOf(file, "Exif", {});
    const ItemsOfKind xmp = itemsOf(file, "mime", "application/rdf+xml");
    MetadataItems items;
    items.exif = tiffOfExifItem(exif.primary);
    items.xmp = packetOfXmpItem(xmp.primary);
    items.othersHoldExif = exif.hasOthers;
    items.othersHoldXmp = xmp.hasOthers;
    items.othersItems = exif.others;
    items.othersItems.insert(items.othersItems.end(), xmp.others.begin(), xmp.others.end());
    return items;
}

} // namespace BmffLayout

namespace {

// A part of the file's bytes, from start to end.
struct Span {
    qsizetype start = 0;
    qsizetype end = 0;
};

qsizetype offsetIn(QByteArrayView file, QByteArrayView part)
{
    return qsizetype(part.data() - file.data());
}

// The spans of the file's media data boxes, with those of its Exif and XMP items
// cut out: a writer may move or change those, and nothing else in them.
ImageDataLayout::Piece mediaDataAround(
    QByteArrayView file, const std::vector<Span>& mediaData, std::vector<Span> metadata)
{
    std::sort(metadata.begin(), metadata.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    ImageDataLayout::Piece parts;
    for (const Span& box : mediaData) {
        qsizetype at = box.start;
        for (const Span& cut : metadata) {
            if (cut.end <= at || cut.start >= box.end)
                continue;
            if (cut.start > at)
                parts.push_back(file.sliced(at, cut.start - at));
            at = std::max(at, cut.end);
        }
        if (at < box.end)
            parts.push_back(file.sliced(at, box.end - at));
    }
    return parts;
}

} // namespace

namespace BmffLayout {

std::optional<ImageDataLayout::Pieces> imageDataOf(QByteArrayView file)
{
    if (!isBmff(file))
        return std::nullopt;
    std::vector<Span> mediaData;
    std::optional<QByteArrayView> metaBox;
    forEachBox(file, [&](QByteArrayView type, QByteArrayView payload) {
        if (type == "mdat")
            mediaData.push_back({ offsetIn(file, payload), offsetIn(file, payload) + payload.size() });
        else if (type == "meta" && !metaBox)
            metaBox = payload;
        return false;
    });

    ImageDataLayout::Pieces pieces;
    std::vector<Span> metadata;
    if (metaBox && metaBox->size() >= 4) {
        const QByteArrayView meta = metaBox->sliced(4); // after its version and flags
        const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
        const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
        // An id also listed as anything else (a damaged file) is compared as that.
        std::set<quint64> metadataItems, otherItems;
        if (iinf) {
            forEachItemInfo(*iinf, [&](quint64 id, QByteArrayView type, QByteArrayView content) {
                const bool metadata = type == "Exif" || (type == "mime" && namesContent(content, "application/rdf+xml"));
                (metadata ? metadataItems : otherItems).insert(id);
                return false;
            });
            for (const quint64 id : otherItems)
                metadataItems.erase(id);
        }
        bool complete = false;
        std::optional<std::vector<ItemLocation>> locations
            = iloc ? itemLocations(*iloc, &complete) : std::optional<std::vector<ItemLocation>>();
        if (iloc && (!locations || !complete))
            return std::nullopt;
        if (locations) {
            std::stable_sort(locations->begin(), locations->end(),
                [](const ItemLocation& a, const ItemLocation& b) { return a.id < b.id; });
            const std::optional<QByteArrayView> idat = payloadOf(meta, "idat");
            for (const ItemLocation& location : *locations) {
                // Items made of other items, or kept in another file, hold no bytes here.
                if (location.dataReference != 0 || location.method > 1)
                    continue;
                const std::optional<QByteArrayView> source = location.method == 0 ? std::optional(file) : idat;
                const bool isMetadata = metadataItems.count(location.id) != 0;
                ImageDataLayout::Piece piece;
                for (const ItemLocation::Extent& extent : location.extents) {
                    // exiftool leaves the metadata item it empties with an extent of no length.
                    if (isMetadata && extent.length == 0)
                        continue;
                    const std::optional<QByteArrayView> bytes
                        = source ? extentBytes(*source, location.base, extent) : std::nullopt;
                    if (!bytes) {
                        if (isMetadata)
                            continue; // a damaged Exif or XMP item is the verification's to judge
                        return std::nullopt;
                    }
                    if (isMetadata && location.method == 0)
                        metadata.push_back({ offsetIn(file, *bytes), offsetIn(file, *bytes) + bytes->size() });
                    piece.push_back(*bytes);
                }
                if (!isMetadata)
                    pieces.push_back(std::move(piece));
            }
        }
    }
    if (!mediaData.empty())
        pieces.push_back(mediaDataAround(file, mediaData, std::move(metadata)));
    if (pieces.empty())
        return std::nullopt;
    return pieces;
}

} // namespace BmffLayout

namespace {

// One of the file's top-level boxes, as a writer that moves bytes sees it.
struct TopBox {
    QByteArrayView type;
    qsizetype start = 0;
    qsizetype payloadStart = 0;
    qsizetype end = 0;
    BoxHeader header;
};

// The top-level boxes, when they fill the file exactly.
std::optional<std::vector<TopBox>> topBoxesOf(QByteArrayView file)
{
    std::vector<TopBox> boxes;
    for (qsizetype at = 0; at < file.size();) {
        const std::optional<BoxHeader> header = boxHeaderOf(file.sliced(at));
        if (!header)
            return std::nullopt;
        boxes.push_back({ header->type, at, at + header->headerSize, at + qsizetype(header->size), *header });
        at += qsizetype(header->size);
    }
    return boxes;
}

// Writes value into the big-endian field of size bytes at position; false when
// the field is absent or too narrow for it.
bool putNumber(QByteArray& bytes, qsizetype position, unsigned size, quint64 value)
{
    if (size == 0 || (size < 8 && value >> (8 * size) != 0))
        return false;
    for (unsigned i = 0; i < size; ++i)
        bytes[position + qsizetype(i)] = char(value >> (8 * (size - 1 - i)));
    return true;
}

// An item whose bytes are replaced: where they lie in the file, and the new ones.
struct Replacement {
    quint64 id = 0;
    qsizetype start = 0;
    qsizetype end = 0;
    QByteArray bytes;
    qint64 delta() const { return qint64(bytes.size()) - qint64(end - start); }
};

// The replacement of the primary image's item of type, when the file holds it
// where a rewrite can replace it: in the file itself, as one extent.
std::optional<Replacement> replacementOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType,
    const std::function<std::optional<QByteArray>(QByteArrayView item)>& newBytes)
{
    const ItemsOfKind items = itemsOf(file, itemType, contentType);
    if (!items.primaryId || !items.primary)
        return std::nullopt;
    const std::optional<QByteArray> bytes = newBytes(*items.primary);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    const qsizetype start = offsetIn(file, *items.primary);
    return Replacement { *items.primaryId, start, start + items.primary->size(), *bytes };
}

// The items' new bytes: the Exif item keeps what preceded its TIFF header (the
// header's offset and "Exif\0\0"), the packet the C string's end it had. In file
// order; nothing when an item is missing or two overlap.
std::optional<std::vector<Replacement>> replacementsOf(
    QByteArrayView file, std::optional<QByteArrayView> exifTiff, std::optional<QByteArrayView> xmpPacket)
{
    std::vector<Replacement> replacements;
    if (exifTiff) {
        const std::optional<Replacement> exif
            = replacementOf(file, "Exif", {}, [&](QByteArrayView item) -> std::optional<QByteArray> {
                  const std::optional<QByteArrayView> tiff = tiffOfExifItem(item);
                  if (!tiff)
                      return std::nullopt;
                  return item.first(tiff->data() - item.data()).toByteArray().append(*exifTiff);
              });
        if (!exif)
            return std::nullopt;
        replacements.push_back(*exif);
    }
    if (xmpPacket) {
        const std::optional<Replacement> xmp
            = replacementOf(file, "mime", "application/rdf+xml", [&](QByteArrayView item) -> std::optional<QByteArray> {
                  qsizetype ends = 0;
                  while (ends < item.size() && item[item.size() - 1 - ends] == '\0')
                      ++ends;
                  return xmpPacket->toByteArray() + QByteArray(ends, '\0');
              });
        if (!xmp || xmpPacket->isEmpty())
            return std::nullopt;
        replacements.push_back(*xmp);
    }
    std::sort(replacements.begin(), replacements.end(),
        [](const Replacement& a, const Replacement& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < replacements.size(); ++i) {
        if (replacements[i].start < replacements[i - 1].end)
            return std::nullopt;
    }
    return replacements;
}

// Sets the size of each media data box in out to what the replaced items in it
// grow; false when one lies elsewhere (in "idat") or a size field is too narrow.
bool resizeMediaData(QByteArray& out, const std::vector<TopBox>& boxes, const std::vector<Replacement>& replacements)
{
    const auto holds = [](const TopBox& box, const Replacement& replacement) {
        return box.type == "mdat" && replacement.start >= box.payloadStart && replacement.end <= box.end;
    };
    for (const Replacement& replacement : replacements) {
        if (std::none_of(boxes.begin(), boxes.end(), [&](const TopBox& box) { return holds(box, replacement); }))
            return false;
    }
    for (const TopBox& box : boxes) {
        qint64 grows = 0;
        for (const Replacement& replacement : replacements)
            grows += holds(box, replacement) ? replacement.delta() : 0;
        const bool longSize = box.header.headerSize == 16;
        if (grows != 0 && !box.header.toEnd
            && !putNumber(out, box.start + (longSize ? 8 : 0), longSize ? 8 : 4, box.header.size + quint64(grows)))
            return false;
    }
    return true;
}

// Places every item of "iloc" (at ilocAt in out) anew: by what the replaced items
// before it grow, and a replaced item also by its new length. False for an item
// whose bytes overlap a replaced one's or a field the rewrite sets (rewritten,
// among spans), that lies in another file or outside this one, that is made of
// other items (the replaced ones among them, maybe), or whose new place does not
// fit its fields.
bool placeItemsAnew(QByteArray& out, qsizetype ilocAt, const std::vector<ItemLocation>& locations,
    const ItemLocationSizes& sizes, const std::vector<Replacement>& replacements, const std::vector<Span>& rewritten)
{
    const quint64 size = quint64(out.size());
    std::set<quint64> ids;
    std::size_t lengthsSet = 0;
    for (const ItemLocation& location : locations) {
        if (!ids.insert(location.id).second || location.dataReference != 0 || location.method > 1)
            return false;
        if (location.method != 0) // in "idat", inside "meta": nothing moves
            continue;
        std::vector<qint64> shifts;
        for (const ItemLocation::Extent& extent : location.extents) {
            if (location.base > size || extent.offset > size - location.base)
                return false;
            const quint64 start = location.base + extent.offset;
            const quint64 end = extent.length == 0 ? size : start + extent.length;
            if (end > size || end < start)
                return false;
            if (std::any_of(rewritten.begin(), rewritten.end(),
                    [&](const Span& span) { return start < quint64(span.end) && end > quint64(span.start); }))
                return false;
            qint64 shift = 0;
            for (const Replacement& replacement : replacements) {
                if (replacement.id == location.id) {
                    if (location.extents.size() != 1 || start != quint64(replacement.start)
                        || end != quint64(replacement.end)
                        || !putNumber(out, ilocAt + extent.lengthAt, sizes.length, quint64(replacement.bytes.size())))
                        return false;
                    ++lengthsSet;
                } else if (start >= quint64(replacement.end)) {
                    shift += replacement.delta();
                } else if (end > quint64(replacement.start)) {
                    return false;
                }
            }
            shifts.push_back(shift);
        }
        if (std::all_of(shifts.begin(), shifts.end(), [](qint64 shift) { return shift == 0; }))
            continue;
        // An item placed by its base offset moves by it (its extents' offsets may
        // be 0); else each extent's offset moves.
        const bool together = std::all_of(shifts.begin(), shifts.end(), [&](qint64 shift) { return shift == shifts[0]; });
        if (together && sizes.base > 0 && location.base > 0) {
            if (qint64(location.base) + shifts[0] < 0
                || !putNumber(out, ilocAt + location.baseAt, sizes.base, quint64(qint64(location.base) + shifts[0])))
                return false;
            continue;
        }
        for (std::size_t i = 0; i < shifts.size(); ++i) {
            const ItemLocation::Extent& extent = location.extents[i];
            if (qint64(extent.offset) + shifts[i] < 0
                || !putNumber(out, ilocAt + extent.offsetAt, sizes.offset, quint64(qint64(extent.offset) + shifts[i])))
                return false;
        }
    }
    return lengthsSet == replacements.size();
}

// Whether "iinf" lets the replaced items take their new bytes as they are: it
// names each item once (an id listed as an image and as XMP would have the
// image's bytes taken for a packet), and a replaced XMP item's content is not
// encoded (a deflated packet's readers would inflate the plain new one).
bool itemInfoAllowsRewrite(QByteArrayView meta, const std::vector<Replacement>& replacements)
{
    const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
    if (!iinf)
        return false;
    std::set<quint64> ids;
    bool unique = true;
    forEachItemEntry(*iinf, [&](quint64 entryVersion, Reader& entry) {
        const quint64 id = entry.number(entryVersion < 3 ? 2 : 4);
        unique = !entry.failed() && ids.insert(id).second;
        return !unique;
    });
    if (!unique)
        return false;
    bool encoded = false;
    forEachItemInfo(*iinf, [&](quint64 id, QByteArrayView type, QByteArrayView content) {
        const bool replaced = std::any_of(replacements.begin(), replacements.end(),
            [&](const Replacement& replacement) { return replacement.id == id; });
        if (replaced && type == "mime") {
            // The content type, then its encoding, each ended by a zero; no encoding is an empty one.
            const qsizetype typeEnd = content.indexOf('\0');
            const QByteArrayView encoding = typeEnd < 0 ? QByteArrayView() : content.sliced(typeEnd + 1);
            encoded = !encoding.isEmpty() && encoding.front() != '\0';
        }
        return encoded;
    });
    return !encoded;
}

// out with each replacement's bytes in place of the old ones.
QByteArray spliced(QByteArrayView out, const std::vector<Replacement>& replacements)
{
    qint64 grows = 0;
    for (const Replacement& replacement : replacements)
        grows += replacement.delta();
    QByteArray written;
    written.reserve(qsizetype(qint64(out.size()) + std::max<qint64>(grows, 0)));
    qsizetype at = 0;
    for (const Replacement& replacement : replacements) {
        written.append(out.sliced(at, replacement.start - at));
        written.append(replacement.bytes);
        at = replacement.end;
    }
    written.append(out.sliced(at));
    return written;
}

} // namespace

namespace BmffLayout {

bool boxesFillFile(QByteArrayView file)
{
    return topBoxesOf(file).has_value();
}

std::optional<QByteArray> withMetadataItems(
    QByteArrayView file, std::optional<QByteArrayView> exifTiff, std::optional<QByteArrayView> xmpPacket)
{
    if (!isBmff(file) || (!exifTiff && !xmpPacket))
        return std::nullopt;
    const std::optional<std::vector<TopBox>> boxes = topBoxesOf(file);
    if (!boxes)
        return std::nullopt;
    // Only boxes that place nothing by file offsets may move: a movie's chunk
    // offsets ("moov"), a CR3 file's boxes and anything unknown stay with exiftool.
    const TopBox* metaBox = nullptr;
    for (const TopBox& box : *boxes) {
        if (box.type == "meta") {
            if (metaBox != nullptr)
                return std::nullopt;
            metaBox = &box;
        } else if (box.type != "ftyp" && box.type != "mdat" && box.type != "free" && box.type != "skip") {
            return std::nullopt;
        }
    }
    if (metaBox == nullptr || metaBox->end - metaBox->payloadStart < 4)
        return std::nullopt;
    const qsizetype metaStart = metaBox->payloadStart + 4; // after its version and flags
    const QByteArrayView meta = file.sliced(metaStart, metaBox->end - metaStart);
    int ilocBoxes = 0;
    forEachBox(meta, [&](QByteArrayView type, QByteArrayView) {
        ilocBoxes += type == "iloc" ? 1 : 0;
        return false;
    });
    const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
    if (ilocBoxes != 1 || !iloc)
        return std::nullopt;
    bool complete = false;
    ItemLocationSizes sizes;
    const std::optional<std::vector<ItemLocation>> locations = itemLocations(*iloc, &complete, &sizes);
    if (!locations || !complete || sizes.offset == 0 || sizes.length == 0)
        return std::nullopt;
    const std::optional<std::vector<Replacement>> replacements = replacementsOf(file, exifTiff, xmpPacket);
    if (!replacements)
        return std::nullopt;

    if (!itemInfoAllowsRewrite(meta, *replacements))
        return std::nullopt;

    // The fields change in a copy, where they lie; the items' bytes are put in last.
    // No item may hold those fields: the media data boxes' headers, "iloc" itself.
    std::vector<Span> rewritten { { offsetIn(file, *iloc), offsetIn(file, *iloc) + iloc->size() } };
    for (const TopBox& box : *boxes) {
        if (box.type == "mdat")
            rewritten.push_back({ box.start, box.payloadStart });
    }
    QByteArray out = file.toByteArray();
    if (!resizeMediaData(out, *boxes, *replacements)
        || !placeItemsAnew(out, offsetIn(file, *iloc), *locations, sizes, *replacements, rewritten))
        return std::nullopt;
    return spliced(out, *replacements);
}

} // namespace BmffLayout
