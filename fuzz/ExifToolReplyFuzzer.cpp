#include "services/ExifToolArguments.h"
#include "platform/ExifToolProcess.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

// libFuzzer target: bytes as what an exiftool process prints, read as the writer
// reads its replies: a command's output channel arriving in pieces, its error text
// put in our words, and the forking exiftool's answer to a request.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QByteArray marker = "{ready123456789}";
    // The channel grows piece by piece, as reads return; once the answer is there
    // it stays what it was, as the reader stops at the first one.
    const qsizetype step = bytes.isEmpty() ? 1 : 1 + qsizetype(std::uint8_t(bytes.at(0)) % 61);
    std::optional<QString> found;
    for (qsizetype end = 0;; end = std::min(end + step, bytes.size())) {
        const std::optional<QString> answer = ExifToolProcess::answerBefore(bytes.left(end), marker);
        if (found && answer != found)
            std::abort();
        found = answer;
        if (end == bytes.size())
            break;
    }
    const ExifToolArguments::ReplyText text
        = ExifToolArguments::replyText(QString::fromUtf8(bytes), QStringLiteral("photo-0-0.heic"));
    if (text.error && text.error->isEmpty())
        std::abort();
    const qsizetype lineEnd = bytes.indexOf('\n');
    const qint64 pid = ExifToolProcess::forkedProcessId(QByteArrayView(bytes).first(lineEnd < 0 ? bytes.size() : lineEnd), "77");
    if (pid < 0)
        std::abort();
    return 0;
}
