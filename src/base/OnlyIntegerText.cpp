#include "base/OnlyIntegerText.h"

#include <limits>

namespace OnlyIntegerText {

bool isPartialStringValid(QStringView text, int maximumLength, int maximumValue)
{
    if (text.isEmpty())
        return true;
    if (text.size() > maximumLength)
        return false;

    qsizetype position = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) {
        negative = text[0] == QLatin1Char('-');
        position = 1;
    }
    if (position == text.size())
        return false;

    // Accumulate in 64 bits and stop as soon as the magnitude leaves the 32-bit range.
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (; position < text.size(); ++position) {
        const char16_t c = text[position].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return false;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return value != 0 && value <= maximumValue;
}

} // namespace OnlyIntegerText
