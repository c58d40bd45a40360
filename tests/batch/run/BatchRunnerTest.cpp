#include "batch/run/BatchRunner.h"

#include "services/ExifWriter.h"
#include "services/WriterFixtures.h"
#include "batch/naming/FakeGeocoder.h"
#include "batch/naming/LocationNamer.h"
#include "form/MapPicker.h"
#include "form/MetadataFormState.h"
#include "form/SelectionMerge.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "support/TestGate.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

using PhotoList = QList<std::shared_ptr<PhotoFile>>;

// Camera photos of the shared samples: with dates and GPS, with dates only, with neither.
const QStringList kSamples = { u"gps/DSCN0010.jpg"_s, u"camera/Canon_40D.jpg"_s, u"camera/PaintTool_sample.jpg"_s,
    u"camera/Nikon_D70.jpg"_s, u"gps/DSCN0012.jpg"_s, u"camera/Pentax_K10D.jpg"_s };

// The GPS samples' maker note is one that exiv2 cannot keep through a new
// layout of the Exif block, so the writer refuses to change their Exif data; their
// copies here go without it.
void dropMakerNote(const QString& path)
{
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    for (auto it = exif.begin(); it != exif.end();) {
        const std::string group = it->groupName();
        if (it->key() == "Exif.Photo.MakerNote" || group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group))
            it = exif.erase(it);
        else
            ++it;
    }
    image->writeMetadata();
}

// A writable copy of a sample (the samples are read-only, which the writer refuses).
QString copySample(const QString& sample, const QString& target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(samplesDir() + u'/' + sample, target))
        return QString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (sample.startsWith(u"gps/"_s))
        dropMakerNote(target);
    return target;
}

// count photos in folder, named photo-NN.jpg after the sample they copy, all ticked.
PhotoList makeBatch(const QString& folder, int count)
{
    PhotoList batch;
    for (int i = 0; i < count; ++i) {
        const QString path
            = copySample(kSamples[i % kSamples.size()], folder + u"/photo-%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0')));
        auto photo = std::make_shared<PhotoFile>(path, false);
        photo->isSelected = true;
        batch.append(photo);
    }
    return batch;
}

// The form's records: an artist and a copyright typed by the user.
struct FormRecords {
    std::shared_ptr<MetaDataObject> settings = std::make_shared<MetaDataObject>();
    std::shared_ptr<MetaDataObject> onlyUpdated = std::make_shared<MetaDataObject>();

    FormRecords()
    {
        edit(MetadataField::Artist, u"Batch Artist"_s);
        edit(MetadataField::Copyright, u"(c) Batch"_s);
    }
    void edit(MetadataField field, const QString& text)
    {
        for (MetaDataObject* record : { settings.get(), onlyUpdated.get() }) {
            record->setField(field, text);
            record->setUpdated(field, true);
        }
    }
};

OutputRenamingOptions intoFolder(const QString& folder)
{
    OutputRenamingOptions options;
    options.ouptputFolderPathName = folder;
    return options;
}

// Renaming on, into the folder, which is made.
OutputRenamingOptions renamingInto(const QString& folder)
{
    QDir().mkpath(folder);
    OutputRenamingOptions options = intoFolder(folder);
    options.renamingOptionIndex = 1;
    return options;
}

// Lets the event loop run until the runner has ended (or two minutes have passed).
bool waitForEnd(BatchRunner& runner)
{
    if (runner.isRunning()) {
        QEventLoop loop;
        QObject::connect(&runner, &BatchRunner::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !runner.isRunning();
}

QString artistOf(const QString& path)
{
    MetaDataObject record;
    ExifWriter::sharedInstance().readMetaFromPath(path, record);
    return record.Artist();
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList fileNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// What the run reported, in the order it arrived.
struct Recorder {
    QList<int> started;
    QList<int> finished;
    QMap<int, MetadataWriteResult::Code> codes; // by index
    QList<std::pair<qint64, qint64>> progress;
    int lowSpace = 0;

    explicit Recorder(BatchRunner& runner)
    {
        QObject::connect(&runner, &BatchRunner::photoStarted, [this](int index, const QString&) { started << index; });
        QObject::connect(
            &runner, &BatchRunner::photoFinished, [this](int index, MetadataWriteResult::Code code, const QString&) {
                finished << index;
                codes.insert(index, code);
            });
        QObject::connect(&runner, &BatchRunner::progressChanged, [this](qint64 handled, qint64 size) {
            progress.append({ handled, size });
        });
        QObject::connect(&runner, &BatchRunner::notEnoughSpace, [this] { ++lowSpace; });
    }
};

// A free-space answer that counts the folders it is asked about and can act on the nth question.
struct ScriptedSpace {
    std::mutex mutex;
    QStringList folders;
    std::function<std::optional<qint64>(int call, const QString& folder)> answer
        = [](int, const QString&) { return std::optional<qint64>(qint64(1) << 40); };

    BatchRunner::FreeSpaceProbe probe()
    {
        return [this](const QString& folder) {
            std::lock_guard lock(mutex);
            folders.append(folder);
            return answer(int(folders.size()) - 1, folder);
        };
    }
};

class BatchRunnerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString sources() const { return dir.filePath(u"Sources"_s); }
    QString output() const { return dir.filePath(u"Output Folder"_s); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(output())); }
};

} // namespace

TEST_F(BatchRunnerTest, writesEveryTickedPhotoIntoTheChosenFolderAndCountsThem)
{
    PhotoList batch = makeBatch(sources(), 4);
    batch[2]->isSelected = false;
    const FormRecords form;
    BatchRunner runner;
    Recorder recorder(runner);

    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    EXPECT_FALSE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))))
        << "a second run while one is in progress";
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(fileNames(output()), QStringList({ u"photo-00.jpg"_s, u"photo-01.jpg"_s, u"photo-03.jpg"_s }));
    for (const QString& name : fileNames(output()))
        EXPECT_EQ(artistOf(output() + u'/' + name), u"Batch Artist"_s) << name.toStdString();
    EXPECT_EQ(artistOf(batch[0]->filePath), QString()) << "the source is untouched";

    const BatchRunState& state = runner.state();
    EXPECT_EQ(state.runSize, 3);
    EXPECT_EQ(state.handled, 3);
    EXPECT_EQ(state.succeeded, 3);
    EXPECT_EQ(state.failed, 0);
    EXPECT_EQ(state.skipped(), 0);
    EXPECT_EQ(state.percentDone(), 100);
    EXPECT_FALSE(state.endedOnLowSpace);
    EXPECT_EQ(recorder.started, QList<int>({ 0, 1, 2 }));
    std::sort(recorder.finished.begin(), recorder.finished.end());
    EXPECT_EQ(recorder.finished, QList<int>({ 0, 1, 2 }));
    EXPECT_EQ(recorder.progress.front(), std::make_pair(qint64(0), qint64(3)));
    EXPECT_EQ(recorder.progress.back(), std::make_pair(qint64(3), qint64(3)));

    // The results reach the live photos, and the folder keeps the case it was chosen with.
    EXPECT_EQ(batch[3]->processedPath, output() + u"/photo-03.jpg"_s);
    EXPECT_EQ(batch[3]->processStatus, 0);
    EXPECT_EQ(batch[3]->processInfoMessage, u"File processed successfully"_s);
    EXPECT_TRUE(batch[2]->processedPath.isEmpty());

    // The elapsed time stops with the run.
    ASSERT_TRUE(state.endedAt.has_value());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(state.elapsedSeconds(now), state.elapsedSeconds(now.addSecs(3600)));
    EXPECT_TRUE(runner.canRestore());
}

