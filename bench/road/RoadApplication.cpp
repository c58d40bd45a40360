#include "RoadApplication.h"

#include "RoadStageMeter.h"

#include <QElapsedTimer>
#include <QMetaEnum>
#include <QThread>
#include <cstdio>
#include <ctime>

namespace {

// The processor time of the calling thread so far.
qint64 threadCpuNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

RoadApplication::RoadApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool RoadApplication::notify(QObject* receiver, QEvent* event)
{
    if (!m_meter || m_depth > 0 || QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    // Taken before the delivery: the receiver may be gone after it.
    const char* className = receiver->metaObject()->className();
    const QString objectName = receiver->objectName();
    const int type = event->type();
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = threadCpuNanoseconds();
    struct Depth {
        int& depth;
        explicit Depth(int& d)
            : depth(d)
        {
            ++depth;
        }
        ~Depth() { --depth; }
    };
    bool handled = false;
    {
        const Depth depth(m_depth);
        handled = QApplication::notify(receiver, event);
    }
    m_meter->eventDelivered(clock.nsecsElapsed(), threadCpuNanoseconds() - cpuBefore, [&] {
        const char* typeName = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
        QString what = QString::fromLatin1(className);
        if (!objectName.isEmpty())
            what += QLatin1Char(' ') + objectName;
        return what + QLatin1String(" / ") + (typeName ? QString::fromLatin1(typeName) : QString::number(type));
    });
    return handled;
}

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void installQuietMessages()
{
    qInstallMessageHandler(quietMessages);
}

void print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}
