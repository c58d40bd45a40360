#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe (FIFO), not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    return QStringLiteral("it is not a regular file");
}

} // namespace

int openRegularFileForReading(const QString& path, QString* why)
{
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return -1;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no path was given"));
    // O_NONBLOCK: opening a FIFO for reading returns at once instead of waiting for
    // a writer. O_NOCTTY: a terminal never becomes ours.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status { };
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(kindText(status.st_mode));
    }
    // Reads of a regular file then block as usual.
    if (::fcntl(fd, F_SETFL, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QString::fromLocal8Bit(std::strerror(error)));
    }
    return fd;
}

bool openRegularFile(QFile& file, QString* why)
{
    const int fd = openRegularFileForReading(file.fileName(), why);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

RegularFileForReading::RegularFileForReading(const QString& path)
{
    // In the body: m_problem must exist before the opening writes to it.
    m_fd = openRegularFileForReading(path, &m_problem);
}

RegularFileForReading::~RegularFileForReading()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray RegularFileForReading::reopenableName() const
{
    return m_fd >= 0 ? QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(m_fd) : QByteArray();
}

QString regularFileProblem(const QString& path)
{
    return RegularFileForReading(path).problem();
}

QString openablePhotoPath(const QString& path)
{
    if (!regularFileProblem(path).isEmpty())
        return {};
    return QFileInfo(path).absoluteFilePath();
}
