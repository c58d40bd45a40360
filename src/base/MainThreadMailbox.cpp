#include "base/MainThreadMailbox.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>

MainThreadMailbox::MainThreadMailbox(QObject* receiver, std::function<void()> sliceEnded, int sliceMs)
    : m_receiver(receiver)
    , m_sliceEnded(std::move(sliceEnded))
    , m_sliceMs(sliceMs)
{
}

void MainThreadMailbox::post(std::function<void()> call)
{
    {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        if (m_sliceAsked)
            return;
        m_sliceAsked = true;
    }
    askForSlice();
}

void MainThreadMailbox::askForSlice()
{
    // A call posted while the event loop delivers posted calls waits for its next
    // turn, after the timers and input that came meanwhile.
    QMetaObject::invokeMethod(
        m_receiver, [this] { deliverSlice(); }, Qt::QueuedConnection);
}

std::function<void()> MainThreadMailbox::next()
{
    const std::lock_guard lock(m_mutex);
    if (m_calls.empty()) {
        m_sliceAsked = false;
        return {};
    }
    std::function<void()> call = std::move(m_calls.front());
    m_calls.pop_front();
    return call;
}

void MainThreadMailbox::deliverSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (const std::function<void()> call = next()) {
        call();
        if (clock.elapsed() >= m_sliceMs) {
            askForSlice();
            break;
        }
    }
    if (m_sliceEnded)
        m_sliceEnded();
}

void MainThreadMailbox::deliverAll()
{
    // A slice already asked for finds nothing left, or what was posted after this.
    while (const std::function<void()> call = next())
        call();
    if (m_sliceEnded)
        m_sliceEnded();
}
