#include "platform/FileReplacer.h"

#include "base/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// Closes the temporary file and, unless it was renamed into place, removes it.
class TemporaryFile {
public:
    TemporaryFile(int fd, QByteArray path)
        : m_fd(fd)
        , m_path(std::move(path))
    {
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_path.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    const QByteArray& path() const { return m_path; }
    // Closes the file; answers errno of a failed close (data not written back), else 0.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }
    void markRenamed() { m_renamed = true; }

private:
    int m_fd;
    QByteArray m_path;
    bool m_renamed = false;
};

} // namespace

int FileReplacer::writeAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(std::min<qsizetype>(left, 1 << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

namespace {

// The namespaces whose attributes an unprivileged process may not set; failing to
// copy one of them is no reason to refuse the write.
bool isPrivilegedAttribute(const char* name)
{
    return std::strncmp(name, "security.", 9) == 0 || std::strncmp(name, "trusted.", 8) == 0;
}

// Copies every extended attribute of the file at from onto the open file;
// answers errno of the first attribute that must be kept and could not be.
int copyExtendedAttributes(const QByteArray& from, int toFd)
{
    ssize_t size = ::llistxattr(from.constData(), nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP ? 0 : errno;
    std::vector<char> names(size_t(size) + 1, '\0');
    size = ::llistxattr(from.constData(), names.data(), names.size());
    if (size < 0)
        return errno;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
        const ssize_t length = ::lgetxattr(from.constData(), name, nullptr, 0);
        if (length < 0)
            continue;
        value.resize(size_t(length) + 1);
        const ssize_t read = ::lgetxattr(from.constData(), name, value.data(), value.size());
        if (read < 0)
            continue;
        if (::fsetxattr(toFd, name, value.data(), size_t(read), 0) != 0) {
            const int error = errno;
            qCWarning(lcMetadata) << "Cannot keep the extended attribute" << name << "of" << QFile::decodeName(from)
                                  << ":" << FileReplacer::errorText(error);
            if (!isPrivilegedAttribute(name))
                return error;
        }
    }
    return 0;
}

} // namespace

QString FileReplacer::errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QString> FileReplacer::replace(const QString& path, QByteArrayView bytes, const Options& options)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    QByteArray pattern = folder + '/' + kTemporaryPrefix + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return errorText(errno);
    TemporaryFile temporary(fd, pattern);

    struct stat existing { };
    const bool replacesFile = ::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode);
    if (replacesFile) {
        // Owner first: a change of owner clears the set-id bits that the mode then puts back.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
            qCInfo(lcMetadata) << "Cannot keep the owner and group of" << path << ":" << errorText(errno);
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            return errorText(errno);
        // After the mode: an access control list in the attributes sets the group bits as it needs them.
        if (const int error = copyExtendedAttributes(target, fd))
            return errorText(error);
    } else if (!options.newFileModeOf.isEmpty()) {
        struct stat model { };
        if (::stat(QFile::encodeName(options.newFileModeOf).constData(), &model) == 0
            && ::fchmod(fd, model.st_mode & 0777) != 0)
            return errorText(errno);
    }

    if (const int error = writeAll(fd, bytes))
        return errorText(error);
    if (options.append) {
        if (std::optional<QString> error = options.append(fd))
            return error;
    }
    if (options.modified && options.modified->isValid()) {
        const qint64 msecs = options.modified->toMSecsSinceEpoch();
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0));
        times[1].tv_nsec = static_cast<long>(((msecs % 1000) + 1000) % 1000) * 1000000L;
        if (::futimens(fd, times) != 0)
            qCWarning(lcMetadata) << "Cannot set the modification time of" << path << ":" << errorText(errno);
    }
    if (::fsync(fd) != 0)
        return errorText(errno);
    if (const int error = temporary.close())
        return errorText(error);
    if (::rename(temporary.path().constData(), target.constData()) != 0)
        return errorText(errno);
    temporary.markRenamed();
    return std::nullopt;
}
