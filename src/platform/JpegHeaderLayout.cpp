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

// Codes that carry no length (TEM, the restart markers, a start of image) or are
// no marker at all (0x00 is a stuffed 0xFF in image data). exiv2 would read a
// length after each of them.
bool hasNoLength(unsigned char code)
{
    return code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= kStartOfImage);
}

} // namespace

JpegHeaderLayout::Status JpegHeaderLayout::find(QByteArrayView bytes, JpegHeaderLayout& layout)
{
    if (bytes.size() < 2)
        return Status::NeedMore;
    if (byteAt(bytes, 0) != kMarker || byteAt(bytes, 1) != kStartOfImage)
        return Status::Unsuitable;
    qsizetype position = 2;
    while (true) {
        if (position >= bytes.size())
            return Status::NeedMore;
        if (byteAt(bytes, position) != kMarker)
            return Status::Unsuitable;
        qsizetype markerAt = position;
        while (markerAt + 1 < bytes.size() && byteAt(bytes, markerAt + 1) == kMarker)
            ++markerAt;
        if (markerAt + 3 >= bytes.size())
            return Status::NeedMore;
        const unsigned char code = byteAt(bytes, markerAt + 1);
        if (code == kEndOfImage || hasNoLength(code))
            return Status::Unsuitable;
        const qsizetype length = (qsizetype(byteAt(bytes, markerAt + 2)) << 8) | byteAt(bytes, markerAt + 3);
        if (length < 2)
            return Status::Unsuitable;
        const qsizetype end = markerAt + 2 + length;
        if (code == kStartOfScan) {
            if (end > bytes.size())
                return Status::NeedMore;
            layout.scanStart = markerAt;
            layout.headerEnd = end;
            return Status::Found;
        }
        position = end;
    }
}
