#include "platform/XmpKeptAnswers.h"

#include <QCryptographicHash>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace {

// A packet and its answer kept on a thread up to this size together; a longer one
// is asked of a worker again.
constexpr std::size_t kLargestKeptOnThread = 1u << 20;
// Each answer kept for any thread is counted with its digest and its place in the
// lists.
constexpr std::size_t kOverheadPerAnswer = 128;

struct ReadBack {
    std::string packet;
    std::string answer;
};

std::optional<ReadBack>& readBackOfThisThread()
{
    thread_local std::optional<ReadBack> readBack;
    return readBack;
}

// BLAKE2b: cryptographic, and at about 1 GB/s a small part of a parse's cost.
std::string digestOf(const std::string& packet)
{
    return QCryptographicHash::hash(
        QByteArrayView(packet.data(), qsizetype(packet.size())), QCryptographicHash::Blake2b_256)
        .toStdString();
}

struct Kept {
    std::string answer;
    std::size_t size = 0; // counted against kKeptForAnyThread
    std::list<std::string>::iterator age;
};

class SharedAnswers {
public:
    std::optional<std::string> take(const std::string& digest)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_answers.find(digest);
        if (found == m_answers.end())
            return std::nullopt;
        std::string answer = std::move(found->second.answer);
        forget(found);
        return answer;
    }

    void keep(std::string digest, const std::string& answer)
    {
        const std::size_t size = answer.size() + digest.size() + kOverheadPerAnswer;
        if (size > XmpKeptAnswers::kKeptForAnyThread / 16)
            return;
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_answers.find(digest); found != m_answers.end())
            forget(found);
        while (!m_oldestFirst.empty() && m_bytes + size > XmpKeptAnswers::kKeptForAnyThread)
            forget(m_answers.find(m_oldestFirst.front()));
        m_oldestFirst.push_back(digest);
        m_answers.emplace(std::move(digest), Kept { answer, size, std::prev(m_oldestFirst.end()) });
        m_bytes += size;
    }

    std::size_t bytes()
    {
        const std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    using Answers = std::unordered_map<std::string, Kept>;

    void forget(Answers::iterator kept)
    {
        m_bytes -= kept->second.size;
        m_oldestFirst.erase(kept->second.age);
        m_answers.erase(kept);
    }

    std::mutex m_mutex;
    Answers m_answers;
    std::list<std::string> m_oldestFirst;
    std::size_t m_bytes = 0;
};

SharedAnswers& sharedAnswers()
{
    static SharedAnswers answers;
    return answers;
}

} // namespace

std::optional<std::string> XmpKeptAnswers::take(const std::string& packet, std::string* digest)
{
    std::optional<ReadBack> readBack = std::exchange(readBackOfThisThread(), std::nullopt);
    if (readBack && readBack->packet == packet)
        return std::move(readBack->answer);
    std::string made = digestOf(packet);
    std::optional<std::string> answer = sharedAnswers().take(made);
    if (digest)
        *digest = std::move(made);
    return answer;
}

void XmpKeptAnswers::keepForThisThread(const std::string& packet, const std::string& answer)
{
    if (packet.size() + answer.size() <= kLargestKeptOnThread)
        readBackOfThisThread() = ReadBack { packet, answer };
}

void XmpKeptAnswers::keepForAnyThread(const std::string& packet, const std::string& answer, std::string digest)
{
    sharedAnswers().keep(digest.empty() ? digestOf(packet) : std::move(digest), answer);
}

std::size_t XmpKeptAnswers::keptForAnyThreadBytes()
{
    return sharedAnswers().bytes();
}
