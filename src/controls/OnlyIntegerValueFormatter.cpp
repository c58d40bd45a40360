#include "controls/OnlyIntegerValueFormatter.h"

#include "base/OnlyIntegerText.h"

OnlyIntegerValueFormatter::OnlyIntegerValueFormatter(QObject* parent)
    : QValidator(parent)
{
}

QValidator::State OnlyIntegerValueFormatter::validate(QString& input, int&) const
{
    return OnlyIntegerText::isPartialStringValid(input, m_maximumLength, m_maximumValue) ? Acceptable : Invalid;
}
