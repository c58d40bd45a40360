#include "platform/BmffLayout.h"

#include "platform/BmffReading.h"
#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <set>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace BmffReading;

namespace {

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

ExifItemState exifItemState(QByteArrayView file)
{
    const ItemsOfKind exif = itemsOf(file, "Exif", {});
    if (!exif.primaryId)
        return ExifItemState::None;
    if (exif.primary)
        return tiffOfExifItem(exif.primary) ? ExifItemState::Placed : ExifItemState::Elsewhere;
    const std::optional<ItemBoxes> boxes = itemBoxesOf(file);
    const std::optional<std::vector<ItemLocation>> locations = boxes ? itemLocations(boxes->iloc) : std::nullopt;
    if (!locations)
        return ExifItemState::Damaged;
    for (const ItemLocation& location : *locations) {
        if (location.id != *exif.primaryId)
            continue;
        if (location.extents.size() != 1 || location.dataReference != 0 || location.method > 1)
            return ExifItemState::Elsewhere;
        const std::optional<QByteArrayView> source
            = location.method == 0 ? std::optional(file) : payloadOf(boxes->meta, "idat");
        const ItemLocation::Extent& extent = location.extents.front();
        if (!source || extent.length != 0)
            return ExifItemState::Damaged; // it lies past the end of its source
        // A length of 0 is what exiftool leaves on an item it emptied, pointing at
        // other bytes; Exif data at its place is an item whose length was lost.
        const std::optional<QByteArrayView> rest = extentBytes(*source, location.base, extent);
        return tiffOfExifItem(rest) ? ExifItemState::Damaged : ExifItemState::None;
    }
    return ExifItemState::None; // an item placed nowhere holds nothing
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

namespace BmffLayout {

bool boxesFillFile(QByteArrayView file)
{
    return topBoxesOf(file).has_value();
}

} // namespace BmffLayout
