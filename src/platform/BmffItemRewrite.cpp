#include "platform/BmffItemRewrite.h"

#include "platform/BmffLayout.h"
#include "platform/BmffReading.h"

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

using namespace BmffReading;

namespace {

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
