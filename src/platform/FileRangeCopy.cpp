#include "platform/FileRangeCopy.h"

#include "platform/FileReplacer.h"

#include <QByteArrayView>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<FileRangeCopy::CopyFunction> copyFunction { nullptr };

ssize_t kernelCopy(int from, loff_t* offset, int to, size_t length)
{
    const FileRangeCopy::CopyFunction function = copyFunction.load(std::memory_order_relaxed);
    if (function)
        return function(from, offset, to, nullptr, length, 0);
    return ::copy_file_range(from, offset, to, nullptr, length, 0);
}

// The kernel cannot copy between these two files: the buffer takes over.
bool refusesRangeCopy(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

void copyThroughBuffer(int from, qint64 offset, qint64 length, int to, FileRangeCopy::Result& result,
    const std::function<void(QByteArrayView)>& seen = {})
{
    // One buffer a thread, kept: small enough for a piece to be read again from the
    // cache, and no allocation for each photo.
    constexpr qint64 kBufferSize = 256 * 1024;
    static thread_local std::vector<char> buffer;
    buffer.resize(size_t(kBufferSize));
    while (result.copied < length) {
        const size_t wanted = size_t(std::min<qint64>(qint64(buffer.size()), length - result.copied));
        const ssize_t read = ::pread(from, buffer.data(), wanted, off_t(offset + result.copied));
        if (read < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            return;
        }
        if (read == 0)
            return;
        if (seen)
            seen(QByteArrayView(buffer.data(), qsizetype(read)));
        if (const int error = FileReplacer::writeAll(to, QByteArrayView(buffer.data(), qsizetype(read)))) {
            result.error = error;
            return;
        }
        result.copied += read;
    }
}

} // namespace

FileRangeCopy::Result FileRangeCopy::copy(int from, qint64 offset, qint64 length, int to)
{
    Result result;
    while (result.copied < length) {
        loff_t position = loff_t(offset + result.copied);
        const ssize_t copied = kernelCopy(from, &position, to, size_t(length - result.copied));
        if (copied > 0) {
            result.copied += copied;
            continue;
        }
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0 && !refusesRangeCopy(errno)) {
            result.error = errno;
            return result;
        }
        // Refused, or no byte copied before the range's end: a few file systems
        // answer 0 where they cannot copy, so the buffer reads on; at the true end
        // of the file it finds nothing either.
        copyThroughBuffer(from, offset, length, to, result);
        return result;
    }
    return result;
}

FileRangeCopy::Result FileRangeCopy::copyShowing(
    int from, qint64 offset, qint64 length, int to, const std::function<void(QByteArrayView)>& seen)
{
    Result result;
    copyThroughBuffer(from, offset, length, to, result, seen);
    return result;
}

void FileRangeCopy::setCopyFunctionForTesting(CopyFunction function)
{
    copyFunction.store(function, std::memory_order_relaxed);
}