// The progress sheet and the bottom line keep copies of the run's state: a photo's
// result must not copy the run's whole photo list (a list of 100,000 photos, once
// per photo, held the window for hundreds of milliseconds).
TEST_F(BatchRunnerTest, aPhotosResultLeavesTheRunsPhotoListSharedWithTheStatesCopies)
{
    PhotoList batch = makeBatch(sources(), 3);
    const FormRecords form;
    BatchRunner runner;
    BatchRunState copy;
    QObject::connect(&runner, &BatchRunner::photoStarted, [&](int, const QString&) {
        if (copy.photos.isEmpty())
            copy = runner.state();
    });
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));
    ASSERT_EQ(runner.state().succeeded, 3);
    EXPECT_EQ(copy.photos.constData(), runner.state().photos.constData());
}

TEST_F(BatchRunnerTest, namesOutputsByEachRenamingOption)
{
    struct Case {
        const char* what;
        std::function<void(OutputRenamingOptions&)> set;
        QStringList names; // of photos 0 (GPS and dates), 1 (dates), 2 (neither)
        QList<int> warnings; // statuses of the warning records, in list order
    };
    const QList<Case> cases = {
        { "custom name",
            [](OutputRenamingOptions& o) { o.replaceFilenameCheck = 1, o.replaceFilename.customNameValue = u"Trip"_s; },
            { u"Trip.jpg"_s, u"Trip (1).jpg"_s, u"Trip (2).jpg"_s }, { 12, 12 } },
        { "prefix and suffix",
            [](OutputRenamingOptions& o) {
                o.addStringCheck = 1, o.addString.addStringPrefixValue = u"A_"_s,
                o.addString.addStringSuffixValue = u"_Z"_s;
            },
            { u"A_photo-00_Z.jpg"_s, u"A_photo-01_Z.jpg"_s, u"A_photo-02_Z.jpg"_s }, {} },
        { "date after the name",
            [](OutputRenamingOptions& o) {
                o.addEXIFDateTimeCheck = 1, o.addEXIFDateTime.asValue = 1, o.addEXIFDateTime.formatValue = 15;
            },
            { u"photo-002008-10-22.jpg"_s, u"photo-012008-05-30.jpg"_s, u"photo-02.jpg"_s }, { 10 } },
        { "place names", [](OutputRenamingOptions& o) { o.addEXIFLocationCheck = 1; },
            { u"photo-00Rue_Paris_IDF_France.jpg"_s, u"photo-01.jpg"_s, u"photo-02.jpg"_s }, { 11, 11 } },
        { "pixel size", [](OutputRenamingOptions& o) { o.appendWidthHeightCheck = 1; },
            { u"photo-00640X480.jpg"_s, u"photo-01100X68.jpg"_s, u"photo-0288X100.jpg"_s }, {} },
    };
    const PhotoList batch = makeBatch(sources(), 3);
    const FormRecords form;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renamingInto(dir.filePath(QString::fromLatin1(c.what)));
        c.set(options);

        auto geocoder = std::make_shared<FakeGeocoder>();
        geocoder->answer = [](double, double) {
            return FakeGeocoder::address({ { u"Name"_s, u"Rue"_s }, { u"City"_s, u"Paris"_s }, { u"State"_s, u"IDF"_s },
                { u"Country"_s, u"France"_s } });
        };
        BatchRunner runner;
        runner.setLocationNamer(std::make_shared<LocationNamer>(geocoder));
        ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
        ASSERT_TRUE(waitForEnd(runner));

        QStringList written;
        for (const auto& photo : batch)
            written << QFileInfo(photo->processedPath).fileName();
        EXPECT_EQ(written, c.names);
        QList<int> warnings;
        for (const auto& record : runner.warningRecords())
            warnings << record->processStatus;
        EXPECT_EQ(warnings, c.warnings);
        EXPECT_EQ(runner.state().succeeded, 3);
    }
}

