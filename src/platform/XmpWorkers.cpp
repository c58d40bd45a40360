#include "platform/XmpWorkers.h"

#include "platform/Exiv2Setup.h"
#include "platform/XmpKeptAnswers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <map>
#include <mutex>
#include <string_view>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr char kDecode = 'd';
constexpr char kEncode = 'e';
// Far above any packet a JPEG segment or a HEIF item holds; a longer length is a
// broken frame.
constexpr std::uint32_t kLongestFrame = 256u << 20;

// ---- Frames and their fields ----

class FieldWriter {
public:
    void number(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.push_back(char((value >> shift) & 0xFF));
    }
    void text(std::string_view text)
    {
        number(std::uint32_t(text.size()));
        m_bytes.append(text);
    }
    const std::string& bytes() const { return m_bytes; }
    void append(const FieldWriter& other) { m_bytes += other.m_bytes; }

private:
    std::string m_bytes;
};

class FieldReader {
public:
    explicit FieldReader(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    std::uint32_t number()
    {
        if (m_bytes.size() < 4) {
            m_good = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(static_cast<unsigned char>(m_bytes[std::size_t(i)])) << (8 * i);
        m_bytes.remove_prefix(4);
        return value;
    }
    std::string text()
    {
        const std::uint32_t size = number();
        if (!m_good || size > m_bytes.size()) {
            m_good = false;
            return {};
        }
        std::string value(m_bytes.substr(0, size));
        m_bytes.remove_prefix(size);
        return value;
    }
    bool good() const { return m_good; }
    std::size_t remaining() const { return m_bytes.size(); }

private:
    std::string_view m_bytes;
    bool m_good = true;
};

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

bool readAll(int fd, char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= std::size_t(got);
    }
    return true;
}

bool sendFrame(int fd, const std::string& payload)
{
    if (payload.size() > kLongestFrame)
        return false;
    FieldWriter frame;
    frame.text(payload);
    return writeAll(fd, frame.bytes().data(), frame.bytes().size());
}

// A worker that has not answered within this time is taken for hung on its packet.
constexpr int kLongestAnswerMs = 60'000;

std::atomic<std::uint64_t> requestsSent { 0 };

bool sendRequest(int fd, const std::string& request)
{
    requestsSent.fetch_add(1, std::memory_order_relaxed);
    return sendFrame(fd, request);
}

bool answerArrives(int fd)
{
    pollfd ready { fd, POLLIN, 0 };
    int polled;
    do {
        polled = ::poll(&ready, 1, kLongestAnswerMs);
    } while (polled < 0 && errno == EINTR);
    return polled > 0;
}

bool receiveFrame(int fd, std::string& payload)
{
    char length[4];
    if (!readAll(fd, length, 4))
        return false;
    const std::uint32_t size = FieldReader(std::string_view(length, 4)).number();
    if (size > kLongestFrame)
        return false;
    payload.resize(size);
    return readAll(fd, payload.data(), size);
}

// ---- XMP data as fields ----
//
// First every namespace the data names, as prefix and URI: the schemas' and those of
// the fields of structs and of qualifiers inside the property paths, which the
// receiving toolkit must know by the same prefixes. Then each datum: prefix,
// property, value type, array kind, struct kind, and its values: one text, the items
// of an array, or language and text of each alternative. These are the kinds
// exiv2's decode makes and its encode takes.

// The prefixes of a property path: "Directory[1]/Container:Item/Item:Mime" names
// Container and Item, "title[1]/?xml:lang" names xml.
void addPathPrefixes(const std::string& path, std::vector<std::string>& prefixes)
{
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::size_t start = slash + 1;
        if (start < path.size() && path[start] == '?')
            ++start;
        const std::size_t colon = path.find_first_of(":/[", start);
        if (colon != std::string::npos && path[colon] == ':')
            prefixes.push_back(path.substr(start, colon - start));
    }
}

