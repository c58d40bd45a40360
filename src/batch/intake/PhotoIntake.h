#pragma once

#include "batch/intake/PhotoIntakeSummary.h"
#include "batch/intake/PhotoLibraryAlert.h"

#include <QFuture>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

class PhotoFile;
class PhotoListModel;

Q_DECLARE_METATYPE(PhotoLibraryAlert)

// One adding of photos to the batch list, as a worker job. The walk (files,
// folders, photo libraries; see PhotoIntakeWalk) runs on a worker; the photos it
// accepts are read in chunks on a bounded pool and appended to the model in the
// walk's order, so the batch list, the counts and the alerts are those of reading
// one photo after the other. Finished photos reach the main thread in chunks
// (every few hundred photos or 100 ms); only the main thread changes the list.
//
// Lives on the main thread; its signals are emitted there.
class PhotoIntake : public QObject {
    Q_OBJECT
public:
    // Makes the photo record of one accepted path, reading the file; runs on the read
    // pool, several at once. A reader that throws or answers no photo makes the path a
    // file that cannot be added: it counts as damaged and is logged, the rest go on.
    using PhotoReader = std::function<std::shared_ptr<PhotoFile>(const QString& path)>;
    // The application's reader: PhotoFile(path, false); a photo no writer can write
    // (ExifWriter::whyNotWritable) is refused with the reason.
    static std::shared_ptr<PhotoFile> readPhotoFile(const QString& path);

    explicit PhotoIntake(PhotoListModel& model, QObject* parent = nullptr);
    // Stops a running adding and waits for its worker; photos not yet handed over are dropped.
    ~PhotoIntake() override;

    // Starts an adding of the paths (files, folders, photo libraries) in their
    // order; photos from libraries are made like any file. False, and nothing
    // starts, while an adding runs.
    bool addPhotosFromPathUrls(const QStringList& paths);

    // The stop button: the adding ends after the photos being read.
    void stop();
    // Stops a running adding and returns once it has ended: the photos being read
    // are in the model and finished() has been emitted. Main thread only; for the
    // application's end, which must not write its state while photos still arrive.
    void waitForIdle();
    // True from the start of an adding until finished() (isPHOTOS_PROCESSING_IN_PROGERESS).
    bool isRunning() const { return m_running; }
    // The summary of the last finished adding.
    const PhotoIntakeSummary& lastSummary() const { return m_summary; }

    // Tuning, for tests and benchmarks; the defaults suit the application.
    void setMaxPhotos(int maxPhotos) { m_maxPhotos = maxPhotos; }
    void setReadThreads(int threads);
    void setReadChunkSize(int size) { m_chunkSize = std::max(1, size); }
    // Photos collected before a hand-off to the main thread (at the latest after 100 ms).
    void setHandOffSize(int size) { m_handOffSize = std::max(1, size); }
    // The reader of the next addings; an empty one restores readPhotoFile.
    void setPhotoReader(PhotoReader reader);

signals:
    void started();
    // A chunk of photos was appended to the model; addedSoFar counts this adding.
    void photosAdded(int addedSoFar);
    // A photo library could not be read completely; show it to the user.
    void libraryAlert(const PhotoLibraryAlert& alert);
    // The adding has ended and every photo it read is in the model.
    void finished(const PhotoIntakeSummary& summary);

private:
    struct Job;
    void runJob(const std::shared_ptr<Job>& job);
    void handOff(const std::shared_ptr<Job>& job, QList<std::shared_ptr<PhotoFile>> photos);
    void postFinished(const std::shared_ptr<Job>& job, const PhotoIntakeSummary& summary);

    PhotoListModel& m_model;
    QThreadPool m_walkPool;
    QThreadPool m_readPool;
    QFuture<void> m_walker;
    std::shared_ptr<Job> m_job;
    bool m_running = false;
    int m_addedSoFar = 0;
    int m_maxPhotos = kMaxPhotosPerAdding;
    int m_chunkSize = 32;
    int m_handOffSize = 256;
    PhotoReader m_reader;
    PhotoIntakeSummary m_summary;
};
