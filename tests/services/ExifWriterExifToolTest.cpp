#include "services/WriterFixtures.h"
#include "batch/intake/PhotoIntake.h"
#include "platform/BmffLayout.h"
#include "platform/ExifToolProcess.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

// HEIC, HEIF, AVIF, CR3 and PNG photos are written through exiftool; every test
// here judges the outputs with a separate exiftool run.
namespace {

using F = MetadataField;

// The photos that go through exiftool, and a WebP beside them (exiv2 writes it).
QStringList samplePhotos()
{
    QStringList photos;
    const QDir heif(QDir(samplesDir()).filePath(u"heif"_s));
    for (const QString& name : heif.entryList(QDir::Files, QDir::Name)) {
        if (!name.contains(u"pruned"_s))
            photos << heif.filePath(name);
    }
    const QDir makers(QDir(samplesDir()).filePath(u"makers"_s));
    for (const char* name : { "QuickTime.heic", "CanonRaw.cr3", "PNG.png", "RIFF.webp" })
        photos << makers.filePath(QLatin1StringView(name));
    return photos;
}

QString copyInto(const QString& folder, const QString& source)
{
    const QString copy = QDir(folder).filePath(QFileInfo(source).fileName());
    QFile::copy(source, copy);
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return copy;
}

using TagTexts = QMap<QString, QString>;

// exiftool's tags of the file, values unconverted, without its own file-system
// entries and remarks.
TagTexts tagsOf(const QString& path)
{
    TagTexts tags;
    const QJsonArray files = QJsonDocument::fromJson(
        runExiftool({ "-j", "-a", "-G1", "-n", "-charset", "filename=utf8", "-x", "File:all", "-x", "System:all",
            "-x", "ExifTool:all", "-x", "Composite:all", path }))
                                 .array();
    const QJsonObject object = files.isEmpty() ? QJsonObject() : files.first().toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != "SourceFile")
            tags.insert(it.key(), QString::fromUtf8(QJsonDocument(QJsonArray { it.value() }).toJson(QJsonDocument::Compact)));
    }
    return tags;
}

QSet<QString> warningsOf(const QString& path)
{
    QSet<QString> warnings;
    for (const QString& line : exiftoolWarnings({ path }))
        warnings.insert(line.mid(line.indexOf(u':') + 1).trimmed());
    return warnings;
}

// Tags whose values differ, but for those the edit targets (by name, whatever
// the group) and the layout entries a rewrite moves.
QStringList differences(const TagTexts& before, const TagTexts& after, const QSet<QString>& targeted)
{
    static const QSet<QString> layout { "ExifOffset", "GPSInfo", "InteropOffset", "ThumbnailOffset",
        "MakerNoteOffset", "MovieDataOffset", "MovieDataSize", "MediaDataOffset", "MediaDataSize", "ExifByteOrder" };
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    QStringList changed;
    for (const QString& key : keys) {
        const QString name = key.section(u':', 1);
        if (targeted.contains(name) || layout.contains(name) || key == "XMP-x:XMPToolkit"
            || before.value(key) == after.value(key))
            continue;
        changed << key + ": " + before.value(key, "(absent)") + " -> " + after.value(key, "(absent)");
    }
    return changed;
}

void editArtistDateAndPlace(MetaDataObject& settings)
{
    edit(settings,
        { { F::Artist, u"Zoë Ångström"_s }, { F::Copyright, u"© 2026 Zoë"_s }, { F::GPS_Lattitude, "48.8583" },
            { F::GPS_LattitudeRef, "N" }, { F::GPS_Longitude, "2.2945" }, { F::GPS_LongitudeRef, "E" } });
    settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    settings.dateTimeConfigOriginalDate()->stringIncDecHour = u"1"_s;
}

const QSet<QString> kTargetedByEdit { "Artist", "Copyright", "DateTimeOriginal", "GPSLatitude", "GPSLatitudeRef",
    "GPSLongitude", "GPSLongitudeRef", "GPSVersionID", "GPSProcessingMethod", "ExifVersion", "GPSPosition" };

