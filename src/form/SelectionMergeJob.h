#pragma once

#include "form/SelectionMerge.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <optional>

// Runs the selection merge off the main thread. Every start() numbers its merge;
// only the newest merge's result is published (mergeFinished, on the thread that
// owns the job), and an overtaken merge stops early. The list of records is taken
// when start() is called, so later changes of the batch list never reach a
// running merge. A long list's records are taken over a few turns of the event
// loop; the merge starts once all are taken.
class SelectionMergeJob : public QObject {
    Q_OBJECT
public:
    // From this many ticked photos the form shows "Please Wait..." over itself
    // while it merges and fills.
    static constexpr int kOverlayThreshold = 5001;
    static bool needsOverlay(int photoCount) { return photoCount >= kOverlayThreshold; }

    // A long list's records are taken this many photos per turn of the event loop,
    // so taking them never holds the main thread for long (after a run, with the
    // photos out of the processor's caches, 20,000 took 7 to 12 ms).
    static constexpr qsizetype kRecordsPerTurn = 5000;

    explicit SelectionMergeJob(QObject* parent = nullptr, QThreadPool* pool = nullptr);
    ~SelectionMergeJob() override;

    // Starts a merge of these photos' records and answers its number. An empty
    // list is merged at once: mergeFinished is emitted before start() returns.
    quint64 start(const QList<std::shared_ptr<PhotoFile>>& photos);
    quint64 start(const QList<std::shared_ptr<const MetaDataObject>>& records);

    // A merge whose result has not been published yet.
    bool isRunning() const { return m_running > 0 || m_pending; }
    // Waits for every started merge to end (for tests and shutdown).
    void waitForDone();

signals:
    void mergeFinished(const MergeResult& result);

private:
    // A long list whose records are still being taken.
    struct Pending {
        QList<std::shared_ptr<PhotoFile>> photos;
        QList<std::shared_ptr<const MetaDataObject>> records;
        quint64 generation = 0;
    };

    // Takes the next turn's records (all of them when `all`), then starts the merge.
    void takeRecords(bool all);
    void launch(QList<std::shared_ptr<const MetaDataObject>> records, quint64 generation);

    QThreadPool* m_pool;
    std::optional<Pending> m_pending;
    std::shared_ptr<std::atomic<quint64>> m_latest;
    int m_running = 0;
};
