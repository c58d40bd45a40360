#pragma once

#include <QStringView>

// The rule of digits-only fields, checked on every keystroke: the field may be
// empty; otherwise its whole text must read as one 32-bit integer (an optional sign
// and ASCII digits, nothing else), be at most maximumLength characters long, be at
// most maximumValue, and not be 0. An edit that breaks the rule is refused and the
// field keeps its text.
//
// A number too large for 32 bits is refused: it does not read as one integer, so a
// long run of digits can never slip past the maximum by saturating.
namespace OnlyIntegerText {

bool isPartialStringValid(QStringView text, int maximumLength, int maximumValue);

} // namespace OnlyIntegerText