TEST_F(BatchRunnerTest, eachRunNamesPlacesWithTheGeocoderChosenAtItsStartAndKeepsItsAnswers)
{
    const auto named = [](QString city) {
        auto geocoder = std::make_shared<FakeGeocoder>();
        geocoder->answer = [city](double, double) { return FakeGeocoder::address({ { u"City"_s, city } }); };
        return geocoder;
    };
    const auto online = named(u"Online"_s);
    const auto offline = named(u"Offline"_s);
    std::shared_ptr<ReverseGeocoder> chosen = online;
    BatchRunner runner;
    runner.setGeocoderChoice([&] { return chosen; });
    const PhotoList batch = makeBatch(sources(), 1);
    const FormRecords form;
    const auto runInto = [&](const QString& name) {
        OutputRenamingOptions options = renamingInto(dir.filePath(name));
        options.addEXIFLocationCheck = 1;
        EXPECT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
        EXPECT_TRUE(waitForEnd(runner));
        return QFileInfo(batch[0]->processedPath).fileName();
    };
    EXPECT_TRUE(runInto(u"first"_s).contains(u"Online"_s));
    EXPECT_TRUE(runInto(u"second"_s).contains(u"Online"_s));
    EXPECT_EQ(online->requests, 1); // the same path keeps its answers
    chosen = offline; // the network went away
    EXPECT_TRUE(runInto(u"third"_s).contains(u"Offline"_s));
    EXPECT_EQ(offline->requests, 1);
}

// Each output is named from the position the run writes into it, whatever set it:
// typed (signed, with a decimal comma), picked on the map and applied, laid over by a
// preset, or removed. The test geocoder names a position by its numbers, and exiftool
// reads back the very position each name tells. Photos with and without a position
// of their own, JPEG and HEIC.
TEST_F(BatchRunnerTest, namesEveryOutputFromThePositionTheRunWritesIntoIt)
{
    PhotoList batch;
    for (const QString& sample :
        { u"gps/DSCN0010.jpg"_s, u"camera/Canon_40D.jpg"_s, u"heif/Stonehenge.heic"_s, u"heif/IMG_3578.heic"_s }) {
        auto photo
            = std::make_shared<PhotoFile>(copySample(sample, sources() + u'/' + QFileInfo(sample).fileName()), false);
        photo->isSelected = true;
        batch.append(photo);
    }
    // Through the form's own records, as the editor hands them to a run after Apply.
    const auto throughTheForm = [&](const std::function<void(MetadataFormState&)>& edit) {
        MetadataFormState state;
        state.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(batch)));
        edit(state);
        EXPECT_TRUE(state.apply().isValid());
        state.createUpdatedChnagesOnly();
        FormRecords records;
        records.settings = state.metaDataObject();
        records.onlyUpdated = state.metaDataObjectWithUpdatedChange();
        return records;
    };
    const auto typed = [](std::initializer_list<QString> texts) {
        FormRecords records;
        auto text = texts.begin();
        for (const MetadataField field : { MetadataField::GPS_Lattitude, MetadataField::GPS_LattitudeRef,
                 MetadataField::GPS_Longitude, MetadataField::GPS_LongitudeRef })
            records.edit(field, *text++);
        return records;
    };
    // A preset kept before presets marked their edited fields: texts alone.
    auto preset = std::make_shared<MetaDataObject>();
    for (const auto& [field, text] : MapPicker::locationEdits(-33.5, 151.25))
        preset->setField(field, text);
    auto artistPreset = std::make_shared<MetaDataObject>();
    artistPreset->setField(MetadataField::Artist, u"Preset Artist"_s);
    artistPreset->setUpdated(MetadataField::Artist, true);

    struct Case {
        const char* what;
        FormRecords records;
        QString place; // in every name; "" for none
    };
    const QList<Case> cases = {
        { "typed with hemispheres", typed({ u"30.5"_s, u"N"_s, u"104.25"_s, u"E"_s }), u"30.50_104.25"_s },
        { "typed signed", typed({ u"-33.5"_s, u""_s, u"-70.25"_s, u""_s }), u"-33.50_-70.25"_s },
        { "typed signed with its hemisphere", typed({ u"-33.5"_s, u"S"_s, u"-70.25"_s, u"W"_s }), u"-33.50_-70.25"_s },
        { "a decimal comma", typed({ u"30,5"_s, u"N"_s, u"104,25"_s, u"E"_s }), u"30.50_104.25"_s },
        { "picked on the map", throughTheForm([](MetadataFormState& s) {
             MapPicker::changeLocationToTitle(s, u"Chengdu"_s, 30.5, 104.25);
         }),
            u"30.50_104.25"_s },
        { "a preset", throughTheForm([&](MetadataFormState& s) { s.appendPreset(*preset); }), u"-33.50_151.25"_s },
        { "picked, then a preset of other fields", throughTheForm([&](MetadataFormState& s) {
             MapPicker::changeLocationToTitle(s, u"Chengdu"_s, 30.5, 104.25);
             s.appendPreset(*artistPreset);
         }),
            u"30.50_104.25"_s },
        { "removed on the map", throughTheForm([](MetadataFormState& s) { MapPicker::removeLocationcordinates(s); }),
            QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renamingInto(dir.filePath(QString::fromLatin1(c.what)));
        options.addEXIFLocationCheck = 1;
        options.addEXIFLocation.placeTick = options.addEXIFLocation.countryTick = 0;
        auto geocoder = std::make_shared<FakeGeocoder>();
        geocoder->answer = [](double lat, double lon) {
            return FakeGeocoder::address(
                { { u"City"_s, QString::asprintf("%.2f", lat) }, { u"State"_s, QString::asprintf("%.2f", lon) } });
        };
        BatchRunner runner;
        runner.setLocationNamer(std::make_shared<LocationNamer>(geocoder));
        ASSERT_TRUE(
            runner.start(BatchSnapshot::forTickedPhotos(batch, *c.records.settings, *c.records.onlyUpdated, options)));
        ASSERT_TRUE(waitForEnd(runner));
        EXPECT_EQ(runner.state().succeeded, batch.size());

        QStringList outputs;
        for (const auto& photo : batch) {
            const QString name = QFileInfo(photo->processedPath).fileName();
            outputs << photo->processedPath;
            EXPECT_EQ(name, QFileInfo(photo->filePath).completeBaseName() + c.place + u'.' + photo->fileExtension);
        }
        EXPECT_EQ(runner.warningRecords().size(), c.place.isEmpty() ? batch.size() : 0);
        for (const QJsonObject& tags : exiftoolTags(outputs)) {
            const QJsonValue latitude = tags.value(u"Composite:GPSLatitude"_s);
            const QJsonValue longitude = tags.value(u"Composite:GPSLongitude"_s);
            const QString written = latitude.isUndefined()
                ? QString()
                : QString::asprintf("%.2f_%.2f", latitude.toDouble(), longitude.toDouble());
            EXPECT_EQ(written, c.place) << tags.value(u"SourceFile"_s).toString().toStdString();
        }
    }
}

