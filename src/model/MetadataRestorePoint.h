#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <optional>

// What in-place writes changed in a photo, as the photo held it before the first
// of them: enough for a restore to put the photo's own metadata back exactly,
// value for value, instead of writing texts that were rounded or trimmed on the
// way through a record. Plain bytes, so that this floor needs no metadata
// library; the writer makes and reads it.
struct MetadataRestorePoint {
    // One datum as the library stores it: its key, its type number and its value
    // bytes (Exif and IPTC in byteOrder, as the library copies them).
    struct Datum {
        QByteArray key;
        int typeId = 0;
        QByteArray bytes;
    };

    // The Exif keys the writes set or erased; a restore erases each and puts back
    // exifData's datums of that key (none for a key the photo did not have).
    QList<QByteArray> exifKeys;
    QList<Datum> exifData;
    int exifByteOrder = 0;
    // The whole IPTC data and the whole XMP packet, when a write changed any of
    // them (a write may convert every IPTC text, and the XMP packet is written as
    // one piece).
    bool keepsIptc = false;
    QList<Datum> iptcData;
    bool keepsXmp = false;
    QByteArray xmpPacket;
    // The file's modification time before the first write.
    std::optional<QDateTime> modified;
};
