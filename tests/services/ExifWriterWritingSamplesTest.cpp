#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <array>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>

using namespace Qt::Literals::StringLiterals;

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

// The editing modes as the samples are written: mode 2 keeps the Exif and XMP
// groups, so that the maker notes have something to be kept in.
enum class Pass { KeepOthers, ClearOthers, CleanSome, CleanAll };

void configure(MetaDataObject& settings, Pass run)
{
    if (run == Pass::CleanSome || run == Pass::CleanAll) {
        settings.editingOption = MetaDataObject::CleanMetadataInfo;
        settings.clearIPTC = settings.clearComment = settings.clearGpsInfo = true;
        settings.clearExif = settings.clearXMP = run == Pass::CleanAll;
        return;
    }
    settings.editingOption
        = run == Pass::KeepOthers ? MetaDataObject::OnlyModifyEditedFields : MetaDataObject::ModifyEditedClearOthers;
    edit(settings,
        { { F::Artist, QStringLiteral("Zoë") }, { F::IPTC_City, QStringLiteral("Москва") },
            { F::IPTC_Keywords, "sea,sun" }, { F::GPS_Lattitude, "12,5" }, { F::GPS_LattitudeRef, "N" },
            { F::CamSetting_FNumber, "4" }, { F::XMP_Lens, "Lens" } });
    settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    settings.dateTimeConfigOriginalDate()->stringIncDecHour = QStringLiteral("1");
}

// The XMP tags (exiftool's names) that a run may change.
QSet<QString> targetedXmp(Pass run)
{
    switch (run) {
    case Pass::KeepOthers:
        return { "XMP-aux:Lens", "XMP-exif:GPSLatitude" };
    case Pass::ClearOthers:
        return { "XMP-aux:Lens", "XMP-aux:SerialNumber", "XMP-xmp:CreateDate", "XMP-xmp:ModifyDate",
            "XMP-photoshop:DateCreated", "XMP-exif:GPSLatitude", "XMP-exif:GPSLongitude" };
    case Pass::CleanSome:
    case Pass::CleanAll:
        return { "XMP-exif:GPSLatitude", "XMP-exif:GPSLongitude" };
    }
    return {};
}

using TagTexts = QMap<QString, QString>;

// exiftool's tags of the selected groups in each file ("Canon:MacroMode",
// "XMP-dc:Title", ...), by file name.
QMap<QString, TagTexts> exiftoolTagsByName(const QStringList& paths, const QStringList& selectors)
{
    QMap<QString, TagTexts> files;
    const QMap<QString, ExiftoolView> views = exiftoolGroups(paths, "-G1:4", selectors);
    for (auto it = views.begin(); it != views.end(); ++it)
        files.insert(QFileInfo(it.key()).fileName(), it->tags);
    return files;
}

// exiftool's validation warnings for each file, "[minor]" marks dropped. Read
// from its text output, which keeps repeated warnings that JSON would merge.
QMap<QString, QSet<QString>> validationWarnings(const QStringList& paths)
{
    QStringList arguments { "-validate", "-warning", "-a", "-s", "-charset", "filename=utf8" };
    arguments += paths;
    QMap<QString, QSet<QString>> files;
    QString current = paths.size() == 1 ? QFileInfo(paths.first()).fileName() : QString();
    for (const QString& line : QString::fromUtf8(runExiftool(arguments)).split(u'\n')) {
        if (line.startsWith("======== ")) {
            current = QFileInfo(line.mid(9).trimmed()).fileName();
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (line.startsWith("Warning") && colon > 0)
            files[current].insert(line.mid(colon + 1).trimmed().remove("[minor] "));
    }
    return files;
}

// The tags whose values differ, but for those the run may change. newAllowed: a
// tag that only appears afterwards is no loss (exiftool reads some maker-note
// entries only once a rewrite has put their offsets right).
QStringList differences(
    const TagTexts& before, const TagTexts& after, const QSet<QString>& allowed, bool newAllowed = false)
{
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    QStringList changed;
    for (const QString& key : keys) {
        if (newAllowed && !before.contains(key))
            continue;
        if (!allowed.contains(key) && before.value(key) != after.value(key))
            changed.append(key + ": " + before.value(key, "(absent)") + " -> " + after.value(key, "(absent)"));
    }
    return changed;
}

// A copy's source among the samples: "camera_Canon_40D.jpg" came from
// camera/Canon_40D.jpg.
QString sourceOf(const QString& copy)
{
    const QString name = QFileInfo(copy).fileName();
    const qsizetype cut = name.indexOf(u'_');
    return QDir(samplesDir()).filePath(name.left(cut) + u'/' + name.mid(cut + 1));
}

// Tags that hold where something lies: a rewrite by exiftool moves what they
// point at.
TagTexts withoutOffsets(TagTexts tags)
{
    static const QRegularExpression offset(u"(Offset|Offsets|Start)$"_s);
    for (auto it = tags.begin(); it != tags.end();)
        it = offset.match(it.key()).hasMatch() ? tags.erase(it) : std::next(it);
    return tags;
}

TagTexts withoutFileTags(TagTexts tags)
{
    for (auto it = tags.begin(); it != tags.end();)
        it = it.key().startsWith("System:") || it.key().startsWith("File:") ? tags.erase(it) : std::next(it);
    return tags;
}

// New validation warnings that no write should bring. A maker note whose make was
// cleared (mode 1) is one exiftool cannot decode and warns about.
QSet<QString> unexplained(QSet<QString> warnings, bool makeCleared)
{
    for (auto it = warnings.begin(); it != warnings.end();) {
        const bool makerNote = it->contains("MakerNotes") || it->contains("maker notes")
            || it->startsWith("Not decoding some large array");
        it = makeCleared && makerNote ? warnings.erase(it) : std::next(it);
    }
    return warnings;
}

} // namespace

