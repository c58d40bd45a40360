#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <string_view>
#include <variant>

namespace Exiv2 {
class Metadatum;
class Exifdatum;
class Iptcdatum;
class Xmpdatum;
} // namespace Exiv2

// One datum's value as the formatter answers it: nothing, a text, an integer, a
// list of numbers (one per rational component) or a list of texts.
class MetadataValue {
public:
    MetadataValue() = default;
    explicit MetadataValue(QString text)
        : m_value(std::move(text))
    {
    }
    explicit MetadataValue(qint64 number)
        : m_value(number)
    {
    }
    explicit MetadataValue(QList<double> numbers)
        : m_value(std::move(numbers))
    {
    }
    explicit MetadataValue(QStringList texts)
        : m_value(std::move(texts))
    {
    }

    bool isText() const { return std::holds_alternative<QString>(m_value); }
    bool isNumber() const { return std::holds_alternative<qint64>(m_value); }
    bool isNumbers() const { return std::holds_alternative<QList<double>>(m_value); }
    bool isTexts() const { return std::holds_alternative<QStringList>(m_value); }
    bool isList() const { return isNumbers() || isTexts(); }

    // The contents of each kind; empty for any other kind.
    QString text() const;
    qint64 number() const;
    QList<double> numbers() const;
    QStringList texts() const;

    // The value as one text, trimmed at both ends: "" for nothing, an integer in
    // decimal, a text itself, a list's elements joined with ", " (numbers with
    // up to 15 significant digits, never in the user's locale).
    QString valueText() const;

    bool operator==(const MetadataValue&) const = default;

private:
    std::variant<std::monostate, QString, qint64, QList<double>, QStringList> m_value;
};

// Turns one Exif, IPTC or XMP datum into a MetadataValue by the datum's type. It
// holds no state; one formatter serves any number of datums of any family.
//
//   Ascii and every other type  the library's text of the value
//   Short, Long                 the first component as an integer; nothing when
//                               the value has no text
//   Rational                    one double per component, numerator / denominator
//                               (a zero denominator gives inf or nan)
//   Undefined                   a comment as one text without its charset header;
//                               a byte string as one text per byte
//
// Byte strings are decoded as UTF-8, or as Latin-1 when they are not valid UTF-8.
// A datum without a value gives "".
class FLTImageMetadata {
public:
    MetadataValue valueForExifMetadata(const Exiv2::Exifdatum& datum) const;
    MetadataValue valueForIptcMetadata(const Exiv2::Iptcdatum& datum) const;
    MetadataValue valueForXmpMetadata(const Exiv2::Xmpdatum& datum) const;

    // Metadata bytes as text: UTF-8 when they are valid UTF-8, else Latin-1, so
    // that no text is ever dropped for its encoding.
    static QString textFromBytes(std::string_view bytes);

    // One double per component of a rational datum, unsigned or signed, as the
    // Rational row above gives them.
    static MetadataValue rationalNumbers(const Exiv2::Metadatum& datum);

private:
    MetadataValue valueForMetadatum(const Exiv2::Metadatum& datum) const;
};
