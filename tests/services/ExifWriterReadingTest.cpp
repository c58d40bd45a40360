#include "services/ExifWriter.h"
#include "services/PhotoFixtures.h"
#include "viewer/MetaDataViewerLocation.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/ImageProperties.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

using F = MetadataField;

// A record whose 80 fields all hold a text no read produces, to see which
// fields a read touched.
std::shared_ptr<MetaDataObject> sentinelRecord()
{
    auto record = std::make_shared<MetaDataObject>();
    for (const MetadataFieldInfo& info : kMetadataFields)
        record->setField(info.field, QStringLiteral("untouched"));
    return record;
}

bool isUntouched(const MetaDataObject& record)
{
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (record.field(info.field) != u"untouched")
            return false;
    }
    return true;
}

std::shared_ptr<MetaDataObject> read(const QString& path)
{
    auto record = std::make_shared<MetaDataObject>();
    ExifWriter::sharedInstance().readMetaFromPath(path, *record);
    return record;
}

class ExifWriterReading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString photo(const std::function<void(Exiv2::Image&)>& edit)
    {
        const QString path = makeJpeg(m_dir, QStringLiteral("photo%1.jpg").arg(m_count++));
        editMetadata(path, edit);
        return path;
    }
    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(ExifWriterReading, aPhotoWithoutMetadataGivesEmptyFields)
{
    const auto record = read(makeJpeg(m_dir));
    for (const MetadataFieldInfo& info : kMetadataFields)
        EXPECT_EQ(record->field(info.field), QStringLiteral("")) << info.name;
}

