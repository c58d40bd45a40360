#include "batch/naming/ReverseGeocoder.h"

#include <QSemaphore>
#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>

namespace {

// One request's answer, shared with the geocoder's completion so that an answer
// arriving after the caller gave up lands here harmlessly.
struct PendingAnswer {
    QSemaphore done;
    std::mutex mutex;
    bool answered = false;
    ReverseGeocodeResult result;
};

} // namespace

std::optional<ReverseGeocodeResult> reverseGeocodeWithin(
    ReverseGeocoder& geocoder, double latitude, double longitude, std::chrono::milliseconds limit)
{
    auto pending = std::make_shared<PendingAnswer>();
    geocoder.reverseGeocodeLocation(latitude, longitude, [pending](ReverseGeocodeResult answer) {
        {
            const std::lock_guard lock(pending->mutex);
            if (pending->answered)
                return;
            pending->answered = true;
            pending->result = std::move(answer);
        }
        pending->done.release();
    });

    const auto ms = limit.count();
    if (!pending->done.tryAcquire(1, static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX))))
        return std::nullopt;
    const std::lock_guard lock(pending->mutex);
    return pending->result;
}
