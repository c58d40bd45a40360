#include "model/PhotoFile.h"
#include "platform/ImageProperties.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PhotoFile, anEmptyRecordHasNothingSet)
{
    PhotoFile photo;
    EXPECT_TRUE(photo.filePath.isEmpty());
    EXPECT_EQ(photo.processStatus, 0);
    EXPECT_EQ(photo.width, 0);
    EXPECT_FALSE(photo.metadataObject);
}

TEST(PhotoFile, splitsThePathIntoItsNameParts)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Ferien 2019")));
    const QString path = dir.filePath(QStringLiteral("Ferien 2019/Strand.Abend.JPG"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image at all");
    file.close();

    const PhotoFile photo(path, true);
    EXPECT_EQ(photo.filePath, path);
    EXPECT_EQ(photo.fileURL, path);
    EXPECT_EQ(photo.fileName, QStringLiteral("Strand.Abend.JPG"));
    EXPECT_EQ(photo.fileExtension, QStringLiteral("JPG"));
    EXPECT_EQ(photo.fileContainerFolderName, QStringLiteral("Ferien 2019"));
    EXPECT_TRUE(photo.isIphotosNode);
    EXPECT_EQ(photo.fileSizeInBytes, 19);
    EXPECT_EQ(photo.width, 0);
    EXPECT_EQ(photo.height, 0);
    EXPECT_EQ(photo.processStatus, 0);
    EXPECT_TRUE(photo.processedPath.isEmpty());
    EXPECT_TRUE(photo.thumbnailImg.isNull());
}

TEST(PhotoFile, aMissingFileOrOneWithoutExtensionStillMakesARecord)
{
    const PhotoFile photo(QStringLiteral("/nowhere/at/all/README"), false);
    EXPECT_EQ(photo.fileExtension, QStringLiteral(""));
    EXPECT_EQ(photo.fileName, QStringLiteral("README"));
    EXPECT_EQ(photo.fileContainerFolderName, QStringLiteral("all"));
    EXPECT_EQ(photo.fileSizeInBytes, 0);
}

// Nothing changes a listed photo's record, so one record serves as read and as
// shown: a list of 100,000 photos holds 100,000 records, not twice as many.
TEST(PhotoFile, holdsOneRecordAsReadAndAsShown)
{
    const PhotoFile photo(QStringLiteral("/nowhere/photo.jpg"), false);
    ASSERT_TRUE(photo.metadataObject);
    EXPECT_EQ(photo.metadataObject, photo.metadataObjectOriginal);
}

TEST(PhotoFile, readsTheSameRecordAndPropertiesAsTheTwoSeparateReadersForEverySample)
{
    int compared = 0;
    QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".md")))
            continue;
        SCOPED_TRACE(qPrintable(path));
        const PhotoFile photo(path, false);
        EXPECT_EQ(photo.exifDict, ImageProperties::propertiesForFile(path));
        // The list's lean read shows the photo at the same size, turned alike.
        const PhotoFile listed(path, photo.kind, PhotoFile::ListedOnly {});
        EXPECT_EQ(listed.width, photo.width);
        EXPECT_EQ(listed.height, photo.height);
        EXPECT_TRUE(listed.exifDict.isEmpty());
        EXPECT_EQ(listed.fileSizeInBytes, photo.fileSizeInBytes);
        const auto expected = MetaDataObject::initWithFile(path);
        ASSERT_TRUE(photo.metadataObject);
        ASSERT_TRUE(photo.metadataObjectOriginal);
        for (const MetadataFieldInfo& info : kMetadataFields) {
            EXPECT_EQ(photo.metadataObject->field(info.field), expected->field(info.field)) << info.name;
            EXPECT_EQ(photo.metadataObjectOriginal->field(info.field), expected->field(info.field)) << info.name;
            EXPECT_EQ(listed.metadataObject->field(info.field), expected->field(info.field)) << info.name;
        }
        ++compared;
    }
    // Every folder of samples (camera, gps, orientation, xmp, tiff, invalid) was read.
    EXPECT_GE(compared, 50);
}
