#include "model/KeyedCoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QString kClassKey = QStringLiteral("$class");

// Finds where the values of JSON text end without reading them: only strings,
// objects and arrays are told apart, so that a long archive can be cut at its
// elements. Whether each piece is JSON is left to the parser. Every answer lies
// within the text, or is nothing when the text ends first.
class JsonSpans {
public:
    explicit JsonSpans(QByteArrayView text)
        : m_text(text)
    {
    }

    bool is(qsizetype i, char c) const { return i < m_text.size() && m_text[i] == c; }

    qsizetype afterSpace(qsizetype i) const
    {
        while (i < m_text.size() && isSpace(m_text[i]))
            ++i;
        return i;
    }

    // From the opening quote at i to just after the closing one: the first quote
    // after an even number of backslashes (most of an archive is texts, so they are
    // searched with memchr).
    std::optional<qsizetype> stringEnd(qsizetype i) const
    {
        const char* const begin = m_text.data();
        const char* const end = begin + m_text.size();
        const char* const opening = begin + i;
        const char* from = opening + 1;
        while (from < end) {
            const auto* quote = static_cast<const char*>(std::memchr(from, '"', std::size_t(end - from)));
            if (quote == nullptr)
                return std::nullopt;
            const char* escapes = quote;
            while (escapes > opening + 1 && escapes[-1] == '\\')
                --escapes;
            if ((quote - escapes) % 2 == 0)
                return quote - begin + 1;
            from = quote + 1;
        }
        return std::nullopt;
    }

    // From the first character of a value at i to just after it.
    std::optional<qsizetype> valueEnd(qsizetype i) const
    {
        if (is(i, '"'))
            return stringEnd(i);
        if (is(i, '{') || is(i, '[')) {
            qsizetype depth = 0;
            while (i < m_text.size()) {
                const char c = m_text[i];
                if (c == '"') {
                    const std::optional<qsizetype> end = stringEnd(i);
                    if (!end)
                        return std::nullopt;
                    i = *end;
                    continue;
                }
                if (c == '{' || c == '[')
                    ++depth;
                else if ((c == '}' || c == ']') && --depth == 0)
                    return i + 1;
                ++i;
            }
            return std::nullopt;
        }
        // A number or a literal runs to the next delimiter.
        while (i < m_text.size() && !isSpace(m_text[i]) && m_text[i] != ',' && m_text[i] != '}' && m_text[i] != ']')
            ++i;
        return i;
    }

    // The array at i, whose elements must all be objects: their spans go to
    // elements; answers the index just after the array.
    std::optional<qsizetype> objectArrayEnd(qsizetype i, QList<std::pair<qsizetype, qsizetype>>& elements) const
    {
        i = afterSpace(i + 1);
        if (is(i, ']'))
            return i + 1;
        for (;;) {
            if (!is(i, '{'))
                return std::nullopt;
            const std::optional<qsizetype> end = valueEnd(i);
            if (!end)
                return std::nullopt;
            elements.append({ i, *end });
            i = afterSpace(*end);
            if (is(i, ']'))
                return i + 1;
            if (!is(i, ','))
                return std::nullopt;
            i = afterSpace(i + 1);
        }
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    QByteArrayView m_text;
};

} // namespace

KeyedEncoder::KeyedEncoder(const QString& className)
{
    m_object.insert(kClassKey, className);
}

void KeyedEncoder::encodeString(const QString& key, const QString& value)
{
    if (!value.isNull())
        m_object.insert(key, value);
}

void KeyedEncoder::encodeInt(const QString& key, int value)
{
    m_object.insert(key, value);
}

void KeyedEncoder::encodeBool(const QString& key, bool value)
{
    m_object.insert(key, value);
}

void KeyedEncoder::encodeObject(const QString& key, const KeyedEncoder& object)
{
    m_object.insert(key, object.m_object);
}

void KeyedEncoder::encodeArray(const QString& key, const QList<KeyedEncoder>& objects)
{
    QJsonArray array;
    for (const KeyedEncoder& object : objects)
        array.append(object.m_object);
    m_object.insert(key, array);
}

void KeyedEncoder::encodeStringArray(const QString& key, const QStringList& texts)
{
    m_object.insert(key, QJsonArray::fromStringList(texts));
}

QByteArray KeyedEncoder::toJson() const
{
    return QJsonDocument(m_object).toJson(QJsonDocument::Compact);
}

