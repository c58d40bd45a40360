#include "services/ExifInfo.h"
#include "services/Utils.h"
#include "support/ImageFixtures.h"

#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <openjpeg.h>

namespace {

// A JPEG 2000 file decoded by OpenJPEG, as 8-bit RGB(A) pixels: Qt has no reader for it.
QImage readJpeg2000(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    std::unique_ptr<opj_stream_t, void (*)(opj_stream_t*)> stream(
        opj_stream_create_default_file_stream(name.constData(), OPJ_TRUE), opj_stream_destroy);
    std::unique_ptr<opj_codec_t, void (*)(opj_codec_t*)> codec(opj_create_decompress(OPJ_CODEC_JP2), opj_destroy_codec);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    opj_image_t* decoded = nullptr;
    if (!stream || !codec || !opj_setup_decoder(codec.get(), &parameters)
        || !opj_read_header(stream.get(), codec.get(), &decoded))
        return {};
    std::unique_ptr<opj_image_t, void (*)(opj_image_t*)> image(decoded, opj_image_destroy);
    if (!opj_decode(codec.get(), stream.get(), image.get()) || image->numcomps < 3)
        return {};
    const int width = int(image->comps[0].w);
    const int height = int(image->comps[0].h);
    QImage result(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x;
            result.setPixel(x, y,
                qRgba(image->comps[0].data[i], image->comps[1].data[i], image->comps[2].data[i],
                    image->numcomps > 3 ? image->comps[3].data[i] : 255));
        }
    }
    return result;
}

QImage readBack(const QString& path, const QByteArray& format)
{
    return format == "jp2" ? readJpeg2000(path) : QImage(path);
}

bool samePixels(const QImage& a, const QImage& b)
{
    return a.size() == b.size()
        && a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

QJsonObject exiftool(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"), { QStringLiteral("-j"), QStringLiteral("-n"), path });
    process.waitForFinished();
    return QJsonDocument::fromJson(process.readAllStandardOutput()).array().at(0).toObject();
}

// A 3 x 2 picture with six different pixels.
QImage sixPixels()
{
    QImage image(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0), qRgb(0, 255, 255),
        qRgb(255, 0, 255) };
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, colours[i]);
    return image;
}

} // namespace

TEST(UtilsImageSaving, turnsEachExifOrientationUpright)
{
    // Where the first and the last pixel of the stored first row end up, by the Exif
    // meaning of each orientation (0 = top left, 1 = top right, 2 = bottom right, 3 = bottom left).
    struct Case {
        int orientation;
        int firstCorner;
        int rowEndCorner;
    };
    const QImage stored = sixPixels();
    auto cornerOf = [](const QImage& image, QRgb colour) {
        const QPoint corners[] = { { 0, 0 }, { image.width() - 1, 0 }, { image.width() - 1, image.height() - 1 },
            { 0, image.height() - 1 } };
        for (int i = 0; i < 4; ++i) {
            if (image.pixel(corners[i]) == colour)
                return i;
        }
        return -1;
    };
    for (const Case& c : { Case { 1, 0, 1 }, Case { 2, 1, 0 }, Case { 3, 2, 3 }, Case { 4, 3, 2 }, Case { 5, 0, 3 },
             Case { 6, 1, 2 }, Case { 7, 2, 1 }, Case { 8, 3, 0 } }) {
        const QImage upright = Utils::RotateWithEXIF(stored, c.orientation);
        EXPECT_EQ(upright.size(), Utils::isQuarterTurn(c.orientation) ? QSize(2, 3) : QSize(3, 2));
        EXPECT_EQ(cornerOf(upright, stored.pixel(0, 0)), c.firstCorner) << "orientation " << c.orientation;
        EXPECT_EQ(cornerOf(upright, stored.pixel(2, 0)), c.rowEndCorner) << "orientation " << c.orientation;
    }
    for (int other : { 0, 9, -1 })
        EXPECT_EQ(Utils::RotateWithEXIF(stored, other), stored);
}

