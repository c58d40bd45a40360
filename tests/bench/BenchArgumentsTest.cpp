#include "BenchArguments.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

BenchArguments parsed(const QStringList& arguments)
{
    const auto result = parseBenchArguments(arguments);
    if (const auto* error = std::get_if<BenchArgumentError>(&result))
        ADD_FAILURE() << error->message.toStdString();
    return std::get_if<BenchArguments>(&result) ? std::get<BenchArguments>(result) : BenchArguments {};
}

bool refused(const QStringList& arguments)
{
    return std::holds_alternative<BenchArgumentError>(parseBenchArguments(arguments));
}

} // namespace

TEST(BenchArguments, readsAWriteCommandWithEveryOption)
{
    const BenchArguments arguments = parsed({ u"write"_s, u"--settings"_s, u"s.json"_s, u"--out=/o"_s,
        u"--keep-source"_s, u"--rename"_s, u"r.json"_s, u"--jobs"_s, u"3"_s, u"--restore-after"_s, u"/src"_s });
    EXPECT_EQ(arguments.jobs, 3);
    EXPECT_TRUE(arguments.restoreAfter);
    EXPECT_EQ(arguments.command, BenchArguments::Command::Write);
    EXPECT_EQ(arguments.settingsFile, u"s.json"_s);
    EXPECT_EQ(arguments.outputDir, u"/o"_s);
    EXPECT_EQ(arguments.renameFile, u"r.json"_s);
    EXPECT_TRUE(arguments.keepSource);
    EXPECT_EQ(arguments.sourceDir, u"/src"_s);
}

TEST(BenchArguments, takesAFolderThatLooksLikeAnOptionAfterTheSeparator)
{
    EXPECT_EQ(parsed({ u"read"_s, u"--"_s, u"--odd-folder"_s }).sourceDir, u"--odd-folder"_s);
}

TEST(BenchArguments, restoreNeedsNoSettings)
{
    const BenchArguments arguments = parsed({ u"restore"_s, u"--out"_s, u"/o"_s, u"/src"_s });
    EXPECT_EQ(arguments.command, BenchArguments::Command::Restore);
    EXPECT_TRUE(arguments.settingsFile.isEmpty());
}

TEST(BenchArguments, keepingTheSourceFolderNeedsNoOutputFolder)
{
    EXPECT_TRUE(parsed({ u"write"_s, u"--settings"_s, u"s"_s, u"--keep-source"_s, u"/src"_s }).keepSource);
}

TEST(BenchArguments, refusesWhatCannotRun)
{
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused({ u"frobnicate"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"read"_s }));
    EXPECT_TRUE(refused({ u"restore"_s, u"--out"_s, u"/o"_s, u"--restore-after"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--keep-source"_s, u"--restore-after=1"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"read"_s, u"/a"_s, u"/b"_s }));
    EXPECT_TRUE(refused({ u"read"_s, u"--out"_s, u"/o"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"thumbs"_s, u""_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--out"_s, u"/o"_s, u"/src"_s })); // no settings
    EXPECT_TRUE(refused({ u"write"_s, u"--settings"_s, u"s"_s, u"/src"_s })); // nowhere to write
    EXPECT_TRUE(refused({ u"write"_s, u"--settings"_s, u"s"_s, u"--out"_s, u"/o"_s, u"/src"_s, u"--rename"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings"_s, u"s"_s, u"--out="_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--settings=b"_s, u"--out=/o"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--out=/o"_s, u"--keep-source=1"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--out=/o"_s, u"--verbose"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--out=/o"_s, u"--jobs=0"_s, u"/src"_s }));
    EXPECT_TRUE(refused({ u"write"_s, u"--settings=a"_s, u"--out=/o"_s, u"--jobs"_s, u"many"_s, u"/src"_s }));
}

TEST(BenchArguments, usageNamesEveryCommand)
{
    const QString usage = benchUsageText();
    for (const char* command : { "read DIR", "write --settings", "restore", "thumbs DIR" })
        EXPECT_TRUE(usage.contains(QString::fromLatin1(command))) << command;
}
