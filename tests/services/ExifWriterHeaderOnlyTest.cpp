#include "services/WriterFixtures.h"
#include "platform/JpegExtendedXmp.h"
#include "platform/RangeCopySeams.h"
#include "platform/XmpWorkers.h"
#include "support/TestSupport.h"

#include <QImageWriter>
#include <QRandomGenerator>
#include <array>
#include <cerrno>
#include <gtest/gtest.h>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

using F = MetadataField;

// A JPEG of noise (so that its image data is some kilobytes) with Exif, IPTC and XMP.
QByteArray noiseJpeg(const QTemporaryDir& dir, bool progressive)
{
    QImage image(160, 120, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate());
    }
    const QString path = dir.filePath(u"noise.jpg"_s);
    QImageWriter writer(path, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        return {};
    editMetadata(path, [](Exiv2::Image& photo) {
        photo.exifData()["Exif.Image.Make"] = "Maker";
        photo.exifData()["Exif.Photo.DateTimeOriginal"] = "2020:01:02 03:04:05";
        photo.iptcData()["Iptc.Application2.City"] = "Paris";
        photo.xmpData()["Xmp.dc.title"] = "Noise";
    });
    QByteArray bytes = fileBytes(path);
    QFile::remove(path);
    return bytes;
}

QByteArray segment(unsigned char marker, const QByteArray& data)
{
    const int length = int(data.size()) + 2;
    return QByteArray("\xff") + char(marker) + char(length >> 8) + char(length & 0xff) + data;
}

QString putFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes);
    return path;
}

void configureEdit(MetaDataObject& settings)
{
    edit(settings, { { F::Artist, u"Zoë"_s }, { F::IPTC_City, u"Lyon"_s }, { F::XMP_Lens, u"Lens"_s } });
}

struct Written {
    MetadataWriteResult result;
    QByteArray bytes;
};

Written writeTo(const QString& source, const QString& output)
{
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    configureEdit(settings);
    Written written;
    written.result = writePhoto(photo, settings, output);
    written.bytes = fileBytes(output);
    return written;
}

// Writes the photo to a new file through each path; answers both.
std::array<Written, 2> writeBothWays(const QTemporaryDir& dir, const QString& source)
{
    std::array<Written, 2> written;
    for (int whole = 0; whole < 2; ++whole) {
        std::optional<ScopedWholeFileWrites> wholeFiles;
        if (whole)
            wholeFiles.emplace();
        const QString output = dir.filePath(u"out-%1.jpg"_s.arg(whole));
        QFile::remove(output);
        written[whole] = writeTo(source, output);
    }
    return written;
}

QStringList filesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// Files whose layout is unusual are written as the path that reads them whole
// writes them: the split path where its walk accepts them, the whole path itself
// where it does not.
TEST(ExifWriterHeaderOnly, unusualJpegsComeOutAsTheWholeFilePathWritesThem)
{
    QTemporaryDir dir;
    const QByteArray baseline = noiseJpeg(dir, false);
    const QByteArray progressive = noiseJpeg(dir, true);
    ASSERT_GT(baseline.size(), 10000);
    const qsizetype eoi = baseline.size() - 2;
    const QByteArray xmpAfterScan = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 42));
    // A restart marker before the scan: no length of its own.
    const QByteArray restartBeforeScan = baseline.first(2) + QByteArray("\xff\xd0", 2) + baseline.sliced(2);

    struct Case {
        const char* name;
        QByteArray bytes;
        bool split;
    };
    const Case cases[] = {
        { "baseline", baseline, true },
        { "progressive, many scans", progressive, true },
        { "cut inside the image data", baseline.first(baseline.size() * 2 / 3), true },
        { "bytes after the end of image", baseline + "trailing garbage \xff\xd9 and more", true },
        { "metadata after the start of scan", baseline.first(eoi) + xmpAfterScan + baseline.sliced(eoi), true },
        { "no end of image", baseline.first(eoi), true },
        { "cut inside the header", baseline.first(300), false },
        { "a restart marker before the scan", restartBeforeScan, false },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const QString source = putFile(dir, u"source.jpg"_s, test.bytes);
        EXPECT_EQ(bool(JpegSplice::open(source)), test.split);
        const std::array<Written, 2> written = writeBothWays(dir, source);
        EXPECT_EQ(written[0].result, written[1].result) << qPrintable(written[1].result.errorMsg);
        EXPECT_TRUE(written[0].bytes == written[1].bytes) << "the two paths wrote different files";
        if (test.split) {
            EXPECT_EQ(written[0].result.errorFlag, MetadataWriteResult::Processed);
        }
        EXPECT_EQ(fileBytes(source), test.bytes) << "the source is only read";
    }
}

