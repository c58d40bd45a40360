#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A sample photo copied into dir, writable.
QString copySample(const QTemporaryDir& dir, const QString& sample)
{
    const QString copy = dir.filePath(QFileInfo(sample).fileName());
    QFile::copy(QDir(samplesDir()).filePath(sample), copy);
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}

// Sets tags with exiftool, as another program would have left them.
bool setWithExiftool(const QString& path, const QStringList& assignments)
{
    QStringList arguments { "-q", "-overwrite_original", "-n" };
    arguments += assignments;
    arguments.append(path);
    return QProcess::execute(QStringLiteral("exiftool"), arguments) == 0;
}

// Every tag exiftool finds in the file, duplicates included, by group and name.
QJsonObject allTags(const QString& path)
{
    const QJsonArray files = QJsonDocument::fromJson(runExiftool({ "-j", "-n", "-a", "-G1", path })).array();
    return files.isEmpty() ? QJsonObject() : files.first().toObject();
}

// A tag that tells where the photo was taken or what it shows.
bool tellsThePlace(const QString& tag)
{
    static const QStringList names { "GPSLatitude", "GPSLongitude", "GPSAltitude", "GPSDest", "GPSAreaInformation",
        "GPSImgDirection", "GPSPosition" };
    const QString name = tag.section(u':', 1);
    return std::any_of(names.begin(), names.end(), [&name](const QString& part) { return name.contains(part); });
}

// The file's own entries, what exiftool works out from others and where blocks
// begin change with any write; an XMP packet written anew names its writer.
bool describesTheFile(const QString& tag)
{
    return tag == "SourceFile"_L1 || tag.startsWith("System:"_L1) || tag.startsWith("File:"_L1)
        || tag.startsWith("Composite:"_L1) || tag.startsWith("ExifTool:"_L1) || tag.endsWith("Offset"_L1)
        || tag == "XMP-x:XMPToolkit"_L1;
}

// A tag's value as exiftool wrote it, or "(absent)".
std::string shown(const QJsonObject& tags, const char* tag)
{
    const QString key = QString::fromLatin1(tag);
    if (!tags.contains(key))
        return "(absent)";
    return QJsonDocument(QJsonArray { tags.value(key) }).toJson(QJsonDocument::Compact).toStdString();
}

void cleanGps(const QString& path)
{
    PhotoFile photo = photoAt(path);
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearGpsInfo = true;
    const MetadataWriteResult result = writePhoto(photo, settings, path);
    ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();
}

// No tag that tells the place survives the clean; every other tag but the ones
// named gone is as it was.
void expectOnlyThePlaceGone(const QJsonObject& before, const QJsonObject& after, const QStringList& gone = {})
{
    for (auto it = after.begin(); it != after.end(); ++it)
        EXPECT_FALSE(tellsThePlace(it.key())) << it.key().toStdString() << " survived the clean";
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (tellsThePlace(it.key()) || describesTheFile(it.key()) || gone.contains(it.key()))
            continue;
        const std::string tag = it.key().toStdString();
        EXPECT_EQ(shown(after, tag.c_str()), shown(before, tag.c_str())) << tag << " changed";
    }
    for (const QString& tag : gone)
        EXPECT_FALSE(after.contains(tag)) << tag.toStdString() << " survived the clean";
}

class GpsClean : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!hasExiftool())
            GTEST_SKIP() << "exiftool is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    QTemporaryDir m_dir;
};

TEST_F(GpsClean, removesTheDestinationAndTheAreaOfTheExifGpsDirectoryAndKeepsTheTime)
{
    const QString path = copySample(m_dir, u"camera/Kodak_CX7530.jpg"_s);
    ASSERT_TRUE(setWithExiftool(path,
        { "-GPS:GPSLatitude=48.137", "-GPS:GPSLatitudeRef=N", "-GPS:GPSLongitude=11.575", "-GPS:GPSLongitudeRef=E",
            "-GPS:GPSAltitude=519", "-GPS:GPSAltitudeRef=0", "-GPS:GPSImgDirection=87", "-GPS:GPSImgDirectionRef=T",
            "-GPS:GPSDestLatitude=48.2", "-GPS:GPSDestLatitudeRef=N", "-GPS:GPSDestLongitude=11.6",
            "-GPS:GPSDestLongitudeRef=E", "-GPS:GPSDestBearing=12.5", "-GPS:GPSDestBearingRef=M",
            "-GPS:GPSDestDistance=3.2", "-GPS:GPSDestDistanceRef=K", "-GPS:GPSAreaInformation=Marienplatz, Munich",
            "-GPS:GPSTimeStamp=10:20:30", "-GPS:GPSDateStamp=2024:05:06", "-GPS:GPSMapDatum=WGS-84",
            "-GPS:GPSSatellites=7", "-GPS:GPSVersionID=2 3 0 0" }));
    const QJsonObject before = allTags(path);
    ASSERT_TRUE(before.contains("GPS:GPSDestLatitude"_L1));
    ASSERT_TRUE(before.contains("GPS:GPSAreaInformation"_L1));

    cleanGps(path);

    // The date stamp went with the GPS clean before it took the rest of the place, and still goes.
    const QJsonObject after = allTags(path);
    expectOnlyThePlaceGone(before, after, { u"GPS:GPSDateStamp"_s });
    EXPECT_EQ(shown(after, "GPS:GPSTimeStamp"), shown(before, "GPS:GPSTimeStamp"));
    EXPECT_EQ(after.value("GPS:GPSMapDatum"_L1).toString(), "WGS-84"_L1);
    EXPECT_EQ(shown(after, "GPS:GPSSatellites"), "[7]");
    EXPECT_EQ(shown(after, "GPS:GPSVersionID"), shown(before, "GPS:GPSVersionID"));
    EXPECT_EQ(shown(after, "IFD0:Make"), shown(before, "IFD0:Make"));
}