class ScopedExifToolProgram {
public:
    explicit ScopedExifToolProgram(const QString& program) { ExifWriter::setExifToolProgram(program); }
    ~ScopedExifToolProgram() { ExifWriter::setExifToolProgram(QString()); }
    ScopedExifToolProgram(const ScopedExifToolProgram&) = delete;
    ScopedExifToolProgram& operator=(const ScopedExifToolProgram&) = delete;
};

} // namespace

// Artist, Copyright, a date shift and a GPS position, into another folder and in
// place: the targeted tags as asked, every other tag as it was, no new validation
// warning; then the restore gives back the source's metadata.
TEST(ExifWriterExifTool, writesEachContainerExiv2CannotAndRestoresIt)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(u"in"_s);
    QDir(dir.path()).mkdir(u"out"_s);
    for (const QString& sample : samplePhotos()) {
        SCOPED_TRACE(qPrintable(sample));
        const QString source = copyInto(dir.filePath(u"in"_s), sample);
        const TagTexts before = tagsOf(source);
        const QSet<QString> warningsBefore = warningsOf(source);
        const QByteArray sourceBytes = fileBytes(source);
        for (const bool inPlace : { false, true }) {
            SCOPED_TRACE(inPlace ? "in place" : "to a folder");
            PhotoFile photo = photoAt(source);
            MetaDataObject settings;
            editArtistDateAndPlace(settings);
            // A photo without a date gets one chosen: its new Exif data holds all three kinds.
            const bool undated = !before.contains(u"ExifIFD:DateTimeOriginal"_s);
            if (undated) {
                settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
                settings.dateTimeConfigOriginalDate()->stringSelectedDate = u"2021:05:06 07:08:09"_s;
            }
            const QString output = inPlace ? source : dir.filePath(u"out/"_s + QFileInfo(source).fileName());
            const MetadataWriteResult result = writePhoto(photo, settings, output);
            ASSERT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);
            if (!inPlace) {
                EXPECT_EQ(fileBytes(source), sourceBytes);
            }

            const TagTexts after = tagsOf(output);
            EXPECT_EQ(after.value("IFD0:Artist"), u"[\"Zoë Ångström\"]"_s);
            EXPECT_EQ(after.value("IFD0:Copyright"), u"[\"© 2026 Zoë\"]"_s);
            EXPECT_TRUE(after.value("GPS:GPSLatitude").startsWith(u"[48.858"_s)) << qPrintable(after.value("GPS:GPSLatitude"));
            if (undated) {
                EXPECT_EQ(after.value("ExifIFD:DateTimeOriginal"), u"[\"2021:05:06 07:08:09\"]"_s);
            }
            // Our own reader sees what was written, also where exiftool made the Exif data.
            EXPECT_EQ(readBack(output)->Artist(), u"Zoë Ångström"_s);
            // New directories come with the entries the standard asks of them.
            QSet<QString> targeted = kTargetedByEdit;
            const QString groups = QStringList(before.keys()).join(u' ');
            if (!groups.contains(u"IFD0:"_s))
                targeted += { "XResolution", "YResolution", "ResolutionUnit", "YCbCrPositioning" };
            if (!groups.contains(u"ExifIFD:"_s))
                targeted += { "FlashpixVersion", "ColorSpace", "ComponentsConfiguration" };
            const QStringList changed = differences(before, after, targeted);
            EXPECT_TRUE(changed.isEmpty()) << qPrintable(changed.join('\n'));
            const QSet<QString> newWarnings = warningsOf(output) - warningsBefore;
            EXPECT_TRUE(newWarnings.isEmpty()) << qPrintable(QStringList(newWarnings.values()).join('\n'));
            EXPECT_TRUE(QDir(QFileInfo(output).absolutePath()).entryList({ u".velloran-*"_s }, QDir::Hidden | QDir::Files).isEmpty());

            MetaDataObject nothing;
            const MetadataWriteResult restored
                = ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, QString(), nothing, true);
            ASSERT_EQ(restored.errorFlag, 0) << qPrintable(restored.errorMsg);
            const QStringList notRestored = differences(before, tagsOf(output), {});
            EXPECT_TRUE(notRestored.isEmpty()) << qPrintable(notRestored.join('\n'));
        }
    }
}

