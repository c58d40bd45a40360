#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVariantMap>

namespace Exiv2 {
class Image;
}

// The image-property dictionary of a photo: a QVariantMap with top-level keys
// ("PixelWidth", "PixelHeight", "Orientation", "DPIWidth", "DPIHeight", "ColorModel",
// "ProfileName", "Depth") and the groups "{TIFF}", "{Exif}", "{GPS}", "{IPTC}" and
// "{ExifAux}", each a QVariantMap. Rationals are doubles, GPS positions are unsigned
// decimal degrees (the sign lives in the reference letter), repeatable values are
// lists. Everything comes from one exiv2 open that reads the headers only; the pixel
// size falls back to QImageReader, and HEIF files take theirs from libheif.
class ImageProperties {
public:
    static inline const QString kTIFF = QStringLiteral("{TIFF}");
    static inline const QString kExif = QStringLiteral("{Exif}");
    static inline const QString kGPS = QStringLiteral("{GPS}");
    static inline const QString kIPTC = QStringLiteral("{IPTC}");
    static inline const QString kExifAux = QStringLiteral("{ExifAux}");

    // The dictionary of the file's first image; empty when nothing can be read.
    static QVariantMap propertiesForFile(const QString& path);

    // The same dictionary from a photo that exiv2 has already opened and read
    // (readMetadata done), so that one parse can serve several readers. image is null
    // when exiv2 could not open or read the file at path; the pixel-size fallbacks read
    // path itself. Only call it for a path that openablePhotoPath accepts.
    static QVariantMap propertiesForImage(const QString& path, Exiv2::Image* image);

    // What the photo list keeps of that dictionary: "PixelWidth" and "PixelHeight"
    // (an empty size where the dictionary has none) and the top-level "Orientation"
    // (0 where it has none), read as propertiesForImage reads them but without the
    // rest of the dictionary, and without opening the file again where exiv2 found
    // the size of a photo that is no HEIF file.
    struct Shape {
        QSize size;
        int orientation = 0;
    };
    static Shape shapeOfImage(const QString& path, Exiv2::Image* image);

    // True for HEIF/HEIC files (by content, not by name).
    static bool isHeif(const QString& path);

    // Writes the dictionary's groups and top-level "Orientation" as metadata into an
    // encoded image held in memory (JPEG, PNG, TIFF, JPEG 2000). Formats whose metadata exiv2
    // can't write are left as they are and answer true. On failure answers false and
    // sets errorMessage; the bytes are then unchanged.
    static bool writeProperties(QByteArray& encodedImage, const QVariantMap& properties, QString* errorMessage);

    // The two directions of the one table that ties dictionary keys to exiv2 keys.
    // group is "" for a top-level key. An unknown key answers an empty text or pair.
    static QString exiv2KeyFor(const QString& group, const QString& key);
    static QPair<QString, QString> dictionaryKeyFor(const QString& exiv2Key);
};
