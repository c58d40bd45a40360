#include "platform/Exiv2Setup.h"

#include "base/Logging.h"

#include <exiv2/exiv2.hpp>
#include <mutex>

namespace {

std::mutex g_xmpMutex;

// exiv2 hands its XMP toolkit this function to serialise access to the
// toolkit's global state.
void xmpLock(void* /*data*/, bool lockIt)
{
    if (lockIt)
        g_xmpMutex.lock();
    else
        g_xmpMutex.unlock();
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