// Every sample photo is written in place in each mode, and exiftool, as a second
// opinion, must find its maker notes and XMP as they were (but for the tags the
// run targets) and no new validation warning. A photo whose maker note exiv2
// cannot keep is refused, byte for byte unchanged.
TEST(ExifWriterWritingSamples, writesEverySampleInEachModeKeepingMakerNotesAndXmpAndValidity)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    for (Pass run : { Pass::KeepOthers, Pass::ClearOthers, Pass::CleanSome, Pass::CleanAll }) {
        SCOPED_TRACE(int(run));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QStringList copies = copySamples(dir, { "camera", "gps", "orientation", "xmp", "tiff" });
        ASSERT_GE(copies.size(), 40);
        const QMap<QString, TagTexts> makerNotesBefore = exiftoolTagsByName(copies, { "-makernotes:all" });
        const QMap<QString, TagTexts> xmpBefore = exiftoolTagsByName(copies, { "-XMP:all" });
        const QMap<QString, QSet<QString>> warningsBefore = validationWarnings(copies);

        QStringList written;
        QStringList refused;
        for (const QString& copy : copies) {
            SCOPED_TRACE(qPrintable(copy));
            const QByteArray bytes = fileBytes(copy);
            PhotoFile photo = photoAt(copy);
            MetaDataObject settings;
            configure(settings, run);
            const MetadataWriteResult result = writePhoto(photo, settings, copy);
            if (result.errorFlag == MetadataWriteResult::WriteFailed) {
                EXPECT_TRUE(result.errorMsg.contains("maker note")) << qPrintable(result.errorMsg);
                EXPECT_TRUE(result.errorMsg.endsWith("so the photo was not changed.")) << qPrintable(result.errorMsg);
                EXPECT_EQ(fileBytes(copy), bytes);
                refused.append(QFileInfo(copy).fileName() + ": " + result.errorMsg);
                continue;
            }
            EXPECT_TRUE(result.errorFlag == 0 || result.errorFlag == 7) << qPrintable(result.errorMsg);
            written.append(copy);
            if (run == Pass::KeepOthers || run == Pass::ClearOthers) {
                EXPECT_EQ(readBack(copy)->Artist(), "Zoë");
                EXPECT_EQ(readBack(copy)->IPTC_City(), "Москва");
            }
        }
        // A few cameras' maker notes cannot be kept through a rewrite of the Exif
        // block; most must be written.
        EXPECT_GE(written.size(), copies.size() * 2 / 3) << qPrintable(refused.join('\n'));
        std::cout << "refused in run " << int(run) << ":\n" << qPrintable(refused.join('\n')) << '\n';

        // Mode 1 clears the make, and without it no reader decodes a maker note:
        // it is judged with the make put back.
        QStringList judged = written;
        if (run == Pass::ClearOthers) {
            const QString restored = dir.filePath("restored");
            QDir().mkpath(restored);
            judged.clear();
            for (const QString& copy : written) {
                judged.append(QDir(restored).filePath(QFileInfo(copy).fileName()));
                QFile::copy(copy, judged.last());
                EXPECT_TRUE(putCameraBack(judged.last(), sourceOf(copy)));
            }
        }
        const QMap<QString, TagTexts> makerNotesAfter = exiftoolTagsByName(judged, { "-makernotes:all" });
        const QMap<QString, TagTexts> xmpAfter = exiftoolTagsByName(written, { "-XMP:all" });
        const QMap<QString, QSet<QString>> warningsAfter = validationWarnings(written);
        ASSERT_EQ(makerNotesAfter.size(), written.size());
        for (const QString& copy : written) {
            const QString name = QFileInfo(copy).fileName();
            SCOPED_TRACE(qPrintable(name));
            if (run == Pass::CleanAll)
                EXPECT_TRUE(withoutFileTags(makerNotesAfter.value(name)).isEmpty());
            else
                EXPECT_EQ(differences(withoutOffsets(makerNotesBefore.value(name)),
                              withoutOffsets(makerNotesAfter.value(name)), {}, true)
                              .join('\n')
                              .toStdString(),
                    "");
            if (run != Pass::CleanAll)
                EXPECT_EQ(differences(xmpBefore.value(name), xmpAfter.value(name), targetedXmp(run)), QStringList());
            else
                EXPECT_TRUE(xmpAfter.value(name).isEmpty());
            const QSet<QString> newWarnings
                = unexplained(warningsAfter.value(name) - warningsBefore.value(name), run == Pass::ClearOthers);
            EXPECT_TRUE(newWarnings.isEmpty()) << qPrintable(QStringList(newWarnings.values()).join('\n'));
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
        configure(settings, Pass::KeepOthers);
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

// A JPEG written through its header alone (the image data copied by the kernel)
// and the same JPEG read and written whole give the same file byte for byte and
// the same answer: every sample JPEG, broken ones included, in each mode, written
// to a new file, then in place and restored.
TEST(ExifWriterWritingSamples, aJpegWrittenThroughItsHeaderAloneIsTheJpegWrittenWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList copies = copySamples(dir, { "camera", "gps", "orientation", "xmp", "invalid" });
    ASSERT_GE(copies.size(), 40);
    const QString outputs = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(outputs));
    int split = 0;
    for (const QString& copy : copies) {
        SCOPED_TRACE(qPrintable(copy));
        if (JpegSplice::open(copy))
            ++split;
        for (Pass run : { Pass::KeepOthers, Pass::ClearOthers, Pass::CleanSome, Pass::CleanAll }) {
            SCOPED_TRACE(int(run));
            std::array<QByteArray, 2> written;
            std::array<MetadataWriteResult, 2> results;
            for (int whole = 0; whole < 2; ++whole) {
                std::optional<ScopedWholeFileWrites> wholeFiles;
                if (whole)
                    wholeFiles.emplace();
                const QString output = QDir(outputs).filePath(u"%1.jpg"_s.arg(whole));
                QFile::remove(output);
                PhotoFile photo = photoAt(copy);
                MetaDataObject settings;
                configure(settings, run);
                results[whole] = writePhoto(photo, settings, output);
                written[whole] = fileBytes(output);
            }
            EXPECT_EQ(results[0], results[1]) << qPrintable(results[1].errorMsg);
            EXPECT_TRUE(written[0] == written[1]) << "the two paths wrote different files";
        }

        // In place (the source is the basis and the target), then restored from the restore point.
        std::array<QByteArray, 4> written;
        std::array<MetadataWriteResult, 4> results;
        for (int whole = 0; whole < 2; ++whole) {
            std::optional<ScopedWholeFileWrites> wholeFiles;
            if (whole)
                wholeFiles.emplace();
            const QString source = QDir(outputs).filePath(u"in-place-%1.jpg"_s.arg(whole));
            QFile::remove(source);
            ASSERT_TRUE(QFile::copy(copy, source));
            PhotoFile photo = photoAt(source);
            MetaDataObject settings;
            configure(settings, Pass::ClearOthers);
            results[whole] = writePhoto(photo, settings, source);
            written[whole] = fileBytes(source);
            results[2 + whole] = writePhoto(photo, settings, source, nullptr, true);
            written[2 + whole] = fileBytes(source);
        }
        EXPECT_EQ(results[0], results[1]) << qPrintable(results[1].errorMsg);
        EXPECT_TRUE(written[0] == written[1]) << "the two paths wrote different files in place";
        EXPECT_EQ(results[2], results[3]) << qPrintable(results[3].errorMsg);
        EXPECT_TRUE(written[2] == written[3]) << "the two paths restored different files";
    }
    // The comparison means something only if most photos took the split path.
    EXPECT_GE(split, copies.size() * 3 / 4);
    EXPECT_EQ(QDir(outputs).entryList(QDir::Files | QDir::Hidden).size(), 4) << "no temporary file stays";
}