TEST(ExifWriterHeaderOnly, aPhotoThatChangesWhileItsImageDataIsCopiedIsNotWrittenAndNothingIsReplaced)
{
    QTemporaryDir dir;
    const QByteArray bytes = noiseJpeg(dir, false);
    const QString source = putFile(dir, u"source.jpg"_s, bytes);
    const QString output = dir.filePath(u"out.jpg"_s);
    const QString inPlace = putFile(dir, u"in-place.jpg"_s, bytes);
    QString changing;
    ScopedBeforeCopy hook([&] {
        QFile file(changing);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("another program appends");
    });

    // To another file: none is made.
    changing = source;
    Written written = writeTo(source, output);
    EXPECT_EQ(written.result.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(written.result.errorMsg.contains(u"changed while it was being copied"_s))
        << qPrintable(written.result.errorMsg);
    EXPECT_FALSE(QFile::exists(output));

    // In place: the file keeps what the other program made of it.
    changing = inPlace;
    written = writeTo(inPlace, inPlace);
    EXPECT_EQ(written.result.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_EQ(written.bytes, bytes + "another program appends");
    EXPECT_EQ(filesIn(dir), QStringList({ "in-place.jpg", "source.jpg" })) << "no temporary file stays";
}

TEST(ExifWriterHeaderOnly, whereTheKernelCannotCopyTheImageDataTheBufferWritesTheSameFile)
{
    QTemporaryDir dir;
    const QString source = putFile(dir, u"source.jpg"_s, noiseJpeg(dir, false));
    const Written expected = writeTo(source, dir.filePath(u"expected.jpg"_s));
    ASSERT_EQ(expected.result.errorFlag, MetadataWriteResult::Processed);
    {
        ScopedRefusedRangeCopy refused(EXDEV);
        const Written written = writeTo(source, dir.filePath(u"out.jpg"_s));
        EXPECT_EQ(written.result, expected.result);
        EXPECT_TRUE(written.bytes == expected.bytes);
    }
    // Any other failure of the copy fails the write.
    ScopedRefusedRangeCopy refused(EIO);
    const Written failed = writeTo(source, dir.filePath(u"failed.jpg"_s));
    EXPECT_EQ(failed.result.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(failed.result.errorMsg.contains(u"Cannot copy from"_s)) << qPrintable(failed.result.errorMsg);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"failed.jpg"_s)));
}

