#pragma once

#include <QString>
#include <functional>
#include <optional>

// Text helpers used on every metadata value: trims, XML entities, URL
// percent-encoding and a regular-expression replace. They keep no state and may
// run on any thread. Every function returns a new text, except the three in-place
// XML functions at the end, which change their argument and return it.
namespace SWString {

// A set of characters, asked one Unicode code point at a time.
using CharacterSet = std::function<bool(char32_t)>;

// Whitespace and newlines: Unicode separators (Zs, Zl, Zp), U+0009 to U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t c);

// ---- Trims ----
// The text without whitespace and newlines at both ends.
QString trim(const QString& text);
// The same trim; this is the one applied to every metadata value read or compared.
QString stringByTrimmingLeadingAndTrailingWhitespaceAndNewlineCharacters(const QString& text);
QString stringByTrimmingLeadingWhitespaceAndNewlineCharacters(const QString& text);
QString stringByTrimmingTrailingWhitespaceAndNewlineCharacters(const QString& text);
// Trims by any set; "" when every character is in the set. A kept character made of
// two UTF-16 units (outside the Basic Multilingual Plane) is always kept whole.
QString stringByTrimmingLeadingAndTrailingCharactersInSet(const QString& text, const CharacterSet& set);
QString stringByTrimmingLeadingCharactersInSet(const QString& text, const CharacterSet& set);
QString stringByTrimmingTrailingCharactersInSet(const QString& text, const CharacterSet& set);

// ---- XML entities (copies) ----
QString xmlSimpleUnescapeString(const QString& text);
QString xmlSimpleEscapeString(const QString& text);
QString xmlSimpleEscapeStringNEW(const QString& text);

// ---- URL percent-encoding ----
// UTF-8 bytes, every byte other than ASCII letters, digits, "-", ".", "_" and "~" as
// "%" and two upper-case hexadecimal digits.
QString URLEncodedString(const QString& text);
// Every "%XX" escape replaced by its byte, the bytes read as UTF-8; "+" stays "+".
// No value when an escape is malformed or the bytes are not valid UTF-8.
std::optional<QString> URLDecodedString(const QString& text);

// ---- Regular-expression replace ----
// Every match of the case-insensitive pattern replaced by the template, in which
// "$0" to "$9..." name a captured group and a backslash takes the next character
// literally. No value, and the reason in *error when given, for a pattern that does
// not compile.
std::optional<QString> replacingWithPattern(
    const QString& text, const QString& pattern, const QString& templ, QString* error = nullptr);

// ---- XML entities, in place ----
// Unescape: "&amp;" first, then "&quot;", the apostrophe entities "&#x27;", "&#x39;",
// "&#x92;" and "&#x96;", the line-break entities (a CR-LF pair first, then each
// alone, all as one line feed), "&gt;" and "&lt;". Each step runs once over the text
// the step before it left.
QString& xmlSimpleUnescape(QString& text);
// Escape "&" (first), the double quote, the apostrophe, ">" and "<".
QString& xmlSimpleEscape(QString& text);
// The same, with "&" as "&amp;amp;" and "<" as "(lessthan)".
QString& xmlSimpleEscapeNEW(QString& text);

} // namespace SWString
