#include "form/DropDownTables.h"

#include "FormFixtures.h"
#include "form/FormFieldTable.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DropDownTables, holdTheFixedTablesWithLeaveBlankFirstAndLabelsInAlphabeticalOrder)
{
    const DropDownTables tables;
    const std::array<int, 14> rows = { 28, 9, 6, 4, 11, 9, 5, 8, 5, 4, 3, 3, 3, 3 };
    for (int tag = 0; tag < 14; ++tag) {
        const DropDownOptionTable& t = tables.table(tag);
        EXPECT_EQ(t.rowCount(), rows[tag]) << tag;
        ASSERT_EQ(t.values.size(), t.labels.size());
        EXPECT_EQ(t.labels[0], "Leave Blank");
        EXPECT_EQ(t.values[0], "");
        for (int row = 2; row < t.rowCount(); ++row)
            EXPECT_LT(t.labels[row - 1].compare(t.labels[row], Qt::CaseInsensitive), 0) << tag << " " << row;
        EXPECT_EQ(QSet<QString>(t.values.begin(), t.values.end()).size(), t.values.size()) << tag;
    }
    EXPECT_EQ(tables.getArrayForDropDownOptionsForTag(12),
        QStringList({ "Leave Blank", "Above Sea Level", "Below Sea Level" }));
    EXPECT_EQ(tables.getArrayForDropDownOptionsValuesForTag(12), QStringList({ "", "0", "1" }));
    EXPECT_EQ(tables.table(15).rowCount(), 0);
}

TEST(DropDownTables, turnEveryStoredCodeBackIntoTheLabelItWasChosenBy)
{
    DropDownTables tables;
    ASSERT_TRUE(tables.loadCountries(countriesJsonPath()));
    for (int tag = 0; tag < 15; ++tag) {
        const FormField* field = FormFieldTable::sharedTable().fieldForDropDownTag(tag);
        for (int row = 1; row < tables.table(tag).rowCount(); ++row) {
            MetaDataObject record;
            record.setField(field->field, *tables.storedValueForRow(tag, row));
            EXPECT_EQ(tables.getValueForOption(tag, record), tables.table(tag).labels[row]) << tag << " " << row;
            EXPECT_EQ(tables.rowForValue(tag, *tables.storedValueForRow(tag, row)), row);
        }
    }
}

TEST(DropDownTables, showKnownCodesAsTheirLabelsAndAnythingElseAsNothing)
{
    const DropDownTables tables;
    MetaDataObject record;
    record.setAdvCamSetting_ColorSpace("65535");
    record.setCamSetting_Flash("16");
    record.setAdvCamSetting_MateringMode("255");
    record.setGPS_AltitudeRef("1");
    EXPECT_EQ(tables.getValueForOption(2, record), "Uncalibrated");
    EXPECT_EQ(tables.getValueForOption(0, record), "Off, Did not fire");
    EXPECT_EQ(tables.getValueForOption(5, record), "Other");
    EXPECT_EQ(tables.getValueForOption(12, record), "Below Sea Level");

    record.setCamSetting_Flash("2");
    EXPECT_EQ(tables.getValueForOption(0, record), "");
    record.setCamSetting_Flash("016");
    EXPECT_EQ(tables.getValueForOption(0, record), "") << "codes compare as exact texts";
    record.setCamSetting_Flash("Leave Blank");
    EXPECT_EQ(tables.getValueForOption(0, record), "");
    EXPECT_EQ(tables.getValueForOption(15, record), "");
    EXPECT_EQ(tables.getValueForOption(-1, record), "");

    EXPECT_EQ(tables.storedValueForRow(10, 0), std::optional<QString>("Leave Blank"));
    EXPECT_EQ(tables.storedValueForRow(10, 2), std::optional<QString>("S"));
    EXPECT_EQ(tables.storedValueForRow(10, 3), std::nullopt);
}

TEST(DropDownTables, readTheCountryListOfEnglishNamesAndThreeLetterCodes)
{
    DropDownTables tables;
    EXPECT_EQ(tables.table(14).rowCount(), 1) << "only Leave Blank before the list is read";
    ASSERT_TRUE(tables.loadCountries(countriesJsonPath()));
    const DropDownOptionTable& countries = tables.table(14);
    EXPECT_GT(countries.rowCount(), 240);
    EXPECT_EQ(countries.labels[0], "Leave Blank");
    EXPECT_EQ(countries.values[0], "");
    const QRegularExpression alpha3(QStringLiteral("^[A-Z]{3}$"));
    for (int row = 1; row < countries.rowCount(); ++row)
        EXPECT_TRUE(alpha3.match(countries.values[row]).hasMatch()) << countries.values[row].toStdString();
    EXPECT_EQ(QSet<QString>(countries.values.begin(), countries.values.end()).size(), countries.values.size());

    MetaDataObject record;
    record.setIPTC_CountryPrimaryLocationCode("DEU");
    EXPECT_EQ(tables.getValueForOption(14, record), "Germany");
    record.setIPTC_CountryPrimaryLocationCode("JPN");
    EXPECT_EQ(tables.getValueForOption(14, record), "Japan");
    record.setIPTC_CountryPrimaryLocationCode("XXX");
    EXPECT_EQ(tables.getValueForOption(14, record), "");
}

TEST(DropDownTables, keepOnlyLeaveBlankWhenTheCountryListIsMissingOrDamaged)
{
    DropDownTables tables;
    ASSERT_TRUE(tables.loadCountries(countriesJsonPath()));
    EXPECT_FALSE(tables.loadCountries(QStringLiteral("/nonexistent/countries.json")));
    EXPECT_EQ(tables.table(14).rowCount(), 1);
    MetaDataObject record;
    record.setIPTC_CountryPrimaryLocationCode("DEU");
    EXPECT_EQ(tables.getValueForOption(14, record), "");

    EXPECT_FALSE(tables.loadCountriesFromJson(R"({"name": "Germany"})"));
    EXPECT_EQ(tables.table(14).rowCount(), 1);
    EXPECT_TRUE(tables.loadCountriesFromJson(R"([{"name": "Germany", "code": "DEU"}, {"name": "No code"}, 7])"));
    EXPECT_EQ(tables.table(14).labels, QStringList({ "Leave Blank", "Germany" }));
}
