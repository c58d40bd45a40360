#include "services/Utils.h"
#include "model/PhotoFile.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString orientationSample(const QString& name)
{
    return samplesDir() + QStringLiteral("/orientation/") + name;
}

// True when two colours are within a JPEG's rounding of one another.
bool similar(const QColor& a, const QColor& b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return file.fileName();
}

QByteArray pictWithFrame(qint16 top, qint16 left, qint16 bottom, qint16 right)
{
    QByteArray bytes(512, '\0');
    for (qint16 v : { qint16(0), top, left, bottom, right }) {
        bytes.append(char((v >> 8) & 0xff));
        bytes.append(char(v & 0xff));
    }
    return bytes;
}

} // namespace

TEST(UtilsImages, turnsWidthAndHeightForTheQuarterTurnOrientations)
{
    // The samples store 600 x 450 or 450 x 600 pixels; the photo is shown the other way for 5 to 8.
    struct Case {
        const char* name;
        QSizeF shown;
    };
    for (const Case& c : { Case { "landscape_1.jpg", { 600, 450 } }, Case { "landscape_3.jpg", { 600, 450 } },
             Case { "landscape_6.jpg", { 600, 450 } }, Case { "landscape_8.jpg", { 600, 450 } },
             Case { "portrait_1.jpg", { 450, 600 } }, Case { "portrait_5.jpg", { 450, 600 } },
             Case { "portrait_6.jpg", { 450, 600 } }, Case { "portrait_8.jpg", { 450, 600 } } }) {
        const QString path = orientationSample(QString::fromLatin1(c.name));
        EXPECT_EQ(Utils::sharedUtils().getImageOriginalSizeAtFilePathUrl(path), c.shown) << c.name;
        const PhotoFile photo(path, false);
        EXPECT_EQ(QSizeF(photo.width, photo.height), c.shown) << c.name;
    }
}

TEST(UtilsImages, makesEveryOrientationsThumbnailUpright)
{
    // Every sample shows the same scene: upright, its corners match those of orientation 1.
    for (const QString& kind : { QStringLiteral("landscape"), QStringLiteral("portrait") }) {
        const QImage reference = Utils::sharedUtils().getThumbnailImageAtFilePath(
            orientationSample(kind + QStringLiteral("_1.jpg")), QSizeF(96, 70));
        ASSERT_FALSE(reference.isNull());
        for (int orientation : { 3, 5, 6, 8 }) {
            const QString path = orientationSample(kind + QStringLiteral("_%1.jpg").arg(orientation));
            if (!QFile::exists(path))
                continue;
            const QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(96, 70));
            ASSERT_EQ(thumbnail.size(), reference.size()) << path.toStdString();
            for (auto [fx, fy] : { std::pair { 0.1, 0.1 }, { 0.9, 0.1 }, { 0.1, 0.9 }, { 0.9, 0.9 } })
                EXPECT_TRUE(
                    similar(ImageFixtures::colourNear(thumbnail, fx, fy), ImageFixtures::colourNear(reference, fx, fy)))
                    << path.toStdString() << " at " << fx << "," << fy;
        }
    }
}

TEST(UtilsImages, fitsTheThumbnailToTheRequestedWidth)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString big = dir.filePath(QStringLiteral("big.jpg"));
    const QString small = dir.filePath(QStringLiteral("small.png"));
    ASSERT_TRUE(ImageFixtures::quadrants(800, 600).save(big));
    ASSERT_TRUE(ImageFixtures::quadrants(50, 40).save(small));

    // Only the width governs: 800 x 600 at 96 x 70 gives 96 x 72.
    const QImage fitted = Utils::sharedUtils().getThumbnailImageAtFilePath(big, QSizeF(96, 70));
    EXPECT_EQ(fitted.size(), QSize(96, 72));
    EXPECT_TRUE(similar(ImageFixtures::colourNear(fitted, 0.1, 0.1), Qt::red));
    EXPECT_TRUE(similar(ImageFixtures::colourNear(fitted, 0.9, 0.9), Qt::yellow));
    // A picture smaller than the request keeps its own size.
    EXPECT_EQ(Utils::sharedUtils().getThumbnailImageAtFilePath(small, QSizeF(96, 70)).size(), QSize(50, 40));
}

