#include "form/FieldTyping.h"

#include "services/FieldTagTable.h"
#include "base/DatePattern.h"
#include "base/Numbers.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <algorithm>

QString FieldTyping::cutAtCharacterBoundary(const QString& text, int limit)
{
    if (text.size() <= limit)
        return text;
    if (limit <= 0)
        return QString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(limit);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    return text.left(std::max<qsizetype>(finder.position(), 0));
}

QString FieldTyping::fieldText(const QString& text)
{
    return cutAtCharacterBoundary(text, kFieldLimit);
}

QString FieldTyping::iptcDateText(const QString& typed)
{
    static const DatePattern stored(QStringLiteral("yyyy-MM-dd"));
    const QString text = typed.trimmed();
    for (const char* pattern : { "MMM dd,yyyy", "MMM dd, yyyy", "yyyy-MM-dd", "yyyyMMdd" }) {
        if (auto date = DatePattern(QString::fromLatin1(pattern)).read(text))
            return stored.print(*date);
    }
    return typed;
}

QString FieldTyping::storedText(MetadataField field, const QString& typed)
{
    return field == MetadataField::IPTC_DateCreated ? iptcDateText(typed) : typed;
}

QString FieldTyping::renamingAffixText(const QString& text)
{
    QString result = cutAtCharacterBoundary(text, kAffixLimit);
    result.remove(u' ');
    result.remove(u'/');
    return result;
}

QString FieldTyping::customNameText(const QString& text)
{
    QString result = cutAtCharacterBoundary(text, kFieldLimit);
    result.remove(u'/');
    qsizetype leading = 0;
    while (leading < result.size() && result[leading] == u' ')
        ++leading;
    return result.mid(leading);
}

TextViewChange FieldTyping::textViewChange(int currentLength, int replacedLength, const QString& insertion)
{
    const qsizetype newLength = currentLength - replacedLength + insertion.size();
    if (newLength <= kTextViewLimit || newLength <= currentLength)
        return { true, insertion };
    const int room = kTextViewLimit - (currentLength - replacedLength);
    const QString fitting = cutAtCharacterBoundary(insertion, room);
    if (fitting.isEmpty())
        return { false, QString() };
    return { true, fitting };
}

bool FieldTyping::integerFormatterAccepts(const QString& text, int maximum, bool allowZero)
{
    if (text.isEmpty())
        return true;
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return false;
    const qint64 value = Numbers::longLongValue(text);
    if (value > maximum)
        return false;
    return allowZero || value != 0;
}

bool FieldTyping::integerFormatterAllowsZero(MetadataField field)
{
    return field == MetadataField::AdvCamSetting_WhiteBalance || field == MetadataField::AdvCamSetting_Saturation
        || field == MetadataField::AdvCamSetting_Sharpness;
}

bool FieldTyping::decimalFilterAccepts(MetadataField field, const QString& text)
{
    if (text.isEmpty())
        return true;
    using F = MetadataField;
    const bool signedField = field == F::GPS_Lattitude || field == F::GPS_Longitude || field == F::XMP_Latitude
        || field == F::XMP_Longitude;
    static const QRegularExpression decimal(QStringLiteral("^[0-9]*[.,]?[0-9]*$"));
    static const QRegularExpression fraction(QStringLiteral("^[0-9]+/[0-9]*$"));
    QString body = text;
    if (signedField && body.startsWith(u'-'))
        body = body.mid(1);
    if (decimal.match(body).hasMatch())
        return true;
    return fieldTagInfo(field).writeForm == WriteForm::Rational && fraction.match(text).hasMatch();
}

IncDecText FieldTyping::incDecText(const QString& typed, int minimum, int maximum)
{
    QString kept;
    for (const QChar c : typed) {
        if (c.isDigit() && c.unicode() < 128)
            kept += c;
        else if (c == u'+')
            kept += c;
    }
    if (typed.startsWith(u'-'))
        kept.prepend(u'-');
    if (kept == QStringLiteral("-"))
        return { kept, 0, true };
    const qint64 value = std::clamp<qint64>(Numbers::longLongValue(kept), minimum, maximum);
    return { QString::number(value), static_cast<int>(value), false };
}

IncDecText FieldTyping::incDecTextOnEndEditing(const QString& text, int minimum, int maximum)
{
    IncDecText result = incDecText(text, minimum, maximum);
    if (result.isLoneMinus)
        result = { QStringLiteral("0"), 0, false };
    return result;
}
