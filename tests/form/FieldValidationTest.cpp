#include "form/FieldValidation.h"

#include "model/MetaDataObject.h"

#include <gtest/gtest.h>

using F = MetadataField;
using namespace Qt::StringLiterals;

namespace {

FieldCheck check(MetadataField field, const char* text)
{
    return FieldValidation::isValidText(field, QString::fromUtf8(text));
}

const FieldCheck kValid {};

} // namespace

TEST(FieldValidation, acceptsAnEmptyTextAndLeavesFieldsWithoutNumbersAlone)
{
    for (F field : { F::CamSetting_ISO, F::CamSetting_FNumber, F::XMP_Latitude, F::GPS_ImgDirection })
        EXPECT_EQ(FieldValidation::isValidText(field, QString()), kValid);
    EXPECT_EQ(check(F::Artist, "abc"), kValid);
    EXPECT_EQ(check(F::CamSetting_Aperture, "abc"), kValid);
}

TEST(FieldValidation, limitsWholeNumbersTo65535AndAcceptsZeroWhereExifMeansAuto)
{
    EXPECT_EQ(check(F::CamSetting_ISO, "65535"), kValid);
    EXPECT_EQ(check(F::CamSetting_ISO, "65536"), FieldCheck({ false, "* Value cannot be greater than 65535" }));
    EXPECT_EQ(check(F::CamSetting_ISO, "70000"), FieldCheck({ false, "* Value cannot be greater than 65535" }));
    EXPECT_EQ(check(F::CamSetting_ISO, "-5"), FieldCheck({ false, "* Value cannot be negative." }));
    EXPECT_EQ(check(F::CamSetting_ISO, "1.5"), FieldCheck({ false, "* Value can be only numeric type." }));
    for (F field : { F::AdvCamSetting_WhiteBalance, F::AdvCamSetting_Saturation, F::AdvCamSetting_Sharpness })
        EXPECT_EQ(check(field, "0"), kValid);
}

TEST(FieldValidation, requiresDecimalFieldsToReadAsNumbersWithEitherSeparator)
{
    EXPECT_EQ(check(F::CamSetting_FNumber, "2.8"), kValid);
    EXPECT_EQ(check(F::CamSetting_FNumber, "2,8"), kValid);
    EXPECT_EQ(check(F::CamSetting_FNumber, ".5"), kValid);
    EXPECT_EQ(check(F::CamSetting_FNumber, "5."), kValid);
    EXPECT_EQ(check(F::GPS_Altitude, "abc"), FieldCheck({ false, "* Value can be only numeric type." }));
    EXPECT_EQ(check(F::GPS_Altitude, "12 m"), FieldCheck({ false, "* Value can be only numeric type." }));
    EXPECT_EQ(check(F::CamSetting_FNumber, "."), FieldCheck({ false, "* Value can be only numeric type." }));
    EXPECT_EQ(check(F::GPS_Altitude, "-3"), FieldCheck({ false, "* Value cannot be negative." }));
    EXPECT_EQ(check(F::CamSetting_FocalLength, "70000"), FieldCheck({ false, "* Value cannot be greater than 65535" }));
    // Fields written as fractions take the fraction cameras store.
    EXPECT_EQ(check(F::AdvCamSetting_ExposureTime, "1/250"), kValid);
    EXPECT_EQ(check(F::AdvCamSetting_ExposureTime, "1/0"), FieldCheck({ false, "* Value can be only numeric type." }));
    EXPECT_EQ(check(F::GPS_Lattitude, "1/2"), FieldCheck({ false, "* Value can be only numeric type." }));
}

TEST(FieldValidation, keepsPositionsOnTheGlobeAndTheDirectionBelowAFullTurn)
{
    EXPECT_EQ(check(F::GPS_Lattitude, "90"), kValid);
    EXPECT_EQ(check(F::GPS_Lattitude, "90.5"), FieldCheck({ false, "* Value cannot be greater than 90" }));
    EXPECT_EQ(check(F::GPS_Longitude, "180"), kValid);
    EXPECT_EQ(check(F::GPS_Longitude, "180,1"), FieldCheck({ false, "* Value cannot be greater than 180" }));
    EXPECT_EQ(check(F::XMP_Latitude, "-12.5"), kValid);
    EXPECT_EQ(check(F::XMP_Latitude, "12,5"), kValid);
    EXPECT_EQ(check(F::XMP_Latitude, "-91"), FieldCheck({ false, "* Value cannot be greater than 90" }));
    EXPECT_EQ(check(F::XMP_Longitude, "-181"), FieldCheck({ false, "* Value cannot be greater than 180" }));
    EXPECT_EQ(check(F::XMP_Latitude, "-"), FieldCheck({ false, "* Value can be only numeric type." }));
    EXPECT_EQ(check(F::GPS_ImgDirection, "359.99"), kValid);
    EXPECT_EQ(check(F::GPS_ImgDirection, "360"), FieldCheck({ false, "* Value must be less than 360" }));
}

