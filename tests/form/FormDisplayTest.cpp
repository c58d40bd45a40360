#include "form/FormDisplay.h"

#include "FormFixtures.h"
#include "form/DropDownTables.h"
#include "form/SelectionMerge.h"

#include <gtest/gtest.h>

using F = MetadataField;

TEST(FormDisplay, showsRecordAndXmpDatesAlikeAndAZoneAsItStands)
{
    EXPECT_EQ(FormDisplay::dateText("2019:05:04 10:11:12"), "May 04,2019 10:11:12 AM");
    EXPECT_EQ(FormDisplay::dateText("2019-05-04T22:11:12"), "May 04,2019 10:11:12 PM");
    // A zone, a fraction or a date without a full time shows normalised rather than
    // lost or vanishing; a zone keeps its sign.
    EXPECT_EQ(FormDisplay::dateText("2019-05-04T10:11:12+05:30"), "2019:05:04 10:11:12+05:30");
    EXPECT_EQ(FormDisplay::dateText("2019-05-04T10:11:12-08:00"), "2019:05:04 10:11:12-08:00");
    EXPECT_EQ(FormDisplay::dateText("2019-05-04T10:11:12Z"), "2019:05:04 10:11:12Z");
    EXPECT_EQ(FormDisplay::dateText("2015-07-16T20:25:28.00+01:00"), "2015:07:16 20:25:28.00+01:00");
    EXPECT_EQ(FormDisplay::dateText("2019-05-04T10:11"), "2019:05:04 10:11");
    EXPECT_EQ(FormDisplay::dateText(""), "");
}

TEST(FormDisplay, showsIptcDatesInEitherStoredFormAndNothingElse)
{
    EXPECT_EQ(FormDisplay::iptcDateText("20190504"), "May 04,2019");
    EXPECT_EQ(FormDisplay::iptcDateText("2019-05-04"), "May 04,2019");
    EXPECT_EQ(FormDisplay::iptcDateText("2019-02-30"), "");
    EXPECT_EQ(FormDisplay::iptcDateText("yesterday"), "");
    EXPECT_EQ(FormDisplay::iptcDateText(""), "");
}

TEST(FormDisplay, givesEachControlItsTextByTheFieldTable)
{
    DropDownTables tables;
    MetaDataObject record;
    record.setArtist(QString::fromUtf8("山田太郎"));
    record.setCamSetting_Flash("16");
    record.setDate_Original("2019:05:04 10:11:12");
    record.setIPTC_DateCreated("20190504");
    record.setAdvCamSetting_ComponentsConfiguration("1 2 3 0");
    const FormFieldTable& table = FormFieldTable::sharedTable();
    EXPECT_EQ(FormDisplay::displayText(table.field(F::Artist), record, tables), QString::fromUtf8("山田太郎"));
    EXPECT_EQ(FormDisplay::displayText(table.field(F::CamSetting_Flash), record, tables), "Off, Did not fire");
    EXPECT_EQ(FormDisplay::displayText(table.field(F::Date_Original), record, tables), "May 04,2019 10:11:12 AM");
    EXPECT_EQ(FormDisplay::displayText(table.field(F::IPTC_DateCreated), record, tables), "May 04,2019");
    EXPECT_EQ(FormDisplay::displayText(table.field(F::AdvCamSetting_ComponentsConfiguration), record, tables), "");
}

TEST(FormDisplay, dropsTheMultipleValuesPlaceholderOfAnEditedField)
{
    const auto photos = QList { photoWith({ { F::UserComment, "one" }, { F::Artist, "Ann" } }),
        photoWith({ { F::UserComment, "two" }, { F::Artist, "Bob" } }) };
    const MergeResult result = SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos));
    MetaDataObject form;
    EXPECT_TRUE(FormDisplay::placeholders(2, result.hasValue, form).showsMultipleValues(F::UserComment));
    form.setIsupdated_UserComment(true);
    form.setIsupdated_Artist(true);
    const PlaceholderState state = FormDisplay::placeholders(2, result.hasValue, form);
    EXPECT_FALSE(state.showsMultipleValues(F::UserComment));
    EXPECT_EQ(state.placeholderText(F::Artist), "");
}
