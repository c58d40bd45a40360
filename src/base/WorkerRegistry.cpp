#include "base/WorkerRegistry.h"

#include <QMutexLocker>
#include <vector>

WorkerRegistry::Registration::Registration(Registration&& other) noexcept
    : m_registry(std::exchange(other.m_registry, nullptr))
    , m_id(std::exchange(other.m_id, 0))
{
}

WorkerRegistry::Registration& WorkerRegistry::Registration::operator=(Registration&& other) noexcept
{
    if (this != &other) {
        reset();
        m_registry = std::exchange(other.m_registry, nullptr);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

WorkerRegistry::Registration::~Registration()
{
    reset();
}

void WorkerRegistry::Registration::reset()
{
    if (m_registry)
        m_registry->remove(m_id);
    m_registry = nullptr;
    m_id = 0;
}

WorkerRegistry::Registration WorkerRegistry::add(StopAndWait stopAndWait)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopping) {
        lock.unlock();
        if (stopAndWait)
            stopAndWait();
        return {};
    }
    const quint64 id = m_nextId++;
    m_workers.emplace(id, std::move(stopAndWait));
    return Registration(this, id);
}

void WorkerRegistry::stopAll()
{
    std::vector<StopAndWait> callbacks;
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        for (auto it = m_workers.rbegin(); it != m_workers.rend(); ++it)
            callbacks.push_back(it->second);
    }
    for (const auto& callback : callbacks) {
        if (callback)
            callback();
    }
}

int WorkerRegistry::count() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_workers.size());
}

bool WorkerRegistry::isStopping() const
{
    QMutexLocker lock(&m_mutex);
    return m_stopping;
}

void WorkerRegistry::remove(quint64 id)
{
    QMutexLocker lock(&m_mutex);
    m_workers.erase(id);
}
