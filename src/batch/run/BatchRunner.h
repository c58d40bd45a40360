#pragma once

#include "services/ExifWriter.h"
#include "batch/naming/ReverseGeocoder.h"
#include "batch/run/BatchRunState.h"
#include "batch/run/BatchSnapshot.h"
#include "base/MainThreadMailbox.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class LocationNamer;
class OutputPathBuilder;
class PhotoFile;
class QSemaphore;

// Runs one batch: writes the settings record into a copy of every photo of a
// snapshot (or back from the sources in a restore) and reports each photo's
// result and the progress on the main thread.
//
// Live on the main thread, start there, and let its event loop run: every signal
// arrives there, and only there are the live photos given their results
// (processStatus, processMsg, processedPath, processInfoMessage, restorePoint). The writers work
// on the snapshot's copies alone.
//
// One thread builds every output path in list order (the path builder's collision
// rules and the place names depend on the order) and tests the free space of the
// folder each photo is written into before it hands the photo to one of at most
// jobs() writers. With one writer the photos are written strictly one after
// another. A stop, or free space below kMinimumFreeBytes, hands out no more
// photos and lets the writes in hand finish.
class BatchRunner : public QObject {
    Q_OBJECT

public:
    // Below this many free bytes (101 MiB) in the folder a photo is written into,
    // that photo is the run's last.
    static constexpr qint64 kMinimumFreeBytes = 105906176;

    // The free bytes of a folder, or nothing when the file system cannot tell.
    // Called on the run's path thread.
    using FreeSpaceProbe = std::function<std::optional<qint64>(const QString& folder)>;

    explicit BatchRunner(QObject* parent = nullptr);
    // Stops a run in progress and waits for the writes in hand.
    ~BatchRunner() override;

    // How many photos are written at once: 1 to the number of cores; the default
    // is the number of cores.
    void setJobs(int jobs);
    int jobs() const { return m_jobs; }
    static int maximumJobs();

    // The free-space answer; the default asks the file system (statvfs).
    void setFreeSpaceProbe(FreeSpaceProbe probe);
    static std::optional<qint64> fileSystemFreeSpace(const QString& folder);

    // The place names for the location token; without one the offline GeoNames
    // geocoder is used. Its cache lasts as long as the runner keeps it.
    void setLocationNamer(std::shared_ptr<LocationNamer> namer);

    // Which geocoder names the places, asked at the start of every run that names
    // them (the online one only where the user agreed and the network is there). A
    // run whose choice is the geocoder of the kept namer keeps its cache.
    using GeocoderChoice = std::function<std::shared_ptr<ReverseGeocoder>()>;
    void setGeocoderChoice(GeocoderChoice choice);

    // Starts a normal run over the snapshot's photos. Nothing starts (false) while
    // a run is in progress, when the snapshot holds no photo or when its photos are
    // not all copied yet.
    bool start(BatchSnapshot snapshot);

    // Starts a restore of exactly the photos the last normal run wrote (result 0
    // or 7), found by identity in the batch list whatever their ticks: each output
    // gets the source's own metadata back (a fresh copy of the source, or, where
    // the run wrote in place, the values it changed, from the photo's restore
    // point). Nothing starts (false) while a run is in progress or when no
    // such photo is left in the list.
    bool restoreLastRun(const QList<std::shared_ptr<PhotoFile>>& batchList);

    // A photo and the output an earlier run wrote it to.
    using WrittenPhoto = std::pair<std::shared_ptr<PhotoFile>, QString>;

    // The same restore for outputs known otherwise (restoreLastRun passes the last
    // run's): each listed photo still in the batch list is written again into its
    // output from its source.
    bool restoreOutputs(const QList<WrittenPhoto>& written, const QList<std::shared_ptr<PhotoFile>>& batchList);

    // Whether a restore has photos to restore: after a normal run that wrote at
    // least one, until the next run starts.
    bool canRestore() const { return !m_lastRunWritten.isEmpty() && !m_state.running; }
    QList<std::shared_ptr<PhotoFile>> photosWrittenByLastRun() const;