TEST_F(BatchRunnerTest, keepingTheSourceFolderReplacesEachSourceOnlyWithItsFinishedFile)
{
    const PhotoList batch = makeBatch(sources(), 2);
    // A third photo that exiv2 cannot write: it must stay exactly as it was.
    const QString broken = sources() + u"/photo-02.jpg"_s;
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no photo at all");
    }
    auto brokenPhoto = std::make_shared<PhotoFile>(broken, false);
    brokenPhoto->isSelected = true;
    const PhotoList all = batch + PhotoList { brokenPhoto };
    const QByteArray brokenBytes = bytesOf(broken);

    OutputRenamingOptions options = intoFolder(output());
    options.sourseFolderSelected = 1;
    const FormRecords form;
    BatchRunner runner;
    ScriptedSpace space;
    runner.setFreeSpaceProbe(space.probe());
    ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(all, *form.settings, *form.onlyUpdated, options)));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(artistOf(batch[0]->filePath), u"Batch Artist"_s);
    EXPECT_EQ(artistOf(batch[1]->filePath), u"Batch Artist"_s);
    EXPECT_EQ(batch[0]->processedPath, batch[0]->filePath);
    EXPECT_EQ(brokenPhoto->processStatus, MetadataWriteResult::WriteFailed);
    EXPECT_EQ(bytesOf(broken), brokenBytes);
    // No temporary file is left beside the sources, and nothing went into the chosen folder.
    EXPECT_EQ(fileNames(sources()), QStringList({ u"photo-00.jpg"_s, u"photo-01.jpg"_s, u"photo-02.jpg"_s }));
    EXPECT_TRUE(fileNames(output()).isEmpty());
    // The free space asked about is that of the folder each photo goes into.
    EXPECT_EQ(space.folders, QStringList(3, QFileInfo(sources()).absoluteFilePath()));
}

TEST_F(BatchRunnerTest, aRestoreAfterWritingInPlaceGivesEachSourceItsOwnMetadataBack)
{
    const PhotoList batch = makeBatch(sources(), 3);
    QList<QString> artists;
    QList<QByteArray> bytes;
    for (const auto& photo : batch) {
        artists << artistOf(photo->filePath);
        bytes << bytesOf(photo->filePath);
    }
    OutputRenamingOptions options = intoFolder(output());
    options.sourseFolderSelected = 1;
    const FormRecords form;
    BatchRunner runner;
    ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
    ASSERT_TRUE(waitForEnd(runner));
    ASSERT_EQ(runner.state().succeeded, 3);
    ASSERT_EQ(artistOf(batch[1]->filePath), u"Batch Artist"_s);

    // The list shows the files as they now are, so the form and the next run start from them.
    EXPECT_EQ(batch[1]->metadataObject->Artist(), u"Batch Artist"_s);
    EXPECT_EQ(batch[1]->metadataObjectOriginal->Artist(), u"Batch Artist"_s);

    ASSERT_TRUE(runner.restoreLastRun(batch));
    ASSERT_TRUE(waitForEnd(runner));
    EXPECT_EQ(runner.state().succeeded, 3);
    for (int i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(artistOf(batch[i]->filePath), artists[i]) << i;
        EXPECT_EQ(batch[i]->metadataObject->Artist(), artists[i]) << i;
        EXPECT_EQ(bytesOf(batch[i]->filePath), bytes[i]) << i;
    }

    // A new run takes the last one's way back away, and a restore undoes the new run alone.
    ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
    ASSERT_TRUE(waitForEnd(runner));
    ASSERT_TRUE(batch[0]->restorePoint);
    const QString firstWayBack = batch[0]->restorePoint->dataPath;
    const QByteArray afterFirst = bytesOf(batch[0]->filePath);
    FormRecords other;
    other.edit(MetadataField::Artist, u"Second Artist"_s);
    ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *other.settings, *other.onlyUpdated, options)));
    EXPECT_FALSE(QFileInfo::exists(firstWayBack));
    ASSERT_TRUE(waitForEnd(runner));
    ASSERT_TRUE(runner.restoreLastRun(batch));
    ASSERT_TRUE(waitForEnd(runner));
    EXPECT_EQ(bytesOf(batch[0]->filePath), afterFirst);
}

