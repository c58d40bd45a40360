#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <ctime>

// Where the shared sample photos are: read them in place, never write beside them.
inline QString samplesDir()
{
    return QStringLiteral(VELLORAN_SAMPLES_DIR);
}

// Runs a test in a fixed time zone whatever TZ the process was started with, and
// restores the previous zone afterwards. Qt reads TZ again on every local-time
// conversion, so the change takes effect at once.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_hadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};