// Each clean group on each container: the photo is written as the verification
// demands, what the clean removes is gone for exiftool too, and it finds no new
// fault. A PNG's Exif stays in its standard eXIf chunk.
TEST(ExifWriterExifTool, cleansEachGroupAndKeepsPngExifInItsChunk)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Clean {
        bool MetaDataObject::*flag;
        QStringList gone; // tags that must be gone
    };
    const Clean cleans[] = { { &MetaDataObject::clearGpsInfo, { u"GPS:GPSLatitude"_s, u"GPS:GPSLongitude"_s } },
        { &MetaDataObject::clearExif, { u"IFD0:Artist"_s, u"ExifIFD:DateTimeOriginal"_s } },
        { &MetaDataObject::clearXMP, { u"XMP-"_s } }, { &MetaDataObject::clearIPTC, { u"IPTC:"_s } } };
    for (const QString& sample : samplePhotos()) {
        SCOPED_TRACE(qPrintable(sample));
        for (const Clean& clean : cleans) {
            SCOPED_TRACE(qPrintable(clean.gone.join(u' ')));
            const QString copy = copyInto(dir.path(), sample);
            const QSet<QString> warningsBefore = warningsOf(copy);
            PhotoFile photo = photoAt(copy);
            MetaDataObject settings;
            settings.editingOption = MetaDataObject::CleanMetadataInfo;
            settings.*clean.flag = true;
            const MetadataWriteResult result = writePhoto(photo, settings, copy);
            // A raw file (CR3) is cleaned but keeps its make, model and maker note, and says so.
            const int expectedFlag = clean.flag == &MetaDataObject::clearExif && copy.endsWith(u".cr3"_s, Qt::CaseInsensitive)
                ? MetadataWriteResult::RawCameraKept
                : 0;
            ASSERT_EQ(result.errorFlag, expectedFlag) << qPrintable(result.errorMsg);
            for (const QString& gone : clean.gone) {
                const QStringList left = QStringList(tagsOf(copy).keys()).filter(gone);
                EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(u' '));
            }
            const QSet<QString> newWarnings = warningsOf(copy) - warningsBefore;
            EXPECT_TRUE(newWarnings.isEmpty()) << qPrintable(QStringList(newWarnings.values()).join('\n'));
            QFile::remove(copy);
        }
    }

    const QString png = copyInto(dir.path(), QDir(samplesDir()).filePath(u"makers/PNG.png"_s));
    PhotoFile photo = photoAt(png);
    MetaDataObject settings;
    edit(settings, { { F::Artist, u"Zoë"_s } });
    ASSERT_EQ(writePhoto(photo, settings, png).errorFlag, 0);
    const QByteArray bytes = fileBytes(png);
    EXPECT_TRUE(bytes.contains("eXIf"));
    EXPECT_FALSE(bytes.contains("Raw profile type exif"));
    EXPECT_EQ(tagsOf(png).value("IFD0:Artist"), u"[\"Zoë\"]"_s);
}

