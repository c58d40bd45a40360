#include "platform/FLTImageMetadata.h"

#include <QStringDecoder>
#include <exiv2/exiv2.hpp>

QString MetadataValue::text() const
{
    const auto* value = std::get_if<QString>(&m_value);
    return value ? *value : QString();
}

qint64 MetadataValue::number() const
{
    const auto* value = std::get_if<qint64>(&m_value);
    return value ? *value : 0;
}

QList<double> MetadataValue::numbers() const
{
    const auto* value = std::get_if<QList<double>>(&m_value);
    return value ? *value : QList<double>();
}

QStringList MetadataValue::texts() const
{
    const auto* value = std::get_if<QStringList>(&m_value);
    return value ? *value : QStringList();
}

QString MetadataValue::valueText() const
{
    if (isText())
        return text().trimmed();
    if (isNumber())
        return QString::number(number());
    if (isNumbers()) {
        QStringList parts;
        for (double number : std::get<QList<double>>(m_value))
            parts.append(QString::number(number, 'g', 15));
        return parts.join(QStringLiteral(", "));
    }
    if (isTexts())
        return std::get<QStringList>(m_value).join(QStringLiteral(", ")).trimmed();
    return QStringLiteral("");
}

QString FLTImageMetadata::textFromBytes(std::string_view bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

namespace {

QString textOf(const std::string& bytes)
{
    return FLTImageMetadata::textFromBytes(bytes);
}

// A comment's text without the 8-byte charset header. A comment whose header
// names no known charset is taken whole: some cameras write the bare text.
QString commentText(const Exiv2::CommentValue& comment)
{
    if (comment.charsetId() == Exiv2::CommentValue::unicode) {
        // UTF-16 in the byte order of the Exif data unless a byte-order mark says
        // otherwise. Decoded here rather than by exiv2's UCS-2 conversion, which
        // fails on characters beyond the Basic Multilingual Plane (emoji).
        const std::string_view bytes
            = std::string_view(comment.value_).substr(std::min<std::size_t>(8, comment.value_.size()));
        bool bigEndian = comment.byteOrder_ != Exiv2::littleEndian;
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
            && static_cast<unsigned char>(bytes[1]) == 0xFE)
            bigEndian = false;
        else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE
            && static_cast<unsigned char>(bytes[1]) == 0xFF)
            bigEndian = true;
        QStringDecoder utf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        QString text = utf16.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
            text.truncate(end);
        return text;
    }
    std::string bytes;
    if (comment.charsetId() == Exiv2::CommentValue::invalidCharsetId)
        bytes = comment.value_;
    else
        bytes = comment.comment();
    const std::string::size_type end = bytes.find('\0');
    if (end != std::string::npos && comment.charsetId() != Exiv2::CommentValue::unicode)
        bytes.resize(end);
    return textOf(bytes);
}

} // namespace

MetadataValue FLTImageMetadata::rationalNumbers(const Exiv2::Metadatum& datum)
{
    QList<double> numbers;
    const long count = datum.count();
    numbers.reserve(count);
    for (long i = 0; i < count; ++i) {
        const Exiv2::Rational part = datum.toRational(i);
        numbers.append(static_cast<double>(part.first) / static_cast<double>(part.second));
    }
    return MetadataValue(std::move(numbers));
}

MetadataValue FLTImageMetadata::valueForMetadatum(const Exiv2::Metadatum& datum) const
{
    switch (datum.typeId()) {
    case Exiv2::invalidTypeId:
        // A datum without a value.
        return MetadataValue(QStringLiteral(""));
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong: {
        if (datum.count() == 0 || datum.toString().empty())
            return MetadataValue();
        return MetadataValue(static_cast<qint64>(datum.toLong(0)));
    }
    case Exiv2::unsignedRational:
        return rationalNumbers(datum);
    case Exiv2::undefined: {
        const Exiv2::Value& value = datum.value();
        // Texts stored as Undefined are one text, never one copy per byte.
        if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&value))
            return MetadataValue(QStringList { commentText(*comment) });
        if (const auto* string = dynamic_cast<const Exiv2::StringValueBase*>(&value))
            return MetadataValue(QStringList { textOf(string->value_) });
        QStringList texts;
        const long count = value.count();
        texts.reserve(count);
        for (long i = 0; i < count; ++i)
            texts.append(textOf(value.toString(i)));
        return MetadataValue(std::move(texts));
    }
    default:
        return MetadataValue(textOf(datum.toString()));
    }
}

MetadataValue FLTImageMetadata::valueForExifMetadata(const Exiv2::Exifdatum& datum) const
{
    return valueForMetadatum(datum);
}

MetadataValue FLTImageMetadata::valueForIptcMetadata(const Exiv2::Iptcdatum& datum) const
{
    return valueForMetadatum(datum);
}

MetadataValue FLTImageMetadata::valueForXmpMetadata(const Exiv2::Xmpdatum& datum) const
{
    return valueForMetadatum(datum);
}
