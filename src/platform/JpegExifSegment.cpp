#include "platform/JpegExifSegment.h"

#include "platform/JpegHeaderLayout.h"

namespace {

constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kApp1 = 0xE1;

} // namespace

// Unlike the header layout, this walk steps over TEM and the restart markers and
// reads a length after any other code: it only has to find the segment, not to
// agree with exiv2 on the whole header.
std::optional<JpegExifSegment> JpegExifSegment::find(QByteArrayView jpeg)
{
    if (jpeg.size() < 4 || !JpegHeaderLayout::startsAnImage(jpeg))
        return std::nullopt;
    JpegHeaderLayout::Segment segment;
    for (qsizetype position = 2;; position = segment.end) {
        if (JpegHeaderLayout::readSegment(jpeg, position, segment) != JpegHeaderLayout::Step::Read)
            return std::nullopt;
        if (segment.code == kStartOfScan || segment.code == kEndOfImage || segment.end > jpeg.size())
            return std::nullopt;
        if (segment.code == kApp1 && segment.end - segment.marker >= 10
            && jpeg.sliced(segment.marker + 4, 6) == QByteArrayView("Exif\0\0", 6))
            return JpegExifSegment { segment.start, segment.end - segment.start };
    }
}

std::optional<QByteArray> JpegExifSegment::withExifSegmentOf(QByteArrayView edited, QByteArrayView original)
{
    const std::optional<JpegExifSegment> mine = find(edited);
    const std::optional<JpegExifSegment> theirs = find(original);
    if (!mine || !theirs)
        return std::nullopt;
    const QByteArrayView keep = original.sliced(theirs->offset, theirs->size);
    if (edited.sliced(mine->offset, mine->size) == keep)
        return std::nullopt;
    QByteArray result;
    result.reserve(edited.size() - mine->size + keep.size());
    result.append(edited.first(mine->offset));
    result.append(keep);
    result.append(edited.sliced(mine->offset + mine->size));
    return result;
}
