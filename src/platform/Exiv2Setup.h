#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Prepares exiv2 for use from several threads: XMP parsing gets a lock, BMFF
// (HEIC, CR3) reading is switched on, and exiv2's own log lines go to the
// "velloran.metadata" category. Safe to call any number of times from any
// thread; the first call does the work. The application and the tests call it
// before starting any worker.
void initializeExiv2();

// The lock every exiv2 step that may parse or serialise an XMP packet must hold
// (a metadata read or write, XmpParser::decode or encode). exiv2's XMP toolkit
// keeps one namespace table for the whole process, and each packet it parses
// enters the prefixes that packet declares over the ones there: one packet names
// http://ns.adobe.com/xap/1.0/ "xmp", the next "xap". Reading or writing a packet
// takes many calls into the toolkit, each of which looks its prefixes up in that
// table, and exiv2 locks none of them; so a packet parsed on another thread in
// between makes a read come back without any XMP (exiv2 only logs "Schema
// namespace URI and prefix mismatch") or a write fail or lose properties. It is
// the same lock exiv2 takes around its own namespace registrations, so it may be
// taken again on the same thread.
[[nodiscard]] std::unique_lock<std::recursive_mutex> lockXmpToolkit();

// Makes the prefixes exiv2 serialises the ones a fresh process uses (xmp for
// http://ns.adobe.com/xap/1.0/, not the older xap). Parsing a packet enters the
// prefixes it declares into the toolkit's one table, and exiv2 serialises with
// whatever that table holds; without this, a photo's packet would come out with
// the prefixes of the last photo read on any thread, so that outputs depended on
// which photos ran before or beside them. Call with lockXmpToolkit() held, right
// before exiv2 serialises a packet.
void useStandardXmpPrefixes();

// Whether every standard prefix (xmp, xmpMM, dc, aux, ...) still names its own
// namespace for exiv2. A packet that names another namespace with a standard
// prefix (xmlns:xmpMM="http://example.com/") makes exiv2 register that prefix
// for the other namespace, for the whole process: every photo's properties of
// that prefix would then be written into the other namespace. Where a parse did
// that, the standard namespace gets its prefix back and the answer is false:
// the packet just parsed cannot be read faithfully. Call with lockXmpToolkit()
// held, right after exiv2 parsed a packet.
[[nodiscard]] bool keepStandardXmpPrefixes();

// One namespace declaration of a packet (xmlns:prefix="uri"), viewing the packet.
struct XmpDeclaration {
    std::string_view prefix;
    std::string_view uri;
};
// Every declaration of the packet, in its order; nothing when any cannot be told
// for sure (a default namespace, a character reference in a URI, text that only
// looks like a declaration, a packet that is not UTF-8), so that a caller that
// enters fewer than all standard prefixes on what it read never serialises with
// another photo's prefixes.
std::optional<std::vector<XmpDeclaration>> xmpDeclarationsOf(std::string_view packet);
// Whether parsing the declaration leaves the toolkit's namespace table as
// useStandardXmpPrefixes() leaves it: a standard namespace under its standard prefix.
bool isStandardXmpDeclaration(const XmpDeclaration& declaration);

// useStandardXmpPrefixes() for the standard declarations whose prefix or namespace
// is in touched alone: the table changes only for the prefixes and namespaces that
// packets declared and exiv2 entered, also long after (an entry left for another
// namespace takes the standard prefix along when that namespace is entered again),
// so where all of those since start are known, entering the few again leaves the
// table as entering all of them would, without parsing the 50-odd others.
void useStandardXmpPrefixesFor(const std::set<std::string, std::less<>>& touched);