// A restore into another folder copies the source again through the kernel, and
// refuses a source that changes while it is copied.
TEST(ExifWriterHeaderOnly, aRestoreCopiesTheSourceAgainAndRefusesOneThatChangesMeanwhile)
{
    QTemporaryDir dir;
    const QString source = putFile(dir, u"source.jpg"_s, noiseJpeg(dir, false));
    const QString output = dir.filePath(u"out.jpg"_s);
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    configureEdit(settings);
    ASSERT_EQ(writePhoto(photo, settings, output).errorFlag, MetadataWriteResult::Processed);
    const QByteArray written = fileBytes(output);
    {
        ScopedBeforeCopy hook([&] {
            QFile file(source);
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("another program appends");
        });
        const MetadataWriteResult refused = writePhoto(photo, settings, output, nullptr, true);
        EXPECT_EQ(refused.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_TRUE(refused.errorMsg.contains(u"changed while it was being copied"_s)) << qPrintable(refused.errorMsg);
        EXPECT_EQ(fileBytes(output), written);
    }
    EXPECT_EQ(writePhoto(photo, settings, output, nullptr, true).errorFlag, MetadataWriteResult::Processed);
    EXPECT_EQ(fileBytes(output), fileBytes(source));
    EXPECT_EQ(filesIn(dir), QStringList({ "out.jpg", "source.jpg" })) << "no temporary file stays";
}

namespace {

void cleanXmp(MetaDataObject& settings)
{
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearXMP = true;
}

void editLens(MetaDataObject& settings)
{
    edit(settings, { { F::XMP_Lens, u"Lens"_s } });
}

void editArtist(MetaDataObject& settings)
{
    edit(settings, { { F::Artist, u"Someone"_s } });
}

MetadataWriteResult writeWith(const QString& source, const QString& output, void (*configure)(MetaDataObject&))
{
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    configure(settings);
    return writePhoto(photo, settings, output);
}

// The extension segments of the file, each whole, in file order.
QList<QByteArray> extensionOf(const QString& path)
{
    const QByteArray bytes = fileBytes(path);
    QList<QByteArray> segments;
    for (const QByteArrayView segment : JpegExtendedXmp::bytesOf(bytes).value_or(QList<QByteArrayView>()))
        segments.append(segment.toByteArray());
    return segments;
}

// exiftool's XMP tags and validation warnings of each file, by path.
QMap<QString, ExiftoolView> judgedXmp(const QStringList& paths)
{
    return exiftoolGroups(paths, u"-G1"_s, { u"-validate"_s, u"-warning"_s, u"-XMP:all"_s });
}

// The warnings exiftool gives for the written file and not for its source.
std::string newWarnings(const ExiftoolView& written, const ExiftoolView& source)
{
    return QStringList((written.warnings - source.warnings).values()).join(u'\n').toStdString();
}

} // namespace

// exiv2 reads no extended XMP and copies its segments whatever it does to the
// main packet: the writer takes them out with a cleared packet and keeps them
// with one written anew, on both paths, and a restore puts them back.
TEST(ExifWriterHeaderOnly, extendedXmpGoesWithACleanedPacketAndStaysWithOneWrittenAnew)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    for (const char* sample : { "makers/Google.jpg", "makers/ExtendedXMP.jpg" }) {
        SCOPED_TRACE(sample);
        QTemporaryDir dir;
        const QByteArray original = fileBytes(QDir(samplesDir()).filePath(QString::fromLatin1(sample)));
        const QString source = putFile(dir, u"source.jpg"_s, original);
        const QList<QByteArray> extension = extensionOf(source);
        ASSERT_FALSE(extension.isEmpty());

        for (int whole = 0; whole < 2; ++whole) {
            std::optional<ScopedWholeFileWrites> wholeFiles;
            if (whole)
                wholeFiles.emplace();
            EXPECT_EQ(writeWith(source, dir.filePath(u"cleaned-%1.jpg"_s.arg(whole)), cleanXmp).errorFlag,
                MetadataWriteResult::Processed);
            EXPECT_EQ(writeWith(source, dir.filePath(u"rewritten-%1.jpg"_s.arg(whole)), editLens).errorFlag,
                MetadataWriteResult::Processed);
        }
        const QString cleaned = dir.filePath(u"cleaned-0.jpg"_s);
        const QString rewritten = dir.filePath(u"rewritten-0.jpg"_s);
        EXPECT_TRUE(fileBytes(cleaned) == fileBytes(dir.filePath(u"cleaned-1.jpg"_s)));
        EXPECT_TRUE(fileBytes(rewritten) == fileBytes(dir.filePath(u"rewritten-1.jpg"_s)));
        EXPECT_EQ(extensionOf(cleaned), QList<QByteArray>());
        EXPECT_TRUE(extensionOf(rewritten) == extension);

        const QMap<QString, ExiftoolView> judged = judgedXmp({ source, cleaned, rewritten });
        const ExiftoolView& was = judged.value(source);
        ASSERT_TRUE(was.tags.contains(u"XMP-xmpNote:HasExtendedXMP"_s));
        EXPECT_EQ(judged.value(cleaned).tags.keys().join(u' ').toStdString(), "");
        EXPECT_EQ(newWarnings(judged.value(cleaned), was), "");
        // What the extension holds is still read as part of the packet.
        QMap<QString, QString> expected = was.tags;
        expected.insert(u"XMP-aux:Lens"_s, u"Lens"_s);
        EXPECT_EQ(judged.value(rewritten).tags, expected);
        EXPECT_EQ(newWarnings(judged.value(rewritten), was), "");

        // In place, and back.
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        cleanXmp(settings);
        ASSERT_EQ(writePhoto(photo, settings, source).errorFlag, MetadataWriteResult::Processed);
        EXPECT_EQ(extensionOf(source), QList<QByteArray>());
        EXPECT_EQ(writePhoto(photo, settings, source, nullptr, true).errorFlag, MetadataWriteResult::Processed);
        EXPECT_TRUE(fileBytes(source) == original) << "the restore gives back the photo byte for byte";
    }
}

