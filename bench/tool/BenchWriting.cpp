#include "BenchWriting.h"

#include "BenchCommands.h"
#include "BenchOutputMarks.h"
#include "services/ExifWriter.h"
#include "RenamingOptionsJson.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/LocationNamer.h"
#include "batch/naming/OutputPathBuilder.h"
#include "batch/run/BatchRunner.h"
#include "model/KeyedCoder.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/RestoreData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtConcurrent>
#include <functional>
#include <optional>
#include <xxhash.h>

using namespace Qt::Literals::StringLiterals;

namespace {

std::optional<QByteArray> readFile(const QString& path, QTextStream& err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(
            err, u"velloran-bench: cannot read %1: %2"_s.arg(escapedField(path), escapedField(file.errorString())));
        return std::nullopt;
    }
    return file.readAll();
}

// The settings record as a preset applied to a fresh form: a field with a text counts as edited.
std::shared_ptr<MetaDataObject> loadSettings(const QString& path, QTextStream& err)
{
    const std::optional<QByteArray> bytes = readFile(path, err);
    if (!bytes)
        return nullptr;
    const std::optional<KeyedDecoder> decoder = KeyedDecoder::fromJson(*bytes, MetaDataObject::kClassName);
    if (!decoder) {
        printLine(err, u"velloran-bench: %1 is no keyed archive of a MetaDataObject"_s.arg(escapedField(path)));
        return nullptr;
    }
    std::shared_ptr<MetaDataObject> settings = MetaDataObject::initWithCoder(*decoder);
    for (const auto& info : kMetadataFields)
        settings->setUpdated(info.field, !settings->field(info.field).isEmpty());
    return settings;
}

// The resident size of this process in MB, from /proc; 0 where there is none.
double residentMegabytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

QString benchPhotoLine(const PhotoFile& photo, bool reached, const QStringList& warnings, const QString& whyNotReached)
{
    // A photo the run never reached has no answer of the writer: its status is
    // still 0, the code of a written photo, so it gets a code of its own.
    if (!reached) {
        QString message = u"Not processed: the run ended before this photo"_s;
        if (!whyNotReached.isEmpty())
            message += u" because "_s + whyNotReached;
        return u"%1\t%2\t%3"_s.arg(kBenchNotReachedCode).arg(escapedField(photo.filePath), escapedField(message));
    }
    QString message
        = photo.processStatus == MetadataWriteResult::Processed ? u"Processed Successfully"_s : photo.processMsg;
    for (const QString& warning : warnings)
        message += u"; "_s + warning;
    // A photo refused before the writer named its output is shown by its source.
    const QString& path = photo.processedPath.isEmpty() ? photo.filePath : photo.processedPath;
    return u"%1\t%2\t%3"_s.arg(photo.processStatus).arg(escapedField(path), escapedField(message));
}

