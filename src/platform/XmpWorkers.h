#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Exiv2 {
class XmpData;
} // namespace Exiv2

// Processes of our own that parse and serialise XMP packets. exiv2's XMP toolkit
// keeps one namespace table for the whole process and is safe on one thread only
// (see lockXmpToolkit), so in this process packets are parsed one at a time; each
// worker is a copy of the process forked before anything else ran, with a toolkit of
// its own, and photos that carry XMP are read and written side by side, as many at
// once as there are workers. A packet that makes the toolkit crash ends its worker
// only: that packet reads as unreadable, and the others go on with the workers left.
//
// A request and its answer travel over a socket as one frame: a 4-byte length, then
// the fields, each a 4-byte length and its bytes, so that no byte of a packet or a
// value can end a field.
namespace XmpWorkers {

// Forks one worker per core. Call once, first thing in main, while the process has
// one thread and exiv2 has not been used; later calls do nothing.
void start();

// exiv2's XmpParser::decode done by a worker: its answer (0 when the packet was read;
// xmpData is then what this process's toolkit would have made of it). Nothing when no
// worker is running, or when the worker's data cannot be carried over (a namespace
// prefix that means another namespace here): the caller then decodes in this process.
// Throws what exiv2 threw in the worker, as an Exiv2::Error with exiv2's message.
// The worker's answer is kept on this thread: the next decode on this thread of
// exactly that packet answers from it without asking a worker again (a write that
// leaves the photo's packet as it was reads back the packet its edit read). A kept
// answer (XmpKeptAnswers) answers without a worker.
std::optional<int> decode(Exiv2::XmpData& xmpData, const std::string& packet);

// A decode handed to a worker at once and its answer taken later, so that the
// asking thread goes on with other work while the worker parses. finish() answers
// as decode() does (decode() is one made and finished at once); one that is never
// finished still waits for its worker's answer when it ends, so that the worker is
// free again.
// keptForAnyThread: the worker's answer is also kept for any thread (a photo's
// listing: its write, on another thread, parses the same packet).
class PendingDecode {
public:
    explicit PendingDecode(std::string packet, bool keptForAnyThread = false);
    ~PendingDecode();
    PendingDecode(const PendingDecode&) = delete;
    PendingDecode& operator=(const PendingDecode&) = delete;

    std::optional<int> finish(Exiv2::XmpData& xmpData);

private:
    std::string m_packet;
    int m_worker = -1; // the worker asked, until its answer is taken
    bool m_sent = false;
    bool m_keptForAnyThread = false;
    std::string m_digest; // the packet's, once made, for keeping the answer
    std::optional<std::string> m_answer; // an answer at hand (a read-back)
};

// exiv2's XmpParser::encode done by a worker with these format flags; nothing as for
// decode, and also for a datum whose kind a packet cannot hold. With readBack the
// worker also decodes the packet it made, in the same trip, and the next decode on
// this thread of exactly that packet answers from it without asking a worker again
// (a write reads back what it wrote); a decode of any other packet forgets it.
std::optional<int> encode(
    std::string& packet, const Exiv2::XmpData& xmpData, unsigned formatFlags, bool readBack = false);

// Whether requests go to workers.
bool running();

// How many requests this process has sent to workers so far (for measurements).
std::uint64_t requestsSentSoFar();

} // namespace XmpWorkers
