#include "services/WriterFixtures.h"
#include "services/ExifBlockRewrite.h"
#include "platform/BmffLayout.h"
#include "platform/ImageDataLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>
#include <utility>

// The image data of a photo comes out of every write as it went in, and a photo
// whose structure the writer cannot follow is refused and left as it was.

namespace {

using F = MetadataField;

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

// Writes "Someone Else" into the Artist field, or the field given.
MetadataWriteResult writeArtistInPlace(const QString& path, F field = F::Artist)
{
    PhotoFile photo(path, false);
    MetaDataObject settings;
    MetaDataObject onlyUpdated;
    for (MetaDataObject* record : { &settings, &onlyUpdated }) {
        record->setField(field, QStringLiteral("Someone Else"));
        record->setUpdated(field, true);
    }
    return ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, path, onlyUpdated, false);
}

// The TIFF file with its first directory's entry count raised by more, or set to
// 65,535 when more is 0; or set to count when one is given.
QByteArray withDamagedFirstDirectory(QByteArray tiff, int more, std::optional<quint16> count = std::nullopt)
{
    const bool big = tiff.startsWith("MM");
    const auto at = [&](qsizetype offset) { return reinterpret_cast<uchar*>(tiff.data()) + offset; };
    const quint32 ifd0 = big ? qFromBigEndian<quint32>(at(4)) : qFromLittleEndian<quint32>(at(4));
    const quint16 was = big ? qFromBigEndian<quint16>(at(ifd0)) : qFromLittleEndian<quint16>(at(ifd0));
    const quint16 damaged = count ? *count : more == 0 ? 0xffff : quint16(was + more);
    big ? qToBigEndian(damaged, at(ifd0)) : qToLittleEndian(damaged, at(ifd0));
    return tiff;
}

MetadataWriteResult writeInPlace(const QString& path, MetaDataObject& settings)
{
    PhotoFile photo(path, false);
    MetaDataObject onlyUpdated;
    return ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, path, onlyUpdated, false);
}

MetadataWriteResult cleanInPlace(const QString& path, bool MetaDataObject::*flag)
{
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.*flag = true;
    return writeInPlace(path, settings);
}

QStringList sampleTiffs()
{
    QStringList paths;
    for (const QString& name : QDir(samplesDir() + QStringLiteral("/tiff")).entryList(QDir::Files, QDir::Name))
        paths << samplesDir() + QStringLiteral("/tiff/") + name;
    return paths;
}

// A JPEG whose first directory holds its Exif directory pointer as an ASCII text
// of 154 bytes; the directory lies inside that text, with the capture date.
QString jpegWithTextPointer(const QTemporaryDir& dir)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](quint16 value) { tiff.append(char(value & 0xff)).append(char(value >> 8)); };
    const auto u32 = [&](quint32 value) { u16(quint16(value & 0xffff)), u16(quint16(value >> 16)); };
    const quint32 exifDirectory = 8 + 2 + 2 * 12 + 4;
    u16(2);
    u16(0x010f), u16(2), u32(4), tiff.append("Cam\0", 4);
    u16(0x8769), u16(2), u32(154), u32(exifDirectory);
    u32(0);
    QByteArray text;
    tiff.swap(text);
    u16(1), u16(0x9003), u16(2), u32(20), u32(exifDirectory + 18), u32(0);
    tiff.append("2019:05:06 07:08:09\0", 20);
    tiff.swap(text);
    tiff.append(text.leftJustified(154, '\0'));

    const QByteArray segment = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray jpeg = bytesOf(makeJpeg(dir, QStringLiteral("plain.jpg")));
    QByteArray app1("\xff\xe1", 2);
    app1.append(char((segment.size() + 2) >> 8)).append(char((segment.size() + 2) & 0xff)).append(segment);
    jpeg.insert(2, app1);
    const QString path = dir.filePath(QStringLiteral("pointer.jpg"));
    save(path, jpeg);
    return path;
}

} // namespace

