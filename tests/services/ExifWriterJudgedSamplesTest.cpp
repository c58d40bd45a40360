#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

using namespace Qt::Literals::StringLiterals;

// Every JPEG and TIFF of the samples, written in each editing mode with each kind
// of edit, to another folder and in place, and judged by exiftool: the tags the
// edit targets changed as asked, every other tag (maker notes, XMP, IPTC, Exif)
// as it was, and no validation warning that the photo did not have.

namespace {

using F = MetadataField;
// "EXIF:IFD0:Artist" and the like: exiftool's family 0 and 1 groups and the tag.
using Tags = QMap<QString, QString>;
using Judgement = ExiftoolView;

bool underSanitizers()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// exiftool's view of each file with its validation warnings, one process for all
// of them, by path.
QMap<QString, Judgement> judge(const QStringList& paths, const QStringList& selectors)
{
    return exiftoolGroups(paths, "-G0:1:4", QStringList { "-validate", "-warning" } + selectors);
}

// What each kind of run may change, and how it must change what it targets.
struct Scenario {
    QString name;
    int mode = MetaDataObject::OnlyModifyEditedFields;
    std::function<void(MetaDataObject&)> configure;
    QRegularExpression mayChange; // tags whose values may change or appear
    QRegularExpression mayGo; // tags that may disappear
    std::function<QStringList(const Tags& before, const Tags& after)> asked;
};

QString value(const Tags& tags, const QString& key)
{
    return tags.value(key);
}

QStringList expectEqual(const Tags& after, const QString& key, const QString& wanted)
{
    if (value(after, key) == wanted)
        return {};
    return { key + " is " + value(after, key) + ", not " + wanted };
}

QStringList expectNone(const Tags& after, const QRegularExpression& keys)
{
    QStringList faults;
    for (const QString& key : after.keys()) {
        if (keys.match(key).hasMatch())
            faults.append(key + " is still there");
    }
    return faults;
}

void editArtist(MetaDataObject& settings)
{
    edit(settings, { { F::Artist, "Someone" }, { F::Copyright, "(c) Someone" } });
}

void shiftDate(MetaDataObject& settings)
{
    settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    DateTimeConfiguration& shift = *settings.dateTimeConfigOriginalDate();
    shift.stringIncDecYear = shift.stringIncDecMonth = shift.stringIncDecDay = QStringLiteral("0");
    shift.stringIncDecMinute = shift.stringIncDecSecond = QStringLiteral("0");
    shift.stringIncDecHour = QStringLiteral("1");
}

void placeGps(MetaDataObject& settings)
{
    edit(settings,
        { { F::GPS_Lattitude, "12.5" }, { F::GPS_LattitudeRef, "N" }, { F::GPS_Longitude, "45.25" },
            { F::GPS_LongitudeRef, "E" } });
}

QStringList artistAsked(const Tags&, const Tags& after)
{
    return expectEqual(after, "EXIF:IFD0:Artist", "Someone") + expectEqual(after, "EXIF:IFD0:Copyright", "(c) Someone");
}

QStringList gpsAsked(const Tags&, const Tags& after)
{
    return expectEqual(after, "EXIF:GPS:GPSLatitude", "12.5") + expectEqual(after, "EXIF:GPS:GPSLongitude", "45.25")
        + expectEqual(after, "EXIF:GPS:GPSLatitudeRef", "N") + expectEqual(after, "EXIF:GPS:GPSLongitudeRef", "E");
}

// One hour later, where the photo had an original date.
QStringList dateAsked(const Tags& before, const Tags& after)
{
    const QString key = "EXIF:ExifIFD:DateTimeOriginal";
    const QDateTime was = QDateTime::fromString(before.value(key), "yyyy:MM:dd HH:mm:ss");
    if (!was.isValid())
        return {};
    return expectEqual(after, key, was.addSecs(3600).toString("yyyy:MM:dd HH:mm:ss"));
}

const QString kDates = u"DateTimeOriginal|DateCreated|TimeCreated|DigitalCreationDate|DigitalCreationTime"_s;
// The standard groups that mode 1 rewrites whole: it clears every field it
// does not set.
const QString kFieldGroups = u"^(EXIF:(IFD0|ExifIFD|GPS|InteropIFD)|IPTC|XMP):"_s;

QList<Scenario> scenarios()
{
    const auto clean = [](std::function<void(MetaDataObject&)> flag) {
        return [flag](MetaDataObject& settings) {
            settings.editingOption = MetaDataObject::CleanMetadataInfo;
            flag(settings);
        };
    };
    const QRegularExpression nothing(u"^$"_s);
    QList<Scenario> list;
    list.append(
        { "artist", 0, editArtist, QRegularExpression(u"^EXIF:IFD0:(Artist|Copyright)$"_s), nothing, artistAsked });
    list.append({ "date", 0, shiftDate, QRegularExpression(u":(%1)$"_s.arg(kDates)), nothing, dateAsked });
    list.append({ "gps", 0, placeGps, QRegularExpression(u"^(EXIF:GPS:|XMP:XMP-exif:GPS)"_s), nothing, gpsAsked });
    for (Scenario scenario : QList<Scenario>(list)) {
        scenario.name += " clearing others";
        scenario.mode = MetaDataObject::ModifyEditedClearOthers;
        scenario.mayChange = QRegularExpression(kFieldGroups);
        scenario.mayGo = QRegularExpression(kFieldGroups);
        list.append(scenario);
    }
    list.append({ "clean Exif", 2, clean([](MetaDataObject& s) { s.clearExif = true; }), nothing,
        QRegularExpression(u"^(EXIF:(IFD0|ExifIFD|GPS|InteropIFD):|MakerNotes:|XMP:XMP-exif:GPS)"_s),
        // Casio's QVCI, Canon's CIFF and Qualcomm's APP7 segments hold camera
        // data outside the Exif block; they are no maker note and stay.
        [](const Tags&, const Tags& after) {
            static const QRegularExpression stays(
                u"^MakerNotes:(?!CIFF:|Qualcomm:|Casio:(CasioQuality|DateTimeOriginal|"
                u"ModelType|ManufactureIndex|ManufactureCode)$)|^EXIF:IFD0:(Artist|Make)$"_s);
            return expectNone(after, stays);
        } });
    list.append({ "clean IPTC", 2, clean([](MetaDataObject& s) { s.clearIPTC = true; }), nothing,
        QRegularExpression(u"^IPTC:"_s),
        // Also the IPTC data in a trailer after the image (AFCP, FotoStation: "IPTC2").
        [](const Tags&, const Tags& after) { return expectNone(after, QRegularExpression(u"^IPTC:"_s)); } });
    list.append(
        { "clean XMP", 2, clean([](MetaDataObject& s) { s.clearXMP = true; }), nothing, QRegularExpression(u"^XMP:"_s),
            [](const Tags&, const Tags& after) { return expectNone(after, QRegularExpression(u"^XMP:"_s)); } });
    list.append({ "clean GPS", 2, clean([](MetaDataObject& s) { s.clearGpsInfo = true; }), nothing,
        QRegularExpression(u"^(EXIF:GPS:|XMP:.*:(GPS|Location))"_s), [](const Tags&, const Tags& after) {
            return expectNone(after, QRegularExpression(u"^EXIF:GPS:GPS(Latitude|Longitude)$"_s));
        } });
    list.append({ "clean comment", 2, clean([](MetaDataObject& s) { s.clearComment = true; }), nothing,
        QRegularExpression(u"^EXIF:ExifIFD:UserComment$"_s), [](const Tags&, const Tags& after) {
            return expectNone(after, QRegularExpression(u"^EXIF:ExifIFD:UserComment$"_s));
        } });
    return list;
}

// Photos that may be refused, each with the reason; a scenario name, or "*" for
// every scenario.
const QMap<QString, QPair<QString, QString>> kMayBeRefused = {};

// Tags that hold where something lies: moved data moves them.
bool isOffset(const QString& key)
{
    static const QRegularExpression offset(u"(Offset|Offsets|Start|ByteCounts)$"_s);
    return offset.match(key).hasMatch();
}

// "EXIF:GPS" of "EXIF:GPS:GPSLatitude".
QString groupOf(const QString& key)
{
    return key.left(key.lastIndexOf(u':'));
}

QStringList unasked(const Tags& before, const Tags& after, const Scenario& scenario)
{
    QSet<QString> groupsBefore;
    for (const QString& key : before.keys())
        groupsBefore.insert(groupOf(key));
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    QStringList faults;
    for (const QString& key : keys) {
        if (isOffset(key) || before.value(key) == after.value(key))
            continue;
        // A directory the photo did not have is made with the entries the Exif
        // standard requires in it.
        if (!before.contains(key) && key.startsWith("EXIF:") && !groupsBefore.contains(groupOf(key)))
            continue;
        const bool gone = !after.contains(key);
        if (gone ? scenario.mayGo.match(key).hasMatch() || scenario.mayChange.match(key).hasMatch()
                 : scenario.mayChange.match(key).hasMatch())
            continue;
        faults.append(key + ": " + before.value(key, "(absent)") + " -> " + after.value(key, "(absent)"));
    }
    return faults;
}

// Warnings a cleared make brings (without it exiftool does not decode the maker
// note).
QSet<QString> explained(QSet<QString> warnings, bool makeCleared)
{
    for (auto it = warnings.begin(); it != warnings.end();) {
        const bool makerNote = it->contains("MakerNotes") || it->contains("maker notes")
            || it->startsWith("Not decoding some large array");
        it = makeCleared && makerNote ? warnings.erase(it) : std::next(it);
    }
    return warnings;
}

QStringList samplePhotos(bool subset)
{
    static const QRegularExpression photo(u"\\.(jpe?g|tiff?)$"_s, QRegularExpression::CaseInsensitiveOption);
    QStringList paths;
    QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (photo.match(path).hasMatch() && (!subset || path.contains("/makers/")))
            paths.append(path);
    }
    paths.sort();
    return paths;
}

} // namespace

