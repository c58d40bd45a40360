// PhotoFile's constructor from a path reads the photo, so it lives with the reader
// rather than beside the record in src/model/, which reads no files.
#include "services/ExifWriter.h"
#include "model/PhotoFile.h"
#include "platform/ExifOrientation.h"
#include "platform/ImageProperties.h"
#include "platform/VectorImageSize.h"

#include <QFileInfo>

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString withoutLastComponent(const QString& path)
{
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral("");
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

QString lastComponent(const QString& path)
{
    const QString trimmed = withoutTrailingSlashes(path);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

PhotoFile::PhotoFile(const QString& path, bool isIphoto)
    : PhotoFile(path, isIphoto, ExifWriter::kindOf(ExifWriter::kindHeadOf(path).value_or(QByteArray())))
{
}

PhotoFile::PhotoFile(const QString& path, bool isIphoto, const PhotoKind& photoKind)
    : filePath(path)
    , fileURL(path)
    , isIphotosNode(isIphoto)
    , kind(photoKind)
{
    takeNameAndSize(path);
    // One exiv2 parse of the photo fills both the record and the image properties.
    auto record = std::make_shared<MetaDataObject>();
    exifDict = ExifWriter::sharedInstance().readMetaAndPropertiesFromPath(fileURL, *record);
    metadataObject = record;
    // Nothing changes a listed photo's record: the one record serves as both.
    metadataObjectOriginal = metadataObject;
    takeShape(exifDict.value(QStringLiteral("PixelWidth")).toDouble(),
        exifDict.value(QStringLiteral("PixelHeight")).toDouble(), exifDict.value(QStringLiteral("Orientation")).toInt());
}

PhotoFile::PhotoFile(const QString& path, const PhotoKind& photoKind, ListedOnly)
    : filePath(path)
    , fileURL(path)
    , kind(photoKind)
{
    takeNameAndSize(path);
    auto record = std::make_shared<MetaDataObject>();
    const ImageProperties::Shape shape = ExifWriter::sharedInstance().readMetaAndShapeFromPath(fileURL, *record);
    metadataObject = record;
    metadataObjectOriginal = metadataObject;
    takeShape(shape.size.width(), shape.size.height(), shape.orientation);
}

void PhotoFile::takeNameAndSize(const QString& path)
{
    const QFileInfo info(path);
    fileName = info.fileName();
    // The text after the last dot of the file name, as written; a leading dot
    // (".profile") is a hidden name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    fileExtension = dot > 0 ? fileName.mid(dot + 1) : QStringLiteral("");
    fileContainerFolderName = lastComponent(withoutLastComponent(path));
    fileSizeInBytes = info.exists() ? static_cast<double>(info.size()) : 0.0;
}

void PhotoFile::takeShape(double pixelWidth, double pixelHeight, int orientation)
{
    const bool turned = ExifOrientation::isQuarterTurn(orientation);
    width = turned ? pixelHeight : pixelWidth;
    height = turned ? pixelWidth : pixelHeight;
    // EPS and PICT files measure in points; their size is taken as it stands, without
    // the orientation swap.
    const QSizeF points = VectorImageSize::sizeForExtension(filePath);
    if (points.width() > 0)
        width = points.width();
    if (points.height() > 0)
        height = points.height();
}
