#include "platform/JpegHeaderLayout.h"

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

unsigned char byteAt(QByteArrayView bytes, qsizetype index)
{
    return static_cast<unsigned char>(bytes[index]);
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool isStandalone(unsigned char code)
{
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

// Codes that carry no length (TEM, the restart markers, a start of image) or are
// no marker at all (0x00 is a stuffed 0xFF in image data). exiv2 would read a
// length after each of them.
bool hasNoLength(unsigned char code)
{
    return code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= kStartOfImage);
}

} // namespace

bool JpegHeaderLayout::startsAnImage(QByteArrayView bytes)
{
    return bytes.size() >= 2 && byteAt(bytes, 0) == kMarker && byteAt(bytes, 1) == kStartOfImage;
}

JpegHeaderLayout::Step JpegHeaderLayout::readSegment(QByteArrayView bytes, qsizetype position, Segment& segment)
{
    if (position >= bytes.size())
        return Step::Cut;
    if (byteAt(bytes, position) != kMarker)
        return Step::Broken;
    // Any number of fill bytes may stand before a marker.
    qsizetype markerAt = position;
    while (markerAt + 1 < bytes.size() && byteAt(bytes, markerAt + 1) == kMarker)
        ++markerAt;
    if (markerAt + 3 >= bytes.size())
        return Step::Cut;
    segment.start = position;
    segment.marker = markerAt;
    segment.code = byteAt(bytes, markerAt + 1);
    if (isStandalone(segment.code)) {
        segment.end = markerAt + 2;
        return Step::Read;
    }
    const qsizetype length = (qsizetype(byteAt(bytes, markerAt + 2)) << 8) | byteAt(bytes, markerAt + 3);
    if (length < 2)
        return Step::Broken;
    segment.end = markerAt + 2 + length;
    return Step::Read;
}

JpegHeaderLayout::Status JpegHeaderLayout::find(QByteArrayView bytes, JpegHeaderLayout& layout)
{
    if (bytes.size() < 2)
        return Status::NeedMore;
    if (!startsAnImage(bytes))
        return Status::Unsuitable;
    Segment segment;
    for (qsizetype position = 2;; position = segment.end) {
        const Step step = readSegment(bytes, position, segment);
        if (step != Step::Read)
            return step == Step::Cut ? Status::NeedMore : Status::Unsuitable;
        if (segment.code == kEndOfImage || hasNoLength(segment.code))
            return Status::Unsuitable;
        if (segment.code == kStartOfScan) {
            if (segment.end > bytes.size())
                return Status::NeedMore;
            layout.scanStart = segment.marker;
            layout.headerEnd = segment.end;
            return Status::Found;
        }
    }
}