// Under the sanitizers only the makers' samples and the first run of each mode
// are written, to keep the run short; the full matrix runs in the normal build.
TEST(ExifWriterJudgedSamples, everySampleIsWrittenInEachModeAndJudgedByExiftool)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const bool subset = underSanitizers();
    const QStringList sources = samplePhotos(subset);
    ASSERT_GE(sources.size(), subset ? 40 : 90);
    const QMap<QString, Judgement> before = judge(sources, { "-makernotes:all", "-XMP:all", "-IPTC:all", "-EXIF:all" });

    int writtenCount = 0;
    QStringList report;
    for (const Scenario& scenario : scenarios()) {
        if (subset
            && !(scenario.name == "artist" || scenario.name == "artist clearing others"
                || scenario.name == "clean Exif"))
            continue;
        SCOPED_TRACE(qPrintable(scenario.name));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString inPlace = dir.filePath("in-place");
        const QString folder = dir.filePath("folder");
        QDir().mkpath(inPlace);
        QDir().mkpath(folder);
        QStringList written;
        QStringList writtenSources;
        for (const QString& source : sources) {
            const QString name = QDir(samplesDir()).relativeFilePath(source).replace(u'/', u'_');
            SCOPED_TRACE(qPrintable(name));
            const QString copy = QDir(inPlace).filePath(name);
            QFile::copy(source, copy);
            QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            const QByteArray original = fileBytes(copy);

            std::array<MetadataWriteResult, 2> results;
            for (int toFolder = 0; toFolder < 2; ++toFolder) {
                PhotoFile photo = photoAt(toFolder ? source : copy);
                MetaDataObject settings;
                settings.editingOption = scenario.mode;
                scenario.configure(settings);
                results[toFolder] = writePhoto(photo, settings, toFolder ? QDir(folder).filePath(name) : copy);
            }
            EXPECT_EQ(results[0], results[1]);
            const MetadataWriteResult& result = results[0];
            if (result.errorFlag != 0 && result.errorFlag != 7) {
                const auto reason = kMayBeRefused.value(QFileInfo(source).fileName());
                EXPECT_TRUE(reason.first == "*" || reason.first == scenario.name)
                    << qPrintable(name + ": " + result.errorMsg);
                EXPECT_EQ(fileBytes(copy), original) << "a refused photo stays as it was";
                report.append(scenario.name + " refused " + name + ": " + result.errorMsg);
                continue;
            }
            EXPECT_TRUE(fileBytes(QDir(folder).filePath(name)) == fileBytes(copy))
                << "the folder and in-place outputs differ";
            written.append(copy);
            writtenSources.append(source);
        }
        writtenCount += int(written.size());

        // Mode 1 clears the make, and without it no reader decodes a maker note:
        // its notes are judged on copies with the make put back.
        const QMap<QString, Judgement> after
            = judge(written, { "-makernotes:all", "-XMP:all", "-IPTC:all", "-EXIF:all" });
        QMap<QString, Judgement> makerNotes;
        const bool makeCleared = scenario.mode == MetaDataObject::ModifyEditedClearOthers;
        if (makeCleared) {
            const QString restored = dir.filePath("restored");
            QDir().mkpath(restored);
            QStringList copies;
            for (qsizetype i = 0; i < written.size(); ++i) {
                copies.append(QDir(restored).filePath(QFileInfo(written[i]).fileName()));
                QFile::copy(written[i], copies.last());
                putCameraBack(copies.last(), writtenSources[i]);
            }
            const QMap<QString, Judgement> judged = judge(copies, { "-makernotes:all" });
            for (qsizetype i = 0; i < written.size(); ++i)
                makerNotes.insert(written[i], judged.value(copies[i]));
        }
        for (qsizetype i = 0; i < written.size(); ++i) {
            const QString& path = written[i];
            SCOPED_TRACE(qPrintable(QFileInfo(path).fileName()));
            const Judgement& was = before.value(writtenSources[i]);
            Judgement is = after.value(path);
            if (makeCleared) {
                for (auto it = is.tags.begin(); it != is.tags.end();)
                    it = it.key().startsWith("MakerNotes:") ? is.tags.erase(it) : std::next(it);
                const Tags notes = makerNotes.value(path).tags;
                for (auto it = notes.begin(); it != notes.end(); ++it)
                    is.tags.insert(it.key(), it.value());
            }
            EXPECT_EQ(scenario.asked(was.tags, is.tags).join('\n').toStdString(), "");
            EXPECT_EQ(unasked(was.tags, is.tags, scenario).join('\n').toStdString(), "");
            const QSet<QString> newWarnings = explained(is.warnings - was.warnings, makeCleared);
            EXPECT_TRUE(newWarnings.isEmpty()) << qPrintable(QStringList(newWarnings.values()).join('\n'));
        }
    }
    std::cout << writtenCount << " outputs judged\n" << qPrintable(report.join('\n')) << '\n';
}
