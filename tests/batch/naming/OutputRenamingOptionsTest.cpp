#include "batch/naming/OutputRenamingOptions.h"

#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(OutputRenamingOptions, startsWithRenamingOffIntoTheVelloranPicturesFolder)
{
    const OutputRenamingOptions options;
    EXPECT_EQ(options.renamingOptionIndex, 0);
    EXPECT_EQ(options.replaceFilenameCheck + options.addStringCheck + options.addEXIFDateTimeCheck
            + options.addEXIFLocationCheck + options.appendWidthHeightCheck,
        0);
    EXPECT_EQ(options.sourseFolderSelected, 0);
    EXPECT_FALSE(options.isRenamingInForce());
    EXPECT_EQ(options.ouptputFolderPathName,
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/Velloran"));
    EXPECT_TRUE(QDir::isAbsolutePath(options.ouptputFolderPathName));

    // Original date, before the name, "ddMMyyyy"; every place part ticked.
    EXPECT_EQ(options.addEXIFDateTime.asValue, 0);
    EXPECT_EQ(options.addEXIFDateTime.typeValue, 0);
    EXPECT_EQ(options.addEXIFDateTime.formatValue, 0);
    const AddEXIFLocation& location = options.addEXIFLocation;
    EXPECT_EQ(location.placeTick + location.cityTick + location.stateTick + location.countryTick, 4);
    EXPECT_TRUE(location.locationDetailFull.isEmpty());
}

TEST(OutputRenamingOptions, isInForceOnlyWhenRenamingIsOnWithATokenTicked)
{
    OutputRenamingOptions options;
    options.appendWidthHeightCheck = 1;
    EXPECT_FALSE(options.isRenamingInForce());
    options.renamingOptionIndex = 1;
    EXPECT_TRUE(options.isRenamingInForce());
    options.appendWidthHeightCheck = 2; // only 1 means on
    EXPECT_FALSE(options.isRenamingInForce());
}

TEST(OutputNameDateFormats, offersTwentyPatternsAndNothingOutsideThem)
{
    EXPECT_EQ(OutputNameDateFormats::patternAt(0), QStringLiteral("ddMMyyyy"));
    EXPECT_EQ(OutputNameDateFormats::patternAt(19), QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    for (int outside : { -1, 20, 25 }) {
        EXPECT_FALSE(OutputNameDateFormats::patternAt(outside).has_value()) << outside;
    }
    // Each shown name is its pattern in capitals.
    for (const auto& format : OutputNameDateFormats::kFormats)
        EXPECT_EQ(QString::fromLatin1(format.pattern).toUpper(), QString::fromLatin1(format.name));
}
