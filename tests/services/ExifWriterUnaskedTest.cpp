#include "services/WriterFixtures.h"
#include "form/MetadataFormState.h"
#include "form/SelectionMerge.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

// A write changes what it was asked to change and leaves every other byte of
// metadata as the photo held it, also where exiv2 would encode a value anew.

namespace {

using F = MetadataField;

// A packet with what exiv2 would not write itself: a date in the Exif form, an
// empty rights property and an about that names the photo.
const QByteArray kOddXmp = R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>)"
                           R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
                           R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
                           R"(<rdf:Description rdf:about="uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b" )"
                           R"(xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmlns:dc="http://purl.org/dc/elements/1.1/" )"
                           R"(xmp:ModifyDate="2003:09:10 16:07:32"><dc:rights><rdf:Alt>)"
                           R"(<rdf:li xml:lang="x-default"/></rdf:Alt></dc:rights></rdf:Description>)"
                           R"(</rdf:RDF></x:xmpmeta><?xpacket end="w"?>)";

// The APP13 segments of a JPEG, each whole.
QList<QByteArray> photoshopSegments(const QByteArray& jpeg)
{
    QList<QByteArray> segments;
    for (qsizetype at = 2; at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF && quint8(jpeg[at + 1]) != 0xDA;) {
        const qsizetype end = at + 2 + (quint8(jpeg[at + 2]) << 8 | quint8(jpeg[at + 3]));
        if (quint8(jpeg[at + 1]) == 0xED)
            segments.append(jpeg.mid(at, end - at));
        at = end;
    }
    return segments;
}

class ExifWriterUnasked : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // A writable copy of the sample.
    QString copyOf(const QString& sample, const QString& name)
    {
        const QString copy = path(name);
        QFile::copy(QDir(samplesDir()).filePath(sample), copy);
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return copy;
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A phone's photo as other programs leave it: an IFD0 with only the camera, the
    // odd XMP packet, an IPTC time without its offset (6 bytes, as older programs
    // wrote it), an empty headline, a category longer than its limit of 3 bytes and
    // Photoshop's digest of that IPTC data, current.
    QString oddPhoto(const QString& name = u"odd.jpg"_s)
    {
        const QString photo = makeJpeg(m_dir, name);
        editMetadata(photo, [](Exiv2::Image& image) {
            addExif(image.exifData(), "Exif.Image.Make", Exiv2::asciiString, "Nokia");
            addExif(image.exifData(), "Exif.Image.Model", Exiv2::asciiString, "N95");
            addExif(image.exifData(), "Exif.Photo.DateTimeOriginal", Exiv2::asciiString, "2003:09:10 16:07:32");
            addIptc(image.iptcData(), "Iptc.Application2.TimeCreated", "143947");
            addIptc(image.iptcData(), "Iptc.Application2.City", "Paris");
            addIptc(image.iptcData(), "Iptc.Application2.Headline", "");
            addIptc(image.iptcData(), "Iptc.Application2.Category", "Category");
            image.writeXmpFromPacket(true);
            image.xmpPacket() = kOddXmp.toStdString();
        });
        runExiftool({ "-q", "-overwrite_original", "-IPTCDigest=new", photo });
        return photo;
    }

    // A TIFF file with the same odd IPTC data (tag 33723), XMP packet (tag 700) and
    // Photoshop's digest of that IPTC data in its resources (tag 34377).
    QString oddTiff()
    {
        const QString photo = copyOf(u"tiff/Arbitro.tiff"_s, u"odd.tiff"_s);
        editMetadata(photo, [](Exiv2::Image& image) {
            addIptc(image.iptcData(), "Iptc.Application2.TimeCreated", "143947");
            addIptc(image.iptcData(), "Iptc.Application2.City", "Paris");
            addIptc(image.iptcData(), "Iptc.Application2.Headline", "");
            addIptc(image.iptcData(), "Iptc.Application2.Category", "Category");
        });
        QFile packet(path(u"odd.xmp"_s));
        if (packet.open(QIODevice::WriteOnly))
            packet.write(kOddXmp);
        packet.close();
        // exiv2's TIFF writer would make a packet of its own.
        runExiftool({ "-q", "-overwrite_original", "-XMP<=" + packet.fileName(), "-IPTCDigest=new", photo });
        return photo;
    }

    QTemporaryDir m_dir;
};

