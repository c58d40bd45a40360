#include "platform/RestoreData.h"

#include "base/Logging.h"
#include "platform/FileReplacer.h"
#include "platform/KeptSourceFile.h"
#include "platform/OwnedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>
#include <zstd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The data file: a fixed header, the original's path (for a person looking into
// the folder), then the payload. The last letter of the magic is the layout's
// version: the first held no hash of the whole new file nor of the payload.
constexpr char kMagic[8] = { 'V', 'L', 'R', 'S', 'T', 'O', 'R', '2' };
constexpr char kFirstMagic[8] = { 'V', 'L', 'R', 'S', 'T', 'O', 'R', '1' };
constexpr quint8 kRawBytes = 0;
constexpr quint8 kZstdDelta = 1;
constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();
// zstd's window sizes (its limits on every platform): a file beyond the largest
// keeps its original bytes.
constexpr int kMinWindowLog = 10;
constexpr int kMaxWindowLog = 30;

struct Header {
    char magic[8];
    quint8 method;
    quint8 windowLog;
    quint8 padding[6];
    quint64 originalSize;
    quint64 newSize;
    quint64 sharedEnd; // bytes at the end that the new file holds as the original did
    quint64 newFileHash; // XXH3 of the whole new file, as it was written
    quint64 payloadHash; // XXH3 of the payload
    qint64 originalModified; // nanoseconds since the epoch, or kNoTime
    qint64 newModified;
    quint64 payloadSize;
    quint32 pathSize;
    quint32 padding2;
};
static_assert(sizeof(Header) == 88);

std::mutex folderMutex;
QString homeForTesting;
QString baseForTesting;
bool sweptOthers = false;
std::atomic<quint64> nextNumber { 1 };