namespace {

// The line of one photo: its result, where it went (or would have gone), and
// the message with the renaming warnings.
QString photoLine(
    const BatchRunner& runner, int index, bool reached, const QString& prefix, const QString& whyNotReached = QString())
{
    QStringList warnings;
    for (const auto& warning : runner.warningsOf(index))
        warnings << warning->processMsg;
    return prefix + benchPhotoLine(*runner.state().photos[index], reached, warnings, whyNotReached);
}

// Why the photos after the last one handed out were not reached, when the
// free-space guard ended the run: the folder that photo went to (photos are
// handed out in list order, so it is the last one reached) had too little room.
QString whyNotReached(const BatchRunner& runner, const QList<bool>& done)
{
    if (!runner.state().endedOnLowSpace)
        return QString();
    const qsizetype last = done.lastIndexOf(true);
    const QString output = last >= 0 ? runner.state().photos[last]->processedPath : QString();
    const QString folder = output.isEmpty() ? QString() : QFileInfo(output).absolutePath();
    return u"%1 has less than %2 MB free"_s.arg(folder.isEmpty() ? u"the destination folder"_s : folder)
        .arg(BatchRunner::kMinimumFreeBytes >> 20);
}

// Runs the batch to its end. Each photo's line is printed once it and every photo
// before it are done, so the lines keep the list's order and a killed run still
// shows the photos it handled; the resident size is printed after every 1,000
// photos. The photos the run never reached are printed at its end.
// Answers how many photos the run never reached.
qsizetype runToEnd(BatchRunner& runner, QTextStream& out, const std::function<bool(BatchRunner&)>& start,
    const QString& prefix = {})
{
    QList<bool> done;
    qsizetype printed = 0;
    const auto printDone = [&] {
        for (; printed < done.size() && done[printed]; ++printed)
            printLine(out, photoLine(runner, int(printed), true, prefix));
    };
    const auto finished = QObject::connect(
        &runner, &BatchRunner::photoFinished, &runner, [&](int index, MetadataWriteResult::Code, const QString&) {
            done.resize(runner.state().photos.size());
            done[index] = true;
            printDone();
        });
    qint64 thousandsShown = 0;
    const auto progress = QObject::connect(
        &runner, &BatchRunner::progressChanged, &runner, [&out, &thousandsShown](qint64 handled, qint64) {
            // Progress comes a slice of photos at a time: each thousand passed is shown once.
            if (handled / 1000 > thousandsShown) {
                thousandsShown = handled / 1000;
                printLine(out,
                    u"resident: %1 MB after %2 photos"_s.arg(QString::number(residentMegabytes(), 'f', 1))
                        .arg(thousandsShown * 1000));
            }
        });
    QEventLoop loop;
    QObject::connect(&runner, &BatchRunner::finished, &loop, &QEventLoop::quit);
    if (start(runner))
        loop.exec();
    QObject::disconnect(finished);
    QObject::disconnect(progress);
    done.resize(runner.state().photos.size());
    const QString why = whyNotReached(runner, done);
    qsizetype notReached = 0;
    for (; printed < done.size(); ++printed) {
        printLine(out, photoLine(runner, int(printed), done[printed], prefix, why));
        notReached += done[printed] ? 0 : 1;
    }
    return notReached;
}

// Digests of the photos' bytes as they are before a run, to compare restored files
// with. Taken and compared by several threads at once, and the taking is left out
// of the write's time: neither must weigh on the figures of the run.
class BytesBefore {
public:
    bool take(const QList<std::shared_ptr<PhotoFile>>& batch, QTextStream& err)
    {
        const QList<std::optional<QByteArray>> digests = QtConcurrent::blockingMapped(
            batch, [](const std::shared_ptr<PhotoFile>& photo) { return digestOf(photo->filePath); });
        for (qsizetype i = 0; i < batch.size(); ++i) {
            if (!digests[i]) {
                printLine(err, u"velloran-bench: cannot read "_s + escapedField(batch[i]->filePath));
                return false;
            }
            m_digests.insert(batch[i].get(), *digests[i]);
        }
        return true;
    }

    // Whether the file at path holds exactly the bytes each photo had, for every
    // photo and its path at once; answers how many do.
    qsizetype matching(const QList<std::pair<const PhotoFile*, QString>>& photos) const
    {
        using Restored = std::pair<const PhotoFile*, QString>;
        const QList<bool> same = QtConcurrent::blockingMapped(photos, [this](const Restored& photo) -> bool {
            const std::optional<QByteArray> digest = digestOf(photo.second);
            return digest && m_digests.contains(photo.first) && *digest == m_digests.value(photo.first);
        });
        return same.count(true);
    }

private:
    // A 128-bit hash: a byte changed by mistake shows, at the speed of a read.
    static std::optional<QByteArray> digestOf(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
        XXH3_128bits_reset(state.get());
        QByteArray piece(1 << 18, Qt::Uninitialized);
        for (qint64 read = 0; (read = file.read(piece.data(), piece.size())) != 0;) {
            if (read < 0)
                return std::nullopt;
            XXH3_128bits_update(state.get(), piece.constData(), size_t(read));
        }
        const XXH128_hash_t hash = XXH3_128bits_digest(state.get());
        return QByteArray::number(hash.high64, 16) + ':' + QByteArray::number(hash.low64, 16);
    }

    QHash<const PhotoFile*, QByteArray> m_digests;
};

} // namespace

