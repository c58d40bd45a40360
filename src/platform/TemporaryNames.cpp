#include "platform/TemporaryNames.h"

#include <QRandomGenerator>
#include <xxhash.h>

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr qsizetype kLetterCount = sizeof(kLetters) - 1;
constexpr qsizetype kRandomLength = 8;
constexpr qsizetype kTokenLength = 8;
// The key of the token: no name made by chance or by hand carries it (one in 2^47).
constexpr XXH64_hash_t kTokenKey = 0x56454c4c4f52414eULL;

QByteArray tokenOf(QByteArrayView random)
{
    quint64 hash = XXH3_64bits_withSeed(random.data(), size_t(random.size()), kTokenKey);
    QByteArray token(kTokenLength, Qt::Uninitialized);
    for (char& letter : token) {
        letter = kLetters[hash % kLetterCount];
        hash /= kLetterCount;
    }
    return token;
}

} // namespace

namespace TemporaryNames {

QByteArray make(QByteArrayView prefix)
{
    // From the system's source: a process forked from ours must not make our names.
    quint64 bits = QRandomGenerator::system()->generate64();
    QByteArray random(kRandomLength, Qt::Uninitialized);
    for (char& letter : random) {
        letter = kLetters[bits % kLetterCount];
        bits /= kLetterCount;
    }
    return prefix.toByteArray() + random + tokenOf(random);
}

qsizetype madeLength(QByteArrayView name, QByteArrayView prefix)
{
    const qsizetype length = prefix.size() + kRandomLength + kTokenLength;
    if (name.size() < length || !name.startsWith(prefix))
        return 0;
    const QByteArrayView random = name.sliced(prefix.size(), kRandomLength);
    return tokenOf(random) == name.sliced(prefix.size() + kRandomLength, kTokenLength) ? length : 0;
}

} // namespace TemporaryNames
