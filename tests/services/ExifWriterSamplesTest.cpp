#include "services/ExifWriter.h"
#include "model/MetaDataObject.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Collects the reader's failure lines while it lives.
class FailureLog {
public:
    FailureLog()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&FailureLog::handle);
    }
    ~FailureLog() { qInstallMessageHandler(m_previous); }
    static const QStringList& lines() { return s_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtWarningMsg && qstrcmp(context.category, "velloran.metadata") == 0
            && (message.startsWith(u"Caught Exiv2 exception") || message.startsWith(u"Cannot read")))
            s_lines.append(message);
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// What exiftool reports for every photo of a folder, by file name; one run per
// folder keeps the test fast.
QMap<QString, QJsonObject> exiftoolReport(const QString& folder)
{
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"),
        { "-j", "-n", "-charset", "filename=utf8", "-EXIF:Make", "-EXIF:Model", "-EXIF:DateTimeOriginal",
            "-EXIF:GPSLatitude", "-EXIF:GPSLatitudeRef", "-EXIF:GPSLongitude", "-EXIF:GPSLongitudeRef", "-EXIF:FNumber",
            folder });
    exiftool.waitForFinished(60000);
    QMap<QString, QJsonObject> report;
    for (const QJsonValue& entry : QJsonDocument::fromJson(exiftool.readAllStandardOutput()).array()) {
        const QJsonObject object = entry.toObject();
        report.insert(QFileInfo(object.value("SourceFile").toString()).fileName(), object);
    }
    return report;
}

void expectSameText(const QJsonObject& expected, const char* tag, const QString& actual)
{
    EXPECT_EQ(actual, expected.value(QLatin1String(tag)).toVariant().toString().trimmed()) << tag;
}

// exiftool's number, or no text at all where exiftool has no finite number.
void expectSameNumber(const QJsonObject& expected, const char* tag, const QString& actual)
{
    const QJsonValue value = expected.value(QLatin1String(tag));
    if (!value.isDouble()) {
        EXPECT_EQ(actual, QStringLiteral("")) << tag;
        return;
    }
    bool ok = false;
    const double number = actual.toDouble(&ok);
    ASSERT_TRUE(ok) << tag << " reads as " << qPrintable(actual);
    EXPECT_NEAR(number, value.toDouble(), 1e-6) << tag;
}

} // namespace

TEST(ExifWriterSamples, readsEverySampleAsExiftoolDoes)
{
    int photos = 0;
    for (const char* folderName : { "camera", "gps", "orientation", "xmp", "tiff" }) {
        const QString folder = QDir(samplesDir()).filePath(QLatin1String(folderName));
        const QMap<QString, QJsonObject> report = exiftoolReport(folder);
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
        ASSERT_FALSE(files.isEmpty()) << folderName;
        for (const QFileInfo& file : files) {
            SCOPED_TRACE(qPrintable(file.filePath()));
            ASSERT_TRUE(report.contains(file.fileName()));
            const QJsonObject& expected = report[file.fileName()];
            MetaDataObject record;
            FailureLog failures;
            ExifWriter::sharedInstance().readMetaFromPath(file.filePath(), record);
            EXPECT_TRUE(failures.lines().isEmpty()) << qPrintable(failures.lines().join(u'\n'));
            expectSameText(expected, "Make", record.Cam_Make());
            expectSameText(expected, "Model", record.Cam_ModelName());
            expectSameText(expected, "DateTimeOriginal", record.Date_Original());
            expectSameText(expected, "GPSLatitudeRef", record.GPS_LattitudeRef());
            expectSameText(expected, "GPSLongitudeRef", record.GPS_LongitudeRef());
            expectSameNumber(expected, "GPSLatitude", record.GPS_Lattitude());
            expectSameNumber(expected, "GPSLongitude", record.GPS_Longitude());
            expectSameNumber(expected, "FNumber", record.CamSetting_FNumber());
            ++photos;
        }
    }
    EXPECT_GE(photos, 40);
}

TEST(ExifWriterSamples, readsABrokenPhotoOrLeavesTheRecordUntouched)
{
    const QFileInfoList files = QDir(QDir(samplesDir()).filePath(QStringLiteral("invalid"))).entryInfoList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QFileInfo& file : files) {
        SCOPED_TRACE(qPrintable(file.filePath()));
        MetaDataObject record;
        for (const MetadataFieldInfo& info : kMetadataFields)
            record.setField(info.field, QStringLiteral("untouched"));
        FailureLog failures;
        ExifWriter::sharedInstance().readMetaFromPath(file.filePath(), record);
        if (failures.lines().isEmpty())
            continue;
        for (const MetadataFieldInfo& info : kMetadataFields)
            EXPECT_EQ(record.field(info.field), QStringLiteral("untouched")) << info.name;
    }
}
