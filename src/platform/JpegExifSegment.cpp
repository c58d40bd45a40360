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
