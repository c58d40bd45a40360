#include "Helper/ExifWriterEditing.h"
#include "model/MetadataRestorePoint.h"
#include "platform/Exiv2Adapter.h"

#include <QByteArray>
#include <exiv2/exiv2.hpp>
#include <memory>

namespace {

QByteArray valueBytes(const Exiv2::Value& value, Exiv2::ByteOrder byteOrder)
{
    QByteArray bytes(qsizetype(value.size()), '\0');
    if (!bytes.isEmpty())
        value.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), byteOrder);
    return bytes;
}

std::unique_ptr<Exiv2::Value> valueFrom(const MetadataRestorePoint::Datum& datum, Exiv2::ByteOrder byteOrder)
{
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(Exiv2::TypeId(datum.typeId)).release());
    value->read(reinterpret_cast<const Exiv2::byte*>(datum.bytes.constData()), long(datum.bytes.size()), byteOrder);
    return value;
}

} // namespace

namespace ExifWriterEditing {

// Adds to the photo's restore point what this write changed and no earlier write
// had: the values as the photo held them before, so a restore after several runs
// goes back to the photo as first read.
void extendRestorePoint(MetadataRestorePoint& point, const MetadataSnapshot& before, Exiv2::ByteOrder byteOrder,
    const EditedKeys& edited, bool xmpPacketChanged, const QDateTime& modified)
{
    if (!point.modified)
        point.modified = modified;
    if (point.exifKeys.isEmpty())
        point.exifByteOrder = int(byteOrder);
    for (const std::string& key : edited.exif) {
        const QByteArray keyBytes = QByteArray::fromStdString(key);
        if (point.exifKeys.contains(keyBytes))
            continue;
        point.exifKeys.append(keyBytes);
        for (const Exiv2::Exifdatum& datum : before.exif) {
            if (datum.key() == key) {
                point.exifData.append({ keyBytes, int(datum.typeId()),
                    valueBytes(datum.value(), Exiv2::ByteOrder(point.exifByteOrder)) });
            }
        }
    }
    if (!edited.iptc.empty() && !point.keepsIptc) {
        point.keepsIptc = true;
        for (const Exiv2::Iptcdatum& datum : before.iptc) {
            point.iptcData.append({ QByteArray::fromStdString(datum.key()), int(datum.typeId()),
                valueBytes(datum.value(), Exiv2::bigEndian) });
        }
    }
    if ((!edited.xmp.empty() || xmpPacketChanged) && !point.keepsXmp) {
        point.keepsXmp = true;
        point.xmpPacket = QByteArray::fromStdString(before.xmpPacket);
    }
}

// Puts the restore point's values back into the image; its XMP packet goes back
// as it was, byte for byte.
void applyRestorePoint(Exiv2::Image& image, const MetadataRestorePoint& point)
{
    Exiv2::ExifData& exifData = image.exifData();
    for (const QByteArray& key : point.exifKeys) {
        const Exiv2::ExifKey exifKey(key.toStdString());
        for (auto it = exifData.findKey(exifKey); it != exifData.end(); it = exifData.findKey(exifKey))
            exifData.erase(it);
    }
    for (const MetadataRestorePoint::Datum& datum : point.exifData) {
        const auto value = valueFrom(datum, Exiv2::ByteOrder(point.exifByteOrder));
        exifData.add(Exiv2::ExifKey(datum.key.toStdString()), value.get());
    }
    if (point.keepsIptc) {
        Exiv2::IptcData& iptcData = image.iptcData();
        iptcData.clear();
        for (const MetadataRestorePoint::Datum& datum : point.iptcData) {
            const auto value = valueFrom(datum, Exiv2::bigEndian);
            iptcData.add(Exiv2::IptcKey(datum.key.toStdString()), value.get());
        }
    }
    if (point.keepsXmp) {
        image.xmpPacket() = point.xmpPacket.toStdString();
        image.xmpData().clear();
        if (!point.xmpPacket.isEmpty() && Exiv2Adapter::decodeXmp(image.xmpData(), image.xmpPacket()) != 0)
            image.xmpData().clear();
    }
}

} // namespace ExifWriterEditing
