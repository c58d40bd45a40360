#include "platform/FileAttributes.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileAttributes::isWritable(const QString& path)
{
    if (path.isEmpty())
        return false;
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool FileAttributes::isImmutable(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct statx attributes { };
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS, &attributes)
        != 0)
        return false;
    return (attributes.stx_attributes_mask & STATX_ATTR_IMMUTABLE) != 0
        && (attributes.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
}

bool FileAttributes::setModificationTime(const QString& path, const QDateTime& moment)
{
    if (path.isEmpty() || !moment.isValid())
        return false;
    const qint64 msecs = moment.toMSecsSinceEpoch();
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0));
    times[1].tv_nsec = static_cast<long>(((msecs % 1000) + 1000) % 1000) * 1000000L;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}
