#include "platform/HeldFolder.h"

#include "base/Logging.h"
#include "platform/TemporaryNames.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kRandomLength = 6;

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether name is prefix and six letters or digits, as older versions made them
// with mkdtemp: such a folder is ours only where it holds their lock record.
bool isOlderMadeName(const QByteArray& name, const QByteArray& prefix)
{
    if (name.size() != prefix.size() + kRandomLength || !name.startsWith(prefix))
        return false;
    const QByteArray random = name.sliced(prefix.size());
    return std::all_of(random.begin(), random.end(),
        [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// Removes what the open folder holds, folders with their content; never follows
// a link. Closes fd.
void removeContent(int fd, int depth)
{
    DIR* entries = ::fdopendir(fd);
    if (!entries) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0 || (errno != EISDIR && errno != EPERM) || depth > 16)
            continue;
        const int inner = ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner >= 0) {
            removeContent(inner, depth + 1);
            ::unlinkat(fd, entry->d_name, AT_REMOVEDIR);
        }
    }
    ::closedir(entries);
}

// Removes name in the open parent, a folder open as fd (which stays open).
void removeFolder(int parent, const char* name, int fd)
{
    const int listing = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (listing >= 0) {
        ::lseek(listing, 0, SEEK_SET);
        removeContent(listing, 0);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// The "owner.lock" by which older versions held their folders: absent, or held
// by a live process, or free (its maker is gone).
enum class OwnerFile { Absent, Held, Free };

OwnerFile ownerFile(int fd)
{
    const int owner = ::openat(fd, "owner.lock", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (owner < 0)
        return OwnerFile::Absent;
    struct stat status { };
    const bool file = ::fstat(owner, &status) == 0 && S_ISREG(status.st_mode);
    const bool held = ::flock(owner, LOCK_EX | LOCK_NB) != 0;
    ::close(owner);
    return !file ? OwnerFile::Absent : held ? OwnerFile::Held : OwnerFile::Free;
}

} // namespace

HeldFolder::HeldFolder(const QString& parent, const QString& prefix)
{
    removeAbandoned(parent, prefix);
    const QByteArray folder = QFile::encodeName(parent) + '/';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray made = folder + TemporaryNames::make(QFile::encodeName(prefix));
        if (::mkdir(made.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        // A sweep may take the lock of a folder made a moment before and remove
        // it; that folder is then given up for another.
        const int fd = ::open(made.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        struct stat named { };
        struct stat open { };
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (locked && ::lstat(made.constData(), &named) == 0 && ::fstat(fd, &open) == 0 && sameFile(named, open)) {
            m_lock = fd;
            m_path = QFile::decodeName(made);
            return;
        }
        ::close(fd);
    }
    m_error = QString::fromLocal8Bit(std::strerror(EEXIST));
}

HeldFolder::~HeldFolder()
{
    if (m_lock < 0)
        return;
    const QByteArray path = QFile::encodeName(m_path);
    const qsizetype slash = path.lastIndexOf('/');
    const int parent = ::open(slash > 0 ? path.left(slash).constData() : "/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent >= 0) {
        removeFolder(parent, path.constData() + slash + 1, m_lock);
        ::close(parent);
    }
    ::close(m_lock);
}

void HeldFolder::removeFolderAt(int parentFd, const char* name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    removeFolder(parentFd, name, fd);
    ::close(fd);
}

int HeldFolder::removeAbandoned(const QString& parent, const QString& prefix)
{
    const int parentFd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return 0;
    const int listing = ::fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0)
            ::close(listing);
        ::close(parentFd);
        return 0;
    }
    const QByteArray wanted = QFile::encodeName(prefix);
    int removed = 0;
    while (const dirent* entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        const bool made = TemporaryNames::madeLength(name, wanted) == name.size();
        if (!made && !isOlderMadeName(name, wanted))
            continue;
        struct stat named { };
        if (::fstatat(parentFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(named.st_mode)
            || named.st_uid != ::geteuid())
            continue;
        const int fd = ::openat(parentFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat open { };
        if (::fstat(fd, &open) == 0 && sameFile(named, open) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && (made ? ownerFile(fd) != OwnerFile::Held : ownerFile(fd) == OwnerFile::Free)) {
            removeFolder(parentFd, entry->d_name, fd);
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(entries);
    ::close(parentFd);
    if (removed > 0)
        qCInfo(lcMetadata).noquote() << "Removed" << removed << "folders" << prefix + QStringLiteral("…")
                                     << "left by ended runs in" << parent;
    return removed;
}
