#include "Helper/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <gtest/gtest.h>

namespace {

using F = MetadataField;

// Copies every sample photo of the folders into dir and answers the copies.
QStringList copySamples(const QTemporaryDir& dir, const QStringList& folders)
{
    QStringList copies;
    for (const QString& folder : folders) {
        const QFileInfoList files = QDir(QDir(samplesDir()).filePath(folder)).entryInfoList(QDir::Files);
        for (const QFileInfo& file : files) {
            const QString copy = dir.filePath(folder + u'_' + file.fileName());
            QFile::copy(file.filePath(), copy);
            QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            copies.append(copy);
        }
    }
    return copies;
}

void configure(MetaDataObject& settings, int mode)
{
    settings.editingOption = mode;
    if (mode == MetaDataObject::CleanMetadataInfo) {
        settings.clearExif = settings.clearIPTC = settings.clearComment = settings.clearGpsInfo = settings.clearXMP
            = true;
        return;
    }
    edit(settings,
        { { F::Artist, QStringLiteral("Zoë") }, { F::IPTC_City, QStringLiteral("Москва") },
            { F::IPTC_Keywords, "sea,sun" }, { F::GPS_Lattitude, "12,5" }, { F::GPS_LattitudeRef, "N" },
            { F::CamSetting_FNumber, "4" }, { F::XMP_Lens, "Lens" } });
    settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    settings.dateTimeConfigOriginalDate()->stringIncDecHour = QStringLiteral("1");
}

} // namespace

TEST(ExifWriterWritingSamples, writesEverySampleInEachModeAndReadsItBack)
{
    for (int mode : { 0, 1, 2 }) {
        SCOPED_TRACE(mode);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QStringList copies = copySamples(dir, { "camera", "gps", "orientation", "xmp", "tiff" });
        ASSERT_GE(copies.size(), 40);
        for (const QString& copy : copies) {
            SCOPED_TRACE(qPrintable(copy));
            PhotoFile photo = photoAt(copy);
            MetaDataObject settings;
            configure(settings, mode);
            const MetadataWriteResult result = writePhoto(photo, settings, copy);
            EXPECT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);
            const auto written = readBack(copy);
            EXPECT_EQ(written->Artist(), mode == 2 ? "" : "Zoë");
            EXPECT_EQ(written->IPTC_City(), mode == 2 ? "" : "Москва");
        }
        if (!hasExiftool())
            continue;
        const QMap<QString, QJsonObject> tags = exiftoolTags(copies);
        ASSERT_EQ(tags.size(), copies.size());
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            EXPECT_FALSE(it->contains(QStringLiteral("ExifTool:Error"))) << qPrintable(it.key());
            if (mode != 2) {
                EXPECT_DOUBLE_EQ(it->value(QStringLiteral("ExifIFD:FNumber")).toDouble(), 4.0) << qPrintable(it.key());
            }
        }
    }
}

TEST(ExifWriterWritingSamples, aBrokenSampleIsWrittenOrLeftByteForByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& copy : copySamples(dir, { "invalid" })) {
        SCOPED_TRACE(qPrintable(copy));
        const QByteArray before = fileBytes(copy);
        PhotoFile photo = photoAt(copy);
        MetaDataObject settings;
        configure(settings, 0);
        const MetadataWriteResult result = writePhoto(photo, settings, copy);
        if (result.errorFlag == 0) {
            EXPECT_EQ(readBack(copy)->Artist(), "Zoë");
        } else {
            EXPECT_EQ(result.errorFlag, 2);
            EXPECT_FALSE(result.errorMsg.isEmpty());
            EXPECT_EQ(fileBytes(copy), before);
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
        QDir(QDir(samplesDir()).filePath("invalid")).entryList(QDir::Files).size())
        << "no temporary file stays";
}
