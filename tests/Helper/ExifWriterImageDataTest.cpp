#include "Helper/WriterFixtures.h"
#include "Helper/ExifBlockRewrite.h"
#include "platform/BmffLayout.h"
#include "platform/ImageDataLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

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
// 65,535 when more is 0.
QByteArray withDamagedFirstDirectory(QByteArray tiff, int more)
{
    const bool big = tiff.startsWith("MM");
    const auto at = [&](qsizetype offset) { return reinterpret_cast<uchar*>(tiff.data()) + offset; };
    const quint32 ifd0 = big ? qFromBigEndian<quint32>(at(4)) : qFromLittleEndian<quint32>(at(4));
    const quint16 count = big ? qFromBigEndian<quint16>(at(ifd0)) : qFromLittleEndian<quint16>(at(ifd0));
    const quint16 damaged = more == 0 ? 0xffff : quint16(count + more);
    big ? qToBigEndian(damaged, at(ifd0)) : qToLittleEndian(damaged, at(ifd0));
    return tiff;
}

// The JPEG with the TIFF block of its first Exif segment damaged, the segment's
// length made to match.
QByteArray withDamagedExifSegment(const QByteArray& jpeg, const std::function<void(QByteArray&)>& damage)
{
    const qsizetype signature = jpeg.indexOf(QByteArray("Exif\0\0", 6));
    const qsizetype length = qFromBigEndian<quint16>(jpeg.constData() + signature - 2);
    QByteArray tiff = jpeg.mid(signature + 6, length - 8);
    damage(tiff);
    QByteArray segment("Exif\0\0", 6);
    segment.append(tiff);
    QByteArray result = jpeg.first(signature - 2);
    result.append(char((segment.size() + 2) >> 8)).append(char((segment.size() + 2) & 0xff)).append(segment);
    return result + jpeg.sliced(signature + length - 2);
}

// The photo is refused and left byte for byte as it was.
void expectRefusedUnchanged(const QString& path, const QByteArray& before, const MetadataWriteResult& result)
{
    EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed) << result.errorMsg.toStdString();
    EXPECT_FALSE(result.errorMsg.isEmpty());
    EXPECT_EQ(bytesOf(path), before);
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

// An Exif block that the reader cannot read whole is never replaced by one made
// from what it did read (a run would otherwise drop the camera, the dates, the
// position and the thumbnail and call that written).
TEST(ExifWriterImageData, aJpegWhoseExifBlockCannotBeReadWholeIsRefusedUnchanged)
{
    const QTemporaryDir dir;
    const QByteArray sample = bytesOf(samplesDir() + QStringLiteral("/gps/DSCN0010.jpg"));
    const std::vector<std::pair<const char*, std::function<void(QByteArray&)>>> damages = {
        { "65,535 entries", [](QByteArray& tiff) { tiff = withDamagedFirstDirectory(tiff, 0); } },
        { "one entry too many", [](QByteArray& tiff) { tiff = withDamagedFirstDirectory(tiff, 1); } },
        { "first directory past the end", [](QByteArray& tiff) { qToLittleEndian<quint32>(0x7fff0000, tiff.data() + 4); } },
        { "no byte order", [](QByteArray& tiff) { tiff.replace(0, 2, "XX"); } },
        { "cut inside the Exif directory", [](QByteArray& tiff) { tiff.truncate(600); } },
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        const QString copy = dir.filePath(QStringLiteral("damaged.jpg"));
        QFile::remove(copy);
        const QByteArray damaged = withDamagedExifSegment(sample, damage);
        save(copy, damaged);
        expectRefusedUnchanged(copy, damaged, writeArtistInPlace(copy));

        // An edit outside the Exif data may go ahead where the block stays as it was.
        if (writeArtistInPlace(copy, F::IPTC_Headline).errorFlag == MetadataWriteResult::Processed)
            EXPECT_EQ(JpegExifSegment::exifBlockOf(bytesOf(copy)), JpegExifSegment::exifBlockOf(damaged));
        else
            EXPECT_EQ(bytesOf(copy), damaged);
    }

    // A block read whole is still edited, and its other entries kept.
    const QString whole = dir.filePath(QStringLiteral("whole.jpg"));
    save(whole, sample);
    EXPECT_EQ(writeArtistInPlace(whole).errorFlag, MetadataWriteResult::Processed);
    const QJsonObject tags = exiftoolTags({ whole }).value(QStringLiteral("whole.jpg"));
    EXPECT_EQ(tags.value(QStringLiteral("IFD0:Artist")).toString(), QStringLiteral("Someone Else"));
    EXPECT_EQ(tags.value(QStringLiteral("IFD0:Make")).toString(), QStringLiteral("NIKON"));
}

