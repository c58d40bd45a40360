#pragma once

#include "model/MetadataFields.h"

#include <QValidator>

// The keystroke filter of a number field of the form: a whole-number field takes
// what the integer formatter accepts, a decimal field what the decimal filter
// accepts (FieldTyping). A refused keystroke leaves the field as it was.
class FieldTypingValidator : public QValidator {
    Q_OBJECT
public:
    FieldTypingValidator(MetadataField field, QObject* parent = nullptr);

    State validate(QString& input, int& position) const override;

private:
    MetadataField m_field;
};
