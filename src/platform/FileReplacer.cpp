#include "platform/FileReplacer.h"

#include "base/Logging.h"
#include "platform/TemporaryNames.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Takes the lock by which a temporary file tells the sweep that its writer lives.
// Answers false only when someone else holds it (a sweep about to remove the
// file); a file system without such locks lets the write go on unheld.
bool takeWriterLock(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Whether name in folder is still the file open as fd.
bool namesFile(int folder, const QByteArray& name, int fd)
{
    struct stat named { };
    struct stat open { };
    return ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0
        && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Makes a file under a fresh temporary name in folder, opened with flags, and
// holds its writer lock. A sweep may take the lock of a name made a moment before
// and remove it; that name is then given up for another. With a suffix, the name
// with it must be free too (it is for another program's file). Answers the
// descriptor and the name, or -errno.
std::pair<int, QByteArray> makeHeldTemporary(int folder, int flags, QByteArrayView suffix = {})
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = FileReplacer::temporaryName();
        const int fd = ::openat(folder, name.constData(), O_CREAT | O_EXCL | O_CLOEXEC | flags, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return { -errno, QByteArray() };
        }
        if (takeWriterLock(fd) && namesFile(folder, name, fd)) {
            struct stat other { };
            const QByteArray suffixed = name + '.' + suffix.toByteArray();
            if (suffix.isEmpty() || ::fstatat(folder, suffixed.constData(), &other, AT_SYMLINK_NOFOLLOW) != 0)
                return { fd, name };
            ::unlinkat(folder, name.constData(), 0);
        }
        ::close(fd);
    }
    return { -EEXIST, QByteArray() };
}

// The new file while it is written. Where the file system allows it, it is made
// with O_TMPFILE and has no name at all until it is complete, so a process that
// is killed leaves nothing behind; elsewhere it has a name of ours, removed on
// every failure. Every name is relative to the open destination folder, so a
// folder renamed meanwhile neither strands the file nor sends it somewhere else.
// A named file's writer lock is held until the name is gone or renamed (past the
// close that reports a failed write-back), by a second descriptor.
class TemporaryFile {
public:
    TemporaryFile(int folder, int fd, QByteArray name)
        : m_folder(folder)
        , m_fd(fd)
        , m_name(std::move(name))
    {
        if (!m_name.isEmpty())
            m_lock = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty() && !m_renamed)
            ::unlinkat(m_folder, m_name.constData(), 0);
        if (m_lock >= 0)
            ::close(m_lock);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    // Gives an unnamed file its name in the folder (the file must still be open);
    // answers errno of a failure, else 0.
    int linkAs(const QByteArray& name)
    {
        if (m_lock < 0 && FileReplacer::isTemporaryName(name)) {
            // Held before it has a name: no sweep can judge it abandoned.
            takeWriterLock(m_fd);
            m_lock = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
        }
        if (::linkat(m_fd, "", m_folder, name.constData(), AT_EMPTY_PATH) != 0) {
            // Naming through the descriptor itself needs a privilege; its entry
            // under /proc does not.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            if (::linkat(AT_FDCWD, self.constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) != 0)
                return errno;
        }
        m_name = name;
        return 0;
    }
    const QByteArray& name() const { return m_name; }
    // Closes the file; answers errno of a failed close (data not written back), else 0.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }
    void markRenamed() { m_renamed = true; }

private:
    int m_folder;
    int m_fd;
    QByteArray m_name;
    int m_lock = -1;
    bool m_renamed = false;
};

// An open descriptor, closed at the end of its scope.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Makes the temporary file in the folder: unnamed where the file system can,
// else under a fresh name of ours. Answers the descriptor and its name (empty
// when unnamed), or errno.
std::pair<int, QByteArray> makeTemporary(int folder)
{
    const int unnamed = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0)
        return { unnamed, QByteArray() };
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return { -errno, QByteArray() };
    return makeHeldTemporary(folder, O_RDWR);
}

// Whether the temporary file found as info under name in folder belongs to a
// writer that is gone: the file of its bare name is missing, or no one holds its
// lock. While the answer is yes, *held keeps that lock (-1 when there is no bare
// file), so that no writer takes the name until the caller is done.
bool isAbandoned(int folder, const char* name, const struct stat& info, int* held)
{
    *held = -1;
    const QByteArray bare(name, TemporaryNames::madeLength(name, FileReplacer::kTemporaryPrefix));
    const int fd = ::openat(folder, bare.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT && bare != name;
    struct stat bareInfo { };
    const bool free = ::fstat(fd, &bareInfo) == 0 && S_ISREG(bareInfo.st_mode)
        && (bare != name || (bareInfo.st_dev == info.st_dev && bareInfo.st_ino == info.st_ino))
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!free) {
        ::close(fd);
        return false;
    }
    *held = fd;
    return true;
}

// A process killed mid-write leaves a named temporary file where the file system
// had no unnamed ones, in the moment between its link and its rename, and the
// output of exiftool. Each is removed once its writer is gone, however recent;
// a live writer's is kept. Answers how many went.
int sweepTemporaryFiles(int folder)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    DIR* entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(entries)) {
        if (!FileReplacer::isTemporaryName(entry->d_name))
            continue;
        struct stat info { };
        int held = -1;
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)
            || !isAbandoned(folder, entry->d_name, info, &held))
            continue;
        if (::unlinkat(folder, entry->d_name, 0) == 0) {
            ++removed;
            qCInfo(lcMetadata) << "Removed an unfinished write left by an ended run:" << entry->d_name;
        }
        if (held >= 0)
            ::close(held);
    }
    ::closedir(entries);
    return removed;
}

