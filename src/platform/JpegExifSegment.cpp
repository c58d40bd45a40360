#include "platform/JpegExifSegment.h"

#include "platform/JpegHeaderLayout.h"

#include <QList>

namespace {

constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kApp1 = 0xE1;
constexpr unsigned char kApp13 = 0xED;

const QByteArrayView kExifSignature("Exif\0\0", 6);
const QByteArrayView kPhotoshopSignature("Photoshop 3.0\0", 14);

// The first ones, at most wanted, of the segments with the code whose data starts
// with the signature, each from its marker to its end, in file order. Nothing
// when the walk fails before the image data.
//
// Unlike the header layout, this walk steps over TEM and the restart markers and
// reads a length after any other code: it only has to find the segment, not to
// agree with exiv2 on the whole header.
std::optional<QList<JpegExifSegment>> segmentsOf(
    QByteArrayView jpeg, unsigned char code, QByteArrayView signature, qsizetype wanted)
{
    if (jpeg.size() < 4 || !JpegHeaderLayout::startsAnImage(jpeg))
        return std::nullopt;
    QList<JpegExifSegment> found;
    JpegHeaderLayout::Segment segment;
    for (qsizetype position = 2; found.size() < wanted; position = segment.end) {
        if (JpegHeaderLayout::readSegment(jpeg, position, segment) != JpegHeaderLayout::Step::Read)
            return std::nullopt;
        if (segment.code == kStartOfScan || segment.code == kEndOfImage || segment.end > jpeg.size())
            break;
        if (segment.code == code && segment.end - segment.marker >= 4 + signature.size()
            && jpeg.sliced(segment.marker + 4, signature.size()) == signature)
            found.append(JpegExifSegment { segment.start, segment.end - segment.start });
    }
    return found;
}

std::optional<JpegExifSegment> first(QByteArrayView jpeg, unsigned char code, QByteArrayView signature)
{
    const std::optional<QList<JpegExifSegment>> found = segmentsOf(jpeg, code, signature, 1);
    if (!found || found->isEmpty())
        return std::nullopt;
    return found->first();
}

std::optional<QByteArray> withSegment(
    QByteArrayView edited, QByteArrayView original, const JpegExifSegment& mine, const JpegExifSegment& theirs)
{
    const QByteArrayView keep = original.sliced(theirs.offset, theirs.size);
    if (edited.sliced(mine.offset, mine.size) == keep)
        return std::nullopt;
    QByteArray result;
    result.reserve(edited.size() - mine.size + keep.size());
    result.append(edited.first(mine.offset));
    result.append(keep);
    result.append(edited.sliced(mine.offset + mine.size));
    return result;
}

} // namespace

std::optional<JpegExifSegment> JpegExifSegment::find(QByteArrayView jpeg)
{
    return first(jpeg, kApp1, kExifSignature);
}

std::optional<JpegExifSegment> JpegExifSegment::findSole(QByteArrayView jpeg)
{
    const std::optional<QList<JpegExifSegment>> found = segmentsOf(jpeg, kApp1, kExifSignature, 2);
    if (!found || found->size() != 1)
        return std::nullopt;
    return found->first();
}

QByteArrayView JpegExifSegment::tiffBlockOf(QByteArrayView jpeg, const JpegExifSegment& segment)
{
    // Fill bytes may stand before the marker; find() saw the code and "Exif\0\0".
    qsizetype code = segment.offset;
    while (code < segment.offset + segment.size && static_cast<unsigned char>(jpeg[code]) == 0xff)
        ++code;
    const qsizetype block = code + 1 + 2 + 6;
    const qsizetype end = segment.offset + segment.size;
    return block <= end ? jpeg.sliced(block, end - block) : QByteArrayView();
}

std::optional<QByteArray> JpegExifSegment::withTiffBlock(
    QByteArrayView jpeg, const JpegExifSegment& segment, QByteArrayView block)
{
    if (block.size() > kMaxTiffBlock)
        return std::nullopt;
    const qsizetype length = 2 + 6 + block.size();
    QByteArray result;
    result.reserve(jpeg.size() - segment.size + length + 2);
    result.append(jpeg.first(segment.offset));
    result.append("\xff\xe1", 2);
    result.append(char(length >> 8));
    result.append(char(length & 0xff));
    result.append("Exif\0\0", 6);
    result.append(block);
    result.append(jpeg.sliced(segment.offset + segment.size));
    return result;
}

std::optional<QByteArrayView> JpegExifSegment::exifBlockOf(QByteArrayView photo)
{
    if (const std::optional<JpegExifSegment> segment = find(photo))
        return tiffBlockOf(photo, *segment);
    if (photo.startsWith(QByteArrayView("II*\0", 4)) || photo.startsWith(QByteArrayView("MM\0*", 4)))
        return photo;
    return std::nullopt;
}

std::optional<QByteArray> JpegExifSegment::withExifSegmentOf(QByteArrayView edited, QByteArrayView original)
{
    const std::optional<JpegExifSegment> mine = find(edited);
    const std::optional<JpegExifSegment> theirs = find(original);
    if (!mine || !theirs)
        return std::nullopt;
    return withSegment(edited, original, *mine, *theirs);
}

std::optional<QByteArray> JpegExifSegment::withPhotoshopSegmentOf(QByteArrayView edited, QByteArrayView original)
{
    const std::optional<JpegExifSegment> mine = first(edited, kApp13, kPhotoshopSignature);
    const std::optional<QList<JpegExifSegment>> theirs = segmentsOf(original, kApp13, kPhotoshopSignature, 2);
    if (!mine || !theirs || theirs->size() != 1)
        return std::nullopt;
    return withSegment(edited, original, *mine, theirs->first());
}
