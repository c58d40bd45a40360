#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

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

// A test case's text as a test name can carry it: printable ASCII as it stands,
// anything else as \uXXXX, so that names stay on one line and the same on every run.
inline std::string printableText(QStringView text)
{
    std::string out;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            out += char(c.unicode());
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(c.unicode()));
            out += escaped;
        }
    }
    return out;
}

// Changes the byte at offset in place, the file's size and modification time left
// as they were, as a program that means to go unnoticed would; false on failure.
inline bool flipByteKeepingTime(const QString& path, qint64 offset)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat before { };
    QFile file(path);
    char byte = 0;
    if (::stat(encoded.constData(), &before) != 0 || !file.open(QIODevice::ReadWrite) || !file.seek(offset)
        || !file.getChar(&byte) || !file.seek(offset) || !file.putChar(char(byte ^ 0x10)))
        return false;
    file.close();
    const struct timespec times[2] = { before.st_atim, before.st_mtim };
    return ::utimensat(AT_FDCWD, encoded.constData(), times, 0) == 0;
}