TEST(ExifWriterImageData, aTiffWhoseFirstDirectoryClaimsTooManyEntriesIsRefusedAtIntakeAndByTheWriter)
{
    const QTemporaryDir dir;
    for (const QString& sample : sampleTiffs()) {
        SCOPED_TRACE(sample.toStdString());
        const QString copy = dir.filePath(QStringLiteral("damaged.tif"));
        QFile::remove(copy);
        const QByteArray damaged = withDamagedFirstDirectory(bytesOf(sample), 0);
        save(copy, damaged);

        const std::optional<QString> why = ExifWriter::whyNotWritable(copy);
        ASSERT_TRUE(why.has_value());
        EXPECT_TRUE(why->contains(QStringLiteral("image data cannot be found"))) << why->toStdString();
        const MetadataWriteResult result = writeArtistInPlace(copy);
        EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_TRUE(result.errorMsg.contains(QStringLiteral("image data"))) << result.errorMsg.toStdString();
        EXPECT_EQ(bytesOf(copy), damaged);
    }
}

TEST(ExifWriterImageData, aTiffWithAFewEntriesTooManyIsWrittenWithItsStripsOrRefusedUnchanged)
{
    const QTemporaryDir dir;
    for (const QString& sample : sampleTiffs()) {
        for (const int more : { 1, 10 }) {
            SCOPED_TRACE(sample.toStdString() + " +" + std::to_string(more));
            const QString copy = dir.filePath(QStringLiteral("damaged.tif"));
            QFile::remove(copy);
            const QByteArray damaged = withDamagedFirstDirectory(bytesOf(sample), more);
            save(copy, damaged);

            const MetadataWriteResult result = writeArtistInPlace(copy);
            if (result.errorFlag == MetadataWriteResult::Processed) {
                EXPECT_EQ(ImageDataLayout::compare(damaged, bytesOf(copy)).outcome,
                    ImageDataLayout::Comparison::Same);
            } else {
                EXPECT_EQ(bytesOf(copy), damaged) << result.errorMsg.toStdString();
            }
        }
    }
}

TEST(ExifWriterImageData, sampleTiffsAreWrittenWithTheirImageDataInEitherLayout)
{
    const QTemporaryDir dir;
    for (const bool inPlace : { true, false }) {
        setExifBlockEditingEnabledForTesting(inPlace);
        for (const QString& sample : sampleTiffs()) {
            SCOPED_TRACE(sample.toStdString() + (inPlace ? " edited in place" : " in exiv2's layout"));
            const QString copy = dir.filePath(QStringLiteral("photo.tif"));
            QFile::remove(copy);
            QFile::copy(sample, copy);
            QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            EXPECT_FALSE(ExifWriter::whyNotWritable(copy).has_value());
            const MetadataWriteResult result = writeArtistInPlace(copy);
            EXPECT_FALSE(result.errorMsg.contains(QStringLiteral("image data"))) << result.errorMsg.toStdString();
            if (result.errorFlag == MetadataWriteResult::Processed) {
                EXPECT_EQ(ImageDataLayout::compare(bytesOf(sample), bytesOf(copy)).outcome,
                    ImageDataLayout::Comparison::Same);
            }
        }
    }
    setExifBlockEditingEnabledForTesting(true);
}

