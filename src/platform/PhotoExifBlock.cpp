#include "platform/PhotoExifBlock.h"

#include "platform/BmffLayout.h"
#include "platform/ImageDataLayout.h"
#include "platform/JpegExifSegment.h"

#include <QtEndian>

namespace {

constexpr QByteArrayView kExifPrefix("Exif\0\0", 6);

PhotoExifBlock found(QByteArrayView data)
{
    // Some writers put a JPEG segment's "Exif\0\0" before a chunk's TIFF block.
    return { PhotoExifBlock::Found, data.startsWith(kExifPrefix) ? data.sliced(kExifPrefix.size()) : data };
}

// The Exif chunk of a PNG ("eXIf": big-endian length, type, data, CRC) or a
// WebP ("EXIF": type, little-endian length, data, padding) file; damaged when it
// runs past the end of the file.
PhotoExifBlock chunkOf(QByteArrayView file, bool png)
{
    const qsizetype header = 8;
    const qsizetype trailer = png ? 4 : 0;
    for (qsizetype at = png ? 8 : 12; file.size() - at >= header;) {
        const QByteArrayView type = file.sliced(at + (png ? 4 : 0), 4);
        const quint64 length
            = png ? qFromBigEndian<quint32>(file.data() + at) : qFromLittleEndian<quint32>(file.data() + at + 4);
        const bool fits = length <= quint64(file.size() - at - header);
        if (type == (png ? QByteArrayView("eXIf") : QByteArrayView("EXIF")))
            return fits ? found(file.sliced(at + header, qsizetype(length)))
                        : PhotoExifBlock { PhotoExifBlock::Damaged, {} };
        if (!fits || (png && type == "IEND"))
            break;
        at += header + qsizetype(length) + trailer + (png ? 0 : qsizetype(length & 1));
    }
    return {};
}

} // namespace

PhotoExifBlock PhotoExifBlock::of(QByteArrayView photo)
{
    switch (ImageDataLayout::kindOf(photo)) {
    case ImageDataLayout::Kind::Jpeg:
    case ImageDataLayout::Kind::Tiff:
        if (const std::optional<QByteArrayView> block = JpegExifSegment::exifBlockOf(photo))
            return { Found, *block };
        return {};
    case ImageDataLayout::Kind::Png:
        return chunkOf(photo, true);
    case ImageDataLayout::Kind::Webp:
        return chunkOf(photo, false);
    case ImageDataLayout::Kind::Bmff:
        switch (BmffLayout::exifItemState(photo)) {
        case BmffLayout::ExifItemState::Placed:
            return { Found, BmffLayout::exifItem(photo).value_or(QByteArrayView()) };
        case BmffLayout::ExifItemState::Damaged:
            return { Damaged, {} };
        case BmffLayout::ExifItemState::Elsewhere:
            return { Elsewhere, {} };
        case BmffLayout::ExifItemState::None:
            return {};
        }
        return {};
    case ImageDataLayout::Kind::Other:
        return {};
    }
    return {};
}
