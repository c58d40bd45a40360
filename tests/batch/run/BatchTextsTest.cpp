#include "batch/run/BatchTexts.h"

#include "batch/run/BatchRunState.h"
#include "batch/run/BottomLineThrottle.h"
#include "batch/run/SummaryRateCounter.h"
#include "model/PhotoFile.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The coloured parts of a line, as text.
QStringList accented(const ColouredText& line)
{
    QStringList parts;
    for (const ColouredText::Range& range : line.accentRanges)
        parts << line.text.mid(range.start, range.length);
    return parts;
}

BatchRunState runOf(qint64 size, qint64 succeeded, qint64 failed)
{
    BatchRunState state;
    state.runSize = size;
    state.succeeded = succeeded;
    state.failed = failed;
    state.handled = succeeded + failed;
    state.startedAt = QDateTime(QDate(2024, 5, 1), QTime(10, 0, 0), Qt::UTC);
    return state;
}

std::shared_ptr<PhotoFile> photoAt(const QString& path)
{
    auto photo = std::make_shared<PhotoFile>();
    photo->filePath = path;
    return photo;
}

} // namespace

TEST(BatchTexts, colourTheNumbersOfTheBatchAndBottomLinesAsWholeNumbers)
{
    BatchRunState state = runOf(12, 10, 1);
    const ColouredText batch = BatchTexts::batchLine(state);
    EXPECT_EQ(batch.text, u"Batch Count: 12  |  Photos Processed: 10"_s);
    EXPECT_EQ(accented(batch), QStringList({ u"12"_s, u"10"_s }));

    // "1" error must not colour the 1 of "91 %" or of "10 seconds".
    state.handled = 11;
    const ColouredText bottom = BatchTexts::bottomLine(state, state.startedAt.addSecs(70));
    EXPECT_EQ(
        bottom.text, u"Process Completed: 91 %  |  Error reported: 1  |  Time elapsed:  1 minute 10 seconds approx."_s);
    EXPECT_EQ(accented(bottom), QStringList({ u"91 %"_s, u"1"_s, u" 1 minute 10 seconds"_s }));

    const ColouredText whole = BatchTexts::coloured(u"Errors reported: 2  |  12 of 20, 2 left"_s, { u"2"_s });
    EXPECT_EQ(whole.accentRanges, QList<ColouredText::Range>({ { 17, 1 }, { 33, 1 } }));

    state.failed = 2;
    EXPECT_TRUE(BatchTexts::bottomLine(state, state.startedAt).text.contains(u"Errors reported: 2"_s));
    EXPECT_EQ(BatchTexts::bottomLine(BatchRunState {}, QDateTime()).text.left(22), u"Process Completed: 0 %"_s);
}

TEST(BatchTexts, theElapsedTimeStopsWhenTheRunEnds)
{
    BatchRunState state = runOf(3, 3, 0);
    state.endedAt = state.startedAt.addSecs(5);
    EXPECT_EQ(BatchTexts::elapsedText(state, state.startedAt.addSecs(3600)), u" 5 seconds"_s);
    state.endedAt.reset();
    EXPECT_EQ(BatchTexts::elapsedText(state, state.startedAt.addSecs(3600)), u"1 hour 0 minutes 0 seconds"_s);
    EXPECT_TRUE(BatchTexts::bottomLine(state, state.startedAt).text.contains(u"Time elapsed:  0 seconds approx."_s))
        << "a run of under a second still shows a number";
}

TEST(BatchTexts, summaryCountsFlagSevenAsAnErrorAndSaysSoInItsWords)
{
    // Two written, one written with its raw camera kept (7), one missing: the 7 is an error.
    BatchRunState state = runOf(4, 2, 2);
    const SummaryTexts texts = BatchTexts::summary(state, 0, state.startedAt);
    EXPECT_EQ(texts.title, u"Batch Process Finished"_s);
    EXPECT_EQ(texts.processed, u"2"_s);
    EXPECT_EQ(texts.skipped, u"0"_s);
    EXPECT_EQ(texts.errorsAndWarnings, u"Errors Found(2) Warning Found(0)"_s);
    EXPECT_TRUE(texts.showsErrorTable);
    EXPECT_EQ(texts.height, 450);

    EXPECT_EQ(BatchTexts::errorsAndWarningsLine(1, 0), u"Error Found(1) Warning Found(0)"_s);
    EXPECT_EQ(BatchTexts::errorsAndWarningsLine(0, 1), u"Error Found(0) Warning Found(1)"_s);
    EXPECT_EQ(BatchTexts::errorsAndWarningsLine(2, 2), u"Errors Found(2) Warnings Found(2)"_s);
    EXPECT_FALSE(BatchTexts::showsErrorTable(0, 0));
    EXPECT_EQ(BatchTexts::summaryHeight(0, 0), 250);
}