TEST(ImageDataLayout, aChangedByteOfTheImageDataOfEachKindIsFoundAndMetadataIsNot)
{
    const QTemporaryDir dir;
    const QByteArray jpeg = bytesOf(samplesDir() + QStringLiteral("/camera/Canon_40D.jpg"));
    QByteArray changedScan = jpeg;
    changedScan[changedScan.size() - 100] = char(changedScan[changedScan.size() - 100] ^ 1);
    QByteArray changedHeader = jpeg;
    changedHeader[40] = char(changedHeader[40] ^ 1);
    EXPECT_EQ(ImageDataLayout::compare(jpeg, changedScan).outcome, ImageDataLayout::Comparison::Differs);
    EXPECT_EQ(ImageDataLayout::compare(jpeg, changedHeader).outcome, ImageDataLayout::Comparison::Same);
    EXPECT_EQ(ImageDataLayout::compare(jpeg, jpeg.first(jpeg.size() - 1)).outcome,
        ImageDataLayout::Comparison::Differs);

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    const QString pngPath = dir.filePath(QStringLiteral("photo.png"));
    image.save(pngPath, "PNG");
    const QByteArray png = bytesOf(pngPath);
    const qsizetype idat = png.indexOf("IDAT");
    QByteArray changedPixels = png;
    changedPixels[idat + 6] = char(changedPixels[idat + 6] ^ 1);
    EXPECT_EQ(ImageDataLayout::compare(png, changedPixels).outcome, ImageDataLayout::Comparison::Differs);
    EXPECT_EQ(ImageDataLayout::compare(png, png).outcome, ImageDataLayout::Comparison::Same);

    const QByteArray tiff = bytesOf(sampleTiffs().first());
    const std::optional<ImageDataLayout::Pieces> strips = ImageDataLayout::piecesOf(tiff);
    ASSERT_TRUE(strips.has_value());
    QByteArray changedStrip = tiff;
    const qsizetype firstStrip = strips->front().front().data() - tiff.data();
    changedStrip[firstStrip] = char(changedStrip[firstStrip] ^ 1);
    EXPECT_EQ(ImageDataLayout::compare(tiff, changedStrip).outcome, ImageDataLayout::Comparison::Differs);
    EXPECT_EQ(ImageDataLayout::compare(withDamagedFirstDirectory(tiff, 0), tiff).outcome,
        ImageDataLayout::Comparison::NotFound);
}

TEST(ImageDataLayout, aBaseMediaFileKeepsItsItemsWhenExiftoolRewritesItsExifItem)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QTemporaryDir dir;
    for (const QString& name : { QStringLiteral("heif/IMG_3578.heic"), QStringLiteral("heif/avif_exif_xmp.avif"),
             QStringLiteral("makers/CanonRaw.cr3") }) {
        SCOPED_TRACE(name.toStdString());
        const QString source = samplesDir() + u'/' + name;
        const QString written = dir.filePath(QFileInfo(name).fileName());
        runExiftool({ QStringLiteral("-q"), QStringLiteral("-Artist=Someone Else"), QStringLiteral("-XMP-dc:Title=T"),
            QStringLiteral("-o"), written, source });
        const QByteArray before = bytesOf(source);
        const QByteArray after = bytesOf(written);
        ASSERT_NE(before, after);
        EXPECT_EQ(ImageDataLayout::compare(before, after).outcome, ImageDataLayout::Comparison::Same);

        // One byte of the last image data changed: the tail of the media data.
        QByteArray changed = after;
        changed[changed.size() - 20] = char(changed[changed.size() - 20] ^ 1);
        EXPECT_EQ(ImageDataLayout::compare(before, changed).outcome, ImageDataLayout::Comparison::Differs);
    }
}

TEST(ExifWriterImageData, aPointerStoredAsTextIsKeptOrThePhotoIsRefusedWithItsCaptureDateIntact)
{
    const QTemporaryDir dir;
    const QString photo = jpegWithTextPointer(dir);
    const QByteArray before = bytesOf(photo);

    const MetadataWriteResult artist = writeArtistInPlace(photo);
    const QByteArray after = bytesOf(photo);
    if (artist.errorFlag == MetadataWriteResult::Processed) {
        EXPECT_TRUE(after.contains(QByteArray("2019:05:06 07:08:09"))) << "the entry's text went";
    } else {
        EXPECT_EQ(after, before);
        EXPECT_TRUE(artist.errorMsg.contains(QStringLiteral("Exif.Image.ExifTag"))) << artist.errorMsg.toStdString();
    }

    // A date shift adds an Exif directory of its own where the text pointer stands.
    PhotoFile shifted(photo, false);
    const auto settings = MetaDataObject::initWithObject(*shifted.metadataObjectOriginal);
    settings->dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecDate;
    settings->dateTimeConfigOriginalDate()->stringIncDecDay = QStringLiteral("1");
    MetaDataObject onlyUpdated;
    const QByteArray beforeShift = bytesOf(photo);
    const MetadataWriteResult shift
        = ExifWriter::sharedInstance().writeMetaDataToFilePath(shifted, *settings, photo, onlyUpdated, false);
    if (shift.errorFlag == MetadataWriteResult::Processed) {
        EXPECT_TRUE(bytesOf(photo).contains(QByteArray("2019:05:06 07:08:09")));
    } else {
        EXPECT_EQ(bytesOf(photo), beforeShift);
    }
}

