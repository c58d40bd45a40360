#include "form/widgets/FieldTypingValidator.h"

#include "form/FieldTyping.h"
#include "form/FieldValidation.h"

FieldTypingValidator::FieldTypingValidator(MetadataField field, QObject* parent)
    : QValidator(parent)
    , m_field(field)
{
}

QValidator::State FieldTypingValidator::validate(QString& input, int&) const
{
    if (FieldValidation::numberClass(m_field) == NumberClass::Whole) {
        return FieldTyping::integerFormatterAccepts(
                   input, FieldTyping::integerFormatterMaximum(), FieldTyping::integerFormatterAllowsZero(m_field))
            ? Acceptable
            : Invalid;
    }
    return FieldTyping::decimalFilterAccepts(m_field, input) ? Acceptable : Invalid;
}
