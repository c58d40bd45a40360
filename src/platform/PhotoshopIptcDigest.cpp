#include "platform/PhotoshopIptcDigest.h"

#include <QCryptographicHash>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr quint16 kIptcResource = 0x0404;
constexpr quint16 kDigestResource = 0x0425;
constexpr qsizetype kDigestSize = 16;

unsigned char byteAt(QByteArrayView bytes, qsizetype index)
{
    return static_cast<unsigned char>(bytes[index]);
}

quint32 bigEndian(QByteArrayView bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | byteAt(bytes, at + i);
    return value;
}

// Where the IPTC data and the digest stand in the file.
struct Resources {
    // The APP13 segment's marker and the end of its data.
    qsizetype segmentOffset = -1;
    qsizetype segmentEnd = -1;
    qsizetype iptcOffset = -1;
    qsizetype iptcSize = 0;
    qsizetype digestOffset = -1;
};

// Walks the image resources of the first Photoshop APP13 segment before the
// image data.
std::optional<Resources> resourcesOf(QByteArrayView jpeg)
{
    static const QByteArrayView signature("Photoshop 3.0\0", 14);
    if (jpeg.size() < 4 || byteAt(jpeg, 0) != kMarker || byteAt(jpeg, 1) != 0xD8)
        return std::nullopt;
    qsizetype position = 2;
    while (position + 4 <= jpeg.size() && byteAt(jpeg, position) == kMarker) {
        const unsigned char marker = byteAt(jpeg, position + 1);
        if (marker == 0xDA || marker == 0xD9)
            return std::nullopt;
        const qsizetype length = qsizetype(bigEndian(jpeg, position + 2, 2));
        const qsizetype end = position + 2 + length;
        if (length < 2 || end > jpeg.size())
            return std::nullopt;
        const qsizetype data = position + 4;
        if (marker == 0xED && end - data >= signature.size() && jpeg.sliced(data, signature.size()) == signature) {
            Resources resources;
            resources.segmentOffset = position;
            resources.segmentEnd = end;
            qsizetype at = data + signature.size();
            while (at + 12 <= end && jpeg.sliced(at, 4) == QByteArrayView("8BIM")) {
                const quint16 id = quint16(bigEndian(jpeg, at + 4, 2));
                // The name: a length byte and the text, padded to an even size.
                qsizetype nameSize = 1 + byteAt(jpeg, at + 6);
                nameSize += nameSize % 2;
                const qsizetype sizeAt = at + 6 + nameSize;
                if (sizeAt + 4 > end)
                    break;
                const qsizetype size = qsizetype(bigEndian(jpeg, sizeAt, 4));
                const qsizetype valueAt = sizeAt + 4;
                if (valueAt + size > end)
                    break;
                if (id == kIptcResource) {
                    resources.iptcOffset = valueAt;
                    resources.iptcSize = size;
                } else if (id == kDigestResource && size == kDigestSize) {
                    resources.digestOffset = valueAt;
                }
                at = valueAt + size + size % 2;
            }
            return resources;
        }
        position = end;
    }
    return std::nullopt;
}

QByteArray md5(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

} // namespace

std::optional<QByteArray> PhotoshopIptcDigest::updated(QByteArrayView edited, QByteArrayView original)
{
    const std::optional<Resources> before = resourcesOf(original);
    if (!before || before->iptcOffset < 0 || before->digestOffset < 0
        || md5(original.sliced(before->iptcOffset, before->iptcSize))
            != original.sliced(before->digestOffset, kDigestSize))
        return std::nullopt;
    const std::optional<Resources> after = resourcesOf(edited);
    if (!after || after->iptcOffset < 0 || after->digestOffset < 0)
        return std::nullopt;
    const QByteArray digest = md5(edited.sliced(after->iptcOffset, after->iptcSize));
    if (digest == edited.sliced(after->digestOffset, kDigestSize))
        return std::nullopt;
    QByteArray result = edited.toByteArray();
    result.replace(after->digestOffset, kDigestSize, digest);
    return result;
}

std::optional<QByteArrayView> PhotoshopIptcDigest::iptcDataOf(QByteArrayView jpeg)
{
    const std::optional<Resources> resources = resourcesOf(jpeg);
    if (!resources || resources->iptcOffset < 0)
        return std::nullopt;
    return jpeg.sliced(resources->iptcOffset, resources->iptcSize);
}

std::optional<QByteArray> PhotoshopIptcDigest::withIptcData(QByteArrayView jpeg, QByteArrayView iptc)
{
    const std::optional<Resources> resources = resourcesOf(jpeg);
    if (!resources || resources->iptcOffset < 0)
        return std::nullopt;
    const qsizetype oldSize = resources->iptcSize;
    if (jpeg.sliced(resources->iptcOffset, oldSize) == iptc)
        return std::nullopt;
    // The resource's data is padded to an even size.
    const qsizetype oldEnd = resources->iptcOffset + oldSize + oldSize % 2;
    const qsizetype segmentLength = resources->segmentEnd - resources->segmentOffset - 2
        - (oldEnd - resources->iptcOffset) + iptc.size() + iptc.size() % 2;
    if (oldEnd > resources->segmentEnd || segmentLength > 0xffff)
        return std::nullopt;

    QByteArray result;
    result.reserve(jpeg.size() + iptc.size() - oldSize + 1);
    result.append(jpeg.first(resources->iptcOffset - 4));
    for (int shift = 24; shift >= 0; shift -= 8)
        result.append(char((iptc.size() >> shift) & 0xff));
    result.append(iptc);
    if (iptc.size() % 2)
        result.append('\0');
    result.append(jpeg.sliced(oldEnd));
    result[resources->segmentOffset + 2] = char(segmentLength >> 8);
    result[resources->segmentOffset + 3] = char(segmentLength & 0xff);
    return result;
}