TEST_F(BatchRunnerTest, aStopLetsThePhotosInHandFinishAndHandsOutNoMore)
{
    for (const int jobs : { 1, 8 }) {
        SCOPED_TRACE(jobs);
        const QString folder = dir.filePath(u"out%1"_s.arg(jobs));
        QDir().mkpath(folder);
        const PhotoList batch = makeBatch(dir.filePath(u"src%1"_s.arg(jobs)), 12);
        const FormRecords form;
        BatchRunner runner;
        runner.setJobs(jobs);
        // The stop comes while the third photo is being handed out.
        ScriptedSpace space;
        space.answer = [&runner](int call, const QString&) {
            if (call == 2)
                runner.stop();
            return std::optional<qint64>(qint64(1) << 40);
        };
        runner.setFreeSpaceProbe(space.probe());
        Recorder recorder(runner);
        ASSERT_TRUE(
            runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(folder))));
        ASSERT_TRUE(waitForEnd(runner));

        EXPECT_EQ(runner.state().handled, 3);
        EXPECT_EQ(runner.state().succeeded, 3);
        EXPECT_EQ(runner.state().skipped(), 9);
        EXPECT_EQ(fileNames(folder), QStringList({ u"photo-00.jpg"_s, u"photo-01.jpg"_s, u"photo-02.jpg"_s }));
        EXPECT_EQ(recorder.started.size(), 3);
        EXPECT_TRUE(batch[3]->processedPath.isEmpty());
    }
}

TEST_F(BatchRunnerTest, aStopFromTheMainThreadFinishesExactlyThePhotosHandedOut)
{
    const PhotoList batch = makeBatch(sources(), 30);
    const FormRecords form;
    BatchRunner runner;
    runner.setJobs(8);
    Recorder recorder(runner);
    QObject::connect(&runner, &BatchRunner::photoFinished, &runner, [&runner] { runner.stop(); });
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_TRUE(runner.state().stopRequested);
    EXPECT_EQ(runner.state().handled, recorder.started.size());
    EXPECT_EQ(qint64(fileNames(output()).size()), runner.state().handled);
    EXPECT_EQ(runner.state().skipped(), 30 - runner.state().handled);
}

TEST_F(BatchRunnerTest, quittingStopsAndWaitsForThePhotosInHandWithoutAnEventLoop)
{
    const PhotoList batch = makeBatch(sources(), 20);
    const FormRecords form;
    BatchRunner runner;
    runner.setJobs(4);
    Recorder recorder(runner);
    int finished = 0;
    QObject::connect(&runner, &BatchRunner::finished, [&finished] { ++finished; });
    // From the third photo on, the run waits until the stop was asked for, so the
    // stop always finds photos that are still to be handed out.
    const auto stopAsked = std::make_shared<TestGate>(2);
    const TestGate::ScopedOpening opening(stopAsked);
    ScriptedSpace space;
    space.answer = [stopAsked](int, const QString&) {
        stopAsked->pass();
        return std::optional<qint64>(qint64(1) << 40);
    };
    runner.setFreeSpaceProbe(space.probe());
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    runner.stop();
    stopAsked->open();
    runner.waitForFinished();

    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(runner.state().handled, recorder.started.size());
    EXPECT_EQ(qint64(fileNames(output()).size()), runner.state().handled);
    EXPECT_LT(runner.state().handled, 20);
}

TEST_F(BatchRunnerTest, aFailureOnThePathThreadEndsTheRunInsteadOfTheApplication)
{
    const PhotoList batch = makeBatch(sources(), 4);
    const FormRecords form;
    BatchRunner runner;
    runner.setJobs(1);
    // The third photo's question fails; the two before it are written, the rest are not.
    ScriptedSpace space;
    space.answer = [](int call, const QString&) -> std::optional<qint64> {
        if (call == 2)
            throw std::runtime_error("the file system went away");
        return qint64(1) << 40;
    };
    runner.setFreeSpaceProbe(space.probe());
    int finished = 0;
    QObject::connect(&runner, &BatchRunner::finished, [&] { ++finished; });
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(fileNames(output()).size(), 2);
}

