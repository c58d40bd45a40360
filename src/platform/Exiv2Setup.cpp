#include "platform/Exiv2Setup.h"

#include "base/Logging.h"

#include <exiv2/exiv2.hpp>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
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

// Every namespace the packet above declares, in its order.
std::vector<std::pair<std::string, std::string>>& declaredAtStart()
{
    static std::vector<std::pair<std::string, std::string>> declared;
    return declared;
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

template<typename Namespaces> std::string packetDeclaring(const Namespaces& namespaces)
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

// Parsing a packet of declarations enters them into the toolkit's table.
void enterDeclarationsOf(const std::string& packet)
{
    try {
        Exiv2::XmpData scratch;
        if (Exiv2::XmpParser::decode(scratch, packet) != 0)
            qCWarning(lcMetadata) << "Cannot enter the standard XMP prefixes again";
    } catch (const Exiv2::AnyError& error) {
        qCWarning(lcMetadata).noquote() << "Cannot enter the standard XMP prefixes again:" << error.what();
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
        const auto lock = lockXmpToolkit();
        try {
            Exiv2::Dictionary namespaces;
            Exiv2::XmpProperties::registeredNamespaces(namespaces);
            standardPrefixesPacket() = packetDeclaring(namespaces);
            for (const auto& [prefix, uri] : namespaces) {
                declaredAtStart().emplace_back(prefix, uri);
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
    if (!standardPrefixesPacket().empty())
        enterDeclarationsOf(standardPrefixesPacket());
}

void useStandardXmpPrefixesFor(const std::set<std::string, std::less<>>& touched)
{
    std::vector<std::pair<std::string, std::string>> again;
    for (const auto& declaration : declaredAtStart()) {
        if (touched.contains(declaration.first) || touched.contains(declaration.second))
            again.push_back(declaration);
    }
    if (!again.empty())
        enterDeclarationsOf(packetDeclaring(again));
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

std::optional<std::vector<XmpDeclaration>> xmpDeclarationsOf(std::string_view packet)
{
    // UTF-16 and UTF-32 packets hold NUL bytes; their declarations are not read here.
    if (packet.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::vector<XmpDeclaration> declarations;
    constexpr std::string_view kBlanks = " \t\r\n";
    constexpr std::string_view kDeclaration = "xmlns";
    for (std::size_t at = packet.find(kDeclaration); at != std::string_view::npos;
         at = packet.find(kDeclaration, at + 1)) {
        std::size_t next = at + kDeclaration.size();
        if (next >= packet.size() || packet[next] != ':')
            return std::nullopt; // a default namespace, or text that cannot be told from one
        const std::size_t prefixEnd = packet.find_first_of("=" " \t\r\n", next + 1);
        if (prefixEnd == std::string_view::npos)
            return std::nullopt;
        const std::string_view prefix = packet.substr(next + 1, prefixEnd - next - 1);
        next = packet.find_first_not_of(kBlanks, prefixEnd);
        if (next == std::string_view::npos || packet[next] != '=')
            return std::nullopt;
        next = packet.find_first_not_of(kBlanks, next + 1);
        if (next == std::string_view::npos || (packet[next] != '"' && packet[next] != '\''))
            return std::nullopt;
        const std::size_t uriEnd = packet.find(packet[next], next + 1);
        if (uriEnd == std::string_view::npos)
            return std::nullopt;
        const std::string_view uri = packet.substr(next + 1, uriEnd - next - 1);
        // No namespace holds a reference, a blank, a '<' or a quote. Text that only
        // looks like a declaration (in a value, in CDATA) runs from its quote to the
        // next one of its kind, past the blank before a real declaration it hides.
        if (uri.find_first_of("&<\"' \t\r\n") != std::string_view::npos)
            return std::nullopt;
        declarations.push_back({ prefix, uri });
        at = uriEnd;
    }
    return declarations;
}

bool isStandardXmpDeclaration(const XmpDeclaration& declaration)
{
    const auto [prefix, uri] = declaration;
    if ((prefix == "x" && uri == "adobe:ns:meta/") || (prefix == "rdf" && uri == "http://www.w3.org/1999/02/22-rdf-syntax-ns#"))
        return true;
    // A namespace exiv2 knows by two prefixes ends up under either: none of them counts.
    int prefixes = 0;
    bool same = false;
    for (const auto& [standardPrefix, standardUri] : standardPrefixes()) {
        if (uri == standardUri) {
            ++prefixes;
            same = prefix == standardPrefix;
        }
    }
    return prefixes == 1 && same;
}