TEST(UtilsImages, turnsAThumbnailByItsExifOrientationExactlyOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("turned.jpg"));
    ASSERT_TRUE(ImageFixtures::quadrants(400, 300).save(path));
    ImageFixtures::setExifTag(path, "Exif.Image.Orientation", "6");
    // Stored red top left; a quarter turn clockwise puts red at the top right.
    const QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(96, 70));
    EXPECT_EQ(thumbnail.size(), QSize(96, 128));
    EXPECT_TRUE(similar(ImageFixtures::colourNear(thumbnail, 0.9, 0.1), Qt::red));
    EXPECT_TRUE(similar(ImageFixtures::colourNear(thumbnail, 0.1, 0.1), Qt::blue));
}

TEST(UtilsImages, answersANullThumbnailWhenThereIsNothingToDraw)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString photo = orientationSample(QStringLiteral("landscape_1.jpg"));
    const QString text = writeFile(dir, QStringLiteral("words.jpg"), "no picture here");
    Utils& utils = Utils::sharedUtils();
    EXPECT_TRUE(utils.getThumbnailImageAtFilePath(QString(), QSizeF(96, 70)).isNull());
    EXPECT_TRUE(utils.getThumbnailImageAtFilePath(photo, QSizeF(0, 70)).isNull());
    EXPECT_TRUE(utils.getThumbnailImageAtFilePath(photo, QSizeF(96, 0)).isNull());
    EXPECT_TRUE(utils.getThumbnailImageAtFilePath(text, QSizeF(96, 70)).isNull());
    EXPECT_TRUE(utils.getImageFromFile(photo, 0, 0).isNull());
    // Cut off inside its headers: no picture data at all.
    QFile cut(dir.filePath(QStringLiteral("cut.jpg")));
    ASSERT_TRUE(QFile::copy(photo, cut.fileName()));
    ASSERT_TRUE(cut.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(cut.resize(100));
    EXPECT_TRUE(utils.getThumbnailImageAtFilePath(cut.fileName(), QSizeF(96, 70)).isNull());
}

TEST(UtilsImages, showsTheIntactPreviewOfAPhotoWithBrokenPictureData)
{
    // The main picture is damaged, its embedded preview is not: that preview is what the user sees.
    const QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(
        samplesDir() + QStringLiteral("/invalid/corrupted.jpg"), QSizeF(96, 70));
    EXPECT_EQ(thumbnail.size(), QSize(96, 72));
}

TEST(UtilsImages, makesThumbnailsOfTheBrokenSamplesWithoutCrashing)
{
    for (const QString& name : { QStringLiteral("image00971.jpg"), QStringLiteral("image01088.jpg"),
             QStringLiteral("image01137.jpg"), QStringLiteral("image01551.jpg"), QStringLiteral("image01713.jpg"),
             QStringLiteral("image01980.jpg"), QStringLiteral("image02206.jpg") })
        Utils::sharedUtils().getThumbnailImageAtFilePath(
            samplesDir() + QStringLiteral("/invalid/") + name, QSizeF(96, 70));
}

TEST(UtilsImages, decodesHeicThroughLibheif)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("made.heic"));
    if (!ImageFixtures::writeHeic(ImageFixtures::quadrants(256, 192), path))
        GTEST_SKIP() << "no HEVC encoder";
    const QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(96, 70));
    EXPECT_EQ(thumbnail.size(), QSize(96, 72));
    EXPECT_TRUE(similar(ImageFixtures::colourNear(thumbnail, 0.1, 0.1), Qt::red));
}

