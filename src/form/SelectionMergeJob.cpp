#include "form/SelectionMergeJob.h"

#include "model/MetaDataObject.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

SelectionMergeJob::SelectionMergeJob(QObject* parent, QThreadPool* pool)
    : QObject(parent)
    , m_pool(pool ? pool : QThreadPool::globalInstance())
    , m_latest(std::make_shared<std::atomic<quint64>>(0))
{
    qRegisterMetaType<MergeResult>();
}

SelectionMergeJob::~SelectionMergeJob()
{
    // Running merges see a newer number and stop; their watchers go with this object.
    m_latest->fetch_add(1);
}

quint64 SelectionMergeJob::start(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    if (photos.size() <= kRecordsPerTurn)
        return start(SelectionMerge::recordsOf(photos));
    const quint64 generation = m_latest->fetch_add(1) + 1;
    m_pending.emplace(Pending { photos, {}, generation });
    m_pending->records.reserve(photos.size());
    takeRecords(false);
    return generation;
}

quint64 SelectionMergeJob::start(const QList<std::shared_ptr<const MetaDataObject>>& records)
{
    const quint64 generation = m_latest->fetch_add(1) + 1;
    m_pending.reset();
    launch(records, generation);
    return generation;
}

void SelectionMergeJob::takeRecords(bool all)
{
    Pending& pending = *m_pending;
    const qsizetype from = pending.records.size();
    const qsizetype to = all ? pending.photos.size() : std::min(pending.photos.size(), from + kRecordsPerTurn);
    pending.records.append(SelectionMerge::recordsOf(pending.photos.sliced(from, to - from)));
    if (to < pending.photos.size()) {
        const quint64 generation = pending.generation;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (m_pending && m_pending->generation == generation)
                    takeRecords(false);
            },
            Qt::QueuedConnection);
        return;
    }
    Pending done = std::move(*m_pending);
    m_pending.reset();
    launch(std::move(done.records), done.generation);
}

void SelectionMergeJob::launch(QList<std::shared_ptr<const MetaDataObject>> records, quint64 generation)
{
    if (records.isEmpty()) {
        emit mergeFinished(SelectionMerge::updateMetaDataObjectForSelectedFiles(records, generation));
        return;
    }

    auto* watcher = new QFutureWatcher<MergeResult>(this);
    ++m_running;
    connect(watcher, &QFutureWatcher<MergeResult>::finished, this, [this, watcher, generation] {
        --m_running;
        const MergeResult result = watcher->result();
        watcher->deleteLater();
        if (result.merged && generation == m_latest->load())
            emit mergeFinished(result);
    });
    std::shared_ptr<std::atomic<quint64>> latest = m_latest;
    watcher->setFuture(QtConcurrent::run(m_pool, [records = std::move(records), generation, latest] {
        return SelectionMerge::updateMetaDataObjectForSelectedFiles(records, generation, latest.get());
    }));
}

void SelectionMergeJob::waitForDone()
{
    if (m_pending)
        takeRecords(true);
    for (auto* watcher : findChildren<QFutureWatcher<MergeResult>*>())
        watcher->waitForFinished();
}
