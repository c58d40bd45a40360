#pragma once

#include <QString>

class QFile;

// Opening a user's file for reading without ever blocking.
//
// Only regular files are opened: a FIFO would block the opening thread until some
// other process writes to it, and a device may block or answer without end. The
// open itself is made with O_NONBLOCK and the kind is asked of the opened
// descriptor (fstat), never of the name beforehand: the name can be swapped for a
// FIFO between a look and an open. Reads from the answered descriptor block as
// usual.

// A descriptor of the regular file at path, open for reading (close-on-exec), or
// -1 when path names no regular file or cannot be opened; *why (may be null) then
// says why, in words for the user ("it is a named pipe (FIFO), not a file").
int openRegularFileForReading(const QString& path, QString* why = nullptr);

// Opens file (by its fileName()) read-only through openRegularFileForReading; the
// QFile owns the descriptor. False, with the reason in *why, as above.
bool openRegularFile(QFile& file, QString* why = nullptr);

// A regular file opened for reading as above, closed when the object goes.
class RegularFileForReading {
public:
    explicit RegularFileForReading(const QString& path);
    ~RegularFileForReading();
    RegularFileForReading(const RegularFileForReading&) = delete;
    RegularFileForReading& operator=(const RegularFileForReading&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // Why it is not open, in words for the user.
    const QString& problem() const { return m_problem; }
    // A name under which a library that opens files by name reaches this very
    // file while the object lives, whatever the user's name stands for meanwhile
    // ("/proc/self/fd/N"); "" when it is not open.
    QByteArray reopenableName() const;

private:
    int m_fd = -1;
    QString m_problem;
};

// Why path cannot be opened as a photo, in words for the user; "" when it can.
QString regularFileProblem(const QString& path);

// The path under which a photo may be opened for reading, or "" when it may not.
// The answer is absolute, so that exiv2 never takes a relative "http://..." text
// for a remote file. Its file was a regular file when asked; an opening by the
// name afterwards must still be one that cannot block (see above).
QString openablePhotoPath(const QString& path);