// The same for the Exif blocks of a WebP's EXIF chunk, a PNG's eXIf chunk and a
// HEIF file's Exif item, whose length may be lost as well.
TEST(ExifWriterImageData, anExifChunkOrItemThatCannotBeReadWholeIsRefusedUnchanged)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QTemporaryDir dir;
    const auto refusedWith = [&](const QString& name, const QByteArray& damaged) {
        SCOPED_TRACE(name.toStdString());
        const QString copy = dir.filePath(name);
        save(copy, damaged);
        expectRefusedUnchanged(copy, damaged, writeArtistInPlace(copy));
    };
    const auto withoutByteOrder = [](QByteArray photo, const QByteArray& tiffStart) {
        const qsizetype at = photo.indexOf(tiffStart);
        EXPECT_GE(at, 0);
        photo.replace(at, 2, "XX");
        return photo;
    };
    refusedWith(QStringLiteral("damaged.webp"),
        withoutByteOrder(bytesOf(samplesDir() + QStringLiteral("/makers/RIFF.webp")), QByteArray("MM\0*", 4)));

    const QString png = dir.filePath(QStringLiteral("exif.png"));
    runExiftool({ QStringLiteral("-q"), QStringLiteral("-IFD0:Artist=Me"), QStringLiteral("-o"), png,
        samplesDir() + QStringLiteral("/makers/PNG.png") });
    ASSERT_TRUE(bytesOf(png).contains("eXIf"));
    refusedWith(QStringLiteral("damaged.png"), withoutByteOrder(bytesOf(png), QByteArray("MM\0*", 4)));

    // The Exif item's extent (offset, then length) in "iloc", found by its values.
    const QByteArray heic = bytesOf(samplesDir() + QStringLiteral("/heif/IMG_3578.heic"));
    const std::optional<QByteArrayView> tiff = BmffLayout::exifItem(heic);
    ASSERT_TRUE(tiff.has_value());
    const quint32 itemStart = quint32(tiff->data() - heic.constData()) - 10;
    const quint32 itemLength = quint32(tiff->size()) + 10;
    QByteArray extent(8, '\0');
    qToBigEndian(itemStart, extent.data());
    qToBigEndian(itemLength, extent.data() + 4);
    const qsizetype lengthAt = heic.indexOf(extent) + 4;
    ASSERT_GE(lengthAt, 4);
    for (const quint32 length : { 0u, 0x7fffffffu }) {
        QByteArray damaged = heic;
        qToBigEndian(length, damaged.data() + lengthAt);
        refusedWith(QStringLiteral("length%1.heic").arg(length), damaged);
    }

    // exiftool empties an item so: no length, at other bytes. It holds nothing to keep.
    const QString emptied = dir.filePath(QStringLiteral("emptied.heic"));
    runExiftool({ QStringLiteral("-q"), QStringLiteral("-exif:all="), QStringLiteral("-o"), emptied,
        samplesDir() + QStringLiteral("/heif/IMG_3578.heic") });
    EXPECT_EQ(writeArtistInPlace(emptied).errorFlag, MetadataWriteResult::Processed);
}
