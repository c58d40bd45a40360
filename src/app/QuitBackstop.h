#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Ends the process when the application's end overruns its bound. The end waits
// for the workers to stop after the item in hand; one that does not answer (a
// file system that hangs, a call that never returns) must not keep the
// application alive. Armed on the main thread before the wait, disarmed after it.
//
// On overrun, the backstop runs lastWords (what must still happen: end helper
// processes, remove the run's temporary files), waits for them kLastWordsBound at
// most, and then runs endProcess, which by default ends the process at once
// with status 0.
class QuitBackstop {
public:
    using Action = std::function<void()>;
    static constexpr std::chrono::milliseconds kLastWordsBound { 300 };

    QuitBackstop(std::chrono::milliseconds bound, Action lastWords, Action endProcess = {});
    // Disarms.
    ~QuitBackstop();
    QuitBackstop(const QuitBackstop&) = delete;
    QuitBackstop& operator=(const QuitBackstop&) = delete;

    // After this the backstop does nothing. When it is firing meanwhile, this
    // waits until it is done (which, by default, is never: the process ends).
    void disarm();

private:
    void watch(std::chrono::milliseconds bound);

    Action m_lastWords;
    Action m_endProcess;
    std::mutex m_mutex;
    std::condition_variable m_disarmed;
    bool m_done = false;
    std::thread m_thread;
};
