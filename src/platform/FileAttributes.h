#pragma once

#include <QDateTime>
#include <QString>

// The few file-system questions and changes the metadata writer needs that Qt does
// not answer the Linux way: write access as the kernel grants it, the immutable
// flag, and a file's modification time. None of them throws; a failure is a
// false answer.
//
// A file's creation (birth) time cannot be set on Linux file systems, so there is
// no call for it.
class FileAttributes {
public:
    // Whether the calling process may write the path as it stands (access(2) with
    // W_OK): false for a path without a file, for a read-only mount and for an
    // immutable file, also for root.
    static bool isWritable(const QString& path);

    // Whether the file carries the immutable flag (chattr +i), as statx(2) reports
    // it; false when the flag or the file cannot be read.
    static bool isImmutable(const QString& path);

    // Sets the file's modification time to the moment (to the millisecond); the
    // access time stays. False when the file cannot be changed.
    static bool setModificationTime(const QString& path, const QDateTime& moment);
};