TEST(UtilsImages, measuresEpsAndPictFilesInPoints)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: test\n%%BoundingBox: 0 0 612 792\n%%EndComments\n";
    const QByteArray atEnd = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\n" + QByteArray(70000, ' ')
        + "\n%%Trailer\n%%BoundingBox: 10 20 110 220\n%%EOF\n";
    struct Case {
        QString name;
        QByteArray bytes;
        QSizeF size;
    };
    for (const Case& c : {
             Case { QStringLiteral("page.eps"), eps, { 612, 792 } },
             Case { QStringLiteral("page.EPS"), eps, { 612, 792 } },
             Case { QStringLiteral("page.Eps"), eps, { 0, 0 } },
             Case { QStringLiteral("late.eps"), atEnd, { 100, 200 } },
             Case { QStringLiteral("broken.eps"), "%!PS\n%%BoundingBox: 0 0 x y\n", { 0, 0 } },
             Case { QStringLiteral("frame.pct"), pictWithFrame(0, 0, 300, 400), { 400, 300 } },
             Case { QStringLiteral("frame.PICT"), pictWithFrame(10, 10, 110, 60), { 50, 100 } },
             Case { QStringLiteral("short.pict"), "tiny", { 0, 0 } },
         }) {
        const QString path = writeFile(dir, c.name, c.bytes);
        EXPECT_EQ(Utils::sharedUtils().getImageOriginalSizeAtFilePathUrl(path), c.size) << c.name.toStdString();
        const PhotoFile photo(path, false);
        EXPECT_EQ(QSizeF(photo.width, photo.height), c.size) << c.name.toStdString();
    }
}

TEST(UtilsImages, fitsSizesInSinglePrecision)
{
    Utils& utils = Utils::sharedUtils();
    EXPECT_EQ(utils.aspectFitSizeWithMaxSize(QSizeF(3, 1), 1), QSizeF(1, double(1.0f / 3.0f)));
    EXPECT_EQ(utils.aspectFitSizeWithMaxSize(QSizeF(4000, 3000), 96), QSizeF(96, 72));
    EXPECT_EQ(utils.aspectFitSizeWithMaxSize(QSizeF(0, 3000), 96), QSizeF(0, 0));
    EXPECT_EQ(utils.aspectFitSizeWithMaxHeight(QSizeF(4000, 3000), 30), QSizeF(40, 30));
    // Landscape scales to the width first, then the height bound takes over.
    const float heightScale = 50.0f / 75.0f;
    EXPECT_EQ(utils.getAspectFitModeSizeWithsize(QSizeF(4000, 3000), QSizeF(100, 50)),
        QSizeF(double(100.0f * heightScale), double(75.0f * heightScale)));
    EXPECT_EQ(utils.getAspectFitModeSizeWithsize(QSizeF(3000, 4000), QSizeF(100, 100)), QSizeF(75, 100));
    EXPECT_EQ(Utils::centerRect(QRectF(0, 0, 10, 20), QRectF(0, 0, 100, 50)), QRectF(45, 15, 10, 20));
}

TEST(UtilsImages, fillsABoxAndCropsTheChosenEdge)
{
    Utils& utils = Utils::sharedUtils();
    const QImage picture = ImageFixtures::quadrants(40, 80);
    const QImage top = utils.getAspectFillImageFormImage(picture, QSizeF(40, 40), 0);
    const QImage bottom = utils.getAspectFillImageFormImage(picture, QSizeF(40, 40), 2);
    ASSERT_EQ(top.size(), QSize(40, 40));
    ASSERT_EQ(bottom.size(), QSize(40, 40));
    EXPECT_EQ(top.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(bottom.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_TRUE(utils.resizeImage(picture, 0, 10).isNull());
    EXPECT_EQ(utils.cropImage(picture, QRectF(0, 0, 0, 5)), picture);
}
