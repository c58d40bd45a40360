#include "base/SWString.h"

#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::Literals::StringLiterals;

namespace {

// Index of the first code point that is not in the set; -1 when none.
qsizetype firstNotInSet(const QString& text, const SWString::CharacterSet& set)
{
    for (qsizetype i = 0; i < text.size();) {
        const char32_t c = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
            ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
            : text.at(i).unicode();
        if (!set(c))
            return i;
        i += c > 0xFFFF ? 2 : 1;
    }
    return -1;
}

// Index one past the last code point that is not in the set; 0 when none.
qsizetype endOfLastNotInSet(const QString& text, const SWString::CharacterSet& set)
{
    for (qsizetype end = text.size(); end > 0;) {
        const bool pair = end >= 2 && text.at(end - 1).isLowSurrogate() && text.at(end - 2).isHighSurrogate();
        const char32_t c
            = pair ? QChar::surrogateToUcs4(text.at(end - 2), text.at(end - 1)) : text.at(end - 1).unicode();
        if (!set(c))
            return end;
        end -= pair ? 2 : 1;
    }
    return 0;
}

const SWString::CharacterSet& whitespaceAndNewlines()
{
    static const SWString::CharacterSet set = SWString::isWhitespaceOrNewline;
    return set;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

namespace SWString {

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString trim(const QString& text)
{
    return stringByTrimmingLeadingAndTrailingCharactersInSet(text, whitespaceAndNewlines());
}

QString stringByTrimmingLeadingAndTrailingWhitespaceAndNewlineCharacters(const QString& text)
{
    return stringByTrimmingLeadingAndTrailingCharactersInSet(text, whitespaceAndNewlines());
}

QString stringByTrimmingLeadingWhitespaceAndNewlineCharacters(const QString& text)
{
    return stringByTrimmingLeadingCharactersInSet(text, whitespaceAndNewlines());
}

QString stringByTrimmingTrailingWhitespaceAndNewlineCharacters(const QString& text)
{
    return stringByTrimmingTrailingCharactersInSet(text, whitespaceAndNewlines());
}

QString stringByTrimmingLeadingAndTrailingCharactersInSet(const QString& text, const CharacterSet& set)
{
    return stringByTrimmingTrailingCharactersInSet(stringByTrimmingLeadingCharactersInSet(text, set), set);
}

QString stringByTrimmingLeadingCharactersInSet(const QString& text, const CharacterSet& set)
{
    const qsizetype start = firstNotInSet(text, set);
    return start < 0 ? QString(u""_s) : text.mid(start);
}

QString stringByTrimmingTrailingCharactersInSet(const QString& text, const CharacterSet& set)
{
    const qsizetype end = endOfLastNotInSet(text, set);
    return end == 0 ? QString(u""_s) : text.left(end);
}

QString xmlSimpleUnescapeString(const QString& text)
{
    QString copy = text;
    return xmlSimpleUnescape(copy);
}

QString xmlSimpleEscapeString(const QString& text)
{
    QString copy = text;
    return xmlSimpleEscape(copy);
}

QString xmlSimpleEscapeStringNEW(const QString& text)
{
    QString copy = text;
    return xmlSimpleEscapeNEW(copy);
}

QString URLEncodedString(const QString& text)
{
    // toPercentEncoding keeps exactly the unreserved characters of RFC 3986 and
    // writes upper-case hexadecimal digits.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

std::optional<QString> URLDecodedString(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            // Copy the run up to the next escape as UTF-8.
            qsizetype next = text.indexOf(u'%', i);
            if (next < 0)
                next = text.size();
            bytes += QStringView(text).mid(i, next - i).toUtf8();
            i = next - 1;
            continue;
        }
        if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return std::nullopt;
        bytes += char(QStringView(text).mid(i + 1, 2).toUInt(nullptr, 16));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

std::optional<QString> replacingWithPattern(
    const QString& text, const QString& pattern, const QString& templ, QString* error)
{
    const QRegularExpression expression(
        pattern, QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    if (!expression.isValid()) {
        if (error)
            *error = expression.errorString();
        return std::nullopt;
    }
    const int groups = expression.captureCount();

    QString result;
    qsizetype copiedUpTo = 0;
    for (auto it = expression.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).mid(copiedUpTo, match.capturedStart() - copiedUpTo);
        for (qsizetype i = 0; i < templ.size(); ++i) {
            const QChar c = templ[i];
            if (c == u'\\' && i + 1 < templ.size()) {
                result += templ[++i];
            } else if (c == u'$' && i + 1 < templ.size() && templ[i + 1].isDigit() && templ[i + 1].unicode() < 128) {
                // "$12" names group 12 when the pattern has that many groups, else group 1 and a literal "2".
                int group = templ[++i].unicode() - u'0';
                while (i + 1 < templ.size() && templ[i + 1] >= u'0' && templ[i + 1] <= u'9'
                    && group * 10 + (templ[i + 1].unicode() - u'0') <= groups) {
                    group = group * 10 + (templ[++i].unicode() - u'0');
                }
                if (group <= groups)
                    result += match.capturedView(group);
            } else {
                result += c;
            }
        }
        copiedUpTo = match.capturedEnd();
    }
    result += QStringView(text).mid(copiedUpTo);
    return result;
}

QString& xmlSimpleUnescape(QString& text)
{
    text.replace(u"&amp;"_s, u"&"_s);
    text.replace(u"&quot;"_s, u"\""_s);
    text.replace(u"&#x27;"_s, u"'"_s);
    text.replace(u"&#x39;"_s, u"'"_s);
    text.replace(u"&#x92;"_s, u"'"_s);
    text.replace(u"&#x96;"_s, u"'"_s);
    text.replace(u"&#x000D;&#x000A;"_s, u"\n"_s);
    text.replace(u"&#x000D;"_s, u"\n"_s);
    text.replace(u"&#x000A;"_s, u"\n"_s);
    text.replace(u"&gt;"_s, u">"_s);
    text.replace(u"&lt;"_s, u"<"_s);
    return text;
}

namespace {

QString& escapeXml(QString& text, const QString& ampersand, const QString& lessThan)
{
    text.replace(u"&"_s, ampersand);
    text.replace(u"\""_s, u"&quot;"_s);
    text.replace(u"'"_s, u"&#x27;"_s);
    text.replace(u">"_s, u"&gt;"_s);
    text.replace(u"<"_s, lessThan);
    return text;
}

} // namespace

QString& xmlSimpleEscape(QString& text)
{
    return escapeXml(text, u"&amp;"_s, u"&lt;"_s);
}

QString& xmlSimpleEscapeNEW(QString& text)
{
    return escapeXml(text, u"&amp;amp;"_s, u"(lessthan)"_s);
}

} // namespace SWString
