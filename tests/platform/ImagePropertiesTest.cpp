#include "platform/ImageProperties.h"

#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QJsonObject exiftool(const QString& path, const QStringList& tags)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"),
        QStringList { QStringLiteral("-j"), QStringLiteral("-n") } + tags + QStringList { path });
    process.waitForFinished();
    return QJsonDocument::fromJson(process.readAllStandardOutput()).array().at(0).toObject();
}

QSize pixelSize(const QVariantMap& properties)
{
    return { properties.value(QStringLiteral("PixelWidth")).toInt(),
        properties.value(QStringLiteral("PixelHeight")).toInt() };
}

} // namespace

TEST(ImageProperties, readsThePixelSizeOfEveryKindOfFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage picture = ImageFixtures::quadrants(64, 48);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("made.png"))));
    ASSERT_TRUE(
        QFile::copy(samplesDir() + QStringLiteral("/tiff/Arbitro.tiff"), dir.filePath(QStringLiteral("raw.NEF"))));
    const bool heic = ImageFixtures::writeHeic(picture, dir.filePath(QStringLiteral("made.heic")));

    struct Case {
        QString path;
        QSize size;
    };
    QList<Case> cases {
        { samplesDir() + QStringLiteral("/orientation/landscape_1.jpg"), { 600, 450 } },
        { dir.filePath(QStringLiteral("made.png")), { 64, 48 } },
        { samplesDir() + QStringLiteral("/tiff/Arbitro.tiff"), { 174, 38 } },
        { samplesDir() + QStringLiteral("/tiff/Crémieux11.tiff"), { 199, 47 } },
        { dir.filePath(QStringLiteral("raw.NEF")), { 174, 38 } },
    };
    if (heic)
        cases.append({ dir.filePath(QStringLiteral("made.heic")), { 64, 48 } });
    else
        ADD_FAILURE() << "no HEVC encoder: the HEIC case was not run";
    for (const Case& c : cases)
        EXPECT_EQ(pixelSize(ImageProperties::propertiesForFile(c.path)), c.size) << c.path.toStdString();
}

TEST(ImageProperties, carriesTheOrientationAtTheTopAndInTheTiffGroup)
{
    for (int orientation : { 1, 3, 5, 6, 8 }) {
        const QString name = QStringLiteral("/orientation/%1_%2.jpg")
                                 .arg(orientation == 5 ? QStringLiteral("portrait") : QStringLiteral("landscape"))
                                 .arg(orientation);
        const QVariantMap properties = ImageProperties::propertiesForFile(samplesDir() + name);
        EXPECT_EQ(properties.value(QStringLiteral("Orientation")).toInt(), orientation) << name.toStdString();
        EXPECT_EQ(
            properties.value(ImageProperties::kTIFF).toMap().value(QStringLiteral("Orientation")).toInt(), orientation);
    }
}

TEST(ImageProperties, agreesWithExiftoolOnGpsAndExposure)
{
    for (const QString& name : { QStringLiteral("DSCN0010.jpg"), QStringLiteral("DSCN0021.jpg") }) {
        const QString path = samplesDir() + QStringLiteral("/gps/") + name;
        const QVariantMap properties = ImageProperties::propertiesForFile(path);
        const QVariantMap gps = properties.value(ImageProperties::kGPS).toMap();
        const QVariantMap exif = properties.value(ImageProperties::kExif).toMap();
        const QJsonObject expected = exiftool(path,
            { QStringLiteral("-GPSLatitude"), QStringLiteral("-GPSLongitude"), QStringLiteral("-GPSLatitudeRef"),
                QStringLiteral("-GPSLongitudeRef"), QStringLiteral("-GPSDateStamp"), QStringLiteral("-ExposureTime"),
                QStringLiteral("-FNumber"), QStringLiteral("-ISO"), QStringLiteral("-FocalLength") });
        ASSERT_FALSE(expected.isEmpty()) << "exiftool gave nothing for " << path.toStdString();
        // The dictionary holds unsigned degrees; the sign lives in the reference letter.
        EXPECT_NEAR(gps.value(QStringLiteral("Latitude")).toDouble(),
            std::abs(expected.value(QStringLiteral("GPSLatitude")).toDouble()), 1e-7);
        EXPECT_NEAR(gps.value(QStringLiteral("Longitude")).toDouble(),
            std::abs(expected.value(QStringLiteral("GPSLongitude")).toDouble()), 1e-7);
        EXPECT_EQ(gps.value(QStringLiteral("LatitudeRef")).toString(),
            expected.value(QStringLiteral("GPSLatitudeRef")).toString());
        EXPECT_EQ(gps.value(QStringLiteral("LongitudeRef")).toString(),
            expected.value(QStringLiteral("GPSLongitudeRef")).toString());
        EXPECT_EQ(gps.value(QStringLiteral("DateStamp")).toString(),
            expected.value(QStringLiteral("GPSDateStamp")).toString());
        EXPECT_NEAR(exif.value(QStringLiteral("ExposureTime")).toDouble(),
            expected.value(QStringLiteral("ExposureTime")).toDouble(), 1e-9);
        EXPECT_DOUBLE_EQ(
            exif.value(QStringLiteral("FNumber")).toDouble(), expected.value(QStringLiteral("FNumber")).toDouble());
        EXPECT_DOUBLE_EQ(exif.value(QStringLiteral("FocalLength")).toDouble(),
            expected.value(QStringLiteral("FocalLength")).toDouble());
        EXPECT_EQ(exif.value(QStringLiteral("ISOSpeedRatings")).toList(),
            QVariantList { qlonglong(expected.value(QStringLiteral("ISO")).toInt()) });
    }
}

