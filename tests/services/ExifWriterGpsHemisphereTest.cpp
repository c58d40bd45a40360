#include "services/WriterFixtures.h"

#include <gtest/gtest.h>

// A position's hemisphere as the writer stores it, judged by exiftool: the Exif
// reference and magnitude and the signed XMP copy always tell the same place.

namespace {

using F = MetadataField;

double numberOf(const QJsonObject& tags, const char* tag)
{
    return tags.value(QLatin1String(tag)).toDouble(-999);
}

QString textOf(const QJsonObject& tags, const char* tag)
{
    return tags.value(QLatin1String(tag)).toString();
}

class ExifWriterGpsHemisphere : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!hasExiftool())
            GTEST_SKIP() << "exiftool is missing (CI installs libimage-exiftool-perl)";
        ASSERT_TRUE(m_dir.isValid());
    }
    // A photo at 48.5 N (or S), 11.5 E, written in place with these settings.
    QString written(
        const QString& name, MetaDataObject& settings, MetadataWriteResult* result = nullptr, char hemisphere = 'N')
    {
        const QString path = makeJpeg(m_dir, name);
        editMetadata(path, [hemisphere](Exiv2::Image& image) {
            Exiv2::ExifData& exif = image.exifData();
            addExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational, "48/1 30/1 0/1");
            exif["Exif.GPSInfo.GPSLatitudeRef"] = std::string(1, hemisphere);
            addExif(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::unsignedRational, "11/1 30/1 0/1");
            exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
            image.xmpData()["Xmp.exif.GPSLatitude"] = "48,30.0" + std::string(1, hemisphere);
        });
        PhotoFile photo = photoAt(path);
        const MetadataWriteResult answer = writePhoto(photo, settings, path);
        if (result)
            *result = answer;
        return path;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ExifWriterGpsHemisphere, aNegativeCoordinateWithoutAReferenceIsWrittenInTheNegativeHemisphere)
{
    MetaDataObject sydney;
    edit(sydney, { { F::GPS_Lattitude, "-33.8688" }, { F::GPS_Longitude, "151.2093" } });
    // Mode 1 keeps only what the edited-fields-only record holds: the reference the
    // sign sets must survive it.
    MetaDataObject rio;
    rio.editingOption = MetaDataObject::ModifyEditedClearOthers;
    edit(rio, { { F::GPS_Lattitude, "-22,9068" }, { F::GPS_Longitude, "-43.1729" } });
    // A sign that agrees with the chosen hemisphere says it once.
    MetaDataObject lima;
    edit(lima,
        { { F::GPS_Lattitude, "-12.0464" }, { F::GPS_LattitudeRef, "S" }, { F::GPS_Longitude, "-77.0428" },
            { F::GPS_LongitudeRef, "W" } });

    MetadataWriteResult result;
    const QStringList paths
        = { written("sydney.jpg", sydney, &result), written("rio.jpg", rio), written("lima.jpg", lima) };
    EXPECT_EQ(result.errorFlag, MetadataWriteResult::Processed);
    QMap<QString, QJsonObject> tags = exiftoolTags(paths);

    struct Expected {
        const char* name;
        const char* latitudeRef;
        double latitude;
        const char* longitudeRef;
        double longitude;
    };
    for (const Expected& e :
        { Expected { "sydney.jpg", "S", 33.8688, "E", 151.2093 }, Expected { "rio.jpg", "S", 22.9068, "W", 43.1729 },
            Expected { "lima.jpg", "S", 12.0464, "W", 77.0428 } }) {
        SCOPED_TRACE(e.name);
        const QJsonObject& photo = tags[QString::fromLatin1(e.name)];
        EXPECT_EQ(textOf(photo, "GPS:GPSLatitudeRef"), e.latitudeRef);
        EXPECT_NEAR(numberOf(photo, "GPS:GPSLatitude"), e.latitude, 1e-6);
        EXPECT_NEAR(numberOf(photo, "XMP-exif:GPSLatitude"), -e.latitude, 1e-6);
        EXPECT_EQ(textOf(photo, "GPS:GPSLongitudeRef"), e.longitudeRef);
        EXPECT_NEAR(numberOf(photo, "GPS:GPSLongitude"), e.longitude, 1e-6);
        const double signedLongitude = QLatin1String(e.longitudeRef) == u"W" ? -e.longitude : e.longitude;
        EXPECT_NEAR(numberOf(photo, "XMP-exif:GPSLongitude"), signedLongitude, 1e-6);
    }
}

