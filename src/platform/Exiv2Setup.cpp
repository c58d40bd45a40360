#include "platform/Exiv2Setup.h"

#include "base/Logging.h"

#include <exiv2/exiv2.hpp>
#include <mutex>

namespace {

std::recursive_mutex& xmpToolkitMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

// exiv2 takes this around its own changes of the toolkit's namespace table, also
// inside a write that lockXmpToolkit() already holds; hence a recursive mutex.
void xmpLock(void* /*data*/, bool lockIt)
{
    if (lockIt)
        xmpToolkitMutex().lock();
    else
        xmpToolkitMutex().unlock();
}

void logHandler(int level, const char* message)
{
    QString text = QString::fromUtf8(message).trimmed();
    switch (level) {
    case Exiv2::LogMsg::debug:
    case Exiv2::LogMsg::info:
        qCDebug(lcMetadata).noquote() << text;
        break;
    case Exiv2::LogMsg::warn:
        qCInfo(lcMetadata).noquote() << text;
        break;
    default:
        qCWarning(lcMetadata).noquote() << text;
        break;
    }
}

} // namespace

std::unique_lock<std::recursive_mutex> lockXmpToolkit()
{
    return std::unique_lock(xmpToolkitMutex());
}

void initializeExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(logHandler);
        Exiv2::XmpParser::initialize(xmpLock, nullptr);
        Exiv2::enableBMFF(true);
    });
}
