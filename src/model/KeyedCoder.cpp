#include "model/KeyedCoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>
#include <limits>

namespace {

const QString kClassKey = QStringLiteral("$class");

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
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromObject(document.object(), expectedClass);
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