TEST(BatchTexts, aRunWithPhotosLeftOutIsStoppedEvenWhenEveryHandledPhotoFailed)
{
    EXPECT_EQ(BatchTexts::summaryTitle(runOf(5, 2, 1)), u"Batch Process Stopped"_s);
    EXPECT_EQ(BatchTexts::summaryTitle(runOf(5, 0, 5)), u"Batch Process Finished"_s);
}

TEST(BatchTexts, theOutputLocationNamesOneSourceFolderOnlyWhenItIsTheSameFolder)
{
    BatchRunState state = runOf(2, 2, 0);
    state.options.ouptputFolderPathName = u"/home/Ann/Pictures/Out"_s;
    state.photos = { photoAt(u"/a/Trip/1.jpg"_s), photoAt(u"/b/Trip/2.jpg"_s) };
    EXPECT_EQ(BatchTexts::outputLocation(state).folder, u"/home/Ann/Pictures/Out"_s) << "the chosen folder, case kept";
    EXPECT_TRUE(BatchTexts::outputLocation(state).showLink);

    state.options.sourseFolderSelected = 1;
    // Two folders of the same name are two folders.
    EXPECT_FALSE(BatchTexts::outputLocation(state).showLink);
    EXPECT_TRUE(BatchTexts::outputLocation(state).showNote);
    state.photos = { photoAt(u"/a/Trip/1.jpg"_s), photoAt(u"/a/Trip/2.jpg"_s) };
    const OutputLocation one = BatchTexts::outputLocation(state);
    EXPECT_TRUE(one.showLink);
    EXPECT_FALSE(one.showNote);
    EXPECT_EQ(one.folder, u"/a/Trip"_s);
}

TEST(BatchTexts, summaryRowsShowErrorsInRedAndWarningsWithTheirOwnIcon)
{
    PhotoFile record;
    record.filePath = u"/p/IMG.nef"_s;
    record.fileExtension = u"nef"_s;
    record.processMsg = u"exiv2 said no"_s;
    const auto rowFor = [&record](int status) {
        record.processStatus = status;
        return BatchTexts::summaryRow(record);
    };
    EXPECT_EQ(rowFor(1).message, u"This photo is not available at the Source location."_s);
    EXPECT_EQ(rowFor(1).icon, u"errorFile.png"_s);
    EXPECT_EQ(rowFor(2).message, u"exiv2 said no"_s);
    EXPECT_EQ(rowFor(8).colour, SummaryRow::Colour::Red);
    const SummaryRow seven = rowFor(7);
    EXPECT_EQ(seven.icon, u"warningFile.png"_s);
    EXPECT_EQ(seven.colour, SummaryRow::Colour::Yellow);
    EXPECT_EQ(seven.message, u"Camera related info(Camera make, Camera model name) can't write for NEF image format"_s);
    for (const int warning : { 10, 11, 12, 13 }) {
        EXPECT_EQ(rowFor(warning).icon, u"warningFile.png"_s) << warning;
        EXPECT_EQ(rowFor(warning).message, u"exiv2 said no"_s) << warning;
    }
    EXPECT_EQ(rowFor(2).name, u"/p/IMG.nef"_s);
}

TEST(SummaryRateCounter, fromAnEmptyStoreTheSixthClosingBringsThePromptAndStoresOne)
{
    std::optional<int> stored;
    QList<int> promptAt;
    for (int closing = 1; closing <= 12; ++closing) {
        const SummaryRateCounter::Step step = SummaryRateCounter::summaryClosed(stored, false);
        if (step.showPrompt)
            promptAt << closing;
        stored = step.store;
    }
    EXPECT_EQ(promptAt, QList<int>({ 6, 11 }));
    EXPECT_EQ(stored, 2);

    const SummaryRateCounter::Step rated = SummaryRateCounter::summaryClosed(4, true);
    EXPECT_FALSE(rated.showPrompt);
    EXPECT_FALSE(rated.store.has_value()) << "nothing is counted after rating this version";
}

TEST(BottomLineThrottle, drawsAtMostEveryTenthOfASecondAndOnlyWhenAFigureChanged)
{
    BottomLineThrottle throttle;
    const BottomLineThrottle::Figures start { 0, 0, 0 };
    EXPECT_TRUE(throttle.shouldRefresh(0, start));
    EXPECT_FALSE(throttle.shouldRefresh(50, { 5, 0, 0 }));
    EXPECT_TRUE(throttle.shouldRefresh(100, { 5, 0, 0 }));
    EXPECT_FALSE(throttle.shouldRefresh(900, { 5, 0, 0 })) << "nothing changed";
    EXPECT_TRUE(throttle.shouldRefresh(950, { 5, 0, 1 }));
    EXPECT_FALSE(throttle.shouldRefresh(960, { 6, 0, 1 }));
    EXPECT_TRUE(throttle.shouldRefresh(970, { 100, 0, 1 }, true)) << "the run's last figures are drawn at once";
    throttle.reset();
    EXPECT_TRUE(throttle.shouldRefresh(980, { 100, 0, 1 }));
}
