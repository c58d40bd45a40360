#include "RenamingOptionsJson.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

OutputRenamingOptions read(const QByteArray& json)
{
    const auto result = renamingOptionsFromJson(json);
    if (const auto* error = std::get_if<QString>(&result))
        ADD_FAILURE() << error->toStdString();
    return std::get_if<OutputRenamingOptions>(&result) ? std::get<OutputRenamingOptions>(result)
                                                       : OutputRenamingOptions {};
}

QString refusal(const QByteArray& json)
{
    const auto result = renamingOptionsFromJson(json);
    return std::get_if<QString>(&result) ? std::get<QString>(result) : QString();
}

} // namespace

TEST(RenamingOptionsJson, readsTopLevelAndNestedFields)
{
    const OutputRenamingOptions options = read(R"({
        "renamingOptionIndex": 1, "addEXIFDateTimeCheck": 1, "addStringCheck": 1,
        "ouptputFolderPathName": "/out/Ünïcode",
        "addEXIFDateTime": { "asValue": 1, "typeValue": 2, "formatValue": 15 },
        "addEXIFLocation": { "placeTick": 0, "stateTick": 0 },
        "addString": { "addStringPrefixValue": "pre-", "addStringSuffixValue": "" }
    })");
    EXPECT_EQ(options.renamingOptionIndex, 1);
    EXPECT_EQ(options.addEXIFDateTimeCheck, 1);
    EXPECT_EQ(options.ouptputFolderPathName, u"/out/Ünïcode"_s);
    EXPECT_EQ(options.addEXIFDateTime.asValue, 1);
    EXPECT_EQ(options.addEXIFDateTime.typeValue, 2);
    EXPECT_EQ(options.addEXIFDateTime.formatValue, 15);
    EXPECT_EQ(options.addEXIFLocation.placeTick, 0);
    EXPECT_EQ(options.addEXIFLocation.cityTick, 1); // left out: the default stays
    EXPECT_EQ(options.addString.addStringPrefixValue, u"pre-"_s);
    EXPECT_TRUE(options.isRenamingInForce());
}

TEST(RenamingOptionsJson, anEmptyObjectIsTheDefaults)
{
    const OutputRenamingOptions options = read("{}");
    EXPECT_EQ(options.renamingOptionIndex, 0);
    EXPECT_EQ(options.ouptputFolderPathName, OutputRenamingOptions::defaultOutputFolder());
}

TEST(RenamingOptionsJson, refusesTyposAndValuesOfTheWrongKind)
{
    EXPECT_TRUE(refusal(R"({"renamingOptionIndx": 1})").contains(u"renamingOptionIndx"_s));
    EXPECT_TRUE(refusal(R"({"addEXIFDateTime": {"asvalue": 1}})").contains(u"addEXIFDateTime.asvalue"_s));
    EXPECT_FALSE(refusal(R"({"renamingOptionIndex": "1"})").isEmpty());
    EXPECT_FALSE(refusal(R"({"renamingOptionIndex": 1.5})").isEmpty());
    EXPECT_FALSE(refusal(R"({"renamingOptionIndex": 1e12})").isEmpty());
    EXPECT_FALSE(refusal(R"({"addString": "pre"})").isEmpty());
    EXPECT_FALSE(refusal(R"({"replaceFilename": {"customNameValue": 3}})").isEmpty());
    EXPECT_FALSE(refusal("[1, 2]").isEmpty());
    EXPECT_FALSE(refusal(R"({"renamingOptionIndex": )").isEmpty());
}
