#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

// Holds a worker at a chosen step until the test has done what must come first
// (asked for a stop, say), so that a race between the two threads always ends
// the same way. The first freePasses calls of pass() go through; every later
// one waits until open() was called.
//
// Worker callbacks keep the gate alive through a shared pointer; a ScopedOpening
// opens it when the test's scope ends, so no worker stays held when a test
// fails before it opens the gate itself.
class TestGate {
public:
    explicit TestGate(int freePasses = 0)
        : m_freePasses(freePasses)
    {
    }

    void pass()
    {
        std::unique_lock lock(m_mutex);
        if (m_passes++ >= m_freePasses)
            m_opened.wait(lock, [this] { return m_open; });
    }

    void open()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }

    class ScopedOpening {
    public:
        explicit ScopedOpening(std::shared_ptr<TestGate> gate)
            : m_gate(std::move(gate))
        {
        }
        ~ScopedOpening() { m_gate->open(); }
        ScopedOpening(const ScopedOpening&) = delete;
        ScopedOpening& operator=(const ScopedOpening&) = delete;

    private:
        std::shared_ptr<TestGate> m_gate;
    };

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    const int m_freePasses;
    int m_passes = 0;
    bool m_open = false;
};