TEST(UtilsImageSaving, writesPixelsAndMetadataInEachFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage picture = ImageFixtures::quadrants(64, 48);
    const QVariantMap properties {
        { QStringLiteral("{TIFF}"), QVariantMap { { QStringLiteral("Artist"), QStringLiteral("Zoë Ærø") } } },
        { QStringLiteral("{Exif}"),
            QVariantMap { { QStringLiteral("ExposureTime"), 0.004 }, { QStringLiteral("FNumber"), 5.6 },
                { QStringLiteral("ISOSpeedRatings"), QVariantList { 200 } } } },
        { QStringLiteral("{GPS}"),
            QVariantMap { { QStringLiteral("Latitude"), 43.4674483 }, { QStringLiteral("LatitudeRef"), "N" } } },
        { QStringLiteral("{IPTC}"),
            QVariantMap {
                { QStringLiteral("Keywords"), QStringList { QStringLiteral("sea"), QStringLiteral("sun") } } } },
        { QStringLiteral("DPIWidth"), 300 },
        { QStringLiteral("DPIHeight"), 150 },
    };
    struct Case {
        int format;
        const char* name;
        QByteArray readBack;
        bool lossless;
        bool metadata;
    };
    for (const Case& c : { Case { 0, "out.tiff", "tiff", true, true }, Case { 1, "out.bmp", "bmp", true, false },
             Case { 2, "out.gif", "gif", true, false }, Case { 3, "out.jpg", "jpeg", false, true },
             Case { 4, "out4.jpg", "jpeg", false, true }, Case { 5, "out.png", "png", true, true },
             Case { 6, "out.jp2", "jp2", true, true } }) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QString error;
        ASSERT_TRUE(Utils::sharedUtils().saveImageInSelectedFormat(c.format, path, picture, properties, 0.9f, &error))
            << c.name << ": " << error.toStdString();
        const QJsonObject written = exiftool(path);
        EXPECT_EQ(written.value(QStringLiteral("FileType")).toString().toLower(), QString::fromLatin1(c.readBack))
            << c.name;
        const QImage back = readBack(path, c.readBack);
        EXPECT_EQ(back.size(), picture.size()) << c.name;
        if (c.lossless) {
            EXPECT_TRUE(samePixels(back, picture)) << c.name;
        }
        if (c.readBack == "bmp") {
            // A BMP holds the pixel density and nothing else of the properties.
            EXPECT_EQ(back.dotsPerMeterX(), 11811);
            EXPECT_EQ(back.dotsPerMeterY(), 5906);
        }
        if (!c.metadata) {
            EXPECT_FALSE(written.contains(QStringLiteral("Artist"))) << c.name;
            continue;
        }
        EXPECT_EQ(written.value(QStringLiteral("Artist")).toString(), QStringLiteral("Zoë Ærø")) << c.name;
        EXPECT_DOUBLE_EQ(written.value(QStringLiteral("ExposureTime")).toDouble(), 0.004) << c.name;
        EXPECT_DOUBLE_EQ(written.value(QStringLiteral("FNumber")).toDouble(), 5.6) << c.name;
        EXPECT_EQ(written.value(QStringLiteral("ISO")).toInt(), 200) << c.name;
        EXPECT_NEAR(written.value(QStringLiteral("GPSLatitude")).toDouble(), 43.4674483, 1e-6) << c.name;
        EXPECT_EQ(written.value(QStringLiteral("Keywords")).toArray(), QJsonArray({ "sea", "sun" })) << c.name;
    }
}

// More colours than a GIF holds are reduced, not refused; a grey or a half-transparent
// picture keeps what JPEG 2000 and GIF can say of it.
TEST(UtilsImageSaving, writesGifAndJpeg2000PicturesOfEveryKind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Utils& utils = Utils::sharedUtils();
    QImage gradient(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
    }
    const QString manyColours = dir.filePath(QStringLiteral("many.gif"));
    ASSERT_TRUE(utils.saveImageInSelectedFormat(2, manyColours, gradient, {}, 1.0f));
    const QImage reduced = QImage(manyColours).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(reduced.size(), gradient.size());
    const QColor corner = reduced.pixelColor(39, 29);
    EXPECT_NEAR(corner.red(), 234, 24);
    EXPECT_NEAR(corner.green(), 232, 24);

    QImage seeThrough = ImageFixtures::quadrants(8, 8).convertToFormat(QImage::Format_ARGB32);
    seeThrough.setPixel(0, 0, qRgba(0, 0, 0, 0));
    const QString gif = dir.filePath(QStringLiteral("clear.gif"));
    ASSERT_TRUE(utils.saveImageInSelectedFormat(2, gif, seeThrough, {}, 1.0f));
    const QImage gifBack = QImage(gif).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(gifBack.pixel(0, 0)), 0);
    EXPECT_EQ(gifBack.pixel(7, 7), seeThrough.pixel(7, 7));
    const QString jp2 = dir.filePath(QStringLiteral("clear.jp2"));
    ASSERT_TRUE(utils.saveImageInSelectedFormat(6, jp2, seeThrough, {}, 1.0f));
    EXPECT_TRUE(samePixels(readJpeg2000(jp2), seeThrough));

    QImage grey(5, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    const QString greyPath = dir.filePath(QStringLiteral("grey.jp2"));
    ASSERT_TRUE(utils.saveImageInSelectedFormat(6, greyPath, grey, {}, 1.0f));
    EXPECT_EQ(exiftool(greyPath).value(QStringLiteral("NumberOfComponents")).toInt(), 1);

    // A picture of one pixel has no wavelet levels to spare.
    const QString tiny = dir.filePath(QStringLiteral("tiny.jp2"));
    ASSERT_TRUE(utils.saveImageInSelectedFormat(6, tiny, ImageFixtures::quadrants(1, 1), {}, 1.0f));
    EXPECT_EQ(readJpeg2000(tiny).size(), QSize(1, 1));
}