// Every JPEG and TIFF of the sample folders, relative to the samples.
QStringList jpegAndTiffSamples()
{
    QStringList samples;
    const QDir root(samplesDir());
    for (const QString& folder : { u"camera"_s, u"gps"_s, u"makers"_s, u"orientation"_s, u"tiff"_s, u"xmp"_s }) {
        for (const QString& name :
            QDir(root.filePath(folder))
                .entryList({ u"*.jpg"_s, u"*.jpeg"_s, u"*.tif"_s, u"*.tiff"_s }, QDir::Files, QDir::Name))
            samples.append(folder + u'/' + name);
    }
    return samples;
}

// The TIFF blocks of a JPEG's Exif segments, in file order.
QList<QByteArray> exifBlocks(const QByteArray& jpeg)
{
    QList<QByteArray> blocks;
    for (qsizetype at = 2; at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF && quint8(jpeg[at + 1]) != 0xDA;) {
        const qsizetype end = at + 2 + (quint8(jpeg[at + 2]) << 8 | quint8(jpeg[at + 3]));
        if (quint8(jpeg[at + 1]) == 0xE1 && jpeg.mid(at + 4, 6) == QByteArray("Exif\0\0", 6))
            blocks.append(jpeg.mid(at + 10, end - at - 10));
        at = end;
    }
    return blocks;
}

QStringList digestWarnings(const QString& path)
{
    return exiftoolWarnings({ path }).filter(u"IPTCDigest"_s);
}

} // namespace

// ---- A run that changes no datum ----

// Renaming only (mode 0 with nothing typed, every date kept) and mode 2 with no
// flag: exiv2 would still reorder segments and encode the IPTC data anew.
TEST_F(ExifWriterUnasked, aRunThatChangesNoDatumGivesAByteCopyOfEverySample)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QStringList samples = jpegAndTiffSamples();
    ASSERT_GT(samples.size(), 40);
    QStringList sources;
    for (const QString& sample : samples)
        sources.append(
            copyOf(sample, u"source_"_s + QString::number(sources.size()) + u'_' + QFileInfo(sample).fileName()));
    samples.append(u"odd"_s);
    sources.append(oddPhoto());

    QStringList changed;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        for (const int mode : { int(MetaDataObject::OnlyModifyEditedFields), int(MetaDataObject::CleanMetadataInfo) }) {
            const QString output = path(u"renamed_%1_%2.%3"_s.arg(i).arg(mode).arg(QFileInfo(sources[i]).suffix()));
            PhotoFile photo = photoAt(sources[i]);
            MetaDataObject settings;
            settings.editingOption = mode;
            const MetadataWriteResult result = writePhoto(photo, settings, output);
            if (result.errorFlag != MetadataWriteResult::Processed || fileBytes(output) != fileBytes(sources[i]))
                changed.append(u"%1 in mode %2: %3"_s.arg(samples[i]).arg(mode).arg(result.errorMsg));
        }
    }
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
}

// ---- An edit keeps what it was not asked to change ----

// exiv2 drops only the first of two Exif segments and writes its own after the
// JFIF segment behind them; whether or not an Exif datum changes, every Exif
// segment of the written photo holds the camera's data, none a made-up block.
TEST_F(ExifWriterUnasked, aPhotoWithTwoExifSegmentsBeforeItsJfifOneGetsNoMadeUpExifBlock)
{
    const QByteArray canon = fileBytes(copyOf(u"camera/Canon_40D.jpg"_s, u"canon.jpg"_s));
    const qsizetype jfifEnd = 4 + (quint8(canon[4]) << 8 | quint8(canon[5]));
    const qsizetype exifEnd = jfifEnd + 2 + (quint8(canon[jfifEnd + 2]) << 8 | quint8(canon[jfifEnd + 3]));
    const QByteArray jfif = canon.mid(2, jfifEnd - 2);
    const QByteArray exif = canon.mid(jfifEnd, exifEnd - jfifEnd);
    ASSERT_EQ(exifBlocks(canon).size(), 1);
    const QByteArray twoSegments = canon.first(2) + exif + exif + jfif + canon.sliced(exifEnd);

    for (const auto& [field, text] : { std::pair(F::IPTC_City, u"Lyon"_s), std::pair(F::Artist, u"Someone"_s) }) {
        SCOPED_TRACE(text.toStdString());
        const QString source = path(u"two_%1.jpg"_s.arg(text));
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(twoSegments);
        file.close();
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        edit(settings, { { field, text } });
        const QString output = path(u"written_%1.jpg"_s.arg(text));
        ASSERT_EQ(writePhoto(photo, settings, output).errorFlag, MetadataWriteResult::Processed);

        const QList<QByteArray> blocks = exifBlocks(fileBytes(output));
        ASSERT_FALSE(blocks.isEmpty());
        for (const QByteArray& block : blocks) {
            Exiv2::ExifData data;
            Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(block.constData()), block.size());
            const auto make = data.findKey(Exiv2::ExifKey("Exif.Image.Make"));
            EXPECT_TRUE(make != data.end() && make->toString() == "Canon") << block.size() << " bytes without the make";
        }
    }
}

