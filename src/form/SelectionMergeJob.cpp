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
    return start(SelectionMerge::recordsOf(photos));
}

quint64 SelectionMergeJob::start(const QList<std::shared_ptr<const MetaDataObject>>& records)
{
    const quint64 generation = m_latest->fetch_add(1) + 1;
    if (records.isEmpty()) {
        emit mergeFinished(SelectionMerge::updateMetaDataObjectForSelectedFiles(records, generation));
        return generation;
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
    watcher->setFuture(QtConcurrent::run(m_pool, [records, generation, latest] {
        return SelectionMerge::updateMetaDataObjectForSelectedFiles(records, generation, latest.get());
    }));
    return generation;
}

void SelectionMergeJob::waitForDone()
{
    for (auto* watcher : findChildren<QFutureWatcher<MergeResult>*>())
        watcher->waitForFinished();
}