TEST_F(ExifWriterReading, aFileItCannotReadLeavesTheRecordUntouched)
{
    QFile text(m_dir.filePath(QStringLiteral("notes.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is no photo");
    text.close();
    QFile empty(m_dir.filePath(QStringLiteral("empty.jpg")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    for (const QString& path : { m_dir.filePath(QStringLiteral("missing.jpg")), text.fileName(), empty.fileName(),
             m_dir.path(), QStringLiteral("http://localhost:9/photo.jpg"), QString() }) {
        auto record = sentinelRecord();
        ExifWriter::sharedInstance().readMetaFromPath(path, *record);
        EXPECT_TRUE(isUntouched(*record)) << qPrintable(path);
    }
}

TEST_F(ExifWriterReading, readsExifValuesByTheirType)
{
    const auto record = read(photo([](Exiv2::Image& image) {
        Exiv2::ExifData& exif = image.exifData();
        exif["Exif.Image.Make"] = "Canon ";
        exif["Exif.Image.Model"] = "Canon EOS 40D";
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
        exif["Exif.Image.XResolution"] = Exiv2::URational(72, 1);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
        exif["Exif.Image.Orientation"] = uint16_t(6);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(4000);
        exif["Exif.Photo.DateTimeOriginal"] = "2019:05:01 10:11:12";
        // A rational the file stores with a signed type still reads as a number.
        addExif(exif, "Exif.Photo.FocalLength", Exiv2::signedRational, "1050/10");
        // Texts typed by a person stay as they are, slashes and all.
        exif["Exif.Photo.LensModel"] = "70-200/2.8";
        exif["Exif.Image.ImageDescription"] = "3/4";
        exif["Exif.Image.Artist"] = "AC/DC";
    }));
    EXPECT_EQ(record->Cam_Make(), "Canon");
    EXPECT_EQ(record->Cam_ModelName(), "Canon EOS 40D");
    EXPECT_EQ(record->CamSetting_FNumber(), "2.800000");
    EXPECT_EQ(record->AdvCamSetting_ExposureTime(), "0.004000");
    EXPECT_EQ(record->DimResolution_XResolution(), "72.000000");
    EXPECT_EQ(record->CamSetting_ISO(), "200");
    EXPECT_EQ(record->CamSetting_Orientation(), "6");
    EXPECT_EQ(record->DimResolution_ExifImageWidth(), "4000");
    EXPECT_EQ(record->Date_Original(), "2019:05:01 10:11:12");
    EXPECT_EQ(record->CamSetting_FocalLength(), "105.000000");
    EXPECT_EQ(record->Lens_LensModel(), "70-200/2.8");
    EXPECT_EQ(record->ImageDescription(), "3/4");
    EXPECT_EQ(record->Artist(), "AC/DC");
    // Fields without a tag, and tags the file lacks, stay empty.
    EXPECT_EQ(record->CamSetting_Aperture(), "");
    EXPECT_EQ(record->Copyright(), "");
    EXPECT_EQ(record->XMP_Keyword(), "");
}

TEST_F(ExifWriterReading, readsGpsPositionsAtFullPrecision)
{
    const auto record = read(photo([](Exiv2::Image& image) {
        Exiv2::ExifData& exif = image.exifData();
        addExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational, "48/1 515/10 0/1");
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        addExif(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::unsignedRational, "2/1 20/1 0/0");
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "W";
        exif["Exif.GPSInfo.GPSAltitude"] = Exiv2::URational(1234, 10);
        addExif(exif, "Exif.GPSInfo.GPSAltitudeRef", Exiv2::unsignedByte, "1");
        exif["Exif.GPSInfo.GPSImgDirection"] = Exiv2::URational(0, 0);
        exif["Exif.GPSInfo.GPSImgDirectionRef"] = "T";
        exif["Exif.GPSInfo.GPSDateStamp"] = "2019:05:01";
    }));
    EXPECT_EQ(record->GPS_Lattitude(), "48.858333");
    EXPECT_EQ(record->GPS_LattitudeRef(), "N");
    // A zero denominator is no position; neither a wrong one nor "nan".
    EXPECT_EQ(record->GPS_Longitude(), "");
    EXPECT_EQ(record->GPS_LongitudeRef(), "W");
    EXPECT_EQ(record->GPS_Altitude(), "123.400000");
    EXPECT_EQ(record->GPS_AltitudeRef(), "1");
    EXPECT_EQ(record->GPS_ImgDirection(), "");
    EXPECT_EQ(record->GPS_ImgDirectionRef(), "T");
    EXPECT_EQ(record->GPS_DateStamp(), "2019:05:01");
}

TEST_F(ExifWriterReading, readsAPositionStoredAsSignedRationalsAsAPosition)
{
    // As some phones store it: the magnitude in signed rationals, with references.
    const QString phone = photo([](Exiv2::Image& image) {
        Exiv2::ExifData& exif = image.exifData();
        addExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::signedRational, "60/1 8/1 4814/100");
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        addExif(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::signedRational, "24/1 56/1 3000/100");
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    });
    {
        // The file really holds the signed type.
        auto image = Exiv2::ImageFactory::open(phone.toStdString());
        image->readMetadata();
        EXPECT_EQ(
            image->exifData().findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"))->typeId(), Exiv2::signedRational);
    }
    const auto record = read(phone);
    EXPECT_EQ(record->GPS_Lattitude(), "60.146706");
    EXPECT_EQ(record->GPS_LattitudeRef(), "N");
    EXPECT_EQ(record->GPS_Longitude(), "24.941667");
    // The viewer's pin and the place names start from the record.
    const MetaDataViewerLocation location = MetaDataViewerLocation::fromRecord(*record);
    EXPECT_FALSE(location.isNolocationFound());
    EXPECT_NEAR(location.latitude, 60.146706, 1e-6);
    EXPECT_NEAR(location.longitude, 24.941667, 1e-6);
    const QVariantMap gps = ImageProperties::propertiesForFile(phone).value(ImageProperties::kGPS).toMap();
    EXPECT_NEAR(gps.value(QStringLiteral("Latitude")).toDouble(), 60.146706, 1e-6);

    // A sign on any part is the sign of the whole; without a reference letter it
    // names the hemisphere, and the field keeps the magnitude.
    const auto south = read(photo([](Exiv2::Image& image) {
        Exiv2::ExifData& exif = image.exifData();
        addExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::signedRational, "-33/1 52/1 768/100");
        addExif(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::signedRational, "0/1 -30/1 0/1");
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "W";
    }));
    EXPECT_EQ(south->GPS_Lattitude(), "33.868800");
    EXPECT_EQ(south->GPS_LattitudeRef(), "S");
    EXPECT_EQ(south->GPS_Longitude(), "0.500000");
    EXPECT_EQ(south->GPS_LongitudeRef(), "W");
}

TEST_F(ExifWriterReading, readsTheUserCommentWithoutItsCharset)
{
    struct Case {
        std::string stored;
        QString text;
    };
    const Case cases[] = {
        { "charset=Ascii Hello world", QStringLiteral("Hello world") },
        { "charset=\"Ascii\" Hello world", QStringLiteral("Hello world") },
        { "Hello world", QStringLiteral("Hello world") },
        { "charset=Ascii " + std::string(64, ' '), QStringLiteral("") },
        { "charset=Unicode Grüße aus Köln", QStringLiteral("Grüße aus Köln") },
        // As long as a JPEG's Exif segment allows.
        { "charset=Ascii " + std::string(30 * 1024, 'x'), QString(30 * 1024, u'x') },
    };
    for (const Case& c : cases) {
        const auto record
            = read(photo([&](Exiv2::Image& image) { image.exifData()["Exif.Photo.UserComment"] = c.stored; }));
        EXPECT_EQ(record->UserComment(), c.text) << c.stored.substr(0, 40);
    }
}

TEST_F(ExifWriterReading, keepsACommentWhoseHeaderNamesNoCharset)
{
    const auto record = read(photo([](Exiv2::Image& image) {
        addExif(
            image.exifData(), "Exif.Photo.UserComment", Exiv2::undefined, "72 101 108 108 111 32 119 111 114 108 100");
    }));
    EXPECT_EQ(record->UserComment(), "Hello world");
}

TEST_F(ExifWriterReading, decodesTextsThatAreNotUtf8AsLatin1)
{
    const auto record = read(photo([](Exiv2::Image& image) {
        image.exifData()["Exif.Image.Artist"] = std::string("M\xfcller");
        image.exifData()["Exif.Image.Copyright"] = std::string("\xc2\xa9 Zo\xc3\xab");
        addIptc(image.iptcData(), "Iptc.Application2.Keywords",
            "Stra\xdf"
            "e");
        addIptc(image.iptcData(), "Iptc.Application2.City", "K\xf6ln");
    }));
    EXPECT_EQ(record->Artist(), QStringLiteral("Müller"));
    EXPECT_EQ(record->Copyright(), QStringLiteral("© Zoë"));
    EXPECT_EQ(record->IPTC_Keywords(), QStringLiteral("Straße"));
    EXPECT_EQ(record->IPTC_City(), QStringLiteral("Köln"));
}

TEST_F(ExifWriterReading, readsIptcTextsAsTheyStand)
{
    auto record = sentinelRecord();
    ExifWriter::sharedInstance().readMetaFromPath(photo([](Exiv2::Image& image) {
        Exiv2::IptcData& iptc = image.iptcData();
        addIptc(iptc, "Iptc.Application2.Headline", "2019/2020");
        addIptc(iptc, "Iptc.Application2.Byline", "Ann");
        addIptc(iptc, "Iptc.Application2.Byline", "Bob");
        for (const char* keyword : { "sea", "sun", "sea", "Sea", " sand " })
            addIptc(iptc, "Iptc.Application2.Keywords", keyword);
        addIptc(iptc, "Iptc.Application2.SuppCategory", "Travel");
        addIptc(iptc, "Iptc.Application2.CountryCode", "FRA");
        addIptc(iptc, "Iptc.Application2.CountryName", "France");
        addIptc(iptc, "Iptc.Application2.Caption", "5/0");
        iptc["Iptc.Application2.DateCreated"] = "2019-05-01";
    }),
        *record);
    EXPECT_EQ(record->IPTC_Headline(), "2019/2020");
    EXPECT_EQ(record->IPTC_CaptionAbstract(), "5/0");
    EXPECT_EQ(record->IPTC_ByLine(), "Ann");
    EXPECT_EQ(record->IPTC_Keywords(), "sea,sun,Sea, sand ");
    EXPECT_EQ(record->IPTC_SupplementalCategories(), "Travel");
    EXPECT_EQ(record->IPTC_CountryPrimaryLocationCode(), "FRA");
    EXPECT_EQ(record->IPTC_CountryPrimaryLocationName(), "France");
    EXPECT_EQ(record->IPTC_DateCreated(), "2019-05-01");
    // A file with IPTC but no Exif or XMP fills nothing else: a missing IPTC
    // dataset, and every Exif and XMP field, keep what the record held.
    EXPECT_EQ(record->IPTC_City(), "untouched");
    EXPECT_EQ(record->Artist(), "untouched");
    EXPECT_EQ(record->XMP_Lens(), "untouched");
}

TEST_F(ExifWriterReading, readsXmpTextsDatesAndCoordinates)
{
    const auto record = read(photo([](Exiv2::Image& image) {
        Exiv2::XmpData& xmp = image.xmpData();
        xmp["Xmp.aux.SerialNumber"] = "123456";
        xmp["Xmp.aux.Lens"] = "EF70-200mm f/2.8L";
        xmp["Xmp.xmp.CreateDate"] = "2019-05-01T10:11:12+02:00";
        xmp["Xmp.xmp.ModifyDate"] = "2019-05-02T08:00:00";
        xmp["Xmp.photoshop.DateCreated"] = "2019-05-01";
        xmp["Xmp.exif.GPSLatitude"] = "48,51.5N";
        xmp["Xmp.exif.GPSLongitude"] = "2,20.1234W";
    }));
    EXPECT_EQ(record->XMP_SerialNumber(), "123456");
    EXPECT_EQ(record->XMP_Lens(), "EF70-200mm f/2.8L");
    EXPECT_EQ(record->XMP_CreationDate(), "2019-05-01T10:11:12+02:00");
    EXPECT_EQ(record->XMP_ModifyDate(), "2019-05-02T08:00:00");
    EXPECT_EQ(record->XMP_PhotoshopDateCreated(), "2019-05-01");
    EXPECT_EQ(record->XMP_Latitude(), "48.858333");
    EXPECT_EQ(record->XMP_Longitude(), "-2.335390");
    EXPECT_EQ(record->XMP_Keyword(), "");
}

TEST_F(ExifWriterReading, readsThePrismKeywordOnlyFromAFileThatHasOne)
{
    // exiv2 throws on building a key of a namespace it does not know; a file
    // without the keyword must read all the same.
    Exiv2::XmpProperties::unregisterNs("http://prismstandard.org/namespaces/basic/2.0/");
    auto without = sentinelRecord();
    ExifWriter::sharedInstance().readMetaFromPath(
        photo([](Exiv2::Image& image) { image.xmpData()["Xmp.aux.Lens"] = "Summicron"; }), *without);
    EXPECT_EQ(without->XMP_Lens(), "Summicron");
    EXPECT_EQ(without->XMP_Keyword(), "untouched");

    const auto with = read(photo([](Exiv2::Image& image) {
        image.setXmpPacket(
            R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
            R"(<rdf:Description rdf:about="" xmlns:prism="http://prismstandard.org/namespaces/basic/2.0/">)"
            R"(<prism:keyword>harbour</prism:keyword></rdf:Description></rdf:RDF></x:xmpmeta>)");
        image.writeXmpFromPacket(true);
    }));
    EXPECT_EQ(with->XMP_Keyword(), "harbour");
}

TEST_F(ExifWriterReading, readsTheHeaderWithoutDecodingThePixels)
{
    // The scan data after the metadata is garbage: a read that decoded pixels
    // would fail, a header read does not notice.
    const QString path = photo([](Exiv2::Image& image) { image.exifData()["Exif.Image.Make"] = "Nikon"; });
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype scan = bytes.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    for (qsizetype i = scan + 20; i < bytes.size() - 2; ++i)
        bytes[i] = static_cast<char>(0x5a);
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_EQ(read(path)->Cam_Make(), "Nikon");
}

TEST_F(ExifWriterReading, aPhotoRecordKeepsWhatWasReadAsItsOriginal)
{
    const QString path = photo([](Exiv2::Image& image) {
        image.exifData()["Exif.Image.Artist"] = "Ann";
        image.exifData()["Exif.Photo.DateTimeDigitized"] = "2020:01:02 03:04:05";
    });
    const PhotoFile photoFile(path, false);
    ASSERT_TRUE(photoFile.metadataObject);
    ASSERT_TRUE(photoFile.metadataObjectOriginal);
    EXPECT_EQ(photoFile.metadataObject->Artist(), "Ann");
    EXPECT_EQ(photoFile.metadataObjectOriginal->Date_Creation(), "2020:01:02 03:04:05");
    EXPECT_FALSE(photoFile.metadataObject->isupdated_Artist());
}

TEST_F(ExifWriterReading, oneParseForBothReadersLeavesTheRecordUntouchedWhenExiv2CannotRead)
{
    // exiv2 knows no PPM; the dictionary still takes its size from QImageReader.
    const QString ppm = m_dir.filePath(QStringLiteral("scan.ppm"));
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ASSERT_TRUE(image.save(ppm, "PPM"));

    auto record = sentinelRecord();
    const QVariantMap properties = ExifWriter::sharedInstance().readMetaAndPropertiesFromPath(ppm, *record);
    EXPECT_TRUE(isUntouched(*record));
    EXPECT_EQ(properties.value(QStringLiteral("PixelWidth")).toInt(), 7);
    EXPECT_EQ(properties.value(QStringLiteral("PixelHeight")).toInt(), 5);
    EXPECT_EQ(properties, ImageProperties::propertiesForFile(ppm));
}

TEST_F(ExifWriterReading, oneParseForBothReadersOpensOnlyRegularFiles)
{
    for (const QString& path : { m_dir.filePath(QStringLiteral("missing.jpg")), m_dir.path(), QString() }) {
        auto record = sentinelRecord();
        EXPECT_TRUE(ExifWriter::sharedInstance().readMetaAndPropertiesFromPath(path, *record).isEmpty())
            << qPrintable(path);
        EXPECT_TRUE(isUntouched(*record)) << qPrintable(path);
    }
}

TEST_F(ExifWriterReading, oneParseForBothReadersFillsTheRecordAsTheReaderDoes)
{
    const QString path = photo([](Exiv2::Image& image) {
        image.exifData()["Exif.Image.Artist"] = "Ann";
        image.exifData()["Exif.Image.Orientation"] = uint16_t(6);
        image.iptcData()["Iptc.Application2.City"] = "Bern";
        image.xmpData()["Xmp.dc.source"] = "scan";
    });
    auto record = sentinelRecord();
    const QVariantMap properties = ExifWriter::sharedInstance().readMetaAndPropertiesFromPath(path, *record);
    auto expected = sentinelRecord();
    ExifWriter::sharedInstance().readMetaFromPath(path, *expected);
    for (const MetadataFieldInfo& info : kMetadataFields)
        EXPECT_EQ(record->field(info.field), expected->field(info.field)) << info.name;
    EXPECT_EQ(record->Artist(), "Ann");
    EXPECT_EQ(properties.value(QStringLiteral("Orientation")).toInt(), 6);
    EXPECT_EQ(properties, ImageProperties::propertiesForFile(path));
}