TEST(ImageProperties, tellsGreyFromColourAsTheImageReaderDoes)
{
    // JPEGs take their colour model from the frame header; it must say what the
    // image reader says, for photos made here and for every camera sample.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage grey(64, 48, QImage::Format_Grayscale8);
    grey.fill(128);
    QImage colour(64, 48, QImage::Format_RGB32);
    colour.fill(Qt::red);
    const QString greyPath = dir.filePath(QStringLiteral("grey.jpg"));
    const QString colourPath = dir.filePath(QStringLiteral("colour.jpg"));
    ASSERT_TRUE(grey.save(greyPath, "jpeg"));
    ASSERT_TRUE(colour.save(colourPath, "jpeg"));
    EXPECT_EQ(ImageProperties::propertiesForFile(greyPath).value(QStringLiteral("ColorModel")), QStringLiteral("Gray"));
    EXPECT_EQ(
        ImageProperties::propertiesForFile(colourPath).value(QStringLiteral("ColorModel")), QStringLiteral("RGB"));

    QDirIterator it(
        samplesDir(), { QStringLiteral("*.jpg"), QStringLiteral("*.JPG") }, QDir::Files, QDirIterator::Subdirectories);
    int compared = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QImageReader reader(path);
        const QImage::Format format = reader.imageFormat();
        if (format == QImage::Format_Invalid)
            continue;
        const bool isGrey = format == QImage::Format_Grayscale8 || format == QImage::Format_Mono;
        EXPECT_EQ(ImageProperties::propertiesForFile(path).value(QStringLiteral("ColorModel")).toString(),
            isGrey ? QStringLiteral("Gray") : QStringLiteral("RGB"))
            << path.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

TEST(ImageProperties, answersNothingForFilesThatAreNoImages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile text(dir.filePath(QStringLiteral("notes.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain words, no picture");
    text.close();
    EXPECT_TRUE(ImageProperties::propertiesForFile(text.fileName()).isEmpty());
    EXPECT_TRUE(ImageProperties::propertiesForFile(dir.filePath(QStringLiteral("missing.jpg"))).isEmpty());
    EXPECT_TRUE(ImageProperties::propertiesForFile(QString()).isEmpty());
}

TEST(ImageProperties, readsBrokenSamplesWithoutCrashing)
{
    for (const QString& name : { QStringLiteral("corrupted.jpg"), QStringLiteral("image00971.jpg"),
             QStringLiteral("image01088.jpg"), QStringLiteral("image01137.jpg"), QStringLiteral("image01551.jpg"),
             QStringLiteral("image01713.jpg"), QStringLiteral("image01980.jpg"), QStringLiteral("image02206.jpg") })
        ImageProperties::propertiesForFile(samplesDir() + QStringLiteral("/invalid/") + name);
}

TEST(ImageProperties, mapsKeysBothWaysThroughOneTable)
{
    EXPECT_EQ(ImageProperties::exiv2KeyFor(ImageProperties::kIPTC, QStringLiteral("Caption/Abstract")),
        QStringLiteral("Iptc.Application2.Caption"));
    EXPECT_EQ(ImageProperties::dictionaryKeyFor(QStringLiteral("Exif.Photo.FocalLengthIn35mmFilm")),
        qMakePair(ImageProperties::kExif, QStringLiteral("FocalLenIn35mmFilm")));
    EXPECT_EQ(ImageProperties::dictionaryKeyFor(QStringLiteral("Exif.Image.Orientation")),
        qMakePair(ImageProperties::kTIFF, QStringLiteral("Orientation")));
    EXPECT_TRUE(ImageProperties::exiv2KeyFor(ImageProperties::kExif, QStringLiteral("NoSuchKey")).isEmpty());
}
