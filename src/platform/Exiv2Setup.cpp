#include "platform/Exiv2Setup.h"

#include "base/Logging.h"

#include <exiv2/exiv2.hpp>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

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

// A packet without properties that declares every namespace the toolkit and
// exiv2 know at start with its standard prefix; made once by initializeExiv2,
// before any photo's packet is parsed. Parsing it enters those prefixes again.
std::string& standardPrefixesPacket()
{
    static std::string packet;
    return packet;
}

// The prefixes exiv2 itself knows, with their namespaces, as at start.
std::vector<std::pair<std::string, std::string>>& standardPrefixes()
{
    static std::vector<std::pair<std::string, std::string>> prefixes;
    return prefixes;
}

// exiv2's namespace for a prefix, or "" when it knows none.
std::string namespaceOf(const std::string& prefix)
{
    try {
        return Exiv2::XmpProperties::ns(prefix);
    } catch (const Exiv2::AnyError&) {
        return std::string();
    }
}

std::string packetDeclaring(const Exiv2::Dictionary& namespaces)
{
    std::string packet = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about=''";
    for (const auto& [prefix, uri] : namespaces) {
        // rdf is declared above; xml is bound by XML itself and may not be declared.
        if (prefix == "rdf" || prefix == "xml" || uri.find('\'') != std::string::npos)
            continue;
        packet += " xmlns:" + prefix + "='" + uri + "'";
    }
    return packet + "/></rdf:RDF></x:xmpmeta>";
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
        const auto lock = lockXmpToolkit();
        try {
            Exiv2::Dictionary namespaces;
            Exiv2::XmpProperties::registeredNamespaces(namespaces);
            standardPrefixesPacket() = packetDeclaring(namespaces);
            for (const auto& [prefix, uri] : namespaces) {
                if (namespaceOf(prefix) == uri)
                    standardPrefixes().emplace_back(prefix, uri);
            }
        } catch (const Exiv2::AnyError& error) {
            qCWarning(lcMetadata).noquote() << "Cannot list the XMP namespaces:" << error.what();
        }
    });
}

void useStandardXmpPrefixes()
{
    const std::string& packet = standardPrefixesPacket();
    if (packet.empty())
        return;
    try {
        Exiv2::XmpData scratch;
        if (Exiv2::XmpParser::decode(scratch, packet) != 0)
            qCWarning(lcMetadata) << "Cannot enter the standard XMP prefixes again";
    } catch (const Exiv2::AnyError& error) {
        qCWarning(lcMetadata).noquote() << "Cannot enter the standard XMP prefixes again:" << error.what();
    }
}

bool keepStandardXmpPrefixes()
{
    bool kept = true;
    for (const auto& [prefix, uri] : standardPrefixes()) {
        const std::string now = namespaceOf(prefix);
        if (now == uri)
            continue;
        kept = false;
        qCWarning(lcMetadata).noquote() << "An XMP packet names" << QString::fromStdString(now) << "with the prefix"
                                        << QString::fromStdString(prefix) << "of" << QString::fromStdString(uri);
        try {
            Exiv2::XmpProperties::unregisterNs(now);
        } catch (const Exiv2::AnyError&) {
        }
    }
    return kept;
}