TEST_F(GpsClean, removesEveryXmpPositionWhateverItsSchemaAndKeepsTheRestOfItsStructure)
{
    const QString path = copySample(m_dir, u"xmp/BlueSquare.jpg"_s);
    ASSERT_TRUE(setWithExiftool(path,
        { "-XMP-exif:GPSLatitude=48.137", "-XMP-exif:GPSLongitude=11.575", "-XMP-exif:GPSAltitude=519",
            "-XMP-exif:GPSAltitudeRef=0", "-XMP-exif:GPSImgDirection=87", "-XMP-exif:GPSImgDirectionRef=T",
            "-XMP-exif:GPSDestLatitude=48.2", "-XMP-exif:GPSDestLongitude=11.6", "-XMP-exif:GPSDestBearing=12.5",
            "-XMP-exif:GPSDestBearingRef=M", "-XMP-exif:GPSDestDistance=3.2", "-XMP-exif:GPSDestDistanceRef=K",
            "-XMP-exif:GPSAreaInformation=Marienplatz", "-XMP-exif:GPSDateTime=2024:05:06 10:20:30Z",
            "-XMP-exif:GPSMapDatum=WGS-84", "-XMP-iptcExt:LocationCreatedGPSLatitude=48.1",
            "-XMP-iptcExt:LocationCreatedGPSLongitude=11.5", "-XMP-iptcExt:LocationCreatedGPSAltitude=500",
            "-XMP-iptcExt:LocationShownCity=Rome", "-XMP-iptcExt:LocationShownGPSLatitude=41.9",
            "-XMP-iptcExt:LocationShownGPSLongitude=12.5" }));
    // A drone maker's own schema, which exiftool does not write without a
    // definition of it.
    editMetadata(path, [](Exiv2::Image& image) {
        Exiv2::XmpProperties::registerNs("http://www.dji.com/drone-dji/1.0/", "drone-dji");
        image.xmpData()["Xmp.drone-dji.GPSLatitude"] = "+48.137";
        image.xmpData()["Xmp.drone-dji.GPSLongitude"] = "+11.575";
        image.xmpData()["Xmp.drone-dji.GimbalYawDegree"] = "+87.5";
    });
    const QJsonObject before = allTags(path);
    ASSERT_TRUE(before.contains("XMP-iptcExt:LocationShownGPSLatitude"_L1));
    ASSERT_TRUE(keysIn(path).contains("Xmp.drone-dji.GPSLatitude"_L1));

    cleanGps(path);

    const QJsonObject after = allTags(path);
    expectOnlyThePlaceGone(before, after);
    EXPECT_EQ(after.value("XMP-iptcExt:LocationShownCity"_L1).toString(), "Rome"_L1);
    EXPECT_EQ(after.value("XMP-exif:GPSMapDatum"_L1).toString(), "WGS-84"_L1);
    EXPECT_EQ(shown(after, "XMP-exif:GPSDateTime"), shown(before, "XMP-exif:GPSDateTime"));
    // The created location held only its position, so nothing of it is left.
    const QStringList keys = keysIn(path);
    EXPECT_FALSE(keys.contains("Xmp.iptcExt.LocationCreated"_L1));
    EXPECT_FALSE(keys.contains("Xmp.drone-dji.GPSLatitude"_L1));
    EXPECT_FALSE(keys.contains("Xmp.drone-dji.GPSLongitude"_L1));
    EXPECT_TRUE(keys.contains("Xmp.drone-dji.GimbalYawDegree"_L1));
}

TEST_F(GpsClean, keepsTheOtherLocationsOfAnArrayWhoseFirstHeldOnlyItsPosition)
{
    const QString path = copySample(m_dir, u"xmp/BlueSquare.jpg"_s);
    ASSERT_TRUE(setWithExiftool(path,
        { "-XMP-iptcExt:LocationShown+={GPSLatitude=41.9,GPSLongitude=12.5}",
            "-XMP-iptcExt:LocationShown+={City=Rome,GPSLatitude=41.9}",
            "-XMP-iptcExt:LocationShown+={GPSAltitude=20,WorldRegion=Europe}" }));
    const QJsonObject before = allTags(path);

    cleanGps(path);

    const QJsonObject after = allTags(path);
    expectOnlyThePlaceGone(before, after);
    EXPECT_EQ(shown(after, "XMP-iptcExt:LocationShownCity"), "[\"Rome\"]");
    EXPECT_EQ(shown(after, "XMP-iptcExt:LocationShownWorldRegion"), "[\"Europe\"]");
}

TEST_F(GpsClean, leavesTheXmpPositionsAloneWhenTheGpsBoxIsNotTicked)
{
    const QString path = copySample(m_dir, u"xmp/BlueSquare.jpg"_s);
    ASSERT_TRUE(setWithExiftool(path, { "-XMP-iptcExt:LocationShownGPSLatitude=41.9", "-XMP-exif:GPSAltitude=519" }));
    const QJsonObject before = allTags(path);
    PhotoFile photo = photoAt(path);
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearComment = true;
    ASSERT_EQ(writePhoto(photo, settings, path).errorFlag, MetadataWriteResult::Processed);
    const QJsonObject after = allTags(path);
    EXPECT_EQ(shown(after, "XMP-iptcExt:LocationShownGPSLatitude"), "[41.9]");
    EXPECT_EQ(shown(after, "XMP-exif:GPSAltitude"), "[519]");
}

} // namespace