bool writeDatum(FieldWriter& out, const Exiv2::Xmpdatum& datum)
{
    const Exiv2::TypeId type = datum.typeId();
    if (type != Exiv2::xmpText && type != Exiv2::xmpBag && type != Exiv2::xmpSeq && type != Exiv2::xmpAlt
        && type != Exiv2::langAlt)
        return false;
    const auto* xmpValue = dynamic_cast<const Exiv2::XmpValue*>(&datum.value());
    if (!xmpValue)
        return false;
    out.text(datum.groupName());
    out.text(datum.tagName());
    out.number(std::uint32_t(type));
    out.number(std::uint32_t(xmpValue->xmpArrayType()));
    out.number(std::uint32_t(xmpValue->xmpStruct()));
    if (const auto* text = dynamic_cast<const Exiv2::XmpTextValue*>(xmpValue)) {
        out.number(1);
        out.text(text->value_);
    } else if (const auto* array = dynamic_cast<const Exiv2::XmpArrayValue*>(xmpValue)) {
        out.number(std::uint32_t(array->count()));
        for (long item = 0; item < array->count(); ++item)
            out.text(array->toString(item));
    } else if (const auto* alternatives = dynamic_cast<const Exiv2::LangAltValue*>(xmpValue)) {
        out.number(std::uint32_t(alternatives->value_.size()));
        for (const auto& [language, text] : alternatives->value_) {
            out.text(language);
            out.text(text);
        }
    } else {
        return false;
    }
    return true;
}

