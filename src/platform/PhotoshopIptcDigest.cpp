#include "platform/PhotoshopIptcDigest.h"

#include <QCryptographicHash>
#include <algorithm>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr quint16 kIptcResource = 0x0404;
constexpr quint16 kDigestResource = 0x0425;
constexpr qsizetype kDigestSize = 16;
constexpr QByteArrayView kSignature("Photoshop 3.0\0", 14);

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
    // The digest resource's first byte and the end of its padded value.
    qsizetype digestStart = -1;
    qsizetype digestEnd = -1;
};

// Walks the image resources ("8BIM" blocks) from at to end.
void walkResources(QByteArrayView bytes, qsizetype at, qsizetype end, Resources& resources)
{
    while (at + 12 <= end && bytes.sliced(at, 4) == QByteArrayView("8BIM")) {
        const quint16 id = quint16(bigEndian(bytes, at + 4, 2));
        // The name: a length byte and the text, padded to an even size.
        qsizetype nameSize = 1 + byteAt(bytes, at + 6);
        nameSize += nameSize % 2;
        const qsizetype sizeAt = at + 6 + nameSize;
        if (sizeAt + 4 > end)
            break;
        const qsizetype size = qsizetype(bigEndian(bytes, sizeAt, 4));
        const qsizetype valueAt = sizeAt + 4;
        if (size > end - valueAt)
            break;
        if (id == kIptcResource) {
            resources.iptcOffset = valueAt;
            resources.iptcSize = size;
        } else if (id == kDigestResource && size == kDigestSize) {
            resources.digestOffset = valueAt;
            resources.digestStart = at;
            resources.digestEnd = std::min(valueAt + size + size % 2, end);
        }
        at = valueAt + size + size % 2;
    }
}

// Walks the image resources of the first Photoshop APP13 segment before the
// image data.
std::optional<Resources> resourcesOf(QByteArrayView jpeg)
{
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
        if (marker == 0xED && end - data >= kSignature.size() && jpeg.sliced(data, kSignature.size()) == kSignature) {
            Resources resources;
            resources.segmentOffset = position;
            resources.segmentEnd = end;
            walkResources(jpeg, data + kSignature.size(), end, resources);
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

std::optional<QByteArray> PhotoshopIptcDigest::withoutOrphanedDigest(QByteArrayView jpeg)
{
    const std::optional<Resources> resources = resourcesOf(jpeg);
    if (!resources || resources->iptcOffset >= 0 || resources->digestOffset < 0)
        return std::nullopt;
    const qsizetype dataStart = resources->segmentOffset + 4 + kSignature.size();
    const qsizetype kept = (resources->segmentEnd - dataStart) - (resources->digestEnd - resources->digestStart);
    QByteArray result;
    result.reserve(jpeg.size());
    if (kept == 0) {
        result.append(jpeg.first(resources->segmentOffset));
        result.append(jpeg.sliced(resources->segmentEnd));
        return result;
    }
    result.append(jpeg.first(resources->digestStart));
    result.append(jpeg.sliced(resources->digestEnd));
    const qsizetype segmentLength = resources->segmentEnd - resources->segmentOffset - 2
        - (resources->digestEnd - resources->digestStart);
    result[resources->segmentOffset + 2] = char(segmentLength >> 8);
    result[resources->segmentOffset + 3] = char(segmentLength & 0xff);
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
    if (!resources || resources->iptcOffset < 0 || jpeg.sliced(resources->iptcOffset, resources->iptcSize) == iptc)
        return std::nullopt;
    const qsizetype start = resources->segmentOffset + 4 + kSignature.size();
    const std::optional<QByteArray> replaced
        = resourcesWithIptcData(jpeg.sliced(start, resources->segmentEnd - start), iptc);
    const qsizetype segmentLength = 2 + kSignature.size() + (replaced ? replaced->size() : 0);
    if (!replaced || segmentLength > 0xffff)
        return std::nullopt;
    QByteArray result;
    result.reserve(jpeg.size() + replaced->size() - (resources->segmentEnd - start));
    result.append(jpeg.first(start));
    result.append(*replaced);
    result.append(jpeg.sliced(resources->segmentEnd));
    result[resources->segmentOffset + 2] = char(segmentLength >> 8);
    result[resources->segmentOffset + 3] = char(segmentLength & 0xff);
    return result;
}

std::optional<QByteArray> PhotoshopIptcDigest::resourcesWithIptcData(QByteArrayView resources, QByteArrayView iptc)
{
    Resources found;
    walkResources(resources, 0, resources.size(), found);
    if (found.iptcOffset < 0)
        return std::nullopt;
    const qsizetype oldEnd = std::min(found.iptcOffset + found.iptcSize + found.iptcSize % 2, resources.size());
    QByteArray result;
    result.reserve(resources.size() + iptc.size() - found.iptcSize + 1);
    result.append(resources.first(found.iptcOffset - 4));
    for (int shift = 24; shift >= 0; shift -= 8)
        result.append(char((iptc.size() >> shift) & 0xff));
    result.append(iptc);
    if (iptc.size() % 2)
        result.append('\0');
    result.append(resources.sliced(oldEnd));
    return result;
}

std::optional<QByteArray> PhotoshopIptcDigest::resourcesWithDigestOf(
    QByteArrayView resources, QByteArrayView digestedBefore, QByteArrayView digestedNow)
{
    Resources found;
    walkResources(resources, 0, resources.size(), found);
    if (found.digestOffset < 0 || resources.sliced(found.digestOffset, kDigestSize) != md5(digestedBefore))
        return std::nullopt;
    const QByteArray digest = md5(digestedNow);
    if (resources.sliced(found.digestOffset, kDigestSize) == digest)
        return std::nullopt;
    QByteArray result = resources.toByteArray();
    result.replace(found.digestOffset, kDigestSize, digest);
    return result;
}

std::optional<QByteArrayView> PhotoshopIptcDigest::iptcDataOfResources(QByteArrayView resources)
{
    Resources found;
    walkResources(resources, 0, resources.size(), found);
    if (found.iptcOffset < 0)
        return std::nullopt;
    return resources.sliced(found.iptcOffset, found.iptcSize);
}