// Without exiftool the photos that need it are refused with one plain message and
// left as they were (a HEIF file without an Exif item of its own to edit); a JPEG
// of the same run is written.
TEST(ExifWriterExifTool, aMissingExiftoolRefusesOnlyThePhotosThatNeedIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ScopedExifToolProgram missing(dir.filePath(u"no-such-exiftool"_s));
    const QString heic = copyInto(dir.path(), QDir(samplesDir()).filePath(u"makers/QuickTime.heic"_s));
    const QString jpeg = copyInto(dir.path(), QDir(samplesDir()).filePath(u"makers/Canon.jpg"_s));
    const QByteArray heicBytes = fileBytes(heic);
    for (const QString& path : { heic, jpeg }) {
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        edit(settings, { { F::Artist, u"Zoë"_s } });
        const MetadataWriteResult result = writePhoto(photo, settings, path);
        if (path == heic) {
            EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
            EXPECT_EQ(result.errorMsg, ExifToolProcess::missingMessage());
            EXPECT_EQ(fileBytes(heic), heicBytes);
        } else {
            EXPECT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);
            EXPECT_EQ(readBack(jpeg)->Artist(), u"Zoë"_s);
        }
    }
}

// The HEIF, HIF and AVIF samples and an iPhone-like photo with a gain map, written
// without exiftool (none is installed for the writer): the Exif edit into each
// one's own Exif item, an XMP field into the XMP item where it has one. exiftool
// and exiv2 read the edited values and every other tag as it was; the gain map's
// packet keeps its bytes. Eight writers at once make the very bytes one makes.
TEST(ExifWriterExifTool, writesHeifItemsItselfAndOnlyTheEditChanges)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ScopedExifToolProgram missing(dir.filePath(u"no-such-exiftool"_s));
    QDir(dir.path()).mkdir(u"in"_s);
    QStringList sources;
    for (const QString& sample : samplePhotos()) {
        if (sample.contains(u"/heif/"_s))
            sources << copyInto(dir.filePath(u"in"_s), sample);
    }
    const QString gainMap = dir.filePath(u"in/gain-map.heic"_s);
    if (ImageFixtures::writeHeicWithSecondImage(gainMap,
            ImageFixtures::xmpPacket(u"xmp:Rating"_s, u"http://ns.adobe.com/xap/1.0/"_s, u"3"_s),
            ImageFixtures::xmpPacket(u"HDRGainMap:HDRGainMapVersion"_s, u"http://ns.apple.com/HDRGainMap/1.0/"_s,
                u"65536"_s)))
        sources << gainMap;
    // Exif fields go into a photo with an Exif item, an XMP field into one with an
    // XMP item, and a position (into both) into one with both: without exiftool no
    // item is added. Answers which items take the edit.
    struct Items {
        bool exif = false;
        bool xmp = false;
    };
    const auto configure = [](MetaDataObject& settings, const QString& source) {
        const QByteArray bytes = fileBytes(source);
        const Items items { BmffLayout::exifItem(bytes).has_value(), BmffLayout::xmpItem(bytes).has_value() };
        if (items.exif && items.xmp)
            editArtistDateAndPlace(settings);
        if (items.exif && !items.xmp) {
            edit(settings, { { F::Artist, u"Zoë Ångström"_s }, { F::Copyright, u"© 2026 Zoë"_s } });
            settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
            settings.dateTimeConfigOriginalDate()->stringIncDecHour = u"1"_s;
        }
        if (items.xmp)
            edit(settings, { { F::XMP_Lens, u"Lens"_s } });
        return items;
    };
    const auto outputOf = [&](const QString& source, const QString& folder) {
        return dir.filePath(folder + u'/' + QFileInfo(source).fileName());
    };
    QDir(dir.path()).mkdir(u"one"_s);
    for (const QString& source : sources) {
        SCOPED_TRACE(qPrintable(source));
        const QString output = outputOf(source, u"one"_s);
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        const Items items = configure(settings, source);
        const MetadataWriteResult result = writePhoto(photo, settings, output);
        ASSERT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);

        const TagTexts before = tagsOf(source);
        const TagTexts after = tagsOf(output);
        const std::shared_ptr<MetaDataObject> readBackRecord = readBack(output);
        if (items.exif) {
            EXPECT_EQ(after.value("IFD0:Artist"), u"[\"Zoë Ångström\"]"_s);
            EXPECT_EQ(readBackRecord->Artist(), u"Zoë Ångström"_s);
        }
        if (items.exif && items.xmp) {
            EXPECT_TRUE(after.value("GPS:GPSLatitude").startsWith(u"[48.858"_s));
        }
        if (items.xmp) {
            EXPECT_EQ(after.value("XMP-aux:Lens"), u"[\"Lens\"]"_s);
            EXPECT_EQ(readBackRecord->field(F::XMP_Lens), u"Lens"_s);
        }
        QSet<QString> targeted = kTargetedByEdit;
        targeted << u"Lens"_s;
        const QStringList changed = differences(before, after, targeted);
        EXPECT_TRUE(changed.isEmpty()) << qPrintable(changed.join('\n'));
        const QSet<QString> newWarnings = warningsOf(output) - warningsOf(source);
        EXPECT_TRUE(newWarnings.isEmpty()) << qPrintable(QStringList(newWarnings.values()).join('\n'));
        EXPECT_EQ(BmffLayout::metadataItems(fileBytes(output)).othersItems,
            BmffLayout::metadataItems(fileBytes(source)).othersItems);
    }

    std::vector<std::thread> writers;
    for (int writer = 0; writer < 8; ++writer) {
        const QString folder = u"eight-%1"_s.arg(writer);
        QDir(dir.path()).mkdir(folder);
        writers.emplace_back([&, folder] {
            for (const QString& source : sources) {
                PhotoFile photo = photoAt(source);
                MetaDataObject settings;
                configure(settings, source);
                writePhoto(photo, settings, outputOf(source, folder));
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    for (int writer = 0; writer < 8; ++writer) {
        for (const QString& source : sources)
            EXPECT_EQ(fileBytes(outputOf(source, u"eight-%1"_s.arg(writer))), fileBytes(outputOf(source, u"one"_s)))
                << qPrintable(source);
    }
}

// A HEIF file whose layout the writer does not rewrite itself (a box at its top
// that it does not know might place data by file offsets) goes through exiftool
// and is written; without exiftool it is refused and kept. One whose image item
// points past its end is refused with a message, and stays as it was.
TEST(ExifWriterExifTool, aHeifLayoutOutsideItsOwnRewriteGoesThroughExiftool)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray sample = fileBytes(QDir(samplesDir()).filePath(u"heif/Stonehenge.heic"_s));
    const auto writeWith = [&](const QString& name, const QByteArray& bytes, const QString& exiftool) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const ScopedExifToolProgram program(exiftool);
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        edit(settings, { { F::Artist, u"Zoë"_s } });
        return writePhoto(photo, settings, path);
    };

    const QByteArray unknownBox = sample + QByteArray::fromHex("0000001075756964") + QByteArray(8, 'u');
    const MetadataWriteResult missing = writeWith(u"unknown-box.heic"_s, unknownBox, dir.filePath(u"no-exiftool"_s));
    EXPECT_EQ(missing.errorMsg, ExifToolProcess::missingMessage());
    EXPECT_EQ(fileBytes(dir.filePath(u"unknown-box.heic"_s)), unknownBox);
    const MetadataWriteResult written = writeWith(u"unknown-box.heic"_s, unknownBox, QString());
    ASSERT_EQ(written.errorFlag, 0) << qPrintable(written.errorMsg);
    EXPECT_EQ(tagsOf(dir.filePath(u"unknown-box.heic"_s)).value("IFD0:Artist"), u"[\"Zoë\"]"_s);

    // The image item (1) is the first entry of "iloc" (version 0): id, data reference, one extent.
    QByteArray damaged = sample;
    const QByteArray imageEntry = QByteArray::fromHex("000100000001");
    const qsizetype entryAt = damaged.indexOf(QByteArray::fromHex("696c6f63"));
    ASSERT_EQ(damaged.mid(entryAt + 12, 6), imageEntry);
    damaged.replace(entryAt + 18, 4, QByteArray::fromHex("00100000"));
    const MetadataWriteResult refused = writeWith(u"damaged.heic"_s, damaged, QString());
    EXPECT_EQ(refused.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_FALSE(refused.errorMsg.isEmpty());
    EXPECT_EQ(fileBytes(dir.filePath(u"damaged.heic"_s)), damaged);
}

// exiftool dies in the middle of a photo: that photo is refused and left whole,
// the next one starts a new exiftool and is written.
TEST(ExifWriterExifTool, anExiftoolThatDiesCostsOnlyThePhotoInHand)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The first start dies at its first command; later starts are exiftool itself.
    const QString script = dir.filePath(u"dying-exiftool"_s);
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("#!/bin/sh\nif [ ! -e '%1' ]; then touch '%1'; read line; kill -9 $$; fi\nexec exiftool \"$@\"\n")
                   .arg(dir.filePath(u"started-once"_s))
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const ScopedExifToolProgram dying(script);

    const QString first = copyInto(dir.path(), QDir(samplesDir()).filePath(u"makers/PNG.png"_s));
    const QString second = copyInto(dir.path(), QDir(samplesDir()).filePath(u"makers/CanonRaw.cr3"_s));
    const QByteArray firstBytes = fileBytes(first);
    QStringList messages;
    for (const QString& path : { first, second }) {
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        edit(settings, { { F::Artist, u"Zoë"_s } });
        messages << writePhoto(photo, settings, path).errorMsg;
    }
    EXPECT_TRUE(messages[0].startsWith(u"exiftool stopped"_s)) << qPrintable(messages[0]);
    EXPECT_EQ(fileBytes(first), firstBytes);
    EXPECT_EQ(messages[1], u"Processed Successfully"_s);
    EXPECT_EQ(readBack(second)->Artist(), u"Zoë"_s);
    EXPECT_TRUE(QDir(dir.path()).entryList({ u".velloran-*"_s }, QDir::Hidden | QDir::Files).isEmpty());
}

// A photo no writer can write (a CR3 whose image data was cut away) does not
// come into the list; a whole one does.
TEST(ExifWriterExifTool, aPhotoWithoutItsImageDataIsRefusedAtIntake)
{
    const QString pruned = QDir(samplesDir()).filePath(u"heif/Canon-R6-pruned.CR3"_s);
    EXPECT_TRUE(ExifWriter::whyNotWritable(pruned).has_value());
    EXPECT_THROW(PhotoIntake::readPhotoFile(pruned), std::runtime_error);
    for (const char* whole : { "heif/IMG_3578.heic", "heif/Sony.HIF", "makers/CanonRaw.cr3", "makers/QuickTime.heic",
             "makers/PNG.png" })
        EXPECT_FALSE(ExifWriter::whyNotWritable(QDir(samplesDir()).filePath(QLatin1StringView(whole))).has_value())
            << whole;
}

// An iPhone HDR photo: its gain map, a second image, carries XMP of its own. An
// XMP edit, a GPS position and an XMP clean change the primary image's XMP alone;
// the gain map's packet keeps its bytes, and none of it moves into the photo's.
TEST(ExifWriterExifTool, editsOnlyThePrimaryImagesXmpOfAPhotoWithAGainMap)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray rating = ImageFixtures::xmpPacket(u"xmp:Rating"_s, u"http://ns.adobe.com/xap/1.0/"_s, u"3"_s);
    const QByteArray gainMap = ImageFixtures::xmpPacket(
        u"HDRGainMap:HDRGainMapVersion"_s, u"http://ns.apple.com/HDRGainMap/1.0/"_s, u"65536"_s);
    struct Run {
        const char* name;
        std::function<void(MetaDataObject&)> settings;
        QString primaryHolds; // a property name the primary packet must hold afterwards, or none
    };
    const Run runs[] = {
        { "xmp", [](MetaDataObject& s) { edit(s, { { F::XMP_Lens, u"Lens"_s } }); }, u"Lens"_s },
        { "gps", [](MetaDataObject& s) {
             edit(s, { { F::GPS_Lattitude, u"48.8583"_s }, { F::GPS_LattitudeRef, u"N"_s },
                          { F::GPS_Longitude, u"2.2945"_s }, { F::GPS_LongitudeRef, u"E"_s } });
         }, u"GPSLatitude"_s },
        { "clean", [](MetaDataObject& s) {
             s.editingOption = MetaDataObject::CleanMetadataInfo;
             s.clearXMP = true;
         }, QString() },
    };
    for (const bool secondFirst : { false, true }) {
        for (const Run& run : runs) {
            SCOPED_TRACE(run.name + std::string(secondFirst ? " gain map first" : ""));
            const QString path = dir.filePath(QStringLiteral("%1%2.heic").arg(QLatin1StringView(run.name)).arg(secondFirst));
            if (!ImageFixtures::writeHeicWithSecondImage(path, rating, gainMap, secondFirst))
                GTEST_SKIP() << "no HEVC encoder";
            const QByteArray before = fileBytes(path);
            PhotoFile photo = photoAt(path);
            MetaDataObject settings;
            run.settings(settings);
            const MetadataWriteResult result = writePhoto(photo, settings, path);
            ASSERT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);

            const QByteArray after = fileBytes(path);
            const BmffLayout::MetadataItems items = BmffLayout::metadataItems(after);
            ASSERT_EQ(items.othersItems.size(), 1u);
            EXPECT_EQ(items.othersItems[0], BmffLayout::metadataItems(before).othersItems.at(0));
            const QByteArray primary = items.xmp.value_or(QByteArrayView()).toByteArray();
            EXPECT_FALSE(primary.contains("HDRGainMap")) << primary.constData();
            if (!run.primaryHolds.isEmpty()) {
                EXPECT_TRUE(primary.contains(run.primaryHolds.toUtf8())) << primary.constData();
            }
            // exiftool finds the gain map's version once, and the photo's rating unless cleaned.
            const TagTexts tags = tagsOf(path);
            EXPECT_EQ(tags.value(u"XMP-HDRGainMap:HDRGainMapVersion"_s), u"[65536]"_s);
            EXPECT_EQ(tags.contains(u"XMP-xmp:Rating"_s), run.primaryHolds != QString()) << qPrintable(QStringList(tags.keys()).join(u' '));
        }
    }
}

