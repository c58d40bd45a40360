#include "base/SWString.h"

#include <gtest/gtest.h>

namespace {

TEST(SWStringTrim, removesWhitespaceAndNewlinesAtBothEnds)
{
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        { "", "" }, { "   ", "" }, { "\n\n", "" }, { " a b ", "a b" },
        { QString::fromUtf16(u"\u00a0\u2003\u2028x\u0085\t\r\n"), "x" },
        { QString::fromUtf16(u"\u200bx"), QString::fromUtf16(u"\u200bx") }, // a zero-width space is no separator
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SWString::stringByTrimmingLeadingAndTrailingWhitespaceAndNewlineCharacters(c.text), c.expected)
            << c.text.toStdString();
        EXPECT_EQ(SWString::trim(c.text), c.expected) << c.text.toStdString();
    }
    EXPECT_FALSE(SWString::trim("  ").isNull());
    EXPECT_EQ(SWString::stringByTrimmingLeadingWhitespaceAndNewlineCharacters(" a "), "a ");
    EXPECT_EQ(SWString::stringByTrimmingTrailingWhitespaceAndNewlineCharacters(" a "), " a");
}

TEST(SWStringTrim, byAnySetKeepsCharactersOutsideTheBasicPlaneWhole)
{
    const auto digits = [](char32_t c) { return c >= '0' && c <= '9'; };
    EXPECT_EQ(SWString::stringByTrimmingLeadingCharactersInSet("123", digits), "");
    EXPECT_EQ(SWString::stringByTrimmingTrailingCharactersInSet("123", digits), "");
    EXPECT_EQ(SWString::stringByTrimmingLeadingAndTrailingCharactersInSet("12ab34", digits), "ab");

    const QString emoji = QString::fromUtf16(u"\U0001F600");
    EXPECT_EQ(
        SWString::stringByTrimmingTrailingCharactersInSet(QStringLiteral("1") + emoji + QStringLiteral("99"), digits),
        QStringLiteral("1") + emoji);
    const auto emojiOnly = [](char32_t c) { return c == 0x1F600; };
    EXPECT_EQ(
        SWString::stringByTrimmingLeadingAndTrailingCharactersInSet(emoji + QStringLiteral("x") + emoji, emojiOnly),
        "x");
}

TEST(SWStringXml, unescapesStepByStep)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        { "&amp;amp;", "&amp;" },
        { "&amp;lt;", "<" },
        { "&amp;quot;", "\"" },
        { "&#x39;", "'" },
        { "&#x27;&#x92;&#x96;", "'''" },
        { "a&#x000D;&#x000A;b&#x000D;c&#x000A;d", "a\nb\nc\nd" },
        { "&lt;tag attr=&quot;1&quot;&gt;", "<tag attr=\"1\">" },
        { "&unknown;", "&unknown;" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(SWString::xmlSimpleUnescapeString(c.text), c.expected) << c.text;
}

TEST(SWStringXml, escapesAndRoundTrips)
{
    EXPECT_EQ(SWString::xmlSimpleEscapeString("<a href=\"x\">Tom's & Jerry's</a>"),
        "&lt;a href=&quot;x&quot;&gt;Tom&#x27;s &amp; Jerry&#x27;s&lt;/a&gt;");
    EXPECT_EQ(SWString::xmlSimpleEscapeStringNEW("a<b"), "a(lessthan)b");
    EXPECT_EQ(SWString::xmlSimpleEscapeStringNEW("&"), "&amp;amp;");

    for (const QString& text :
        { QString("plain"), QString("<>&\"'"), QString::fromUtf16(u"Zoë & Łukasz <3 \U0001F600") })
        EXPECT_EQ(SWString::xmlSimpleUnescapeString(SWString::xmlSimpleEscapeString(text)), text);

    QString inPlace = "a&b";
    QString& same = SWString::xmlSimpleEscape(inPlace);
    EXPECT_EQ(&same, &inPlace);
    EXPECT_EQ(inPlace, "a&amp;b");
}

TEST(SWStringUrl, encodesUtf8BytesAndRoundTrips)
{
    EXPECT_EQ(SWString::URLEncodedString("a-z_0.9~"), "a-z_0.9~");
    EXPECT_EQ(SWString::URLEncodedString("!*'();:@&=+$,/?%#[] "),
        "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20");
    EXPECT_EQ(SWString::URLEncodedString(QString::fromUtf16(u"é")), "%C3%A9");

    for (const QString& text :
        { QString(""), QString("a b+c"), QString("!*'();:@&=+$,/?%#[]"), QString::fromUtf16(u"Ünïcödé \U0001F600") })
        EXPECT_EQ(SWString::URLDecodedString(SWString::URLEncodedString(text)), text);

    EXPECT_EQ(SWString::URLDecodedString("a+b%20c%c3%a9"), QString::fromUtf16(u"a+b cé"));
    EXPECT_EQ(SWString::URLDecodedString("%FF"), std::nullopt);
    EXPECT_EQ(SWString::URLDecodedString("%C3"), std::nullopt);
    EXPECT_EQ(SWString::URLDecodedString("100%"), std::nullopt);
    EXPECT_EQ(SWString::URLDecodedString("%4G"), std::nullopt);
}

TEST(SWStringRegex, replacesEveryMatchIgnoringCase)
{
    EXPECT_EQ(SWString::replacingWithPattern("Canon canon CANON", "canon", "Nikon"), "Nikon Nikon Nikon");
    EXPECT_EQ(SWString::replacingWithPattern("2019:05:04", "(\\d+):(\\d+):(\\d+)", "$3.$2.$1"), "04.05.2019");
    EXPECT_EQ(SWString::replacingWithPattern("ab", "(a)", "$12"), "a2b");
    EXPECT_EQ(SWString::replacingWithPattern("price", "price", "\\$5"), "$5");
    EXPECT_EQ(SWString::replacingWithPattern("abc", "x*", "-"), "-a-b-c-");

    QString error;
    EXPECT_EQ(SWString::replacingWithPattern("abc", "(", "x", &error), std::nullopt);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
