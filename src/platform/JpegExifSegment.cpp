#include "platform/JpegExifSegment.h"

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kApp1 = 0xE1;

unsigned char byteAt(QByteArrayView bytes, qsizetype index)
{
    return static_cast<unsigned char>(bytes[index]);
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool isStandalone(unsigned char marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

} // namespace

std::optional<JpegExifSegment> JpegExifSegment::find(QByteArrayView jpeg)
{
    if (jpeg.size() < 4 || byteAt(jpeg, 0) != kMarker || byteAt(jpeg, 1) != kStartOfImage)
        return std::nullopt;
    qsizetype position = 2;
    while (position + 1 < jpeg.size()) {
        if (byteAt(jpeg, position) != kMarker)
            return std::nullopt;
        // Any number of fill bytes may stand before a marker.
        qsizetype markerAt = position;
        while (markerAt + 1 < jpeg.size() && byteAt(jpeg, markerAt + 1) == kMarker)
            ++markerAt;
        if (markerAt + 1 >= jpeg.size())
            return std::nullopt;
        const unsigned char marker = byteAt(jpeg, markerAt + 1);
        if (marker == kStartOfScan || marker == kEndOfImage)
            return std::nullopt;
        if (isStandalone(marker)) {
            position = markerAt + 2;
            continue;
        }
        if (markerAt + 3 >= jpeg.size())
            return std::nullopt;
        const qsizetype length = (qsizetype(byteAt(jpeg, markerAt + 2)) << 8) | byteAt(jpeg, markerAt + 3);
        const qsizetype end = markerAt + 2 + length;
        if (length < 2 || end > jpeg.size())
            return std::nullopt;
        if (marker == kApp1 && length >= 8 && jpeg.sliced(markerAt + 4, 6) == QByteArrayView("Exif\0\0", 6))
            return JpegExifSegment { position, end - position };
        position = end;
    }
    return std::nullopt;
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