std::optional<KeyedDecoder> KeyedDecoder::fromJson(const QByteArray& data, const QString& expectedClass)
{
    bool wellFormed = true;
    return fromJson(data, expectedClass, wellFormed);
}

std::optional<KeyedDecoder> KeyedDecoder::fromJson(
    const QByteArray& data, const QString& expectedClass, bool& wellFormed)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    wellFormed = error.error == QJsonParseError::NoError;
    if (!wellFormed || !document.isObject())
        return std::nullopt;
    return fromObject(document.object(), expectedClass);
}

std::optional<KeyedDecoder::SplitArchive> KeyedDecoder::splitAtArray(
    const QByteArray& data, const QString& expectedClass, QByteArrayView arrayKey)
{
    const JsonSpans text(data);
    qsizetype i = text.afterSpace(0);
    if (!text.is(i, '{'))
        return std::nullopt;
    i = text.afterSpace(i + 1);
    qsizetype arrayStart = -1;
    qsizetype arrayEnd = -1;
    QList<std::pair<qsizetype, qsizetype>> spans;
    while (!text.is(i, '}')) {
        if (!text.is(i, '"'))
            return std::nullopt;
        const std::optional<qsizetype> keyEnd = text.stringEnd(i);
        if (!keyEnd)
            return std::nullopt;
        const QByteArrayView key = QByteArrayView(data).sliced(i + 1, *keyEnd - i - 2);
        // An escaped key may spell the array's key another way: such an archive
        // is read whole.
        if (key.contains('\\'))
            return std::nullopt;
        i = text.afterSpace(*keyEnd);
        if (!text.is(i, ':'))
            return std::nullopt;
        i = text.afterSpace(i + 1);
        std::optional<qsizetype> valueEnd;
        if (key == arrayKey) {
            if (arrayStart >= 0 || !text.is(i, '['))
                return std::nullopt;
            arrayStart = i;
            valueEnd = text.objectArrayEnd(i, spans);
            arrayEnd = valueEnd.value_or(-1);
        } else {
            valueEnd = text.valueEnd(i);
        }
        if (!valueEnd)
            return std::nullopt;
        i = text.afterSpace(*valueEnd);
        if (text.is(i, ','))
            i = text.afterSpace(i + 1);
        else if (!text.is(i, '}'))
            return std::nullopt;
    }
    if (arrayStart < 0)
        return std::nullopt;
    // The parser judges all but the elements, which it judges one by one.
    QByteArray rest;
    rest.reserve(data.size() - (arrayEnd - arrayStart) + 2);
    rest.append(data.constData(), arrayStart).append("[]").append(data.constData() + arrayEnd, data.size() - arrayEnd);
    std::optional<KeyedDecoder> root = fromJson(rest, expectedClass);
    if (!root)
        return std::nullopt;
    SplitArchive split { *root, {} };
    split.elements.reserve(spans.size());
    for (const auto& [start, end] : spans)
        split.elements.append(QByteArray::fromRawData(data.constData() + start, end - start));
    return split;
}

std::optional<KeyedDecoder> KeyedDecoder::fromObject(const QJsonObject& object, const QString& expectedClass)
{
    if (object.value(kClassKey).toString() != expectedClass)
        return std::nullopt;
    return KeyedDecoder(object);
}

std::optional<QString> KeyedDecoder::decodeString(const QString& key) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<int> KeyedDecoder::decodeInt(const QString& key) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

std::optional<bool> KeyedDecoder::decodeBool(const QString& key) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    return std::nullopt;
}

std::optional<KeyedDecoder> KeyedDecoder::decodeObject(const QString& key, const QString& expectedClass) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isObject())
        return std::nullopt;
    return fromObject(value.toObject(), expectedClass);
}

QList<KeyedDecoder> KeyedDecoder::decodeArray(const QString& key, const QString& expectedClass) const
{
    QList<KeyedDecoder> result;
    const QJsonValue value = m_object.value(key);
    if (!value.isArray())
        return result;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            continue;
        if (auto decoder = fromObject(element.toObject(), expectedClass))
            result.append(*decoder);
    }
    return result;
}

QStringList KeyedDecoder::decodeStringArray(const QString& key) const
{
    QStringList result;
    const QJsonValue value = m_object.value(key);
    if (!value.isArray())
        return result;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (element.isString())
            result.append(element.toString());
    }
    return result;
}

std::optional<qsizetype> KeyedDecoder::arraySize(const QString& key) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isArray())
        return std::nullopt;
    return value.toArray().size();
}
