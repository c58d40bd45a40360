#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A small keyed archive over JSON. Each archived object is one JSON object holding
// "$class" and its property keys; nested objects are JSON objects of the same form.
//
// Writing: an absent value is an absent key. Reading: a key that is missing, or
// whose value is of the wrong kind, reads as absent; nothing here throws or
// crashes on damaged input. Numbers are stored as JSON numbers, never as text, so
// no locale can change them.
class KeyedEncoder {
public:
    explicit KeyedEncoder(const QString& className);

    // A null QString is an absent value and writes no key; "" is written.
    void encodeString(const QString& key, const QString& value);
    void encodeInt(const QString& key, int value);
    void encodeBool(const QString& key, bool value);
    void encodeObject(const QString& key, const KeyedEncoder& object);
    void encodeArray(const QString& key, const QList<KeyedEncoder>& objects);
    void encodeStringArray(const QString& key, const QStringList& texts);

    const QJsonObject& jsonObject() const { return m_object; }
    QByteArray toJson() const;

private:
    QJsonObject m_object;
};

class KeyedDecoder {
public:
    // The root object of an archive, when the bytes are a JSON object of the
    // expected class; nothing for truncated, malformed or foreign data.
    static std::optional<KeyedDecoder> fromJson(const QByteArray& data, const QString& expectedClass);
    // The same; wellFormed tells whether the bytes were JSON at all.
    static std::optional<KeyedDecoder> fromJson(const QByteArray& data, const QString& expectedClass, bool& wellFormed);

    // An archive whose root holds a long array of objects, split so that the
    // elements can be read apart (on several threads): the root as read with that
    // array left empty, and the bytes of each element, to be read with fromJson.
    // The element bytes point into data, which must outlive them. Nothing when
    // the root does not hold the key exactly once, as an array of objects, or the
    // rest of the archive is not a JSON object of the expected class; the archive
    // is then read whole. For every archive both paths read the same objects.
    struct SplitArchive;
    static std::optional<SplitArchive> splitAtArray(
        const QByteArray& data, const QString& expectedClass, QByteArrayView arrayKey);

    // A decoder over a JSON object already known to be of the expected class.
    static std::optional<KeyedDecoder> fromObject(const QJsonObject& object, const QString& expectedClass);

    bool contains(const QString& key) const { return m_object.contains(key); }

    std::optional<QString> decodeString(const QString& key) const;
    // A number that is whole and fits 32 bits; a JSON boolean reads as 0 or 1.
    std::optional<int> decodeInt(const QString& key) const;
    // A number (true when non-zero) or a JSON boolean.
    std::optional<bool> decodeBool(const QString& key) const;
    std::optional<KeyedDecoder> decodeObject(const QString& key, const QString& expectedClass) const;
    // The elements of an array that are objects of the expected class; others are skipped.
    QList<KeyedDecoder> decodeArray(const QString& key, const QString& expectedClass) const;
    // The texts of an array; elements that are no text are skipped, a missing key or
    // a value of another kind gives an empty list.
    QStringList decodeStringArray(const QString& key) const;
    // How many elements the array under key holds, whatever they are; nothing
    // when key holds no array.
    std::optional<qsizetype> arraySize(const QString& key) const;

private:
    explicit KeyedDecoder(QJsonObject object)
        : m_object(std::move(object))
    {
    }

    QJsonObject m_object;
};

struct KeyedDecoder::SplitArchive {
    KeyedDecoder root;
    QList<QByteArray> elements;
};
