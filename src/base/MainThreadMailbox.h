#pragma once

#include <deque>
#include <functional>
#include <mutex>

class QObject;

// Calls that worker threads hand to the main thread, run there in the order they
// were posted, a slice of a few milliseconds at a time: between two slices the
// event loop serves its timers, input and paints. A queued call per result instead
// lets a fast run post thousands at once, which the event loop then delivers in
// one go while the window stands still.
class MainThreadMailbox {
public:
    // Calls run on receiver's thread while receiver lives; sliceEnded runs after
    // each slice (a place to report what the slice changed, once).
    explicit MainThreadMailbox(QObject* receiver, std::function<void()> sliceEnded = {}, int sliceMs = 8);
    MainThreadMailbox(const MainThreadMailbox&) = delete;
    MainThreadMailbox& operator=(const MainThreadMailbox&) = delete;

    // From any thread.
    void post(std::function<void()> call);

    // On receiver's thread: runs every call posted so far, at once (a wait for the end).
    void deliverAll();

private:
    void askForSlice();
    void deliverSlice();
    std::function<void()> next();

    QObject* m_receiver;
    std::function<void()> m_sliceEnded;
    int m_sliceMs;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
    bool m_sliceAsked = false;
};