TEST_F(ExifWriterUnasked, anArtistEditLeavesXmpDatesAndIptcTimesInTheirBytes)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString source = oddPhoto();
    ASSERT_TRUE(digestWarnings(source).isEmpty()) << "the fixture's digest must be current";
    const QList<QByteArray> iptcBefore = photoshopSegments(fileBytes(source));
    ASSERT_EQ(iptcBefore.size(), 1);

    for (const bool inPlace : { false, true }) {
        SCOPED_TRACE(inPlace ? "in place" : "to a folder");
        const QString basis = inPlace ? oddPhoto(u"inplace.jpg"_s) : source;
        const QString output = inPlace ? basis : path(u"artist.jpg"_s);
        PhotoFile photo = photoAt(basis);
        MetaDataObject settings;
        edit(settings, { { F::Artist, u"Bob"_s } });
        const MetadataWriteResult result = writePhoto(photo, settings, output);
        ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();

        const QByteArray written = fileBytes(output);
        EXPECT_TRUE(written.contains(kOddXmp)) << "the XMP packet was written anew";
        EXPECT_EQ(photoshopSegments(written), iptcBefore) << "the IPTC data was encoded anew";
        EXPECT_TRUE(digestWarnings(output).isEmpty()) << digestWarnings(output).join(u'\n').toStdString();
        EXPECT_EQ(readBack(output)->field(F::Artist), u"Bob"_s);
    }
}

// An edit of XMP data makes a new packet; the photo's about and its empty rights
// stay in it, and the toolkit's copy of the about adds no property.
TEST_F(ExifWriterUnasked, anXmpEditKeepsTheAboutAndAnEmptyRightsProperty)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString source = oddPhoto();
    const QJsonObject before = exiftoolTags({ source }).value(u"odd.jpg"_s);
    for (const auto& [name, settings] : { std::pair { u"lens.jpg"_s, std::pair { F::XMP_Lens, u"Lens"_s } },
             std::pair { u"gps.jpg"_s, std::pair { F::GPS_Lattitude, u"12.5"_s } } }) {
        SCOPED_TRACE(name.toStdString());
        PhotoFile photo = photoAt(source);
        MetaDataObject record;
        edit(record, { settings });
        const QString output = path(name);
        const MetadataWriteResult result = writePhoto(photo, record, output);
        ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();

        const QByteArray written = fileBytes(output);
        EXPECT_TRUE(written.contains(R"(rdf:about="uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b")"));
        const QJsonObject after = exiftoolTags({ output }).value(name);
        EXPECT_EQ(after.value(u"XMP-dc:Rights"_s), before.value(u"XMP-dc:Rights"_s));
        EXPECT_FALSE(after.contains(u"XMP-xmpMM:InstanceID"_s));
        EXPECT_EQ(after.value(u"XMP-xmp:ModifyDate"_s), before.value(u"XMP-xmp:ModifyDate"_s));
    }

    // A UTF-16 packet that names the about without its prefix.
    const QString utf16 = copyOf(u"makers/XMP.jpg"_s, u"utf16.jpg"_s);
    PhotoFile photo = photoAt(utf16);
    MetaDataObject lens;
    edit(lens, { { F::XMP_Lens, u"Lens"_s } });
    const QString output = path(u"utf16_lens.jpg"_s);
    ASSERT_EQ(writePhoto(photo, lens, output).errorFlag, MetadataWriteResult::Processed);
    const QString about = exiftoolTags({ utf16 }).value(u"utf16.jpg"_s).value(u"XMP-rdf:About"_s).toString();
    ASSERT_TRUE(about.startsWith(u"uuid:"_s));
    EXPECT_EQ(exiftoolTags({ output }).value(u"utf16_lens.jpg"_s).value(u"XMP-rdf:About"_s).toString(), about);

    // A namespace declared without the closing "/" that exiv2 gives its own URI.
    const QString microsoft = copyOf(u"gps/DSCN0010.jpg"_s, u"microsoft.jpg"_s);
    photo = photoAt(microsoft);
    const QString microsoftLens = path(u"microsoft_lens.jpg"_s);
    ASSERT_EQ(writePhoto(photo, lens, microsoftLens).errorFlag, MetadataWriteResult::Processed);
    const QByteArray declared = R"(xmlns:MicrosoftPhoto="http://ns.microsoft.com/photo/1.0")";
    ASSERT_TRUE(fileBytes(microsoft).contains(declared));
    EXPECT_TRUE(fileBytes(microsoftLens).contains(declared));
    EXPECT_TRUE(exiftoolWarnings({ microsoftLens }).filter(u"MicrosoftPhoto"_s).isEmpty());
}

