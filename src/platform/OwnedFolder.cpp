#include "platform/OwnedFolder.h"

#include "platform/FileReplacer.h"
#include "platform/HeldFolder.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

QString refusal(const QString& path, const QString& reason)
{
    return u"Cannot make the folder \"%1\": %2"_s.arg(path, reason);
}

} // namespace

OwnedFolder::OwnedFolder(int fd, QString path, uid_t owner, bool rootMayOwn)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_owner(owner)
    , m_rootMayOwn(rootMayOwn)
{
}

OwnedFolder::~OwnedFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

OwnedFolder::OwnedFolder(OwnedFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_owner(other.m_owner)
    , m_rootMayOwn(other.m_rootMayOwn)
{
}

OwnedFolder& OwnedFolder::operator=(OwnedFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_owner = other.m_owner;
        m_rootMayOwn = other.m_rootMayOwn;
    }
    return *this;
}

OwnedFolder OwnedFolder::open(
    const QString& start, QStringView relative, uid_t owner, bool make, bool rootMayOwn, QString& error)
{
    const int fd = ::open(QFile::encodeName(start).constData(), kFolderFlags);
    if (fd < 0) {
        error = refusal(start, FileReplacer::errorText(errno));
        return {};
    }
    OwnedFolder folder = checked(fd, start, owner, rootMayOwn, error);
    for (const QStringView name : relative.split(u'/', Qt::SkipEmptyParts)) {
        if (!folder.isOpen())
            break;
        folder = folder.child(name.toString(), make, error);
    }
    return folder;
}

OwnedFolder OwnedFolder::child(const QString& name, bool make, QString& error) const
{
    const QString path = m_path.endsWith(u'/') ? m_path + name : m_path + u'/' + name;
    if (name.isEmpty() || name == "."_L1 || name == ".."_L1 || name.contains(u'/')) {
        error = refusal(path, u"the name is not one folder's"_s);
        return {};
    }
    const QByteArray encoded = QFile::encodeName(name);
    int fd = ::openat(m_fd, encoded.constData(), kFolderFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && make) {
        if (::mkdirat(m_fd, encoded.constData(), 0700) != 0 && errno != EEXIST) {
            error = refusal(path, FileReplacer::errorText(errno));
            return {};
        }
        fd = ::openat(m_fd, encoded.constData(), kFolderFlags | O_NOFOLLOW);
    }
    if (fd < 0) {
        const int openError = errno;
        struct stat status { };
        if (::fstatat(m_fd, encoded.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
            error = refusal(path, u"it is a symbolic link"_s);
        else if (openError == ENOTDIR)
            error = refusal(path, u"it is not a folder"_s);
        else
            error = refusal(path, FileReplacer::errorText(openError));
        return {};
    }
    return checked(fd, path, m_owner, m_rootMayOwn, error);
}

OwnedFolder OwnedFolder::checked(int fd, const QString& path, uid_t owner, bool rootMayOwn, QString& error)
{
    OwnedFolder folder(fd, path, owner, rootMayOwn);
    struct stat status { };
    if (::fstat(fd, &status) != 0)
        error = refusal(path, FileReplacer::errorText(errno));
    else if (!S_ISDIR(status.st_mode))
        error = refusal(path, u"it is not a folder"_s);
    else if (status.st_uid != owner && !(rootMayOwn && status.st_uid == 0))
        error = refusal(path, u"it belongs to another user"_s);
    else
        return folder;
    return {};
}

bool OwnedFolder::makePrivate(QString& error) const
{
    struct stat status { };
    if (::fstat(m_fd, &status) != 0 || ((status.st_mode & 07777) != 0700 && ::fchmod(m_fd, 0700) != 0)) {
        error = refusal(m_path, FileReplacer::errorText(errno));
        return false;
    }
    return true;
}

void OwnedFolder::removeChild(const QByteArray& name) const
{
    HeldFolder::removeFolderAt(m_fd, name.constData());
}

QString OwnedFolder::descriptorPath() const
{
    return u"/proc/self/fd/"_s + QString::number(m_fd);
}