    // Hands out no more photos; the writes in hand finish and finished() follows.
    // Safe from any thread.
    void stop();
    bool isRunning() const { return m_state.running; }

    // Blocks until the run has ended and every result has been delivered (all
    // signals of the run have been emitted when it returns). For quitting.
    void waitForFinished();

    const BatchRunState& state() const { return m_state; }

    // The failed photos (flag other than 0), then the warnings (renaming, and the
    // changes a written photo did not get), each in list order; a photo whose
    // source was missing brings no renaming warning.
    QList<std::shared_ptr<PhotoFile>> errorRecords() const;
    QList<std::shared_ptr<PhotoFile>> warningRecords() const;
    // The same records of the run's photos from index `from` up to `to` (not
    // included), for a long run's records taken a slice at a time.
    QList<std::shared_ptr<PhotoFile>> errorRecords(qsizetype from, qsizetype to) const;
    QList<std::shared_ptr<PhotoFile>> warningRecords(qsizetype from, qsizetype to) const;
    // How many photos the last run (or the one running) has.
    qsizetype photoCount() const;
    // The warnings of the photo at this index of the run, as warningRecords holds them.
    QList<std::shared_ptr<PhotoFile>> warningsOf(int index) const;

signals:
    void started();
    // The photo at this index of the run was handed to a writer (the current photo).
    void photoStarted(int index, const QString& filePath);
    // Its write has finished with the writer's result.
    void photoFinished(int index, MetadataWriteResult::Code code, const QString& message);
    // handled photos of runSize: once the photos finished meanwhile are reported (a
    // few milliseconds' worth of them at most), and before finished.
    void progressChanged(qint64 handled, qint64 runSize);
    // The folder of the photo just handed out has too little space: it is the last.
    void notEnoughSpace();
    // The run has ended: every photo in hand is written, the counts are final.
    void finished();

private:
    struct Run;
    struct Outcome;

    bool startRun(BatchSnapshot snapshot, bool isForRestore, const QStringList& restorePaths);
    void runPaths(const std::shared_ptr<Run>& run);
    void handOutPaths(const std::shared_ptr<Run>& run, std::optional<OutputPathBuilder>& builder, QThreadPool& writers,
        QSemaphore& freeWriters);
    void writePhoto(const std::shared_ptr<Run>& run, int index, const QString& outputPath);
    // The writer's warnings join the photo's warning records.
    void changesNotMade(const std::shared_ptr<Run>& run, int index, const QStringList& warnings);
    // reread: the record read again from a photo written in place, else empty.
    void photoWritten(const std::shared_ptr<Run>& run, int index, MetadataWriteResult::Code code,
        const QString& message, const QString& processedPath, const std::shared_ptr<MetaDataObject>& reread);
    void runEnded(const std::shared_ptr<Run>& run);
    void lowSpaceFound(const std::shared_ptr<Run>& run);
    void reportProgress();

    int m_jobs;
    FreeSpaceProbe m_freeSpace;
    std::shared_ptr<LocationNamer> m_namer;
    GeocoderChoice m_geocoderChoice;
    std::shared_ptr<ReverseGeocoder> m_namerGeocoder;
    BatchRunState m_state;
    std::shared_ptr<Run> m_run;
    std::atomic<bool> m_stopRequested { false };
    // The run's path builder: one task at a time, waited for at the next run, at
    // the end and at destruction.
    QThreadPool m_pathPool;
    QList<Outcome> m_outcomes; // by index of the run
    // The photos the last normal run wrote, with the output each was written to.
    QList<WrittenPhoto> m_lastRunWritten;
    bool m_progressUnreported = false;
    // What the path thread and the writers hand to the main thread, in order, a
    // slice at a time: a fast run never holds the window still.
    MainThreadMailbox m_mailbox;
};
