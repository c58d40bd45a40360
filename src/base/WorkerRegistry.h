#pragma once

#include <QMutex>
#include <functional>
#include <map>

// The one place that knows which workers are running, so that the application can
// stop them and wait for them before it ends. A worker that writes files (intake,
// batch run) registers a callback that asks it to stop after the item in hand and
// returns once it has finished; the registration ends with the worker.
//
// stopAll() is called once at termination on the main thread. It calls each
// callback outside the lock, newest first, so a worker may end its registration
// from inside its own callback. A worker that registers after stopAll() has begun is
// stopped at once: nothing starts writing while the application ends.
class WorkerRegistry {
public:
    using StopAndWait = std::function<void()>;

    // Ends its registration when destroyed or reset. Move-only.
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept;
        Registration& operator=(Registration&& other) noexcept;
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration();

        void reset();
        bool isActive() const { return m_registry != nullptr; }

    private:
        friend class WorkerRegistry;
        Registration(WorkerRegistry* registry, quint64 id)
            : m_registry(registry)
            , m_id(id)
        {
        }
        WorkerRegistry* m_registry = nullptr;
        quint64 m_id = 0;
    };

    WorkerRegistry() = default;
    WorkerRegistry(const WorkerRegistry&) = delete;
    WorkerRegistry& operator=(const WorkerRegistry&) = delete;

    // The registry must outlive every registration it hands out.
    [[nodiscard]] Registration add(StopAndWait stopAndWait);

    // Asks every running worker to stop and waits for each.
    void stopAll();

    int count() const;
    bool isStopping() const;

private:
    void remove(quint64 id);

    mutable QMutex m_mutex;
    std::map<quint64, StopAndWait> m_workers;
    quint64 m_nextId = 1;
    bool m_stopping = false;
};
