#include "platform/BackgroundPriority.h"

#include <algorithm>
#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int kHighestNice = 19;
}

void lowerThisThreadToBackgroundPriority()
{
    static thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // Measured from the process's first thread, the window's, and not from this
    // one: a thread inherits its maker's value, and a pool started from a lowered
    // thread would otherwise be lowered twice.
    errno = 0;
    const int window = getpriority(PRIO_PROCESS, id_t(getpid()));
    if (window == -1 && errno != 0)
        return;
    const auto thread = id_t(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (current == -1 && errno != 0)
        return;
    const int wanted = std::min(kHighestNice, window + kBackgroundNiceSteps);
    // A failure leaves the thread as it was, which is only slower to yield.
    if (current < wanted)
        (void)setpriority(PRIO_PROCESS, thread, wanted);
}