// Each destination folder is swept once per process, before the first write into it.
void sweepOnce(int folder, const struct stat& folderStat)
{
    static std::mutex mutex;
    static std::set<std::pair<dev_t, ino_t>> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert({ folderStat.st_dev, folderStat.st_ino }).second)
            return;
    }
    sweepTemporaryFiles(folder);
}

std::function<void(const QString&, FileReplacer::Stage)> stageHook;

bool isLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

void FileReplacer::setStageHookForTesting(std::function<void(const QString& path, Stage stage)> hook)
{
    stageHook = std::move(hook);
}

QByteArray FileReplacer::temporaryName(QByteArrayView suffix)
{
    QByteArray name = TemporaryNames::make(kTemporaryPrefix);
    if (!suffix.isEmpty())
        name += '.' + suffix.toByteArray();
    return name;
}

bool FileReplacer::isTemporaryName(QByteArrayView name)
{
    const qsizetype made = TemporaryNames::madeLength(name, kTemporaryPrefix);
    if (made == 0)
        return false;
    const QByteArrayView rest = name.sliced(made);
    return rest.isEmpty()
        || (rest.size() >= 2 && rest.front() == '.' && std::all_of(rest.begin() + 1, rest.end(), isLetterOrDigit));
}

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

std::optional<QString> FileReplacer::resolvedTarget(const QString& path, QString& resolved)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat link { };
    if (::lstat(encoded.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        resolved = path;
        return std::nullopt;
    }
    // A link is written through: the file it reaches is edited and the link stays.
    char* real = ::realpath(encoded.constData(), nullptr);
    if (!real) {
        const int error = errno;
        return u"Cannot follow the link \"%1\": %2"_s.arg(
            path, error == ENOENT ? u"it points to no file"_s : errorText(error));
    }
    resolved = QFile::decodeName(real);
    std::free(real);
    return std::nullopt;
}

std::optional<QString> FileReplacer::replace(const QString& givenPath, QByteArrayView bytes, const Options& options)
{
    QString path;
    if (std::optional<QString> error = resolvedTarget(givenPath, path))
        return error;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const Descriptor folder(
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return errorText(errno);
    struct stat folderStat { };
    if (::fstat(folder.get(), &folderStat) != 0)
        return errorText(errno);
    sweepOnce(folder.get(), folderStat);
    const auto [fd, madeName] = makeTemporary(folder.get());
    if (fd < 0)
        return errorText(-fd);
    TemporaryFile temporary(folder.get(), fd, madeName);

    struct stat existing { };
    const bool replacesFile = ::fstatat(folder.get(), name.constData(), &existing, 0) == 0 && S_ISREG(existing.st_mode);
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
    if (options.beforeRename) {
        // The file's blocks go to the disk while the caller keeps what it must
        // before the rename: its own flush then commits the journal that holds
        // them, and the flush below finds little left to wait for. One commit per
        // photo, where a flush of each in turn takes two.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        if (std::optional<QString> error = options.beforeRename(fd, bytes))
            return error;
    }
    if (stageHook)
        stageHook(path, Stage::BeforeFlush);
    if (::fsync(fd) != 0)
        return errorText(errno);
    if (stageHook)
        stageHook(path, Stage::BeforeRename);
    if (options.lastCheck) {
        if (std::optional<QString> error = options.lastCheck())
            return error;
    }
    if (temporary.name().isEmpty()) {
        // A new target takes the name at once, where nothing can be left behind;
        // a file in the way is replaced through a name of ours, for the moment
        // between the link and the rename.
        int error = temporary.linkAs(name);
        if (error == EEXIST) {
            for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt)
                error = temporary.linkAs(temporaryName());
        }
        if (error != 0)
            return errorText(error);
    }
    // Until the close succeeded, a failure removes what was named, the target too
    // when it was new: the name was free when it was taken.
    if (const int error = temporary.close())
        return errorText(error);
    if (temporary.name() != name
        && ::renameat(folder.get(), temporary.name().constData(), folder.get(), name.constData()) != 0)
        return errorText(errno);
    temporary.markRenamed();
    return std::nullopt;
}

int FileReplacer::removeAbandonedTemporaryFiles(const QString& folder)
{
    const Descriptor opened(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return opened.get() < 0 ? 0 : sweepTemporaryFiles(opened.get());
}

FileReplacer::HeldName::HeldName(const QString& folder, QByteArrayView suffix)
{
    const Descriptor opened(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (opened.get() < 0) {
        m_error = errorText(errno);
        return;
    }
    struct stat folderStat { };
    if (::fstat(opened.get(), &folderStat) == 0)
        sweepOnce(opened.get(), folderStat);
    const auto [fd, name] = makeHeldTemporary(opened.get(), O_RDONLY, suffix);
    if (fd < 0) {
        m_error = errorText(-fd);
        return;
    }
    m_fd = fd;
    m_held = folder + u'/' + QFile::decodeName(name);
    m_path = m_held + u'.' + QString::fromLatin1(suffix);
}

FileReplacer::HeldName::~HeldName()
{
    if (m_fd < 0)
        return;
    // The output first: while the bare file is held, no sweep takes it for abandoned.
    ::unlink(QFile::encodeName(m_path).constData());
    ::unlink(QFile::encodeName(m_held).constData());
    ::close(m_fd);
}