// A full disk on the exiftool path is told as the other writers tell it (exiftool
// itself only says that it could not write), and the photo stays whole.
TEST(ExifWriterExifTool, aFullDiskIsToldAsSuchAndThePhotoKept)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString mountPoint = dir.filePath(u"small"_s);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"small"_s));
    if (QProcess::execute(u"mount"_s, { u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=2m"_s, u"tmpfs"_s, mountPoint }) != 0)
        GTEST_SKIP() << "this test may not mount a small tmpfs (it needs root outside a restricted container)";
    const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, { mountPoint }); });
    const QString photo = copyInto(mountPoint, QDir(samplesDir()).filePath(u"heif/IMG_3578.heic"_s));
    const QByteArray photoBytes = fileBytes(photo);
    ASSERT_FALSE(photoBytes.isEmpty());
    QFile filler(QDir(mountPoint).filePath(u"filler"_s));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) { }
    filler.close();

    PhotoFile written = photoAt(photo);
    MetaDataObject settings;
    edit(settings, { { F::Artist, u"Zoë"_s } });
    const MetadataWriteResult result = writePhoto(written, settings, photo);
    EXPECT_EQ(result.errorFlag, 2);
    EXPECT_TRUE(result.errorMsg.contains(u"No space left on device"_s)) << qPrintable(result.errorMsg);
    EXPECT_EQ(fileBytes(photo), photoBytes);
    EXPECT_TRUE(QDir(mountPoint).entryList({ u".velloran-*"_s }, QDir::Hidden | QDir::Files).isEmpty());
}
