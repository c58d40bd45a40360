#include "base/Numbers.h"

#include "support/TestSupport.h"

#include <QLocale>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct IntCase {
    const char16_t* text;
    qint64 expected;
};

void PrintTo(const IntCase& c, std::ostream* os)
{
    *os << '"' << printableText(QStringView(c.text)) << '"';
}

class NumbersIntValue : public ::testing::TestWithParam<IntCase> { };

TEST_P(NumbersIntValue, readsTheLeadingIntegerClampedTo32Bits)
{
    const IntCase& c = GetParam();
    EXPECT_EQ(Numbers::intValue(QStringView(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, NumbersIntValue,
    ::testing::Values(IntCase { u" 5 days", 5 }, IntCase { u"3.9", 3 }, IntCase { u"-2", -2 }, IntCase { u"+4", 4 },
        IntCase { u"abc", 0 }, IntCase { u"", 0 }, IntCase { u"-", 0 }, IntCase { u"+ 4", 0 },
        IntCase { u"\t\n\u00a0\u2003 12x", 12 }, IntCase { u"1e3", 1 }, IntCase { u"007", 7 },
        IntCase { u"2147483647", 2147483647 }, IntCase { u"2147483648", 2147483647 },
        IntCase { u"-2147483648", -2147483648LL }, IntCase { u"-2147483649", -2147483648LL },
        IntCase { u"99999999999999999999999999", 2147483647 },
        IntCase { u"\u0665", 0 } /* an Arabic-Indic digit is not a digit here */));

struct DoubleCase {
    const char16_t* text;
    double expected;
};

void PrintTo(const DoubleCase& c, std::ostream* os)
{
    *os << '"' << printableText(QStringView(c.text)) << '"';
}

class NumbersDoubleValue : public ::testing::TestWithParam<DoubleCase> { };

TEST_P(NumbersDoubleValue, readsTheLongestLeadingDecimalNumber)
{
    const DoubleCase& c = GetParam();
    EXPECT_EQ(Numbers::doubleValue(QStringView(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, NumbersDoubleValue,
    ::testing::Values(DoubleCase { u"3.9kg", 3.9 }, DoubleCase { u"  -12.5", -12.5 }, DoubleCase { u"+.5", 0.5 },
        DoubleCase { u"5.", 5.0 }, DoubleCase { u".", 0.0 }, DoubleCase { u"1,5", 1.0 }, DoubleCase { u"1e3", 1000.0 },
        DoubleCase { u"2.5E-1x", 0.25 }, DoubleCase { u"7e", 7.0 }, DoubleCase { u"7e+", 7.0 },
        DoubleCase { u"abc", 0.0 }, DoubleCase { u"inf", 0.0 }, DoubleCase { u"nan", 0.0 }, DoubleCase { u"0x10", 0.0 },
        DoubleCase { u"", 0.0 }, DoubleCase { u"1e999", std::numeric_limits<double>::infinity() },
        DoubleCase { u"-1e999", -std::numeric_limits<double>::infinity() }, DoubleCase { u"1e-999", 0.0 },
        DoubleCase { u"0.0000e99999", 0.0 }));

TEST(Numbers, longLongValueClampsTo64Bits)
{
    EXPECT_EQ(Numbers::longLongValue(u"9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Numbers::longLongValue(u"9223372036854775808"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Numbers::longLongValue(u"-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(Numbers::longLongValue(u"-99999999999999999999"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(Numbers::longLongValue(u"4294967296 bytes"), 4294967296LL);
}

// Whatever locale the process runs in, and even with a comma locale set both for Qt
// and for the C library, numbers are written and read with a full stop.
TEST(Numbers, ignoreTheUserLocale)
{
    const QLocale previousDefault;
    const std::string previousNumeric = std::setlocale(LC_NUMERIC, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // no harm when the locale is missing

    EXPECT_EQ(Numbers::format("%4.2f|%f|%d", 1.5, 0.25, 1234567), u"1.50|0.250000|1234567");
    EXPECT_EQ(Numbers::fixed(2.0 / 3.0, 3), u"0.667");
    EXPECT_EQ(Numbers::shortest(0.1), u"0.1");
    EXPECT_EQ(Numbers::shortest(2.0), u"2");
    EXPECT_EQ(Numbers::shortest(-1234.5), u"-1234.5");
    EXPECT_EQ(Numbers::doubleValue(u"1234.5"), 1234.5);
    EXPECT_EQ(Numbers::doubleValue(u"1.234,5"), 1.234);

    std::setlocale(LC_NUMERIC, previousNumeric.c_str());
    QLocale::setDefault(previousDefault);
}

TEST(Numbers, formatTakesUtf8Texts)
{
    EXPECT_EQ(Numbers::format("%s = %lld", qUtf8Printable(QStringLiteral("Größe")), 5LL), u"Größe = 5");
}

} // namespace