// An Exif block the reader cannot read whole is never replaced by one made of
// what it read: the camera, dates, position and thumbnail would go unseen.
TEST(ExifWriterImageData, anExifBlockThatCannotBeReadWholeIsKeptOrThePhotoRefusedUnchanged)
{
    const QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("damaged.jpg"));
    const QByteArray sample = bytesOf(samplesDir() + QStringLiteral("/gps/DSCN0010.jpg"));
    const QByteArray block = JpegExifSegment::exifBlockOf(sample)->toByteArray();
    // 65,535 entries in the first directory; the block cut inside the Exif directory.
    for (const QByteArray& tiff : { withDamagedFirstDirectory(block, 0), block.first(600) }) {
        const QByteArray damaged = *JpegExifSegment::withTiffBlock(sample, *JpegExifSegment::find(sample), tiff);
        save(copy, damaged);
        EXPECT_EQ(writeArtistInPlace(copy).errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_EQ(bytesOf(copy), damaged);
        // An edit outside the Exif data may go ahead, with the block as it was.
        writeArtistInPlace(copy, F::IPTC_Headline);
        EXPECT_EQ(JpegExifSegment::exifBlockOf(bytesOf(copy)), QByteArrayView(tiff));
    }
}

// What a run asks of such a block is done or the photo refused: the Exif clean
// takes the whole segment, the IPTC and XMP cleans leave it as it was, and a
// change inside it (a GPS or comment clean, a date rule, mode 1's erasures)
// cannot be seen to be made.
TEST(ExifWriterImageData, aCleanOrADateRuleOnAnExifBlockThatCannotBeReadWholeIsDoneOrRefused)
{
    const QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("damaged.jpg"));
    // The sample with an IPTC caption, so that its IPTC clean has something to take.
    QFile::copy(samplesDir() + QStringLiteral("/gps/DSCN0010.jpg"), copy);
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(writeArtistInPlace(copy, F::IPTC_Headline).errorFlag, MetadataWriteResult::Processed);
    const QByteArray sample = bytesOf(copy);
    const QByteArray block = JpegExifSegment::exifBlockOf(sample)->toByteArray();
    const auto refused = [&](const MetadataWriteResult& result, const QByteArray& damaged) {
        EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_TRUE(result.errorMsg.contains(QStringLiteral("Exif data is damaged"))) << result.errorMsg.toStdString();
        EXPECT_EQ(bytesOf(copy), damaged);
    };
    for (const quint16 count : { quint16(0xffff), quint16(500), quint16(0) }) {
        SCOPED_TRACE(count);
        const QByteArray damaged = *JpegExifSegment::withTiffBlock(
            sample, *JpegExifSegment::find(sample), withDamagedFirstDirectory(block, 0, count));
        const auto reset = [&] { save(copy, damaged); };

        reset();
        refused(cleanInPlace(copy, &MetaDataObject::clearGpsInfo), damaged);
        refused(cleanInPlace(copy, &MetaDataObject::clearComment), damaged);
        MetaDataObject shift;
        shift.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
        shift.dateTimeConfigOriginalDate()->stringIncDecHour = QStringLiteral("1");
        refused(writeInPlace(copy, shift), damaged);
        MetaDataObject clearOthers;
        clearOthers.editingOption = MetaDataObject::ModifyEditedClearOthers;
        refused(writeInPlace(copy, clearOthers), damaged);

        ASSERT_EQ(cleanInPlace(copy, &MetaDataObject::clearExif).errorFlag, MetadataWriteResult::Processed);
        EXPECT_FALSE(JpegExifSegment::find(bytesOf(copy)).has_value());
        EXPECT_EQ(ImageDataLayout::compare(damaged, bytesOf(copy)).outcome, ImageDataLayout::Comparison::Same);

        for (bool MetaDataObject::*flag : { &MetaDataObject::clearIPTC, &MetaDataObject::clearXMP }) {
            reset();
            ASSERT_EQ(cleanInPlace(copy, flag).errorFlag, MetadataWriteResult::Processed);
            const QByteArray cleaned = bytesOf(copy);
            EXPECT_NE(cleaned, damaged);
            EXPECT_EQ(JpegExifSegment::exifBlockOf(cleaned), JpegExifSegment::exifBlockOf(damaged));
        }
    }

    // A TIFF file's block is the file: it cannot go whole.
    const QString tiff = dir.filePath(QStringLiteral("damaged.tif"));
    const QByteArray damagedTiff = withDamagedFirstDirectory(bytesOf(sampleTiffs().first()), 10);
    save(tiff, damagedTiff);
    EXPECT_EQ(cleanInPlace(tiff, &MetaDataObject::clearExif).errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_EQ(bytesOf(tiff), damagedTiff);
}

