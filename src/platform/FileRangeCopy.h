#pragma once

#include <QByteArrayView>
#include <functional>
#include <sys/types.h>

// Copies a range of one open file to the end of what was written to another,
// inside the kernel where it can (copy_file_range: on one file system the bytes
// never pass through this process, and some file systems share the blocks
// instead of copying them). Where the kernel refuses that between the two files
// (EXDEV: different file systems; EINVAL, ENOSYS, EOPNOTSUPP: a file system or
// kernel without it), or where it copies nothing before the range's end, the
// rest goes through a small buffer with pread and write.
class FileRangeCopy {
public:
    struct Result {
        // Bytes that reached the target; fewer than asked when the source ends
        // before the range does.
        qint64 copied = 0;
        // errno of the failure that stopped the copy, else 0.
        int error = 0;
    };

    // Copies length bytes of from, starting at offset, to the current position
    // of to. The position of from is not used or moved.
    static Result copy(int from, qint64 offset, qint64 length, int to);

    // The same copy through the buffer alone, each piece handed to seen before it
    // is written: a caller that must look at every byte (a hash) reads them once,
    // from the processor's cache, and what it looked at is what was written.
    static Result copyShowing(
        int from, qint64 offset, qint64 length, int to, const std::function<void(QByteArrayView)>& seen);

    // The kernel call, replaceable so that tests can make it refuse; null puts the
    // system's back. Not for use while copies run.
    using CopyFunction = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    static void setCopyFunctionForTesting(CopyFunction function);
};
