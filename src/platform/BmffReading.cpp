#include "platform/BmffReading.h"

#include "platform/BmffLayout.h"

#include <QtEndian>
#include <map>
#include <set>

namespace BmffReading {

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

bool namesContent(QByteArrayView content, QByteArrayView contentType)
{
    return content == contentType
        || (content.startsWith(contentType) && content.size() > contentType.size()
            && content[contentType.size()] == '\0');
}

namespace {

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

} // namespace

std::optional<std::vector<ItemLocation>> itemLocations(
    QByteArrayView iloc, bool* complete, ItemLocationSizes* fieldSizes)
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

namespace {

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

} // namespace

std::optional<ItemBoxes> itemBoxesOf(QByteArrayView file)
{
    if (!BmffLayout::isBmff(file))
        return std::nullopt;
    const std::optional<QByteArrayView> metaBox = payloadOf(file, "meta");
    if (!metaBox || metaBox->size() < 4)
        return std::nullopt;
    const QByteArrayView meta = metaBox->sliced(4);
    const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
    const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
    if (!iinf || !iloc)
        return std::nullopt;
    return ItemBoxes { meta, *iinf, *iloc };
}

ItemsOfKind itemsOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType)
{
    ItemsOfKind items;
    const std::optional<ItemBoxes> boxes = itemBoxesOf(file);
    if (!boxes)
        return items;
    const QByteArrayView meta = boxes->meta;
    const std::vector<quint64> ids = itemIdsOf(boxes->iinf, itemType, contentType);
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
            items.primary = itemBytes(boxes->iloc, id, file, meta);
        } else if (!primarys) {
            items.hasOthers = true;
            if (const std::optional<QByteArrayView> bytes = itemBytes(boxes->iloc, id, file, meta))
                items.others.push_back(*bytes);
        }
        if (!primary)
            break;
    }
    return items;
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

} // namespace BmffReading
