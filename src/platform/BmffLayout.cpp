#include "platform/BmffLayout.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
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

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

// Calls visit(type, payload) for each box that fills bytes, one after another,
// until it answers true; stops quietly at the first box that does not fit.
template<typename Visit>
void forEachBox(QByteArrayView bytes, Visit visit)
{
    while (!bytes.isEmpty()) {
        Reader header(bytes);
        quint64 size = header.number(4);
        const QByteArrayView type = header.take(4);
        qsizetype headerSize = 8;
        if (size == 1) {
            size = header.number(8);
            headerSize = 16;
        } else if (size == 0) {
            size = quint64(bytes.size());
        }
        if (header.failed() || size < quint64(headerSize) || size > quint64(bytes.size()))
            return;
        if (visit(type, bytes.sliced(headerSize, qsizetype(size) - headerSize)))
            return;
        bytes = bytes.sliced(qsizetype(size));
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

// Calls visit(id, type, content) for each entry of "iinf" that names its item's
// type (content: a mime item's content type, else what follows the name), until
// it answers true.
template<typename Visit>
void forEachItemInfo(QByteArrayView iinf, Visit visit)
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

// The id of the first item of type that "iinf" lists; for a "mime" item, also of
// contentType.
std::optional<quint64> itemIdOf(QByteArrayView iinf, QByteArrayView itemType, QByteArrayView contentType)
{
    std::optional<quint64> id;
    forEachItemInfo(iinf, [&](quint64 itemId, QByteArrayView type, QByteArrayView content) {
        if (type == itemType && (contentType.isEmpty() || namesContent(content, contentType)))
            id = itemId;
        return id.has_value();
    });
    return id;
}

// One entry of "iloc": where an item's bytes lie.
struct ItemLocation {
    quint64 id = 0;
    quint64 method = 0; // 0: in the file, 1: in "idat", 2: made of other items
    quint64 dataReference = 0; // 0: this file
    quint64 base = 0;
    struct Extent {
        quint64 offset = 0;
        quint64 length = 0;
    };
    std::vector<Extent> extents;
};

// The entries of "iloc" in its order, as far as they can be read (complete tells
// whether that is all of them); nothing when the box's sizes are not valid.
std::optional<std::vector<ItemLocation>> itemLocations(QByteArrayView iloc, bool* complete = nullptr)
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
    const quint64 count = at.number(version < 2 ? 2 : 4);
    std::vector<ItemLocation> locations;
    for (quint64 item = 0; item < count && !at.failed(); ++item) {
        ItemLocation location;
        location.id = at.number(version < 2 ? 2 : 4);
        location.method = version >= 1 ? at.number(2) & 15 : 0;
        location.dataReference = at.number(2);
        location.base = at.number(baseSize);
        const quint64 extents = at.number(2);
        // Extents of no bytes at all would cost a turn each and place nothing.
        for (quint64 extent = 0; extent < extents && extentSize > 0 && !at.failed(); ++extent) {
            at.number(indexSize);
            const quint64 offset = at.number(offsetSize);
            location.extents.push_back({ offset, at.number(lengthSize) });
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

// The bytes of the file's first item of type (and contentType), see itemIdOf.
std::optional<QByteArrayView> itemOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType)
{
    if (!BmffLayout::isBmff(file))
        return std::nullopt;
    const std::optional<QByteArrayView> metaBox = payloadOf(file, "meta");
    if (!metaBox || metaBox->size() < 4)
        return std::nullopt;
    const QByteArrayView meta = metaBox->sliced(4); // after its version and flags
    const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
    const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
    const std::optional<quint64> id = iinf ? itemIdOf(*iinf, itemType, contentType) : std::nullopt;
    return id && iloc ? itemBytes(*iloc, *id, file, meta) : std::nullopt;
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
    if (!file.open(QIODevice::ReadOnly) || !isBmff(file.peek(12)))
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
    const std::optional<QByteArrayView> item = itemOf(file, "Exif", {});
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

std::optional<QByteArrayView> xmpItem(QByteArrayView file)
{
    std::optional<QByteArrayView> packet = itemOf(file, "mime", "application/rdf+xml");
    // A packet may be stored with its C string's end.
    while (packet && packet->endsWith('\0'))
        packet->chop(1);
    if (!packet || packet->isEmpty())
        return std::nullopt;
    return packet;
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
        std::set<quint64> metadataItems;
        if (iinf) {
            forEachItemInfo(*iinf, [&](quint64 id, QByteArrayView type, QByteArrayView content) {
                if (type == "Exif" || (type == "mime" && namesContent(content, "application/rdf+xml")))
                    metadataItems.insert(id);
                return false;
            });
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