qint64 nanoseconds(const struct timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// The base folder as a walk from the user's home: the start and the folders under
// it. A cache outside the home is walked from the root, where folders of root's
// may lie on the way.
struct BasePlace {
    QString start;
    QString relative;
    bool rootMayOwn = false;
};

BasePlace basePlace()
{
    if (!homeForTesting.isEmpty())
        return { homeForTesting, baseForTesting };
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString base = QDir::cleanPath(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/velloran/restore"_s);
    if (home != "/"_L1 && base.startsWith(home + u'/'))
        return { home, base.sliced(home.size() + 1) };
    return { u"/"_s, base.sliced(1), true };
}

// Folders of processes that have ended hold data nobody can use any more.
void removeFoldersOfEndedProcesses(const OwnedFolder& base)
{
    const int listing = ::openat(base.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    QList<QByteArray> ended;
    while (const dirent* entry = ::readdir(entries)) {
        bool number = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&number);
        if (number && pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            ended.append(QByteArray(entry->d_name));
    }
    ::closedir(entries);
    for (const QByteArray& name : ended)
        base.removeChild(name);
}

// The base folder, walked and checked; closed, with the reason in error, when it
// cannot be trusted (or, unless make is set, does not exist).
OwnedFolder openBase(bool make, QString& error)
{
    const BasePlace place = basePlace();
    OwnedFolder base = OwnedFolder::open(place.start, place.relative, ::geteuid(), make, place.rootMayOwn, error);
    if (base.isOpen() && make && !base.makePrivate(error))
        return {};
    return base;
}

// This process's folder, walked and checked from the home down, made where it is
// missing; every file in it is reached relative to the descriptor. Closed, with
// the reason in error, when it cannot be trusted.
OwnedFolder openOwnFolder(QString& error)
{
    const std::lock_guard lock(folderMutex);
    const OwnedFolder base = openBase(true, error);
    if (!base.isOpen())
        return {};
    OwnedFolder own = base.child(QString::number(::getpid()), true, error);
    if (!own.isOpen() || !own.makePrivate(error))
        return {};
    if (!sweptOthers) {
        sweptOthers = true;
        removeFoldersOfEndedProcesses(base);
    }
    return own;
}

// The folder of the data file at dataPath, walked and checked as the folders are
// made, with the file's name in name: a data file lies in a process's folder in
// the base folder. Closed, with the reason in error, when the path names no such
// file or the way to its folder cannot be trusted.
OwnedFolder openDataFolder(const QString& dataPath, QByteArray& name, QString& error)
{
    const std::lock_guard lock(folderMutex);
    const OwnedFolder base = openBase(false, error);
    if (!base.isOpen())
        return {};
    const QFileInfo info(dataPath);
    const QString folderName = QFileInfo(info.path()).fileName();
    bool number = false;
    folderName.toLongLong(&number);
    if (!number || info.path() != base.path() + u'/' + folderName || !info.fileName().endsWith(".restore"_L1)) {
        error = u"it is not kept in the folder of the ways back"_s;
        return {};
    }
    name = QFile::encodeName(info.fileName());
    return base.child(folderName, false, error);
}

// The data file of dataPath, read through its checked folder.
std::optional<QByteArray> readData(const QString& dataPath, QString& error)
{
    QByteArray name;
    const OwnedFolder folder = openDataFolder(dataPath, name, error);
    if (!folder.isOpen())
        return std::nullopt;
    const int fd = ::openat(folder.fd(), name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = FileReplacer::errorText(errno);
        return std::nullopt;
    }
    QFile file;
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = u"it is not a file of this user's"_s;
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return data;
}

// The hash of a whole file of size bytes: head, its first bytes (in memory), then
// the rest, read piece by piece through read(offset, count, into), which appends
// to into. This is the one hash a restore checks the photo by, taken when the way
// back is kept and again as the photo is copied back.
template <class Read> std::optional<quint64> wholeFileHash(QByteArrayView head, qint64 size, const Read& read)
{
    // One buffer a thread, small enough for the hash to find its bytes in the cache.
    static thread_local QByteArray chunk;
    constexpr qsizetype kChunk = qsizetype(1) << 18;
    XXH3_state_t* state = XXH3_createState();
    if (!state)
        return std::nullopt;
    XXH3_64bits_reset(state);
    XXH3_64bits_update(state, head.data(), size_t(head.size()));
    qint64 at = head.size();
    while (at < size) {
        chunk.resize(0);
        if (!read(at, qsizetype(std::min<qint64>(kChunk, size - at)), chunk) || chunk.isEmpty())
            break;
        XXH3_64bits_update(state, chunk.constData(), size_t(chunk.size()));
        at += chunk.size();
    }
    const quint64 hash = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    if (at != size)
        return std::nullopt;
    return hash;
}

quint64 hashOf(QByteArrayView bytes)
{
    return quint64(XXH3_64bits(bytes.data(), size_t(bytes.size())));
}

std::optional<QByteArray> readHead(const KeptSourceFile& file, qint64 size)
{
    QByteArray bytes;
    bytes.reserve(size);
    if (!file.readAt(0, size, bytes) || bytes.size() != size)
        return std::nullopt;
    return bytes;
}

// How many bytes at the end a and b have in common.
qint64 sharedEndOf(QByteArrayView a, QByteArrayView b)
{
    const qint64 most = std::min(a.size(), b.size());
    qint64 shared = 0;
    constexpr qint64 kStep = 4096;
    while (shared < most) {
        const qint64 step = std::min(kStep, most - shared);
        if (std::memcmp(a.data() + a.size() - shared - step, b.data() + b.size() - shared - step, size_t(step)) != 0)
            break;
        shared += step;
    }
    while (shared < most && a[a.size() - shared - 1] == b[b.size() - shared - 1])
        ++shared;
    return shared;
}

int windowLogFor(qint64 bytes)
{
    const int log = int(std::bit_width(quint64(std::max<qint64>(bytes, 1) - 1)));
    return std::clamp(log, kMinWindowLog, kMaxWindowLog);
}

// The original's head compressed with the new file's head as the dictionary;
// nothing when zstd cannot or the result is no smaller than the head itself.
std::optional<QByteArray> deltaOf(QByteArrayView originalHead, QByteArrayView newHead, int windowLog)
{
    ZSTD_CCtx* context = ZSTD_createCCtx();
    if (!context)
        return std::nullopt;
    QByteArray delta(qsizetype(ZSTD_compressBound(size_t(originalHead.size()))), Qt::Uninitialized);
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
    ZSTD_CCtx_setParameter(context, ZSTD_c_enableLongDistanceMatching, 1);
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    size_t size = ZSTD_CCtx_refPrefix(context, newHead.data(), size_t(newHead.size()));
    if (!ZSTD_isError(size))
        size = ZSTD_compress2(context, delta.data(), size_t(delta.size()), originalHead.data(), size_t(originalHead.size()));
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(size) || qint64(size) >= originalHead.size())
        return std::nullopt;
    delta.truncate(qsizetype(size));
    return delta;
}

std::optional<QByteArray> undoneDelta(QByteArrayView delta, QByteArrayView newHead, int windowLog, qint64 size)
{
    ZSTD_DCtx* context = ZSTD_createDCtx();
    if (!context)
        return std::nullopt;
    QByteArray head(qsizetype(size), Qt::Uninitialized);
    ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, windowLog);
    size_t made = ZSTD_DCtx_refPrefix(context, newHead.data(), size_t(newHead.size()));
    if (!ZSTD_isError(made))
        made = ZSTD_decompressDCtx(context, head.data(), size_t(head.size()), delta.data(), size_t(delta.size()));
    ZSTD_freeDCtx(context);
    if (ZSTD_isError(made) || qint64(made) != size)
        return std::nullopt;
    return head;
}

// Where the folder of the ways back cannot be used, what the user can do about it:
// the folder lies under the cache folder, which the environment names.
const QString kOtherPlaceHint = u"; to keep the ways back in another place, start Velloran with XDG_CACHE_HOME "
                                u"set to a folder of your own on this computer"_s;

const QString kDamaged = u"The way back to this photo is damaged, so the photo was not restored."_s;

// The new file's hash, read back from the page cache (it was just written) through
// a descriptor of its own, since the replacer's may be open for writing only. The
// file is mapped where it can be: the hash then reads the cached pages where they
// lie, without copying the image data once more (a sixth less time in the write of
// a large photo than reading it in pieces).
std::optional<quint64> hashOfNewFile(int newFd, QByteArrayView newHead, qint64 newSize)
{
    if (newHead.size() >= newSize)
        return hashOf(newHead);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(newFd);
    const int reader = ::open(self.constData(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return std::nullopt;
    std::optional<quint64> hash;
    if (void* mapped = ::mmap(nullptr, size_t(newSize), PROT_READ, MAP_SHARED, reader, 0); mapped != MAP_FAILED) {
        hash = quint64(XXH3_64bits(mapped, size_t(newSize)));
        ::munmap(mapped, size_t(newSize));
    } else {
        hash = wholeFileHash(newHead, newSize, [&](qint64 at, qsizetype count, QByteArray& into) {
            into.resize(count);
            ssize_t read = -1;
            do
                read = ::pread(reader, into.data(), size_t(count), off_t(at));
            while (read < 0 && errno == EINTR);
            into.resize(read > 0 ? qsizetype(read) : 0);
            return read > 0;
        });
    }
    ::close(reader);
    return hash;
}

// Whether the photo still has the size and time the run gave it; newHead then
// receives its bytes before the end it shares with the original. Its bytes are
// checked against the hash as they are copied back (restore).
std::optional<QString> readIfSizeAndTimeAsWritten(
    const Header& header, const KeptSourceFile& current, const QString& photoPath, QByteArray& newHead)
{
    struct stat status { };
    if (::stat(QFile::encodeName(photoPath).constData(), &status) != 0
        || qint64(status.st_size) != qint64(header.newSize) || current.size() != qint64(header.newSize)
        || nanoseconds(status.st_mtim) != header.newModified)
        return RestoreData::changedSinceMessage(photoPath);
    std::optional<QByteArray> head = readHead(current, qint64(header.newSize - header.sharedEnd));
    if (!head)
        return u"Cannot read \"%1\"."_s.arg(photoPath);
    newHead = std::move(*head);
    return std::nullopt;
}

// Where the way back cannot be undone: a photo changed since the run, or else
// damaged data, as the hash of the whole photo tells.
QString whyNotUndone(
    const Header& header, const KeptSourceFile& current, const QString& photoPath, QByteArrayView newHead)
{
    const std::optional<quint64> hash = wholeFileHash(newHead, qint64(header.newSize),
        [&](qint64 at, qsizetype count, QByteArray& bytes) { return current.readAt(at, count, bytes); });
    if (!hash)
        return u"Cannot read \"%1\"."_s.arg(photoPath);
    return *hash != header.newFileHash ? RestoreData::changedSinceMessage(photoPath) : kDamaged;
}

} // namespace

QString RestoreData::changedSinceMessage(const QString& path)
{
    return u"\"%1\" was changed since the run (by another program?), so it was not restored."_s.arg(path);
}

namespace {

MetadataRestorePoint::WrittenFile writtenFileOf(const struct stat& status)
{
    return { quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size), nanoseconds(status.st_mtim),
        nanoseconds(status.st_ctim) };
}

} // namespace

std::optional<MetadataRestorePoint::WrittenFile> RestoreData::markOfWritten(
    const QString& path, const struct stat& written)
{
    struct stat now { };
    if (::stat(QFile::encodeName(path).constData(), &now) != 0 || now.st_dev != written.st_dev
        || now.st_ino != written.st_ino)
        return std::nullopt;
    return writtenFileOf(now);
}

std::optional<QString> RestoreData::checkWritten(
    const KeptSourceFile& file, const MetadataRestorePoint::WrittenFile& mark)
{
    return writtenFileOf(file.status()) == mark ? std::nullopt : std::optional(changedSinceMessage(file.path()));
}

QString RestoreData::folder(QString* error)
{
    QString failure;
    const OwnedFolder own = openOwnFolder(failure);
    if (!own.isOpen() && error)
        *error = failure;
    return own.isOpen() ? own.path() : QString();
}

std::optional<QString> RestoreData::keep(
    const QString& originalPath, int newFd, QByteArrayView newHead, QString& dataPath)
{
    struct stat written { };
    if (::fstat(newFd, &written) != 0)
        return FileReplacer::errorText(errno);
    const std::unique_ptr<KeptSourceFile> original = KeptSourceFile::open(originalPath);
    if (!original)
        return u"Cannot read \"%1\""_s.arg(originalPath);
    struct stat originalStatus { };
    const bool hasTime = ::stat(QFile::encodeName(originalPath).constData(), &originalStatus) == 0;

    // What follows newHead in the new file was copied from the original's end.
    const qint64 newSize = qint64(written.st_size);
    qint64 sharedEnd = newSize - newHead.size();
    if (sharedEnd < 0 || sharedEnd > original->size())
        return u"The new file is not as long as expected"_s;
    const std::optional<quint64> newFileHash = hashOfNewFile(newFd, newHead, newSize);
    if (!newFileHash)
        return u"Cannot read the new file back"_s;
    std::optional<QByteArray> originalHead = readHead(*original, original->size() - sharedEnd);
    if (!originalHead)
        return u"Cannot read \"%1\""_s.arg(originalPath);
    if (sharedEnd == 0) {
        // The new file is all in memory: how much of its end is the original's own.
        const qint64 common = sharedEndOf(*originalHead, newHead);
        sharedEnd = common;
        originalHead->truncate(originalHead->size() - common);
        newHead.chop(common);
    }

    Header header {};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.windowLog = quint8(windowLogFor(originalHead->size() + newHead.size()));
    header.originalSize = quint64(original->size());
    header.newSize = quint64(newSize);
    header.sharedEnd = quint64(sharedEnd);
    header.newFileHash = *newFileHash;
    header.originalModified = hasTime ? nanoseconds(originalStatus.st_mtim) : kNoTime;
    header.newModified = nanoseconds(written.st_mtim);
    std::optional<QByteArray> delta;
    if (originalHead->size() + newHead.size() < (qint64(1) << kMaxWindowLog))
        delta = deltaOf(*originalHead, newHead, header.windowLog);
    header.method = delta ? kZstdDelta : kRawBytes;
    const QByteArray& payload = delta ? *delta : *originalHead;
    header.payloadSize = quint64(payload.size());
    header.payloadHash = hashOf(payload);
    const QByteArray pathBytes = originalPath.toUtf8();
    header.pathSize = quint32(pathBytes.size());

    QByteArray data;
    data.reserve(qsizetype(sizeof header) + pathBytes.size() + payload.size());
    data.append(reinterpret_cast<const char*>(&header), sizeof header);
    data.append(pathBytes);
    data.append(payload);

    QString error;
    const OwnedFolder own = openOwnFolder(error);
    if (!own.isOpen())
        return error + kOtherPlaceHint;
    // Written through the checked folder's descriptor, never through its path.
    const QString name = QString::number(nextNumber++) + u".restore"_s;
    if (std::optional<QString> failed = FileReplacer::replace(own.descriptorPath() + u'/' + name, data, {}))
        return failed;
    dataPath = own.path() + u'/' + name;
    return std::nullopt;
}

std::optional<QString> RestoreData::restore(const QString& dataPath, const QString& photoPath)
{
    QString readError;
    const std::optional<QByteArray> data = readData(dataPath, readError);
    if (!data)
        return u"The way back to this photo is gone (%1)."_s.arg(readError);
    Header header {};
    if (data->size() < qsizetype(sizeof header))
        return kDamaged;
    std::memcpy(&header, data->constData(), sizeof header);
    if (std::memcmp(header.magic, kFirstMagic, sizeof kFirstMagic) == 0)
        return u"The way back to this photo was kept by an older version of Velloran, which could not check it; "
               u"the photo was not restored."_s;
    const qint64 payloadAt = qint64(sizeof header) + header.pathSize;
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || payloadAt > data->size()
        || header.payloadSize != quint64(data->size() - payloadAt)
        || header.sharedEnd > header.newSize || header.sharedEnd > header.originalSize)
        return kDamaged;
    const QByteArrayView payload = QByteArrayView(*data).sliced(payloadAt);
    if (hashOf(payload) != header.payloadHash)
        return kDamaged;

    const std::unique_ptr<KeptSourceFile> current = KeptSourceFile::open(photoPath);
    if (!current)
        return u"Cannot read \"%1\"."_s.arg(photoPath);
    QByteArray newHead;
    if (std::optional<QString> changed = readIfSizeAndTimeAsWritten(header, *current, photoPath, newHead))
        return changed;

    const qint64 headSize = qint64(header.originalSize - header.sharedEnd);
    std::optional<QByteArray> originalHead;
    if (header.method == kZstdDelta)
        originalHead = undoneDelta(payload, newHead, header.windowLog, headSize);
    else if (header.method == kRawBytes && payload.size() == headSize)
        originalHead = payload.toByteArray();
    if (!originalHead)
        return whyNotUndone(header, *current, photoPath, newHead);

    // The photo is hashed as its end is copied into the restored file, each piece
    // read once: the restored file takes the photo's place only when every byte it
    // was made from is, to the byte, what the run wrote, so a change made even
    // during the copy is refused.
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
    if (!state)
        return u"Cannot check \"%1\"."_s.arg(photoPath);
    XXH3_64bits_reset(state.get());
    XXH3_64bits_update(state.get(), newHead.constData(), size_t(newHead.size()));
    bool changed = false;
    FileReplacer::Options options { photoPath, std::nullopt };
    if (header.originalModified != kNoTime)
        options.modified = QDateTime::fromMSecsSinceEpoch(header.originalModified / 1000000);
    const qint64 endAt = qint64(header.newSize - header.sharedEnd);
    options.append = [&](int fd) -> std::optional<QString> {
        const auto hashPiece
            = [&](QByteArrayView piece) { XXH3_64bits_update(state.get(), piece.data(), size_t(piece.size())); };
        if (std::optional<QString> error = current->copyTo(fd, endAt, hashPiece))
            return error;
        changed = XXH3_64bits_digest(state.get()) != header.newFileHash;
        return changed ? std::optional(RestoreData::changedSinceMessage(photoPath)) : std::nullopt;
    };
    // A change that lands in bytes already read, or a file renamed into the photo's
    // place, leaves the hash as it was: the photo must still be, when the restored
    // file takes its place, the very file that was read, untouched since.
    options.lastCheck = [&]() -> std::optional<QString> {
        changed = !current->isUnchanged();
        return changed ? std::optional(RestoreData::changedSinceMessage(photoPath)) : std::nullopt;
    };
    if (std::optional<QString> error = FileReplacer::replace(photoPath, *originalHead, options))
        return changed ? *error : u"Cannot write \"%1\": %2"_s.arg(photoPath, *error);
    return std::nullopt;
}

void RestoreData::discard(const QString& dataPath)
{
    if (dataPath.isEmpty())
        return;
    QString error;
    QByteArray name;
    const OwnedFolder folder = openDataFolder(dataPath, name, error);
    if (folder.isOpen())
        ::unlinkat(folder.fd(), name.constData(), 0);
}

void RestoreData::removeAll()
{
    const std::lock_guard lock(folderMutex);
    QString error;
    const OwnedFolder base = openBase(false, error);
    if (base.isOpen())
        base.removeChild(QByteArray::number(::getpid()));
}

void RestoreData::setBaseFolderForTesting(const QString& home, const QString& relative)
{
    const std::lock_guard lock(folderMutex);
    homeForTesting = home;
    baseForTesting = relative;
    sweptOthers = false;
}
