#include "platform/JpegExtendedXmp.h"

#include "platform/JpegHeaderLayout.h"

namespace JpegExtendedXmp {

namespace {

constexpr unsigned char kApp1 = 0xE1;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr qsizetype kGuidSize = 32;
const QByteArrayView kSignature("http://ns.adobe.com/xmp/extension/\0", 35);

} // namespace

std::optional<QList<Segment>> segmentsOf(QByteArrayView jpeg)
{
    if (jpeg.size() < 4 || !JpegHeaderLayout::startsAnImage(jpeg))
        return std::nullopt;
    QList<Segment> found;
    JpegHeaderLayout::Segment segment;
    for (qsizetype position = 2;; position = segment.end) {
        if (JpegHeaderLayout::readSegment(jpeg, position, segment) != JpegHeaderLayout::Step::Read
            || segment.end > jpeg.size())
            return std::nullopt;
        if (segment.code == kStartOfScan || segment.code == kEndOfImage)
            return found;
        const qsizetype data = segment.marker + 4;
        if (segment.code == kApp1 && segment.end - data >= kSignature.size()
            && jpeg.sliced(data, kSignature.size()) == kSignature) {
            // A segment too short to hold a GUID names none, and no packet names it.
            const qsizetype guid = data + kSignature.size();
            found.append(Segment { segment.start, segment.end - segment.start,
                segment.end - guid >= kGuidSize ? jpeg.sliced(guid, kGuidSize) : QByteArrayView() });
        }
    }
}

std::optional<QList<QByteArrayView>> bytesOf(QByteArrayView jpeg, std::optional<QByteArrayView> guid)
{
    const std::optional<QList<Segment>> segments = segmentsOf(jpeg);
    if (!segments)
        return std::nullopt;
    QList<QByteArrayView> bytes;
    for (const Segment& segment : *segments) {
        if (!guid || (!guid->isEmpty() && segment.guid == *guid))
            bytes.append(jpeg.sliced(segment.offset, segment.size));
    }
    return bytes;
}

std::optional<QByteArray> keepingOnly(QByteArrayView jpeg, QByteArrayView guid)
{
    const std::optional<QList<Segment>> segments = segmentsOf(jpeg);
    if (!segments)
        return std::nullopt;
    QByteArray kept;
    qsizetype copied = 0;
    for (const Segment& segment : *segments) {
        if (!guid.isEmpty() && segment.guid == guid)
            continue;
        if (kept.isEmpty())
            kept.reserve(jpeg.size() - segment.size);
        kept.append(jpeg.sliced(copied, segment.offset - copied));
        copied = segment.offset + segment.size;
    }
    if (copied == 0)
        return std::nullopt;
    kept.append(jpeg.sliced(copied));
    return kept;
}

} // namespace JpegExtendedXmp