TEST_F(ExifWriterGpsHemisphere, aSignAgainstTheChosenHemisphereIsRefusedAndThePhotoLeftAsItWas)
{
    for (const auto& [coordinate, reference, message] :
        { std::tuple { F::GPS_Lattitude, "N", "The GPS latitude -33.86 is negative but its reference is North" },
            std::tuple { F::GPS_Longitude, "e", "The GPS longitude -70 is negative but its reference is East" } }) {
        MetaDataObject settings;
        edit(settings,
            { { coordinate, QString::fromLatin1(coordinate == F::GPS_Lattitude ? "-33.86" : "-70") },
                { coordinate == F::GPS_Lattitude ? F::GPS_LattitudeRef : F::GPS_LongitudeRef,
                    QString::fromLatin1(reference) } });
        MetadataWriteResult result;
        const QString target = written(QStringLiteral("refused.jpg"), settings, &result);
        EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_TRUE(result.errorMsg.startsWith(QLatin1String(message))) << qPrintable(result.errorMsg);
        // Nothing of the run reached the photo.
        const QJsonObject tags = exiftoolTags({ target }).first();
        EXPECT_EQ(textOf(tags, "GPS:GPSLatitudeRef"), "N");
        EXPECT_EQ(textOf(tags, "GPS:GPSLongitudeRef"), "E");
        EXPECT_NEAR(numberOf(tags, "GPS:GPSLatitude"), 48.5, 1e-6);
    }
}

TEST_F(ExifWriterGpsHemisphere, theXmpCopyFollowsTheHemisphereTheExifDataIsLeftWith)
{
    // Photos from both hemispheres: the form showed no reference, and the photo's
    // own stays.
    MetaDataObject latitudeOnly;
    edit(latitudeOnly, { { F::GPS_Lattitude, "10" } });
    // Only the hemisphere chosen, the photos' latitudes differing.
    MetaDataObject hemisphereOnly;
    edit(hemisphereOnly, { { F::GPS_LattitudeRef, "S" } });
    MetaDataObject unrelated;
    edit(unrelated, { { F::Artist, "Ann" }, { F::GPS_LattitudeRef, "N" } });

    const QStringList paths = { written("kept-south.jpg", latitudeOnly, nullptr, 'S'),
        written("now-south.jpg", hemisphereOnly), written("unrelated.jpg", unrelated) };
    QMap<QString, QJsonObject> tags = exiftoolTags(paths);
    const QJsonObject& keptSouth = tags["kept-south.jpg"];
    EXPECT_EQ(textOf(keptSouth, "GPS:GPSLatitudeRef"), "S");
    EXPECT_NEAR(numberOf(keptSouth, "GPS:GPSLatitude"), 10, 1e-6);
    EXPECT_NEAR(numberOf(keptSouth, "XMP-exif:GPSLatitude"), -10, 1e-6);
    const QJsonObject& nowSouth = tags["now-south.jpg"];
    EXPECT_EQ(textOf(nowSouth, "GPS:GPSLatitudeRef"), "S");
    EXPECT_NEAR(numberOf(nowSouth, "GPS:GPSLatitude"), 48.5, 1e-6);
    EXPECT_NEAR(numberOf(nowSouth, "XMP-exif:GPSLatitude"), -48.5, 1e-6);
    // A copy that agrees is left as the photo had it.
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(paths[2]).toStdString()).release());
    image->readMetadata();
    EXPECT_EQ(image->xmpData()["Xmp.exif.GPSLatitude"].toString(), "48,30.0N");
}