TEST_F(BatchRunnerTest, lowSpaceEndsTheRunAfterThatPhoto)
{
    const PhotoList batch = makeBatch(sources(), 5);
    const FormRecords form;
    {
        // Exactly the limit is enough.
        BatchRunner runner;
        runner.setJobs(1);
        runner.setFreeSpaceProbe([](const QString&) { return std::optional<qint64>(BatchRunner::kMinimumFreeBytes); });
        ASSERT_TRUE(runner.start(
            BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
        ASSERT_TRUE(waitForEnd(runner));
        EXPECT_EQ(runner.state().handled, 5);
        EXPECT_FALSE(runner.state().endedOnLowSpace);
    }
    const QString folder = dir.filePath(u"low"_s);
    QDir().mkpath(folder);
    BatchRunner runner;
    runner.setJobs(1);
    ScriptedSpace space;
    space.answer = [](int call, const QString&) {
        return std::optional<qint64>(call == 1 ? BatchRunner::kMinimumFreeBytes - 1 : qint64(1) << 40);
    };
    runner.setFreeSpaceProbe(space.probe());
    Recorder recorder(runner);
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(folder))));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(recorder.lowSpace, 1);
    EXPECT_TRUE(runner.state().endedOnLowSpace);
    EXPECT_EQ(fileNames(folder), QStringList({ u"photo-00.jpg"_s, u"photo-01.jpg"_s }));
    EXPECT_EQ(runner.state().succeeded, 2);
    EXPECT_EQ(runner.state().skipped(), 3);
}

TEST_F(BatchRunnerTest, anOutputFolderThatVanishesFailsTheRestOfTheRunWithoutTouchingASource)
{
    const PhotoList batch = makeBatch(sources(), 4);
    QList<QByteArray> sourceBytes;
    for (const auto& photo : batch)
        sourceBytes << bytesOf(photo->filePath);
    const FormRecords form;
    BatchRunner runner;
    runner.setJobs(1);
    ScriptedSpace space;
    const QString folder = output();
    space.answer = [folder](int call, const QString&) {
        if (call == 2)
            QDir(folder).removeRecursively();
        return std::optional<qint64>(qint64(1) << 40);
    };
    runner.setFreeSpaceProbe(space.probe());
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(folder))));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(runner.state().handled, 4);
    EXPECT_EQ(runner.state().succeeded, 2);
    EXPECT_EQ(runner.state().failed, 2);
    EXPECT_EQ(batch[2]->processStatus, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(batch[2]->processMsg.contains(folder + u"/photo-02.jpg"_s)) << batch[2]->processMsg.toStdString();
    EXPECT_EQ(runner.errorRecords(), PhotoList({ batch[2], batch[3] }));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bytesOf(batch[i]->filePath), sourceBytes[i]);
}

TEST_F(BatchRunnerTest, aMissingSourceIsAnErrorWithoutItsRenamingWarnings)
{
    const PhotoList batch = makeBatch(sources(), 4);
    // Photo 2 has no date for the name; then it and photo 3 disappear.
    ASSERT_TRUE(QFile::remove(batch[2]->filePath));
    ASSERT_TRUE(QFile::remove(batch[3]->filePath));
    OutputRenamingOptions options = intoFolder(output());
    options.renamingOptionIndex = 1;
    options.addEXIFDateTimeCheck = 1;
    const FormRecords form;
    BatchRunner runner;
    ASSERT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(batch[2]->processStatus, MetadataWriteResult::SourceMissing);
    EXPECT_EQ(batch[2]->processMsg, u"This photo is not available at the Source location."_s);
    EXPECT_EQ(runner.errorRecords(), PhotoList({ batch[2], batch[3] }));
    EXPECT_TRUE(runner.warningRecords().isEmpty());
    EXPECT_EQ(runner.state().failed, 2);
    EXPECT_EQ(runner.state().succeeded, 2);
}

TEST_F(BatchRunnerTest, aRawFileWhoseCameraIsKeptCountsAsAnErrorYetWasWritten)
{
    PhotoList batch = makeBatch(sources(), 1);
    const QString raw = copySample(u"tiff/Arbitro.tiff"_s, sources() + u"/raw.NEF"_s);
    auto rawPhoto = std::make_shared<PhotoFile>(raw, false);
    rawPhoto->isSelected = true;
    batch.append(rawPhoto);
    FormRecords form;
    form.edit(MetadataField::Cam_Make, u"Another Maker"_s);
    BatchRunner runner;
    Recorder recorder(runner);
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(rawPhoto->processStatus, MetadataWriteResult::RawCameraKept);
    EXPECT_EQ(recorder.codes,
        (QMap<int, MetadataWriteResult::Code> {
            { 0, MetadataWriteResult::Processed }, { 1, MetadataWriteResult::RawCameraKept } }));
    EXPECT_EQ(runner.state().failed, 1);
    EXPECT_EQ(runner.state().succeeded, 1);
    EXPECT_EQ(runner.state().skipped(), 0);
    EXPECT_EQ(runner.errorRecords(), PhotoList({ rawPhoto }));
    EXPECT_EQ(artistOf(output() + u"/raw.NEF"_s), u"Batch Artist"_s);
    EXPECT_EQ(runner.photosWrittenByLastRun(), batch) << "a restore takes it back too";
}

