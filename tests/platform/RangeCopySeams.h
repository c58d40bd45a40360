#pragma once

#include "platform/FileRangeCopy.h"
#include "platform/KeptSourceFile.h"

#include <cerrno>
#include <functional>

// The test seams of the header-only write, each set for one scope.

// Every kernel range copy in the scope fails with the errno given, or with -1
// copies nothing before the end (answers 0), as a few file systems do.
class ScopedRefusedRangeCopy {
public:
    explicit ScopedRefusedRangeCopy(int error)
    {
        refusal() = error;
        calls() = 0;
        FileRangeCopy::setCopyFunctionForTesting(&refuse);
    }
    ~ScopedRefusedRangeCopy() { FileRangeCopy::setCopyFunctionForTesting(nullptr); }
    ScopedRefusedRangeCopy(const ScopedRefusedRangeCopy&) = delete;
    ScopedRefusedRangeCopy& operator=(const ScopedRefusedRangeCopy&) = delete;

    static int& calls()
    {
        static int count = 0;
        return count;
    }

private:
    static int& refusal()
    {
        static int error = 0;
        return error;
    }
    static ssize_t refuse(int, loff_t*, int, loff_t*, size_t, unsigned int)
    {
        ++calls();
        if (refusal() < 0)
            return 0;
        errno = refusal();
        return -1;
    }
};

// The hook runs in the scope before every copy from a kept file (in a header-only
// write: after the header was written).
class ScopedBeforeCopy {
public:
    explicit ScopedBeforeCopy(std::function<void()> hook)
    {
        KeptSourceFile::setBeforeCopyHookForTesting(std::move(hook));
    }
    ~ScopedBeforeCopy() { KeptSourceFile::setBeforeCopyHookForTesting({}); }
    ScopedBeforeCopy(const ScopedBeforeCopy&) = delete;
    ScopedBeforeCopy& operator=(const ScopedBeforeCopy&) = delete;
};