TEST(FieldValidation, refusesASignThatContradictsTheChosenHemisphere)
{
    const QString north = u"* A negative latitude cannot be North: remove the minus or choose South."_s;
    MetaDataObject form;
    form.setGPS_LattitudeRef(u"N"_s);
    // While typing, against the reference the form holds.
    EXPECT_EQ(FieldValidation::isValidText(form, F::GPS_Lattitude, u"-33.86"_s), FieldCheck({ false, north }));
    EXPECT_EQ(FieldValidation::isValidText(form, F::GPS_Lattitude, u"33.86"_s), kValid);
    EXPECT_EQ(FieldValidation::isValidText(form, F::GPS_Longitude, u"-70"_s), kValid);
    // A number out of range says so first.
    EXPECT_EQ(
        FieldValidation::isValidText(form, F::GPS_Lattitude, u"-95"_s).message, "* Value cannot be greater than 90");

    // Before a batch, also when only the reference was chosen.
    form.setGPS_Lattitude(u"-33.86"_s);
    form.setIsupdated_GPS_LattitudeRef(true);
    form.setGPS_Longitude(u"-70"_s); // no reference: settled, not refused
    form.setIsupdated_GPS_Longitude(true);
    const FormValidationResult result = FieldValidation::isValidFormData(form);
    ASSERT_EQ(result.fieldErrors.size(), 1);
    EXPECT_EQ(result.fieldErrors[0].field, F::GPS_Lattitude);
    EXPECT_EQ(result.fieldErrors[0].message, north);

    form.setGPS_LattitudeRef(u"S"_s);
    EXPECT_TRUE(FieldValidation::isValidFormData(form).isValid());
}

TEST(FieldValidation, checksOnlyEditedFieldsAndImpossibleSetDatesBeforeABatch)
{
    MetaDataObject form;
    form.setCamSetting_ISO("70000"); // a photo's own value, not edited: not written, not checked
    EXPECT_TRUE(FieldValidation::isValidFormData(form).isValid());

    form.setIsupdated_CamSetting_ISO(true);
    form.setGPS_Lattitude("95");
    form.setIsupdated_GPS_Lattitude(true);
    form.setArtist("anything");
    form.setIsupdated_Artist(true);
    // A field no write puts into the photo cannot fail a batch, whatever a preset holds.
    form.setXMP_Latitude("95");
    form.setIsupdated_XMP_Latitude(true);
    FormValidationResult result = FieldValidation::isValidFormData(form);
    ASSERT_EQ(result.fieldErrors.size(), 2);
    EXPECT_EQ(result.firstInvalidField(), F::CamSetting_ISO);
    EXPECT_EQ(result.fieldErrors[1].field, F::GPS_Lattitude);
    EXPECT_EQ(result.fieldErrors[1].message, "* Value cannot be greater than 90");

    MetaDataObject dates;
    auto& config = *dates.dateTimeConfigModifyDate();
    config.tagConfigureOption = DateTimeConfiguration::UpdateDayMonthYearTime;
    config.stringUpdateDay = "31";
    config.stringUpdateMonth = "2";
    config.stringUpdateYear = "2021";
    result = FieldValidation::isValidFormData(dates);
    ASSERT_EQ(result.dateErrors.size(), 1);
    EXPECT_EQ(result.dateErrors[0].setting, DateSetting::ModifyDate);
    EXPECT_FALSE(result.isValid());
}

TEST(FieldValidation, takesAnIptcDateAsShownOrAsStoredAndNothingElse)
{
    EXPECT_EQ(check(F::IPTC_DateCreated, "May 04,2019"), kValid);
    EXPECT_EQ(check(F::IPTC_DateCreated, "2019-05-04"), kValid);
    EXPECT_EQ(check(F::IPTC_DateCreated, "20190504"), kValid);
    EXPECT_EQ(check(F::IPTC_DateCreated, "Feb 30,2019"),
        FieldCheck({ false, "* Value must be a date such as May 04,2019." }));
    EXPECT_EQ(check(F::IPTC_DateCreated, "soon"), FieldCheck({ false, "* Value must be a date such as May 04,2019." }));
    EXPECT_EQ(FormFieldTable::sharedTable().field(F::IPTC_DateCreated).errorLabelName, "txtIPTC_DateCreated_error");
}