TEST_F(BatchRunnerTest, aDateItsSettingCannotChangeIsAWarningOfAWrittenPhoto)
{
    PhotoList batch = makeBatch(sources(), 2);
    editMetadata(batch[1]->filePath,
        [](Exiv2::Image& image) { image.xmpData()["Xmp.xmp.ModifyDate"] = "2015-07-16T15:38:54+1:00"; });
    FormRecords form;
    form.settings->dateTimeConfigXMPModifyDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    BatchRunner runner;
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_EQ(runner.state().succeeded, 2);
    EXPECT_TRUE(runner.errorRecords().isEmpty());
    const PhotoList warnings = runner.warningRecords();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0]->processStatus, PhotoChangeNotMade);
    EXPECT_EQ(warnings[0]->filePath, batch[1]->filePath);
    EXPECT_TRUE(warnings[0]->processMsg.contains(u"Xmp.xmp.ModifyDate"_s));
    EXPECT_TRUE(warnings[0]->processMsg.contains(u"2015-07-16T15:38:54+1:00"_s));
    EXPECT_EQ(runner.warningsOf(1), warnings);
    EXPECT_EQ(artistOf(output() + u"/photo-01.jpg"_s), u"Batch Artist"_s) << "the other changes are made";
    EXPECT_EQ(runner.photosWrittenByLastRun(), batch);
}

TEST_F(BatchRunnerTest, restoreRewritesExactlyThePhotosTheLastRunWroteWhateverTheTicks)
{
    PhotoList batch = makeBatch(sources(), 4);
    batch[3]->isSelected = false;
    ASSERT_TRUE(QFile::remove(batch[1]->filePath)); // fails with status 1: not written
    const FormRecords form;
    BatchRunner runner;
    ASSERT_TRUE(
        runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
    ASSERT_TRUE(waitForEnd(runner));
    ASSERT_EQ(runner.photosWrittenByLastRun(), PhotoList({ batch[0], batch[2] }));

    // The ticks change and a photo that was never written comes first in the list.
    batch[0]->isSelected = false;
    batch[3]->isSelected = true;
    std::swap(batch[0], batch[3]);
    copySample(kSamples[3], output() + u"/photo-03.jpg"_s); // not the run's: must stay as it is
    const QByteArray foreign = bytesOf(output() + u"/photo-03.jpg"_s);
    Recorder recorder(runner);
    ASSERT_TRUE(runner.restoreLastRun(batch));
    ASSERT_TRUE(waitForEnd(runner));

    EXPECT_TRUE(runner.state().isForRestore);
    EXPECT_EQ(runner.state().runSize, 2);
    EXPECT_EQ(runner.state().succeeded, 2);
    EXPECT_EQ(artistOf(output() + u"/photo-00.jpg"_s), QString());
    EXPECT_EQ(artistOf(output() + u"/photo-02.jpg"_s), QString());
    EXPECT_EQ(bytesOf(output() + u"/photo-03.jpg"_s), foreign);
    EXPECT_FALSE(QFileInfo::exists(output() + u"/photo-01.jpg"_s));
    EXPECT_FALSE(runner.canRestore()) << "a restore is not restored again";
    EXPECT_FALSE(runner.restoreLastRun(batch));
}

TEST_F(BatchRunnerTest, leavesTheFormsRecordsAndThePhotosRecordsAsTheyWere)
{
    const PhotoList batch = makeBatch(sources(), 3);
    FormRecords form;
    form.edit(MetadataField::CamSetting_FNumber, u"2,8"_s);
    form.settings->dateTimeConfig(DateSetting::OriginalDate)->tagConfigureOption = DateTimeConfiguration::IncDecDate;
    form.settings->dateTimeConfig(DateSetting::OriginalDate)->stringIncDecDay = u"1"_s;
    const auto settingsBefore = BatchSnapshot::deepCopy(*form.settings);
    QList<std::shared_ptr<MetaDataObject>> recordsBefore;
    QList<const MetaDataObject*> recordIdentities;
    for (const auto& photo : batch) {
        recordsBefore << BatchSnapshot::deepCopy(*photo->metadataObject);
        recordIdentities << photo->metadataObject.get();
    }
    const auto sameRecord = [](const MetaDataObject& a, const MetaDataObject& b) {
        for (const auto& info : kMetadataFields) {
            if (a.field(info.field) != b.field(info.field) || a.isUpdated(info.field) != b.isUpdated(info.field))
                return false;
        }
        for (std::size_t i = 0; i < kDateSettingCount; ++i) {
            if (!(*a.dateTimeConfig(DateSetting(i)) == *b.dateTimeConfig(DateSetting(i))))
                return false;
        }
        return a.editingOption == b.editingOption && a.clearExif == b.clearExif;
    };

    for (const int mode : { int(MetaDataObject::OnlyModifyEditedFields), int(MetaDataObject::CleanMetadataInfo) }) {
        form.settings->editingOption = mode;
        form.settings->clearExif = mode == MetaDataObject::CleanMetadataInfo;
        settingsBefore->editingOption = form.settings->editingOption;
        settingsBefore->clearExif = form.settings->clearExif;
        BatchRunner runner;
        ASSERT_TRUE(runner.start(
            BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(output()))));
        ASSERT_TRUE(waitForEnd(runner));
        ASSERT_EQ(runner.state().succeeded, 3);

        EXPECT_TRUE(sameRecord(*form.settings, *settingsBefore)) << "mode " << mode;
        EXPECT_EQ(form.settings->CamSetting_FNumber(), u"2,8"_s);
        for (int i = 0; i < batch.size(); ++i) {
            EXPECT_EQ(batch[i]->metadataObject.get(), recordIdentities[i]);
            EXPECT_TRUE(sameRecord(*batch[i]->metadataObject, *recordsBefore[i]));
        }
    }
}