// A photo ticked alone fills the form with its own values, some only as rounded
// texts (an exposure time of 1/60 s as 0.016667). An Artist typed over them in
// mode 0 leaves every other rational in its bytes.
TEST_F(ExifWriterUnasked, valuesTheFormShowsRoundedAreNotWrittenBackUnedited)
{
    const QString source = copyOf(u"makers/NikonD70.jpg"_s, u"nikon.jpg"_s);
    auto photo = std::make_shared<PhotoFile>(photoAt(source));
    photo->metadataObject = MetaDataObject::initWithObject(*photo->metadataObjectOriginal);
    ASSERT_EQ(photo->metadataObject->field(F::AdvCamSetting_ExposureTime), u"0.016667"_s);

    MetadataFormState form;
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf({ photo })));
    form.editField(F::Artist, u"Bob"_s);
    form.createUpdatedChnagesOnly();
    const QString output = path(u"artist.jpg"_s);
    const MetadataWriteResult result
        = writePhoto(*photo, *form.metaDataObject(), output, form.metaDataObjectWithUpdatedChange().get());
    ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();

    EXPECT_EQ(readBack(output)->field(F::Artist), u"Bob"_s);
    for (const char* key : { "Exif.Photo.ExposureTime", "Exif.Photo.FNumber", "Exif.Photo.FocalLength" })
        EXPECT_EQ(exifText(output, key), exifText(source, key)) << key;
}

// Photoshop's digest follows the IPTC data wherever an edit changes it.
TEST_F(ExifWriterUnasked, anIptcEditKeepsUntargetedDataSetsInTheirBytesAndPhotoshopsDigestCurrent)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString source = oddPhoto();
    ASSERT_TRUE(digestWarnings(source).isEmpty()) << "the fixture's digest must be current";

    PhotoFile photo = photoAt(source);
    MetaDataObject city;
    edit(city, { { F::IPTC_City, u"Lyon"_s } });
    const QString edited = path(u"city.jpg"_s);
    ASSERT_EQ(writePhoto(photo, city, edited).errorFlag, MetadataWriteResult::Processed);
    EXPECT_EQ(readBack(edited)->field(F::IPTC_City), u"Lyon"_s);
    const QJsonObject tags = exiftoolTags({ edited }).value(u"city.jpg"_s);
    EXPECT_EQ(tags.value(u"IPTC:TimeCreated"_s).toString().toStdString(), "14:39:47")
        << "the time the edit did not target was encoded anew";
    EXPECT_TRUE(tags.contains(u"IPTC:Headline"_s)) << "the empty headline was left out";
    EXPECT_EQ(tags.value(u"IPTC:Category"_s).toString().toStdString(), "Category");
    EXPECT_TRUE(digestWarnings(edited).isEmpty()) << digestWarnings(edited).join(u'\n').toStdString();

    photo = photoAt(source);
    MetaDataObject clean;
    clean.editingOption = MetaDataObject::CleanMetadataInfo;
    clean.clearIPTC = true;
    const QString cleaned = path(u"clean.jpg"_s);
    ASSERT_EQ(writePhoto(photo, clean, cleaned).errorFlag, MetadataWriteResult::Processed);
    EXPECT_TRUE(digestWarnings(cleaned).isEmpty()) << digestWarnings(cleaned).join(u'\n').toStdString();
}

