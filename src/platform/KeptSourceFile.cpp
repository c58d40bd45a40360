#include "platform/KeptSourceFile.h"

#include "base/Logging.h"
#include "platform/FileRangeCopy.h"
#include "platform/FileReplacer.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

std::function<void()> beforeCopyHook;

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

KeptSourceFile::KeptSourceFile(int fd, QString path, const struct stat& status)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_status(status)
{
}

KeptSourceFile::~KeptSourceFile()
{
    ::close(m_fd);
}

std::unique_ptr<KeptSourceFile> KeptSourceFile::open(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat status { };
    // Reads of a regular file then block as usual.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<KeptSourceFile>(new KeptSourceFile(fd, path, status));
}

bool KeptSourceFile::readAt(qint64 offset, qsizetype count, QByteArray& bytes) const
{
    const qsizetype start = bytes.size();
    bytes.resize(start + count);
    qsizetype done = 0;
    bool ok = true;
    while (done < count) {
        const ssize_t read = ::pread(m_fd, bytes.data() + start + done, size_t(count - done), off_t(offset + done));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            ok = read == 0;
            break;
        }
        done += read;
    }
    bytes.resize(start + done);
    return ok;
}

std::optional<QString> KeptSourceFile::copyTo(
    int fd, qint64 offset, const std::function<void(QByteArrayView)>& seen) const
{
    if (beforeCopyHook)
        beforeCopyHook();
    const qint64 length = size() - offset;
    const FileRangeCopy::Result copied = seen ? FileRangeCopy::copyShowing(m_fd, offset, length, fd, seen)
                                              : FileRangeCopy::copy(m_fd, offset, length, fd);
    if (copied.error)
        return u"Cannot copy from \"%1\": %2"_s.arg(m_path, FileReplacer::errorText(copied.error));
    struct stat now { };
    if (::fstat(m_fd, &now) != 0)
        return FileReplacer::errorText(errno);
    if (copied.copied != length || now.st_size != m_status.st_size || !sameTime(now.st_mtim, m_status.st_mtim)) {
        qCWarning(lcMetadata).noquote() << "Not written:" << m_path << "changed while it was being copied";
        return u"\"%1\" changed while it was being copied; nothing was replaced."_s.arg(m_path);
    }
    return std::nullopt;
}

bool KeptSourceFile::isUnchanged() const
{
    struct stat now { };
    struct stat named { };
    return ::fstat(m_fd, &now) == 0 && ::stat(QFile::encodeName(m_path).constData(), &named) == 0
        && now.st_size == m_status.st_size && sameTime(now.st_mtim, m_status.st_mtim)
        && sameTime(now.st_ctim, m_status.st_ctim) && named.st_dev == m_status.st_dev
        && named.st_ino == m_status.st_ino;
}

void KeptSourceFile::setBeforeCopyHookForTesting(std::function<void()> hook)
{
    beforeCopyHook = std::move(hook);
}
