#include "app/QuitBackstop.h"

#include "app/AppLogging.h"

#include <future>
#include <memory>
#include <unistd.h>

QuitBackstop::QuitBackstop(std::chrono::milliseconds bound, Action lastWords, Action endProcess)
    : m_lastWords(std::move(lastWords))
    , m_endProcess(endProcess ? std::move(endProcess) : Action([] { ::_exit(0); }))
    , m_thread([this, bound] { watch(bound); })
{
}

QuitBackstop::~QuitBackstop()
{
    disarm();
}

void QuitBackstop::disarm()
{
    {
        // Taken only once a firing backstop is through with its actions.
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_disarmed.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void QuitBackstop::watch(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_mutex);
    if (m_disarmed.wait_for(lock, bound, [this] { return m_done; }))
        return;
    // The lock stays held: whoever disarms now waits for the end.
    qCWarning(lcApp).noquote() << "the workers did not stop within" << bound.count() << "ms; ending now";
    // The last words run on a thread of their own: a stuck worker may hold what
    // they need, and the process ends after kLastWordsBound whatever they do.
    auto spoken = std::make_shared<std::promise<void>>();
    std::future<void> done = spoken->get_future();
    std::thread([lastWords = m_lastWords, spoken] {
        if (lastWords)
            lastWords();
        spoken->set_value();
    }).detach();
    done.wait_for(kLastWordsBound);
    m_endProcess();
    m_done = true;
}