// Cleaned IPTC data takes Photoshop's digest of it along, whether the digest was
// current or stale; the other resources stay, and a segment that held nothing
// else goes whole.
TEST_F(ExifWriterUnasked, cleaningIptcRemovesPhotoshopsDigestOfIt)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    for (const QString& sample : { u"makers/IPTC.jpg"_s, u"makers/ExifTool.jpg"_s, u"xmp/BlueSquare.jpg"_s,
             u"xmp/no_exif.jpg"_s, u"orientation/landscape_1.jpg"_s }) {
        SCOPED_TRACE(sample.toStdString());
        const QString source = copyOf(sample, u"source.jpg"_s);
        const QString output = path(u"cleaned.jpg"_s);
        const QMap<QString, ExiftoolView> before = exiftoolGroups({ source }, u"-G1"_s, { u"-Photoshop:all"_s });
        ASSERT_TRUE(before.value(source).tags.contains(u"Photoshop:IPTCDigest"_s));

        PhotoFile photo = photoAt(source);
        MetaDataObject clean;
        clean.editingOption = MetaDataObject::CleanMetadataInfo;
        clean.clearIPTC = true;
        const MetadataWriteResult result = writePhoto(photo, clean, output);
        ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();

        const QMap<QString, ExiftoolView> after
            = exiftoolGroups({ output }, u"-G1"_s, { u"-Photoshop:all"_s, u"-IPTC:all"_s });
        QMap<QString, QString> expected = before.value(source).tags;
        expected.remove(u"Photoshop:IPTCDigest"_s);
        EXPECT_EQ(after.value(output).tags, expected);
        if (expected.isEmpty()) {
            EXPECT_FALSE(fileBytes(output).contains("Photoshop 3.0"));
        }
        EXPECT_TRUE(digestWarnings(output).isEmpty()) << digestWarnings(output).join(u'\n').toStdString();
        QFile::remove(source);
        QFile::remove(output);
    }
}

// A TIFF file's IPTC data and XMP packet are edited as a JPEG's are: what the edit
// did not target keeps its bytes, the digest follows, the about and an empty
// rights property stay.
TEST_F(ExifWriterUnasked, aTiffKeepsUntargetedIptcBytesItsDigestAndItsOwnXmpParts)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString source = oddTiff();
    const QJsonObject before = exiftoolTags({ source }).value(u"odd.tiff"_s);
    ASSERT_EQ(before.value(u"XMP-rdf:About"_s).toString().toStdString(), "uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b");
    ASSERT_TRUE(digestWarnings(source).isEmpty()) << "the fixture's digest must be current";

    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::IPTC_City, u"Lyon"_s }, { F::XMP_Lens, u"Lens"_s } });
    const QString output = path(u"edited.tiff"_s);
    const MetadataWriteResult result = writePhoto(photo, settings, output);
    ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed) << result.errorMsg.toStdString();

    const QJsonObject after = exiftoolTags({ output }).value(u"edited.tiff"_s);
    EXPECT_EQ(after.value(u"IPTC:City"_s).toString().toStdString(), "Lyon");
    EXPECT_EQ(after.value(u"XMP-aux:Lens"_s).toString().toStdString(), "Lens");
    for (const QString& kept : { u"IPTC:TimeCreated"_s, u"IPTC:Headline"_s, u"IPTC:Category"_s, u"XMP-rdf:About"_s,
             u"XMP-dc:Rights"_s, u"XMP-xmp:ModifyDate"_s })
        EXPECT_EQ(after.value(kept), before.value(kept)) << kept.toStdString();
    EXPECT_TRUE(after.contains(u"IPTC:Headline"_s));
    EXPECT_FALSE(after.contains(u"XMP-xmpMM:InstanceID"_s));
    EXPECT_TRUE(digestWarnings(output).isEmpty()) << digestWarnings(output).join(u'\n').toStdString();
}

// ---- Restore ----

// The clean run leaves IFD0 without an entry; the restore puts back the camera,
// and nothing the photo never had (no resolution, no YCbCr positioning).
TEST_F(ExifWriterUnasked, aRestoreAfterCleanExifAddsNoTag)
{
    const QString source = oddPhoto();
    const QString keysBefore = keysIn(source).join(u' ');
    PhotoFile photo = photoAt(source);
    MetaDataObject clean;
    clean.editingOption = MetaDataObject::CleanMetadataInfo;
    clean.clearExif = true;
    ASSERT_EQ(writePhoto(photo, clean, source).errorFlag, MetadataWriteResult::Processed);
    ASSERT_FALSE(keysIn(source).contains(u"Exif.Image.Make"_s));

    const MetadataWriteResult restored = writePhoto(photo, clean, source, nullptr, true);
    ASSERT_EQ(restored.errorFlag, MetadataWriteResult::Processed) << restored.errorMsg.toStdString();
    EXPECT_EQ(keysIn(source).join(u' ').toStdString(), keysBefore.toStdString());
}
