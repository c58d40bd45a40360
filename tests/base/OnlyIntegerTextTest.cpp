#include "base/OnlyIntegerText.h"

#include <QString>
#include <gtest/gtest.h>
#include <limits>

namespace {
constexpr int kMax = std::numeric_limits<int>::max();
bool accepts(const char* text, int maximumLength = kMax, int maximumValue = kMax)
{
    return OnlyIntegerText::isPartialStringValid(QString::fromUtf8(text), maximumLength, maximumValue);
}
} // namespace

TEST(OnlyIntegerText, takesAnEmptyFieldAndWholeIntegers)
{
    EXPECT_TRUE(accepts(""));
    EXPECT_TRUE(accepts("7"));
    EXPECT_TRUE(accepts("0042"));
    EXPECT_TRUE(accepts("+5"));
    EXPECT_TRUE(accepts("-12")); // a sign is part of an integer
    EXPECT_TRUE(accepts("2147483647"));
}

TEST(OnlyIntegerText, refusesZeroAndAnythingThatIsNotOneInteger)
{
    EXPECT_FALSE(accepts("0"));
    EXPECT_FALSE(accepts("000"));
    EXPECT_FALSE(accepts("-0"));
    EXPECT_FALSE(accepts("-"));
    EXPECT_FALSE(accepts("+"));
    EXPECT_FALSE(accepts("1.5"));
    EXPECT_FALSE(accepts("1,5"));
    EXPECT_FALSE(accepts(" 5"));
    EXPECT_FALSE(accepts("5 "));
    EXPECT_FALSE(accepts("5a"));
    EXPECT_FALSE(accepts("--5"));
    EXPECT_FALSE(accepts("\xd9\xa5")); // ARABIC-INDIC DIGIT FIVE: digits are ASCII only
}

TEST(OnlyIntegerText, holdsTheMaximumValueAndLength)
{
    EXPECT_TRUE(accepts("100", kMax, 100));
    EXPECT_FALSE(accepts("101", kMax, 100));
    EXPECT_TRUE(accepts("-5000", kMax, 100));
    EXPECT_TRUE(accepts("1234", 4));
    EXPECT_FALSE(accepts("12345", 4));
    EXPECT_FALSE(accepts("-123", 3));
}

TEST(OnlyIntegerText, refusesNumbersBeyondThirtyTwoBitsInsteadOfSaturating)
{
    EXPECT_FALSE(accepts("2147483648"));
    EXPECT_FALSE(accepts("99999999999999999999"));
    EXPECT_TRUE(accepts("-2147483648"));
    EXPECT_FALSE(accepts("-2147483649"));
}