// Extension segments under a GUID the packet does not name are stray data: they
// stay while the packet does, and go when it is written anew.
TEST(ExifWriterHeaderOnly, extendedXmpThePacketDoesNotNameGoesWhenThePacketIsWrittenAnew)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    const QByteArray original = fileBytes(QDir(samplesDir()).filePath(u"makers/ExtendedXMP.jpg"_s));
    const auto segments = JpegExtendedXmp::segmentsOf(original);
    ASSERT_TRUE(segments && !segments->isEmpty());
    const JpegExtendedXmp::Segment& first = segments->first();
    QByteArray stray = original.sliced(first.offset, first.size);
    stray.replace(first.guid.data() - original.data() - first.offset, 32, QByteArray(32, 'F'));
    const QString source = putFile(dir, u"source.jpg"_s, original.first(2) + stray + original.sliced(2));
    const QList<QByteArray> withStray = extensionOf(source);
    ASSERT_EQ(withStray.size(), segments->size() + 1);

    const QString artist = dir.filePath(u"artist.jpg"_s);
    const QString lens = dir.filePath(u"lens.jpg"_s);
    EXPECT_EQ(writeWith(source, artist, editArtist).errorFlag, MetadataWriteResult::Processed);
    EXPECT_EQ(writeWith(source, lens, editLens).errorFlag, MetadataWriteResult::Processed);
    EXPECT_TRUE(extensionOf(artist) == withStray);
    EXPECT_TRUE(extensionOf(lens) == withStray.sliced(1));

    const QMap<QString, ExiftoolView> judged = judgedXmp({ source, lens });
    EXPECT_EQ(newWarnings(judged.value(lens), {}), "");
    QMap<QString, QString> expected = judged.value(source).tags;
    expected.insert(u"XMP-aux:Lens"_s, u"Lens"_s);
    EXPECT_EQ(judged.value(lens).tags, expected);
}

// A write that leaves the photo's packet as it was reads back the very packet its
// edit read: the worker's answer to the edit's read serves the read-back, so the
// write asks a worker once at most, and the photo is written as before.
TEST(ExifWriterHeaderOnly, aWriteThatKeepsThePacketAsksAWorkerToParseItOnceAtMost)
{
    ASSERT_TRUE(XmpWorkers::running());
    QTemporaryDir dir;
    const QString source = samplesDir() + u"/camera/Nikon_D70.jpg"_s;
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::Artist, u"Zoë"_s } });
    const QString output = dir.filePath(u"out.jpg"_s);
    const std::uint64_t before = XmpWorkers::requestsSentSoFar();
    ASSERT_EQ(writePhoto(photo, settings, output).errorFlag, MetadataWriteResult::Processed);
    EXPECT_LE(XmpWorkers::requestsSentSoFar() - before, 1u);
    // The packet, from its start to its end marker, is the photo's own.
    const auto packetOf = [](const QByteArray& bytes) {
        const qsizetype start = bytes.indexOf("<?xpacket begin");
        const qsizetype end = bytes.indexOf("<?xpacket end", start);
        return start < 0 || end < 0 ? QByteArray() : bytes.sliced(start, end - start);
    };
    const QByteArray own = packetOf(fileBytes(source));
    ASSERT_FALSE(own.isEmpty());
    EXPECT_EQ(packetOf(fileBytes(output)), own);
}
