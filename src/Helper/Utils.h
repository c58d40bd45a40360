#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>

class DateTimeConfiguration;

// The shared utility object. It holds no state: every operation works on its
// arguments alone, so one instance serves every thread. Each group of operations
// lives in its own source file (named beside each section) so that dates, texts
// and images can grow without touching one another.
class Utils {
public:
    static Utils& sharedUtils();

    // ---- Dates: the date-adjustment engine and date texts (UtilsDates.cpp) ----

    // ---- Thumbnails, pixel sizes, image-property dictionary (UtilsImages.cpp) ----
    // A thumbnail fitted to the requested width with its aspect kept, upright, on
    // white. Null for an empty path, a zero size, or a file with no readable image.
    QImage getThumbnailImageAtFilePath(const QString& path, QSizeF size) const;
    // The upright image decoded at a size scaled to minWidth (never the full size
    // unless that is what was asked); null when nothing can be decoded.
    QImage getImageFromFile(const QString& path, float minWidth, float minHeight) const;
    // The pixel size as the photo is shown (turned for orientations 5 to 8); EPS and
    // PICT files take their size in points. 0 x 0 when nothing can be read.
    QSizeF getImageOriginalSizeAtFilePathUrl(const QString& path) const;
    // The image-property dictionary of the file's first image; empty when nothing can be read.
    QVariantMap exifForFile(const QString& path) const;
    QImage addBackgroundToImage(const QImage& image, const QColor& color) const;
    // The image stretched to the new size; itself when invalid or already that size.
    QImage scaleImage(const QImage& image, QSizeF newSize) const;
    // Aspect-fit arithmetic in single precision.
    QSizeF aspectFitSizeWithMaxSize(QSizeF size, double scaledWidth) const;
    QSizeF aspectFitSizeWithMaxHeight(QSizeF size, double scaledHeight) const;
    QSizeF getAspectFitModeSizeWithsize(QSizeF size, QSizeF toSize) const;
    // Fills the box and crops the overflow: mode 0 keeps the top, 2 the bottom, any
    // other the centre.
    QImage getAspectFillImageFormImage(const QImage& image, QSizeF size, int cropMode) const;
    QImage cropImage(const QImage& image, QRectF cropRect) const;
    // Null for a width or height of 0 or less.
    QImage resizeImage(const QImage& image, int width, int height) const;
    static QRectF centerRect(QRectF rect, QRectF inRect);
    // Exif orientations 5 to 8 turn the picture a quarter: its width and height change places.
    static bool isQuarterTurn(int orientation) { return orientation >= 5 && orientation <= 8; }

    // ---- Image saving and orientation (UtilsImageSaving.cpp) ----
    // Output formats of saveImageInSelectedFormat: 0 TIFF, 1 BMP, 2 GIF, 3 and 4 JPEG,
    // 5 PNG, 6 JPEG 2000. GIF and JPEG 2000 can't be written here and fail with a message.
    // The pixels are written with the quality (0 to 1) and the dictionary's groups as
    // metadata, through a temporary file that replaces the target only when complete.
    bool saveImageInSelectedFormat(int format, const QString& filePath, const QImage& image,
        const QVariantMap& exifDict, float qualityFactor, QString* errorMessage = nullptr) const;
    // Rewrites the file in its own format with the image and the dictionary; a path that
    // holds no image gets a JPEG beside it named with ".jpeg". False when nothing was written.
    bool updateImageExifDataAtPath(const QString& path, const QVariantMap& exifDict, float qualityFactor,
        const QImage& image, QString* errorMessage = nullptr) const;
    // The options with the dictionary's property groups and image keys copied in.
    QVariantMap setImageExifInfo(QVariantMap options, const QVariantMap& exifDict) const;
    QVariantMap getImageeExifDict(const QString& path) const { return exifForFile(path); }
    // The file's image turned upright by its Exif orientation and stretched to the size.
    QImage fixOrientation(const QString& imageUrl, QSizeF size) const;
    // The image turned upright from Exif orientation 1 to 8; any other value gives it back.
    static QImage RotateWithEXIF(const QImage& image, int orientation);
    QImage getImageWithFixedOrientionFromUrl(const QString& path) const;
    QImage convertGraycolorModelToRgb(const QImage& image) const;
    QImage getTransparentImageFromImage(const QImage& image, float factor) const;

    // ---- Texts (UtilsText.cpp) ----

private:
    Utils() = default;
};