int runWriting(
    const BenchArguments& arguments, QTextStream& out, QTextStream& err, const BatchRunner::FreeSpaceProbe& freeSpace)
{
    const bool restore = arguments.command == BenchArguments::Command::Restore;
    std::shared_ptr<MetaDataObject> settings = std::make_shared<MetaDataObject>();
    if (!arguments.settingsFile.isEmpty()) {
        settings = loadSettings(arguments.settingsFile, err);
        if (!settings)
            return 2;
    }
    OutputRenamingOptions options;
    if (!arguments.renameFile.isEmpty()) {
        const std::optional<QByteArray> bytes = readFile(arguments.renameFile, err);
        if (!bytes)
            return 2;
        auto parsed = renamingOptionsFromJson(*bytes);
        if (const auto* error = std::get_if<QString>(&parsed)) {
            printLine(err, u"velloran-bench: %1: %2"_s.arg(escapedField(arguments.renameFile), escapedField(*error)));
            return 2;
        }
        options = std::get<OutputRenamingOptions>(std::move(parsed));
    }
    if (!arguments.outputDir.isEmpty()) {
        const QString outputDir = QDir::cleanPath(QFileInfo(arguments.outputDir).absoluteFilePath());
        if (!QDir().mkpath(outputDir)) {
            printLine(err, u"velloran-bench: cannot make the output folder "_s + escapedField(outputDir));
            return 2;
        }
        options.ouptputFolderPathName = outputDir;
    }
    if (arguments.keepSource)
        options.sourseFolderSelected = 1;

    QElapsedTimer timer;
    timer.start();
    // The batch list, read as the application reads it (several photos at once, the
    // list in order), every photo ticked.
    QList<NotTakenFile> notTaken;
    const QStringList paths = benchPhotoPaths(arguments.sourceDir, err, &notTaken);
    // The run never reaches a file the list did not take: its line says why.
    auto printNotTaken = [&out](const QString& path, const QString& reason) {
        printLine(out,
            u"%1\t%2\t%3"_s.arg(kBenchNotReachedCode)
                .arg(escapedField(path), escapedField(u"Not taken into the list: "_s + reason)));
    };
    for (const NotTakenFile& file : notTaken)
        printNotTaken(file.path, file.reason);
    struct Intake {
        std::shared_ptr<PhotoFile> photo;
        QString refusal;
    };
    const QList<Intake> read = QtConcurrent::blockingMapped(paths, [](const QString& path) -> Intake {
        try {
            return { PhotoIntake::readPhotoFile(QFileInfo(path).absoluteFilePath()), QString() };
        } catch (const std::exception& error) {
            return { nullptr, QString::fromStdString(error.what()) };
        }
    });
    QList<std::shared_ptr<PhotoFile>> batch;
    double bytes = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const std::shared_ptr<PhotoFile>& photo = read[i].photo;
        if (!photo) {
            printNotTaken(paths[i], read[i].refusal);
            continue;
        }
        photo->isSelected = true;
        bytes += photo->fileSizeInBytes;
        batch.append(photo);
    }

    BenchOutputMarks outputMarks(arguments);
    BytesBefore bytesBefore;
    qint64 notCounted = 0;
    qsizetype notReached = 0;
    qsizetype nothingToRestore = 0;
    BatchRunner runner;
    if (arguments.jobs > 0)
        runner.setJobs(arguments.jobs);
    if (freeSpace)
        runner.setFreeSpaceProbe(freeSpace);
    if (restore) {
        // This process has no last run: the outputs that write gave these photos, where they are.
        QStringList sources;
        for (const auto& photo : batch)
            sources << photo->filePath;
        std::shared_ptr<LocationNamer> namer;
        if (options.renamingOptionIndex == 1 && options.addEXIFLocationCheck == 1)
            namer = std::make_shared<LocationNamer>(std::make_shared<GeoNamesGeocoder>());
        OutputPathBuilder builder(options, namer, sources);
        QList<BatchRunner::WrittenPhoto> written;
        for (const auto& photo : batch) {
            const QString output = builder.updatedPathWithSelectedSetting(*photo, *settings).path;
            if (!QFileInfo::exists(output))
                continue;
            // An edit in place is undone from what the write kept of the photo's
            // own values, in the process that wrote it; this one holds nothing.
            if (QFileInfo(output).canonicalFilePath() == QFileInfo(photo->filePath).canonicalFilePath()) {
                ++nothingToRestore;
                printLine(out,
                    u"%1\t%2\t%3"_s.arg(kBenchNotReachedCode)
                        .arg(escapedField(output),
                            u"Nothing to restore: a photo edited in place is restored only by the run that wrote it"_s));
                continue;
            }
            written.append({ photo, output });
        }
        // Each output is restored only as the write left it, known by the mark the write kept.
        outputMarks.applyTo(written);
        if (!written.isEmpty())
            notReached = runToEnd(runner, out, [&](BatchRunner& r) { return r.restoreOutputs(written, batch); });
    } else {
        if (arguments.restoreAfter) {
            QElapsedTimer taking;
            taking.start();
            if (!bytesBefore.take(batch, err))
                return 2;
            notCounted = taking.nsecsElapsed();
        }
        const BatchSnapshot snapshot = BatchSnapshot::forTickedPhotos(
            batch, *settings, *MetaDataObject::editedFieldsOnlyCopy(*settings), options);
        notReached = runToEnd(runner, out, [&](BatchRunner& r) { return r.start(snapshot); });
    }

    qsizetype errors = 0;
    for (const std::shared_ptr<PhotoFile>& photo : runner.state().photos) {
        if (photo->processStatus != MetadataWriteResult::Processed
            && photo->processStatus != MetadataWriteResult::RawCameraKept)
            ++errors;
    }
    const qsizetype runSize = runner.state().runSize;
    const bool endedOnLowSpace = runner.state().endedOnLowSpace;
    const double seconds = double(timer.nsecsElapsed() - notCounted) / 1e9;

    // The Restore button's restore of the same run, in the same process.
    qsizetype restored = 0;
    qsizetype exact = 0;
    double restoreSeconds = 0;
    if (arguments.restoreAfter) {
        const QList<std::shared_ptr<PhotoFile>> written = runner.photosWrittenByLastRun();
        QHash<const PhotoFile*, QString> outputOf;
        for (const auto& photo : written)
            outputOf.insert(photo.get(), photo->processedPath);
        QElapsedTimer restoreTimer;
        restoreTimer.start();
        if (!written.isEmpty())
            runToEnd(runner, out, [&](BatchRunner& r) { return r.restoreLastRun(batch); }, u"restore\t"_s);
        restoreSeconds = double(restoreTimer.nsecsElapsed()) / 1e9;
        QList<std::pair<const PhotoFile*, QString>> restoredPhotos;
        for (const auto& photo : written) {
            ++restored;
            if (photo->processStatus == MetadataWriteResult::Processed)
                restoredPhotos.append({ photo.get(), outputOf.value(photo.get()) });
        }
        exact = bytesBefore.matching(restoredPhotos);
    }
    const auto perSecond
        = [seconds](double amount) { return seconds > 0 ? QString::number(amount / seconds, 'f', 1) : u"inf"_s; };
    out << runSize << " photos, " << errors << " errors, ";
    if (notReached > 0)
        out << notReached << (endedOnLowSpace ? " not processed (too little free space), " : " not processed, ");
    if (nothingToRestore > 0)
        out << nothingToRestore << " with nothing to restore, ";
    out << QString::number(seconds, 'f', 3) << " s, " << perSecond(double(runSize)) << " photos/s, "
        << perSecond(bytes / 1e6) << " MB/s, " << runner.jobs() << " writers";
    printLine(out, QString());
    if (arguments.restoreAfter) {
        printLine(out,
            u"restore: %1 photos, %2 s, %3 writers"_s.arg(restored).arg(restoreSeconds, 0, 'f', 3).arg(runner.jobs()));
        printLine(out, u"restore exact %1 of %2"_s.arg(exact).arg(restored));
    }
    outputMarks.record(runner.state().photos, runner.state().isForRestore);
    // The way back of the run is offered only while this process runs.
    RestoreData::removeAll();
    return 0;
}
