#pragma once

#include "form/FormFieldTable.h"
#include "model/MetadataFields.h"

#include <QList>
#include <QString>
#include <optional>

class FormRecordEditor;
class MetaDataObject;

// The answer for one field: valid, or the message its error line shows.
struct FieldCheck {
    bool valid = true;
    QString message; // "" when valid

    bool operator==(const FieldCheck&) const = default;
};

struct FieldError {
    MetadataField field;
    QString message;
};

struct DateSettingError {
    DateSetting setting;
    QString message;
};

// The whole form checked before a batch or an apply.
struct FormValidationResult {
    QList<FieldError> fieldErrors; // in the order of the field table
    QList<DateSettingError> dateErrors;

    bool isValid() const { return fieldErrors.isEmpty() && dateErrors.isEmpty(); }
    // The field the form scrolls to, when one is invalid.
    std::optional<MetadataField> firstInvalidField() const
    {
        return fieldErrors.isEmpty() ? std::nullopt : std::optional(fieldErrors.first().field);
    }
};

// The numeric rules of the form. A field's check never blocks typing: the text is
// stored all the same and the error line shows; isValidFormData stops a batch or
// an apply while an edited field is invalid.
class FieldValidation {
public:
    static constexpr int kValueLimit = 65535;

    static const QString kNumericMessage; // "* Value can be only numeric type."
    static const QString kNegativeMessage; // "* Value cannot be negative."
    // "* Value cannot be greater than %d"
    static QString greaterThanMessage(int limit);
    // "* Value must be less than %d"
    static QString lessThanMessage(int limit);

    // Which fields hold numbers: whole numbers (ISO, 35 mm focal length, white
    // balance, saturation, sharpness), decimals (f-number, focal length, exposure
    // time, pixel sizes, resolutions, GPS position, altitude and direction) and the
    // signed XMP coordinates.
    static NumberClass numberClass(MetadataField field);
    // The fields with a check: those that hold numbers, and the IPTC date.
    static bool isChecked(MetadataField field);

    // "* Value must be a date such as May 04,2019."
    static const QString kIptcDateMessage;

    // A decimal text as metadata means it: "." or "," as the decimal separator,
    // an optional sign, blanks around it; where the field is written as a fraction
    // also "1/250". No value for anything else.
    static std::optional<double> readNumber(MetadataField field, const QString& text);

    // The check of one field's text (empty is always valid):
    // - whole numbers: an integer from 0 to 65535;
    // - decimals: a number from 0 to 65535, a latitude at most 90, a longitude at
    //   most 180, an image direction below 360;
    // - XMP coordinates: a number, latitude within +/-90, longitude within +/-180;
    // - the IPTC date: a date as the form shows it ("May 04,2019") or as IPTC
    //   stores it ("2019-05-04", "20190504").
    // GPS latitude and longitude may carry a sign (their hemisphere decides the
    // written sign), so their limits apply to the magnitude.
    static FieldCheck isValidText(MetadataField field, const QString& text);
    // The same for a text typed into the form, which also holds the GPS references:
    // a negative latitude or longitude whose reference names the positive
    // hemisphere is refused with its own message.
    static FieldCheck isValidText(const MetaDataObject& form, MetadataField field, const QString& text);

    // Every edited field of the form record with a number class, every GPS
    // coordinate whose sign contradicts its reference, and every date setting whose
    // chosen or set date does not exist. Unedited fields are not written, so a
    // photo's own odd value never blocks a batch (the reader never gives a negative
    // coordinate, so the sign rule cannot either).
    static FormValidationResult isValidFormData(const MetaDataObject& form);
    // The same for the record an editor edits, before a batch or an apply: a
    // negative GPS coordinate without a contradicting reference is first settled
    // through the editor as the writer settles it (its magnitude with "S" or "W"),
    // so that the form shows what will be written. Valid when there is no record.
    static FormValidationResult isValidFormData(FormRecordEditor& editor);
};
