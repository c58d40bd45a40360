#pragma once

#include <QFile>
#include <QString>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// A child process that runs setUp, reports the text it answers and then lives on
// holding what it made, until it is ended: another run of ours, as the kernel
// sees it. Ending it is a kill, so nothing of it is cleaned up.
class HoldingChild {
public:
    explicit HoldingChild(const std::function<QString()>& setUp)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const QByteArray text = QFile::encodeName(setUp());
            (void)!::write(ready[1], text.constData(), size_t(text.size()));
            ::close(ready[1]);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char text[4096] = {};
        const ssize_t length = m_pid > 0 ? ::read(ready[0], text, sizeof text - 1) : -1;
        ::close(ready[0]);
        if (length > 0)
            m_reported = QFile::decodeName(QByteArray(text, length));
    }
    ~HoldingChild() { end(); }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    bool isRunning() const { return m_pid > 0; }
    // What setUp answered; empty when the child could not be made.
    const QString& reported() const { return m_reported; }
    void end()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    QString m_reported;
};
