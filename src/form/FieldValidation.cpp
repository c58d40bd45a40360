#include "form/FieldValidation.h"

#include "services/FieldTagTable.h"
#include "base/DatePattern.h"
#include "base/Numbers.h"
#include "form/DatePanelModel.h"
#include "form/FieldTyping.h"
#include "model/FormRecordEditor.h"
#include "model/GpsHemisphere.h"
#include "model/MetaDataObject.h"

#include <QRegularExpression>
#include <cmath>

const QString FieldValidation::kNumericMessage = QStringLiteral("* Value can be only numeric type.");
const QString FieldValidation::kIptcDateMessage = QStringLiteral("* Value must be a date such as May 04,2019.");
const QString FieldValidation::kNegativeMessage = QStringLiteral("* Value cannot be negative.");

QString FieldValidation::greaterThanMessage(int limit)
{
    return QStringLiteral("* Value cannot be greater than %1").arg(limit);
}

QString FieldValidation::lessThanMessage(int limit)
{
    return QStringLiteral("* Value must be less than %1").arg(limit);
}

NumberClass FieldValidation::numberClass(MetadataField field)
{
    using F = MetadataField;
    switch (field) {
    case F::CamSetting_ISO:
    case F::CamSetting_FocalLengthIn35mmFormat:
    case F::AdvCamSetting_WhiteBalance:
    case F::AdvCamSetting_Saturation:
    case F::AdvCamSetting_Sharpness:
        return NumberClass::Whole;
    case F::CamSetting_FNumber:
    case F::CamSetting_FocalLength:
    case F::DimResolution_ExifImageWidth:
    case F::DimResolution_ExifImageHeight:
    case F::AdvCamSetting_ExposureTime:
    case F::GPS_Lattitude:
    case F::GPS_Longitude:
    case F::GPS_Altitude:
    case F::GPS_ImgDirection:
    case F::DimResolution_XResolution:
    case F::DimResolution_YResolution:
        return NumberClass::Decimal;
    case F::XMP_Latitude:
    case F::XMP_Longitude:
        return NumberClass::SignedCoordinate;
    default:
        return NumberClass::None;
    }
}

bool FieldValidation::isChecked(MetadataField field)
{
    return numberClass(field) != NumberClass::None || field == MetadataField::IPTC_DateCreated;
}

std::optional<double> FieldValidation::readNumber(MetadataField field, const QString& text)
{
    QString plain = text.trimmed();
    plain.replace(u',', u'.');
    if (auto value = Numbers::exactDouble(plain))
        return value;
    if (fieldTagInfo(field).writeForm != WriteForm::Rational)
        return std::nullopt;
    static const QRegularExpression fraction(QStringLiteral("^(\\d+)\\s*/\\s*(\\d+)$"));
    const QRegularExpressionMatch match = fraction.match(plain);
    if (!match.hasMatch())
        return std::nullopt;
    const double denominator = Numbers::doubleValue(match.captured(2));
    if (denominator == 0)
        return std::nullopt;
    return Numbers::doubleValue(match.captured(1)) / denominator;
}

FieldCheck FieldValidation::isValidText(MetadataField field, const QString& text)
{
    if (text.trimmed().isEmpty())
        return {};
    if (field == MetadataField::IPTC_DateCreated) {
        static const DatePattern stored(QStringLiteral("yyyy-MM-dd"));
        if (stored.read(FieldTyping::iptcDateText(text)))
            return {};
        return { false, kIptcDateMessage };
    }
    const NumberClass kind = numberClass(field);
    if (kind == NumberClass::None)
        return {};
    const std::optional<double> value = readNumber(field, text);
    if (!value)
        return { false, kNumericMessage };

    if (kind == NumberClass::Whole) {
        if (*value != std::floor(*value))
            return { false, kNumericMessage };
        if (*value < 0)
            return { false, kNegativeMessage };
        if (*value > kValueLimit)
            return { false, greaterThanMessage(kValueLimit) };
        return {};
    }

    using F = MetadataField;
    const bool isLatitude = field == F::GPS_Lattitude || field == F::XMP_Latitude;
    const bool isLongitude = field == F::GPS_Longitude || field == F::XMP_Longitude;
    if (isLatitude || isLongitude) {
        const int limit = isLatitude ? 90 : 180;
        if (std::fabs(*value) > limit)
            return { false, greaterThanMessage(limit) };
        return {};
    }
    if (*value < 0)
        return { false, kNegativeMessage };
    if (field == F::GPS_ImgDirection && *value >= 360)
        return { false, lessThanMessage(360) };
    if (*value > kValueLimit)
        return { false, greaterThanMessage(kValueLimit) };
    return {};
}

namespace {

FieldCheck hemisphereCheck(const MetaDataObject& form, MetadataField field, const QString& text)
{
    const GpsAxis* axis = GpsHemisphere::axisOfCoordinate(field);
    if (axis && GpsHemisphere::contradicts(*axis, text, form.field(axis->reference)))
        return { false, GpsHemisphere::contradictionMessage(*axis) };
    return {};
}

} // namespace

FieldCheck FieldValidation::isValidText(const MetaDataObject& form, MetadataField field, const QString& text)
{
    const FieldCheck check = isValidText(field, text);
    return check.valid ? hemisphereCheck(form, field, text) : check;
}

FormValidationResult FieldValidation::isValidFormData(const MetaDataObject& form)
{
    FormValidationResult result;
    for (const FormField& f : FormFieldTable::sharedTable().fields()) {
        if (!isChecked(f.field) || !f.editable)
            continue;
        const QString& text = form.field(f.field);
        const FieldCheck check
            = form.isUpdated(f.field) ? isValidText(form, f.field, text) : hemisphereCheck(form, f.field, text);
        if (!check.valid)
            result.fieldErrors.append({ f.field, check.message });
    }
    for (const DateSettingInfo& info : kDateSettings) {
        const QString error = DatePanelModel::nonExistingDateError(*form.dateTimeConfig(info.setting));
        if (!error.isEmpty())
            result.dateErrors.append({ info.setting, error });
    }
    return result;
}

FormValidationResult FieldValidation::isValidFormData(FormRecordEditor& editor)
{
    const MetaDataObject* record = editor.record();
    if (!record)
        return {};
    const std::shared_ptr<MetaDataObject> resolved = MetaDataObject::initWithObject(*record);
    for (MetadataField field : GpsHemisphere::resolveSigns(*resolved))
        editor.editField(field, resolved->field(field));
    return isValidFormData(*editor.record());
}