TEST(UtilsImageSaving, reportsWhatItCannotWriteAndLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage picture = ImageFixtures::quadrants(8, 8);
    for (int format : { 7, -1 }) {
        const QString path = dir.filePath(QStringLiteral("out%1").arg(format));
        QString error;
        EXPECT_FALSE(Utils::sharedUtils().saveImageInSelectedFormat(format, path, picture, {}, 1.0f, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFile::exists(path));
    }
    QString error;
    EXPECT_FALSE(Utils::sharedUtils().saveImageInSelectedFormat(
        3, dir.filePath(QStringLiteral("no/such/dir.jpg")), picture, {}, 1.0f, &error));
    EXPECT_FALSE(Utils::sharedUtils().saveImageInSelectedFormat(
        3, dir.filePath(QStringLiteral("null.jpg")), QImage(), {}, 1.0f, &error));
}

TEST(UtilsImageSaving, rewritesAFileInItsOwnFormatOrBesideIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath(QStringLiteral("photo.png"));
    ASSERT_TRUE(ImageFixtures::quadrants(16, 16).save(png));
    const QVariantMap properties { { QStringLiteral("{TIFF}"),
        QVariantMap { { QStringLiteral("Software"), QStringLiteral("Velloran") } } } };
    EXPECT_TRUE(Utils::sharedUtils().updateImageExifDataAtPath(png, properties, 1.0f, ImageFixtures::quadrants(8, 8)));
    EXPECT_EQ(QImageReader::imageFormat(png), QByteArray("png"));
    EXPECT_EQ(QImage(png).size(), QSize(8, 8));
    EXPECT_EQ(exiftool(png).value(QStringLiteral("Software")).toString(), QStringLiteral("Velloran"));

    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("words");
    file.close();
    EXPECT_TRUE(Utils::sharedUtils().updateImageExifDataAtPath(text, {}, 0.8f, ImageFixtures::quadrants(8, 8)));
    EXPECT_EQ(QImageReader::imageFormat(dir.filePath(QStringLiteral("notes.jpeg"))), QByteArray("jpeg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("words"));
}

TEST(UtilsImageSaving, neverReplacesAnotherFileWithTheJpegWrittenBesideANonImage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QString raw = dir.filePath(QStringLiteral("IMG_0001.raw"));
    const QString beside = dir.filePath(QStringLiteral("IMG_0001.jpeg"));
    writeFile(raw, "not an image Qt can read");
    writeFile(beside, "the photographer's own picture");

    QString error;
    EXPECT_FALSE(Utils::sharedUtils().updateImageExifDataAtPath(raw, {}, 0.8f, ImageFixtures::quadrants(8, 8), &error));
    EXPECT_FALSE(error.isEmpty());
    QFile kept(beside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the photographer's own picture"));
}

TEST(UtilsImageSaving, copiesOnlyThePropertyGroupsIntoTheOptions)
{
    const QVariantMap options = Utils::sharedUtils().setImageExifInfo({ { QStringLiteral("Quality"), 0.5 } },
        { { QStringLiteral("{Exif}"), QVariantMap { { QStringLiteral("FNumber"), 2.8 } } },
            { QStringLiteral("FileSize"), 1234 } });
    EXPECT_EQ(options.keys(), QStringList({ QStringLiteral("Quality"), QStringLiteral("{Exif}") }));
}

TEST(UtilsImageSaving, fadesAndConvertsImages)
{
    Utils& utils = Utils::sharedUtils();
    const QImage faded = utils.getTransparentImageFromImage(ImageFixtures::quadrants(4, 4), 0.5f);
    EXPECT_EQ(faded.size(), QSize(4, 4));
    EXPECT_NEAR(faded.pixelColor(0, 0).alphaF(), 0.5, 0.01);
    EXPECT_TRUE(utils.getTransparentImageFromImage(QImage(), 0.5f).isNull());
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(128);
    EXPECT_EQ(utils.convertGraycolorModelToRgb(grey).format(), QImage::Format_RGB32);
}