TEST(ExifWriterImageData, aWebpChunkOrHeifItemThatCannotBeReadWholeIsRefusedUnchanged)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QTemporaryDir dir;
    QByteArray webp = bytesOf(samplesDir() + QStringLiteral("/makers/RIFF.webp"));
    webp.replace(webp.indexOf(QByteArray("MM\0*", 4)), 2, "XX");
    // The Exif item's extent in "iloc" (offset, length), found by its values, loses its length.
    const QString heicSample = samplesDir() + QStringLiteral("/heif/IMG_3578.heic");
    QByteArray heic = bytesOf(heicSample);
    const QByteArrayView tiff = BmffLayout::exifItem(heic).value_or(QByteArrayView());
    QByteArray extent(8, '\0');
    qToBigEndian(quint32(tiff.data() - heic.constData() - 10), extent.data());
    qToBigEndian(quint32(tiff.size() + 10), extent.data() + 4);
    const qsizetype extentAt = heic.indexOf(extent);
    ASSERT_GT(extentAt, 0);
    heic.replace(extentAt + 4, 4, QByteArray(4, '\0'));
    for (const auto& [name, damaged] : { std::pair { "damaged.webp", webp }, std::pair { "damaged.heic", heic } }) {
        const QString copy = dir.filePath(QString::fromLatin1(name));
        save(copy, damaged);
        EXPECT_EQ(writeArtistInPlace(copy).errorFlag, MetadataWriteResult::WriteFailed) << name;
        // Cleans that find nothing they can read to remove, and a block no file of
        // these kinds can lose whole.
        EXPECT_EQ(cleanInPlace(copy, &MetaDataObject::clearGpsInfo).errorFlag, MetadataWriteResult::WriteFailed)
            << name;
        EXPECT_EQ(cleanInPlace(copy, &MetaDataObject::clearExif).errorFlag, MetadataWriteResult::WriteFailed) << name;
        EXPECT_EQ(bytesOf(copy), damaged) << name;
    }

    // exiftool empties an item so: no length, at other bytes. It holds nothing to keep.
    const QString emptied = dir.filePath(QStringLiteral("emptied.heic"));
    runExiftool({ QStringLiteral("-q"), QStringLiteral("-exif:all="), QStringLiteral("-o"), emptied, heicSample });
    EXPECT_EQ(writeArtistInPlace(emptied).errorFlag, MetadataWriteResult::Processed);
}
