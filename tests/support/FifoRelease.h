#pragma once

#include <QFile>
#include <QStringList>
#include <QThread>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

// A reader blocked in opening a FIFO returns once someone opens the FIFO's other
// end. A test whose work may block on a FIFO (a regression) waits for it with a
// bound, fails, and then calls this, so that it ends instead of hanging the run.
// Opens the write ends again and again, since the work may open a FIFO more than once.
inline void releaseFifosUntil(const QStringList& fifos, const std::function<bool()>& done)
{
    while (!done()) {
        for (const QString& fifo : fifos) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        QThread::msleep(10);
    }
}