// False when a datum is of a kind a packet cannot hold, or names a prefix that
// exiv2 here does not know (the toolkit may know it from a packet it parsed).
bool writeData(FieldWriter& out, const Exiv2::XmpData& data)
{
    try {
        std::map<std::string, std::string> namespaces;
        std::vector<std::string> prefixes;
        FieldWriter datums;
        datums.number(std::uint32_t(data.count()));
        for (const Exiv2::Xmpdatum& datum : data) {
            if (!writeDatum(datums, datum))
                return false;
            prefixes.assign(1, datum.groupName());
            addPathPrefixes(datum.tagName(), prefixes);
            for (const std::string& prefix : prefixes) {
                if (namespaces.find(prefix) == namespaces.end())
                    namespaces.emplace(prefix, Exiv2::XmpProperties::ns(prefix));
            }
        }
        out.number(std::uint32_t(namespaces.size()));
        for (const auto& [prefix, uri] : namespaces) {
            out.text(prefix);
            out.text(uri);
        }
        out.append(datums);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Whether exiv2 knows a namespace by this prefix.
bool namesNamespace(const std::string& prefix)
{
    try {
        return !Exiv2::XmpProperties::ns(prefix).empty();
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

// In a worker: whether the toolkit's namespace table is as useStandardXmpPrefixes()
// left it, so that an encode may go without entering the standard prefixes again.
// Parsing the 50-odd declarations of that packet before every encode was a tenth of
// a worker's time, while nearly every photo's packet declares standard prefixes only.
bool toolkitPrefixesStandard = false;
// The prefixes and namespaces that packets and registrations entered since the
// worker started, so that only their standard declarations are entered again; or,
// once a packet's declarations could not all be read, every one. Neither is ever
// forgotten: an entry such a packet left for another namespace stays in the table,
// and entering that namespace later (exiv2 enters its own at every encode) takes
// the standard prefix's entry out again, after any entering of the prefixes.
std::set<std::string, std::less<>> prefixesTouched;
bool prefixesUntold = false;

void touchPrefix(std::string_view prefix, std::string_view uri)
{
    prefixesTouched.emplace(prefix);
    prefixesTouched.emplace(uri);
    // exiv2 enters a namespace that ends in neither '/' nor '#' with a '/' added,
    // and the toolkit's parser takes Dublin Core's old URI for its standard one.
    if (!uri.ends_with('/') && !uri.ends_with('#'))
        prefixesTouched.insert(std::string(uri) + '/');
    if (uri == "http://purl.org/dc/1.1/")
        prefixesTouched.emplace("http://purl.org/dc/elements/1.1/");
}

// Notes what parsing packet may change in the table; whether it declares standard
// namespaces under their own prefixes only, and so cannot change it.
bool notePacketDeclarations(std::string_view packet)
{
    const std::optional<std::vector<XmpDeclaration>> declarations = xmpDeclarationsOf(packet);
    if (!declarations) {
        toolkitPrefixesStandard = false;
        prefixesUntold = true;
        return false;
    }
    bool onlyStandard = true;
    for (const XmpDeclaration& declaration : *declarations) {
        if (isStandardXmpDeclaration(declaration))
            continue;
        onlyStandard = false;
        toolkitPrefixesStandard = false;
        touchPrefix(declaration.prefix, declaration.uri);
    }
    return onlyStandard;
}

// Makes the table as at start before an encode.
void restoreStandardPrefixes()
{
    if (toolkitPrefixesStandard)
        return;
    if (prefixesUntold)
        useStandardXmpPrefixes();
    else
        useStandardXmpPrefixesFor(prefixesTouched);
    toolkitPrefixesStandard = true;
}

// The prefix means the same namespace here as where the data came from; an unknown
// namespace is entered with the prefix it came with, as exiv2's decode enters it,
// but never over a prefix that already names another namespace: exiv2 would then
// write that namespace's properties of every photo into this one.
bool knowsNamespace(const std::string& prefix, const std::string& uri)
{
    try {
        if (Exiv2::XmpProperties::prefix(uri).empty()) {
            if (namesNamespace(prefix))
                return false;
            toolkitPrefixesStandard = false;
            touchPrefix(prefix, uri);
            Exiv2::XmpProperties::registerNs(uri, prefix);
        }
        return Exiv2::XmpProperties::ns(prefix) == uri;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

bool readDataOrThrow(FieldReader& in, Exiv2::XmpData& data)
{
    const std::uint32_t namespaces = in.number();
    for (std::uint32_t i = 0; i < namespaces && in.good(); ++i) {
        const std::string prefix = in.text();
        const std::string uri = in.text();
        if (!in.good() || !knowsNamespace(prefix, uri))
            return false;
    }
    const std::uint32_t count = in.number();
    for (std::uint32_t i = 0; i < count && in.good(); ++i) {
        const std::string prefix = in.text();
        const std::string property = in.text();
        const auto type = Exiv2::TypeId(in.number());
        const auto arrayType = Exiv2::XmpValue::XmpArrayType(in.number());
        const auto structType = Exiv2::XmpValue::XmpStruct(in.number());
        const std::uint32_t values = in.number();
        if (!in.good())
            return false;
        const Exiv2::XmpKey key(prefix, property);
        if (type == Exiv2::xmpText) {
            Exiv2::XmpTextValue value;
            value.value_ = in.text();
            value.setXmpArrayType(arrayType);
            value.setXmpStruct(structType);
            data.add(key, &value);
        } else if (type == Exiv2::langAlt) {
            Exiv2::LangAltValue value;
            for (std::uint32_t item = 0; item < values && in.good(); ++item) {
                std::string language = in.text();
                value.value_[language] = in.text();
            }
            value.setXmpArrayType(arrayType);
            value.setXmpStruct(structType);
            data.add(key, &value);
        } else if (type == Exiv2::xmpBag || type == Exiv2::xmpSeq || type == Exiv2::xmpAlt) {
            Exiv2::XmpArrayValue value(type);
            for (std::uint32_t item = 0; item < values && in.good(); ++item)
                value.read(in.text());
            value.setXmpArrayType(arrayType);
            value.setXmpStruct(structType);
            data.add(key, &value);
        } else {
            return false;
        }
    }
    return in.good();
}

// False when the data cannot be made here as it was there.
bool readData(FieldReader& in, Exiv2::XmpData& data)
{
    try {
        return readDataOrThrow(in, data);
    } catch (const std::exception&) {
        return false;
    }
}

// ---- The worker ----

struct LogLine {
    int level;
    std::string text;
};

std::vector<LogLine>& workerLog()
{
    static std::vector<LogLine> lines;
    return lines;
}

void keepLogLine(int level, const char* text)
{
    workerLog().push_back({ level, text ? text : "" });
}

// What an answer starts with: whether the data could be carried, exiv2's code,
// whether it threw and its message, and its log lines.
FieldWriter answerHead(bool carried, int code, bool threw, const std::string& thrown)
{
    FieldWriter head;
    head.number(carried ? 1 : 0);
    head.number(std::uint32_t(code));
    head.number(threw ? 1 : 0);
    head.text(thrown);
    head.number(std::uint32_t(workerLog().size()));
    for (const LogLine& line : workerLog()) {
        head.number(std::uint32_t(line.level));
        head.text(line.text);
    }
    return head;
}

// The answer to a decode of packet: the head, then the data.
std::string decodeAnswer(const std::string& packet)
{
    int code = 0;
    std::string thrown;
    bool threw = false;
    bool carried = true;
    Exiv2::XmpData data;
    workerLog().clear();
    try {
        const bool onlyStandard = notePacketDeclarations(packet);
        code = Exiv2::XmpParser::decode(data, packet);
        // A packet that gave a standard prefix to another namespace is left to
        // this process's own decode, which refuses it; the worker's table is mended.
        // One that declares standard namespaces alone cannot have done so.
        if (!onlyStandard && !keepStandardXmpPrefixes())
            carried = false;
    } catch (const std::exception& error) {
        threw = true;
        thrown = error.what();
    }
    FieldWriter body;
    if (carried && !threw)
        carried = writeData(body, data);
    return answerHead(carried, code, threw, thrown).bytes() + body.bytes();
}

// The answer to an encode: the head, then the packet; asked to read it back, the
// answer to a decode of that packet follows, so that reading back what was just
// written costs no second trip.
std::string encodeAnswer(FieldReader& in)
{
    const std::uint32_t flags = in.number();
    const bool readBack = in.number() == 1;
    int code = 0;
    std::string thrown;
    bool threw = false;
    Exiv2::XmpData data;
    std::string packet;
    workerLog().clear();
    bool carried = false;
    try {
        carried = readData(in, data);
        if (carried) {
            restoreStandardPrefixes();
            code = Exiv2::XmpParser::encode(packet, data, std::uint16_t(flags));
        }
    } catch (const std::exception& error) {
        threw = true;
        thrown = error.what();
    }
    FieldWriter written;
    written.text(packet);
    std::string answer = answerHead(carried, code, threw, thrown).bytes() + written.bytes();
    if (readBack && carried && !threw && code == 0 && !packet.empty()) {
        FieldWriter readAnswer;
        readAnswer.text(decodeAnswer(packet));
        answer += readAnswer.bytes();
    }
    return answer;
}

std::string answer(const std::string& request)
{
    FieldReader in(request);
    const std::uint32_t operation = in.number();
    if (operation == std::uint32_t(kDecode))
        return decodeAnswer(in.text());
    if (operation == std::uint32_t(kEncode))
        return encodeAnswer(in);
    workerLog().clear();
    FieldWriter written;
    written.text(std::string());
    return answerHead(false, 0, false, std::string()).bytes() + written.bytes();
}

[[noreturn]] void serve(int fd)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    std::string request;
    bool initialised = false;
    while (receiveFrame(fd, request)) {
        // The toolkit is set up at the first request, not at the start: the workers
        // are forked as the application starts, and would take the processor from
        // its window for a toolkit a session may never need.
        if (!std::exchange(initialised, true)) {
            initializeExiv2();
            Exiv2::LogMsg::setHandler(keepLogLine);
        }
        if (!sendFrame(fd, answer(request)))
            break;
    }
    ::_exit(0);
}

// ---- The pool ----

// Never destroyed: writer threads may still ask after the program's statics are gone.
struct Pool {
    std::mutex mutex;
    std::condition_variable freed;
    std::vector<int> idle; // sockets of the workers waiting for a request
    std::map<int, pid_t> processes; // each worker's process by its socket
    int alive = 0;
    bool started = false;
};

Pool& pool()
{
    static Pool* instance = new Pool;
    return *instance;
}

// At the end of the process the idle workers see the end of their requests and are
// waited for, so that their processor time is the process's own; a busy one ends
// with the process (PR_SET_PDEATHSIG).
void endIdleWorkers()
{
    Pool& workers = pool();
    const std::lock_guard lock(workers.mutex);
    // Every idle worker is told first, so that they end side by side, not one after
    // another (each takes most of a millisecond to unmap its copy of the process).
    for (const int fd : workers.idle)
        ::close(fd);
    for (const int fd : workers.idle) {
        ::waitpid(workers.processes[fd], nullptr, 0);
        workers.processes.erase(fd);
        --workers.alive;
    }
    workers.idle.clear();
}

// A worker's socket, or -1 when none is left.
int takeWorker()
{
    Pool& workers = pool();
    std::unique_lock lock(workers.mutex);
    workers.freed.wait(lock, [&] { return !workers.idle.empty() || workers.alive == 0; });
    if (workers.idle.empty())
        return -1;
    const int fd = workers.idle.back();
    workers.idle.pop_back();
    return fd;
}

void giveBack(int fd, bool ended)
{
    Pool& workers = pool();
    {
        const std::lock_guard lock(workers.mutex);
        if (ended) {
            ::close(fd);
            --workers.alive;
            const pid_t pid = workers.processes[fd];
            workers.processes.erase(fd);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        } else {
            workers.idle.push_back(fd);
        }
    }
    workers.freed.notify_one();
}

struct Answer {
    bool carried = false;
    int code = 0;
    std::string rest;
};

// The answer a worker gave, as this process's own toolkit call would have ended: its
// log lines go to this process's log, and what exiv2 threw is thrown here.
Answer interpret(const std::string& reply)
{
    FieldReader in(reply);
    Answer result;
    result.carried = in.number() == 1;
    result.code = int(in.number());
    const bool threw = in.number() == 1;
    const std::string thrown = in.text();
    const std::uint32_t lines = in.number();
    for (std::uint32_t line = 0; line < lines && in.good(); ++line) {
        const int level = int(in.number());
        const std::string text = in.text();
        if (level >= Exiv2::LogMsg::level() && Exiv2::LogMsg::handler())
            Exiv2::LogMsg::handler()(level, text.c_str());
    }
    if (!in.good())
        return Answer { true, 3, {} };
    if (threw)
        throw Exiv2::Error(Exiv2::kerErrorMessage, thrown);
    result.rest = reply.substr(reply.size() - in.remaining());
    return result;
}

// The answer of the worker at fd to the request it was sent (sent: whether the
// sending went through), the worker given back; nothing when it ended or hung.
std::optional<std::string> answerOf(int fd, bool sent)
{
    std::string reply;
    const bool answered = sent && answerArrives(fd) && receiveFrame(fd, reply);
    giveBack(fd, !answered);
    if (!answered)
        return std::nullopt;
    return reply;
}

Answer interpretAnswerOf(const std::optional<std::string>& reply)
{
    if (!reply) {
        if (Exiv2::LogMsg::error >= Exiv2::LogMsg::level() && Exiv2::LogMsg::handler())
            Exiv2::LogMsg::handler()(Exiv2::LogMsg::error, "The XMP reader ended on this packet.");
        return Answer { true, 3, {} };
    }
    return interpret(*reply);
}

// The worker's answer to request; nothing when no worker is left. A worker that
// ends on the request (the toolkit crashed on it) or does not answer in time is
// ended; the request answers code 3, as the toolkit's own errors do, and the
// worker is not replaced.
std::optional<Answer> ask(const std::string& request)
{
    const int fd = takeWorker();
    if (fd < 0)
        return std::nullopt;
    return interpretAnswerOf(answerOf(fd, sendRequest(fd, request)));
}

} // namespace

namespace XmpWorkers {

void start()
{
    const int count = int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    Pool& workers = pool();
    const std::lock_guard lock(workers.mutex);
    if (workers.started)
        return;
    workers.started = true;
    std::vector<int> parentEnds;
    for (int i = 0; i < count; ++i) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            break;
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only this worker's own end stays open: another's, held here, would keep
            // that worker from seeing the end of its requests.
            for (const int fd : parentEnds)
                ::close(fd);
            ::close(ends[0]);
            serve(ends[1]);
        }
        ::close(ends[1]);
        if (pid < 0) {
            ::close(ends[0]);
            break;
        }
        parentEnds.push_back(ends[0]);
        workers.processes[ends[0]] = pid;
    }
    workers.idle = parentEnds;
    workers.alive = int(parentEnds.size());
    std::atexit(endIdleWorkers);
}

std::uint64_t requestsSentSoFar()
{
    return requestsSent.load(std::memory_order_relaxed);
}

bool running()
{
    Pool& workers = pool();
    const std::lock_guard lock(workers.mutex);
    return workers.alive > 0;
}

PendingDecode::PendingDecode(std::string packet, bool keptForAnyThread)
    : m_packet(std::move(packet))
    , m_keptForAnyThread(keptForAnyThread)
{
    m_answer = XmpKeptAnswers::take(m_packet, m_keptForAnyThread ? &m_digest : nullptr);
    if (m_answer)
        return;
    m_worker = takeWorker();
    if (m_worker < 0)
        return;
    FieldWriter request;
    request.number(std::uint32_t(kDecode));
    request.text(m_packet);
    m_sent = sendRequest(m_worker, request.bytes());
}

PendingDecode::~PendingDecode()
{
    if (m_worker >= 0)
        static_cast<void>(answerOf(m_worker, m_sent));
}

std::optional<int> PendingDecode::finish(Exiv2::XmpData& xmpData)
{
    std::optional<Answer> reply;
    if (m_answer) {
        XmpKeptAnswers::keepForThisThread(m_packet, *m_answer);
        reply = interpret(*m_answer);
    } else if (m_worker >= 0) {
        const int worker = std::exchange(m_worker, -1);
        const std::optional<std::string> answer = answerOf(worker, m_sent);
        // Only what a worker answered is kept: one that ended on the packet is asked
        // of the next worker again.
        if (answer) {
            XmpKeptAnswers::keepForThisThread(m_packet, *answer);
            if (m_keptForAnyThread)
                XmpKeptAnswers::keepForAnyThread(m_packet, *answer, std::move(m_digest));
        }
        reply = interpretAnswerOf(answer);
    }
    if (!reply || !reply->carried)
        return std::nullopt;
    // As exiv2's decode: the packet is kept also when it cannot be read.
    Exiv2::XmpData data;
    data.setPacket(m_packet);
    FieldReader in(reply->rest);
    if (!reply->rest.empty() && !readData(in, data))
        return std::nullopt;
    xmpData = std::move(data);
    return reply->code;
}

std::optional<int> decode(Exiv2::XmpData& xmpData, const std::string& packet)
{
    return PendingDecode(packet).finish(xmpData);
}

std::optional<int> encode(std::string& packet, const Exiv2::XmpData& xmpData, unsigned formatFlags, bool readBack)
{
    // A packet to be written as it stands is exiv2's own business.
    if (xmpData.usePacket())
        return std::nullopt;
    FieldWriter request;
    request.number(std::uint32_t(kEncode));
    request.number(formatFlags);
    request.number(readBack ? 1 : 0);
    if (!writeData(request, xmpData))
        return std::nullopt;
    const std::optional<Answer> reply = ask(request.bytes());
    if (!reply || !reply->carried)
        return std::nullopt;
    FieldReader in(reply->rest);
    std::string written = in.text();
    if (!in.good())
        return 3;
    if (readBack && in.remaining() > 0) {
        std::string answer = in.text();
        if (in.good())
            XmpKeptAnswers::keepForThisThread(written, answer);
    }
    packet = std::move(written);
    return reply->code;
}

} // namespace XmpWorkers
