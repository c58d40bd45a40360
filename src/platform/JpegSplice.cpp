#include "platform/JpegSplice.h"

#include "base/Logging.h"
#include "platform/FileRangeCopy.h"
#include "platform/FileReplacer.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The first read takes in the header of nearly every camera photo; a longer
// header doubles it.
constexpr qsizetype kFirstRead = 64 * 1024;
// A header beyond this (a huge colour profile or XMP split over many segments) is
// rare enough to be read whole with the rest of the file.
constexpr qsizetype kLongestHeader = 16 * 1024 * 1024;
// Bytes of image data the stub keeps after the start-of-scan segment: exiv2 looks
// at most 36 bytes past a segment's length field, so its walk over the stub sees
// exactly the bytes it would see in the file.
constexpr qsizetype kLookAhead = 64;

std::atomic<bool> enabled { true };
std::function<void()> beforeCopyHook;

// Appends up to count bytes of the file at offset; answers false on a read error.
bool readAt(int fd, qint64 offset, qsizetype count, QByteArray& bytes)
{
    const qsizetype start = bytes.size();
    bytes.resize(start + count);
    qsizetype done = 0;
    while (done < count) {
        const ssize_t read = ::pread(fd, bytes.data() + start + done, size_t(count - done), off_t(offset + done));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            bytes.resize(start + done);
            return false;
        }
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(start + done);
    return true;
}

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

JpegSplice::JpegSplice(int fd, QString path, const struct stat& status)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_status(status)
{
}

JpegSplice::~JpegSplice()
{
    ::close(m_fd);
}

std::unique_ptr<JpegSplice> JpegSplice::open(const QString& path)
{
    if (!enabled.load(std::memory_order_relaxed))
        return nullptr;
    // Without blocking: a FIFO named like a photo must not hold the writer up.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<JpegSplice> splice(new JpegSplice(fd, path, status));
    const qint64 size = qint64(status.st_size);

    QByteArray header;
    qsizetype wanted = kFirstRead;
    JpegHeaderLayout::Status found = JpegHeaderLayout::Status::NeedMore;
    while (found == JpegHeaderLayout::Status::NeedMore) {
        if (!readAt(fd, header.size(), wanted - header.size(), header))
            return nullptr;
        found = JpegHeaderLayout::find(header, splice->m_layout);
        if (found == JpegHeaderLayout::Status::NeedMore && (header.size() < wanted || wanted >= kLongestHeader)) {
            qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- its header ends with the file or is too long";
            return nullptr;
        }
        wanted *= 2;
    }
    if (found != JpegHeaderLayout::Status::Found) {
        qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- no JPEG header that can be split off";
        return nullptr;
    }
    const qsizetype stubEnd = splice->m_layout.headerEnd + kLookAhead;
    if (size < stubEnd) {
        qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- too little image data after its header";
        return nullptr;
    }
    if (header.size() < stubEnd
        && (!readAt(fd, header.size(), stubEnd - header.size(), header) || header.size() < stubEnd))
        return nullptr;
    header.truncate(stubEnd);
    header.append("\xFF\xD9", 2);
    splice->m_stub = std::move(header);
    return splice;
}

std::optional<QByteArrayView> JpegSplice::headerOf(QByteArrayView edited) const
{
    const QByteArrayView tail = QByteArrayView(m_stub).sliced(m_layout.scanStart);
    if (edited.size() < tail.size() || edited.last(tail.size()) != tail)
        return std::nullopt;
    return edited.first(edited.size() - tail.size());
}

std::optional<QString> JpegSplice::writeTo(int fd, QByteArrayView header) const
{
    if (const int error = FileReplacer::writeAll(fd, header))
        return FileReplacer::errorText(error);
    if (beforeCopyHook)
        beforeCopyHook();
    const qint64 length = fileSize() - m_layout.scanStart;
    const FileRangeCopy::Result copied = FileRangeCopy::copy(m_fd, m_layout.scanStart, length, fd);
    if (copied.error)
        return u"Cannot copy the image data of \"%1\": %2"_s.arg(m_path, FileReplacer::errorText(copied.error));
    struct stat now { };
    if (::fstat(m_fd, &now) != 0)
        return FileReplacer::errorText(errno);
    if (copied.copied != length || now.st_size != m_status.st_size || !sameTime(now.st_mtim, m_status.st_mtim)) {
        qCWarning(lcMetadata).noquote() << "Not written:" << m_path << "changed while it was being copied";
        return u"\"%1\" changed while it was being copied; nothing was replaced."_s.arg(m_path);
    }
    return std::nullopt;
}

void JpegSplice::setEnabledForTesting(bool on)
{
    enabled.store(on, std::memory_order_relaxed);
}

void JpegSplice::setBeforeCopyHookForTesting(std::function<void()> hook)
{
    beforeCopyHook = std::move(hook);
}
