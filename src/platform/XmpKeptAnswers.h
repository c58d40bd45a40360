#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Workers' answers to packet parses, kept so that a packet parsed once is not parsed
// again soon after. A photo's packet is parsed when the photo is listed and again
// when its write reads it; a write then reads back the packet it wrote (or the one it
// left as it was). An answer is the worker's reply as it came, interpreted anew at
// each use, so a kept one ends a read exactly as a fresh one would.
namespace XmpKeptAnswers {

// The answer kept for exactly this packet, taken out of what is kept; nothing when
// none is. This thread's own read-back is looked at first, then the answers kept
// for any thread; digest, when given, receives the packet's digest if that second
// look made it, for keepForAnyThread.
std::optional<std::string> take(const std::string& packet, std::string* digest = nullptr);

// Keeps the answer to this packet as this thread's read-back, until this thread
// parses another packet: a write reads back what it wrote right after writing it.
void keepForThisThread(const std::string& packet, const std::string& answer);

// Keeps a worker's fresh answer to this packet for any thread, the oldest answers
// forgotten first once all of them together pass kKeptForAnyThread: the listing's
// parses serve the writes that follow it. An answer is known by a cryptographic
// digest of its packet, so that no crafted packet can take another's answer: the
// one take made, when given, else made here.
void keepForAnyThread(const std::string& packet, const std::string& answer, std::string digest = {});

// The most the answers kept for any thread hold together (with their digests).
inline constexpr std::size_t kKeptForAnyThread = 16u << 20;

// How many bytes the answers kept for any thread hold now.
std::size_t keptForAnyThreadBytes();

} // namespace XmpKeptAnswers