TEST_F(BatchRunnerTest, oneAndEightWritersGiveTheSameFilesAndResults)
{
    // Renamed to one custom name, so that every name after the first is numbered in list order.
    const PhotoList batch = makeBatch(sources(), 18);
    ASSERT_TRUE(QFile::remove(batch[5]->filePath));
    const FormRecords form;
    struct Result {
        QStringList names;
        QList<QByteArray> bytes;
        QStringList statuses;
        QStringList warnings;
    };
    const auto runWith = [&](int jobs) {
        const QString folder = dir.filePath(u"jobs%1"_s.arg(jobs));
        QDir().mkpath(folder);
        OutputRenamingOptions options = intoFolder(folder);
        options.renamingOptionIndex = 1;
        options.replaceFilenameCheck = 1;
        options.replaceFilename.customNameValue = u"Same"_s;
        options.appendWidthHeightCheck = 1;
        BatchRunner runner;
        runner.setJobs(jobs);
        EXPECT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, options)));
        EXPECT_TRUE(waitForEnd(runner));
        Result result;
        result.names = fileNames(folder);
        for (const QString& name : result.names)
            result.bytes << bytesOf(folder + u'/' + name);
        for (const auto& photo : batch)
            result.statuses << u"%1 %2 %3"_s.arg(photo->processStatus)
                                   .arg(photo->processMsg, QFileInfo(photo->processedPath).fileName());
        for (const auto& warning : runner.warningRecords())
            result.warnings << u"%1 %2 %3"_s.arg(warning->processStatus)
                                   .arg(warning->filePath, QString(warning->processMsg).replace(folder, u"F"_s));
        return result;
    };
    const Result one = runWith(1);
    const Result eight = runWith(8);
    EXPECT_EQ(one.names.size(), 17);
    EXPECT_EQ(one.names, eight.names);
    EXPECT_TRUE(one.bytes == eight.bytes);
    EXPECT_EQ(one.statuses, eight.statuses);
    EXPECT_EQ(one.warnings, eight.warnings);
    EXPECT_FALSE(one.warnings.isEmpty());
}

TEST_F(BatchRunnerTest, outputsAreTheSameWithOneOrEightWritersWhateverPrefixesTheOtherPhotosDeclare)
{
    // Fifty JPEGs of the samples, the first of which declares the older prefix xap
    // for the namespace whose standard prefix is xmp; every output gets an XMP date
    // of that namespace.
    QStringList samples { u"xmp/BlueSquare.jpg"_s };
    for (QDirIterator it(samplesDir(), { u"*.jpg"_s }, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString sample = QDir(samplesDir()).relativeFilePath(it.next());
        if (!sample.startsWith(u"invalid/"_s) && !samples.contains(sample))
            samples << sample;
    }
    std::sort(samples.begin() + 1, samples.end());
    samples = samples.mid(0, 50);
    ASSERT_EQ(samples.size(), 50);
    PhotoList batch;
    for (int i = 0; i < samples.size(); ++i) {
        const QString path = copySample(samples[i], sources() + u"/%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0')));
        ASSERT_FALSE(path.isEmpty()) << samples[i].toStdString();
        batch.append(std::make_shared<PhotoFile>(path, false));
        batch.last()->isSelected = true;
    }
    FormRecords form;
    form.edit(MetadataField::XMP_Lens, u"Lens 50mm"_s);
    form.edit(MetadataField::XMP_CreationDate, u"2020:01:02 03:04:05"_s);
    for (MetaDataObject* record : { form.settings.get(), form.onlyUpdated.get() }) {
        DateTimeConfiguration& config = *record->dateTimeConfig(DateSetting::XMPCreationDate);
        config.tagConfigureOption = DateTimeConfiguration::ChosenDate;
        config.stringSelectedDate = u"2020:01:02 03:04:05"_s;
    }
    const auto runWith = [&](int jobs, int round) {
        const QString folder = dir.filePath(u"jobs%1-%2"_s.arg(jobs).arg(round));
        QDir().mkpath(folder);
        BatchRunner runner;
        runner.setJobs(jobs);
        EXPECT_TRUE(runner.start(BatchSnapshot::forTickedPhotos(batch, *form.settings, *form.onlyUpdated, intoFolder(folder))));
        EXPECT_TRUE(waitForEnd(runner));
        QMap<QString, QByteArray> outputs;
        for (const QString& name : fileNames(folder))
            outputs.insert(name, bytesOf(folder + u'/' + name));
        return outputs;
    };
    const QMap<QString, QByteArray> one = runWith(1, 0);
    ASSERT_GE(one.size(), 40);
    int withDate = 0;
    for (auto it = one.cbegin(); it != one.cend(); ++it) {
        if (!it.value().contains("2020-01-02T03:04:05"))
            continue;
        ++withDate;
        EXPECT_TRUE(it.value().contains(R"(xmlns:xmp="http://ns.adobe.com/xap/1.0/")")) << it.key().toStdString();
        EXPECT_FALSE(it.value().contains("xmlns:xap=")) << it.key().toStdString();
    }
    EXPECT_GE(withDate, 40);
    for (int round = 0; round < 5; ++round) {
        const QMap<QString, QByteArray> eight = runWith(8, round);
        ASSERT_EQ(eight.keys(), one.keys());
        for (auto it = one.cbegin(); it != one.cend(); ++it)
            EXPECT_TRUE(eight.value(it.key()) == it.value()) << "round " << round << ": " << it.key().toStdString();
    }
}
