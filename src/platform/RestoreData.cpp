#include "platform/RestoreData.h"

#include "base/Logging.h"
#include "platform/FileReplacer.h"
#include "platform/KeptSourceFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The data file: a fixed header, the original's path (for a person looking into
// the folder), then the payload.
constexpr char kMagic[8] = { 'V', 'L', 'R', 'S', 'T', 'O', 'R', '1' };
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
    quint64 newHeadHash; // of the new file's bytes before that end
    qint64 originalModified; // nanoseconds since the epoch, or kNoTime
    qint64 newModified;
    quint64 payloadSize;
    quint32 pathSize;
    quint32 padding2;
};
static_assert(sizeof(Header) == 80);

std::mutex folderMutex;
QString baseFolderForTesting;
bool sweptOthers = false;
std::atomic<quint64> nextNumber { 1 };

qint64 nanoseconds(const struct timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

quint64 headHash(QByteArrayView bytes)
{
    return quint64(qHashBits(bytes.data(), size_t(bytes.size()), 0));
}

QString baseFolder()
{
    if (!baseFolderForTesting.isEmpty())
        return baseFolderForTesting;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/velloran/restore"_s;
}

// Makes the folder 0700 and ours, or answers why not.
std::optional<QString> makePrivateFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        return u"Cannot make the folder \"%1\""_s.arg(path);
    const QByteArray encoded = QFile::encodeName(path);
    struct stat status { };
    if (::lstat(encoded.constData(), &status) != 0)
        return FileReplacer::errorText(errno);
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return u"The folder \"%1\" is not this user's own"_s.arg(path);
    if ((status.st_mode & 07777) != 0700 && ::chmod(encoded.constData(), 0700) != 0)
        return FileReplacer::errorText(errno);
    return std::nullopt;
}

// Folders of processes that have ended hold data nobody can use any more.
void removeFoldersOfEndedProcesses(const QString& base)
{
    const QStringList names = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (!number || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(base + u'/' + name).removeRecursively();
    }
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

QString changedSinceMessage(const QString& photoPath)
{
    return u"\"%1\" was changed since the run (by another program?), so it was not restored."_s.arg(photoPath);
}

} // namespace

QString RestoreData::folder(QString* error)
{
    const std::lock_guard lock(folderMutex);
    const QString base = baseFolder();
    const QString own = base + u'/' + QString::number(::getpid());
    std::optional<QString> failed = makePrivateFolder(base);
    if (!failed)
        failed = makePrivateFolder(own);
    if (failed) {
        if (error)
            *error = *failed;
        return {};
    }
    if (!sweptOthers) {
        sweptOthers = true;
        removeFoldersOfEndedProcesses(base);
    }
    return own;
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
    header.newHeadHash = headHash(newHead);
    header.originalModified = hasTime ? nanoseconds(originalStatus.st_mtim) : kNoTime;
    header.newModified = nanoseconds(written.st_mtim);
    std::optional<QByteArray> delta;
    if (originalHead->size() + newHead.size() < (qint64(1) << kMaxWindowLog))
        delta = deltaOf(*originalHead, newHead, header.windowLog);
    header.method = delta ? kZstdDelta : kRawBytes;
    const QByteArray& payload = delta ? *delta : *originalHead;
    header.payloadSize = quint64(payload.size());
    const QByteArray pathBytes = originalPath.toUtf8();
    header.pathSize = quint32(pathBytes.size());

    QByteArray data;
    data.reserve(qsizetype(sizeof header) + pathBytes.size() + payload.size());
    data.append(reinterpret_cast<const char*>(&header), sizeof header);
    data.append(pathBytes);
    data.append(payload);

    QString error;
    const QString own = folder(&error);
    if (own.isEmpty())
        return error;
    const QString path = own + u'/' + QString::number(nextNumber++) + u".restore"_s;
    if (std::optional<QString> failed = FileReplacer::replace(path, data, {}))
        return failed;
    dataPath = path;
    return std::nullopt;
}

std::optional<QString> RestoreData::restore(const QString& dataPath, const QString& photoPath)
{
    QFile file(dataPath);
    if (!file.open(QIODevice::ReadOnly))
        return u"The way back to this photo is gone (%1)."_s.arg(file.errorString());
    const QByteArray data = file.readAll();
    Header header {};
    if (data.size() < qsizetype(sizeof header))
        return u"The way back to this photo is damaged."_s;
    std::memcpy(&header, data.constData(), sizeof header);
    const qint64 payloadAt = qint64(sizeof header) + header.pathSize;
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || payloadAt > data.size()
        || header.payloadSize != quint64(data.size() - payloadAt)
        || header.sharedEnd > header.newSize || header.sharedEnd > header.originalSize)
        return u"The way back to this photo is damaged."_s;
    const QByteArrayView payload = QByteArrayView(data).sliced(payloadAt);

    const std::unique_ptr<KeptSourceFile> current = KeptSourceFile::open(photoPath);
    if (!current)
        return u"Cannot read \"%1\"."_s.arg(photoPath);
    struct stat status { };
    if (::stat(QFile::encodeName(photoPath).constData(), &status) != 0 || qint64(status.st_size) != qint64(header.newSize)
        || current->size() != qint64(header.newSize) || nanoseconds(status.st_mtim) != header.newModified)
        return changedSinceMessage(photoPath);
    const std::optional<QByteArray> newHead = readHead(*current, qint64(header.newSize - header.sharedEnd));
    if (!newHead)
        return u"Cannot read \"%1\"."_s.arg(photoPath);
    if (headHash(*newHead) != header.newHeadHash)
        return changedSinceMessage(photoPath);

    const qint64 headSize = qint64(header.originalSize - header.sharedEnd);
    std::optional<QByteArray> originalHead;
    if (header.method == kZstdDelta)
        originalHead = undoneDelta(payload, *newHead, header.windowLog, headSize);
    else if (header.method == kRawBytes && payload.size() == headSize)
        originalHead = payload.toByteArray();
    if (!originalHead)
        return u"The way back to this photo is damaged."_s;

    FileReplacer::Options options { photoPath, std::nullopt };
    if (header.originalModified != kNoTime)
        options.modified = QDateTime::fromMSecsSinceEpoch(header.originalModified / 1000000);
    const qint64 endAt = qint64(header.newSize - header.sharedEnd);
    options.append = [&](int fd) { return current->copyTo(fd, endAt); };
    if (std::optional<QString> error = FileReplacer::replace(photoPath, *originalHead, options))
        return u"Cannot write \"%1\": %2"_s.arg(photoPath, *error);
    return std::nullopt;
}

void RestoreData::discard(const QString& dataPath)
{
    if (!dataPath.isEmpty())
        QFile::remove(dataPath);
}

void RestoreData::removeAll()
{
    const std::lock_guard lock(folderMutex);
    QDir(baseFolder() + u'/' + QString::number(::getpid())).removeRecursively();
}

void RestoreData::setBaseFolderForTesting(const QString& folder)
{
    const std::lock_guard lock(folderMutex);
    baseFolderForTesting = folder;
    sweptOthers = false;
}
