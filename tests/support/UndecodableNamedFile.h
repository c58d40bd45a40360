#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// A file whose name holds bytes that are not valid UTF-8, removed by those bytes
// when the holder goes. Qt names such a file with U+FFFD, a text that reaches no
// file, so neither QFile nor a QTemporaryDir could remove it: hold one of these in
// the test, inside the temporary folder it leaves, so that the folder can go too.
class UndecodableNamedFile {
public:
    // Moves the file at from to rawPath; without from, makes an empty file there.
    explicit UndecodableNamedFile(QByteArray rawPath, const QByteArray& from = {})
        : m_rawPath(std::move(rawPath))
    {
        if (from.isEmpty()) {
            const int fd = ::open(m_rawPath.constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
            m_made = fd >= 0;
            if (m_made)
                ::close(fd);
        } else {
            m_made = std::rename(from.constData(), m_rawPath.constData()) == 0;
        }
    }
    ~UndecodableNamedFile()
    {
        if (m_made)
            ::unlink(m_rawPath.constData());
    }
    UndecodableNamedFile(const UndecodableNamedFile&) = delete;
    UndecodableNamedFile& operator=(const UndecodableNamedFile&) = delete;

    bool isMade() const { return m_made; }
    const QByteArray& rawPath() const { return m_rawPath; }
    // The text Qt makes of the name when it lists the folder.
    QString listedPath() const { return QFile::decodeName(m_rawPath); }

private:
    QByteArray m_rawPath;
    bool m_made = false;
};
