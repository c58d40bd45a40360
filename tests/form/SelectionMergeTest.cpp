#include "form/SelectionMerge.h"

#include "FormFixtures.h"
#include "form/FormDisplay.h"
#include "form/SelectionMergeJob.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <gtest/gtest.h>

using F = MetadataField;

namespace {

MergeResult merge(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    return SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos));
}

QString mergedArtist(std::initializer_list<const char*> artists)
{
    QList<std::shared_ptr<PhotoFile>> photos;
    for (const char* artist : artists)
        photos << photoWith({ { F::Artist, QString::fromUtf8(artist) } });
    return merge(photos).merged->Artist();
}

// What the form's Artist field offers as placeholder for these photos, nothing edited.
QString artistPlaceholder(std::initializer_list<const char*> artists)
{
    QList<std::shared_ptr<PhotoFile>> photos;
    for (const char* artist : artists)
        photos << photoWith({ { F::Artist, QString::fromUtf8(artist) } });
    const MergeResult result = merge(photos);
    return FormDisplay::placeholders(result.photoCount, result.hasValue, *result.merged).placeholderText(F::Artist);
}

} // namespace

TEST(SelectionMerge, keepsATextOnlyWhenEveryPhotoHoldsTheSameNonEmptyText)
{
    EXPECT_EQ(mergedArtist({ "Ann", "Ann" }), "Ann");
    EXPECT_EQ(mergedArtist({ "Ann", "ann" }), "");
    EXPECT_EQ(mergedArtist({ "Ann", "Ann " }), "");
    EXPECT_EQ(mergedArtist({ "", "Ann" }), "");
    EXPECT_EQ(mergedArtist({ "Ann", "" }), "");
    EXPECT_EQ(mergedArtist({ "Ann", "Bob", "Ann" }), "");
    EXPECT_EQ(mergedArtist({ "Анна", "Анна", "Анна" }), "Анна");
    EXPECT_EQ(mergedArtist({ "Ann" }), "Ann");
}

TEST(SelectionMerge, showsMultipleValuesOnlyWhereTwoOrMorePhotosDiffer)
{
    EXPECT_EQ(artistPlaceholder({ "Ann", "Bob" }), "Multiple values");
    EXPECT_EQ(artistPlaceholder({ "", "Bob" }), "Multiple values");
    EXPECT_EQ(artistPlaceholder({ "Bob", "" }), "Multiple values");
    EXPECT_EQ(artistPlaceholder({ "Ann", "Bob", "Ann" }), "Multiple values");
    EXPECT_EQ(artistPlaceholder({ "", "" }), "");
    EXPECT_EQ(artistPlaceholder({ "" }), "");
    EXPECT_EQ(artistPlaceholder({ "Ann" }), "");
    EXPECT_EQ(artistPlaceholder({}), "");
}

TEST(SelectionMerge, neverMergesPixelSizesResolutionsOrTheGpsDateStamp)
{
    const auto one = photoWith({ { F::DimResolution_ExifImageWidth, "4000" }, { F::GPS_DateStamp, "2019:05:04" },
        { F::DimResolution_ResolutionUnit, "2" }, { F::Cam_Make, "Canon" } });
    MergeResult result = merge({ one });
    EXPECT_EQ(result.merged->DimResolution_ExifImageWidth(), "");
    EXPECT_EQ(result.merged->GPS_DateStamp(), "");
    EXPECT_EQ(result.merged->DimResolution_ResolutionUnit(), "");
    EXPECT_EQ(result.merged->Cam_Make(), "Canon");

    result = merge({ one, one });
    EXPECT_EQ(result.merged->GPS_DateStamp(), "");
    EXPECT_FALSE(FormDisplay::placeholders(2, result.hasValue, *result.merged).showsMultipleValues(F::GPS_DateStamp));
}

TEST(SelectionMerge, takesOnlyTheFieldTextsAndSharesThemWithThePhotos)
{
    auto record = std::make_shared<MetaDataObject>();
    record->setIPTC_Headline(QStringLiteral("Harbour at dawn"));
    record->editingOption = 2;
    record->clearExif = true;
    record->setIsupdated_IPTC_Headline(true);
    record->dateTimeConfigOriginalDate()->tagConfigureOption = 2;
    auto first = std::make_shared<PhotoFile>();
    first->metadataObject = record;
    auto second = photoWith({ { F::IPTC_Headline, "Harbour at dawn" } });

    const MergeResult result = merge({ first, second });
    const MetaDataObject& merged = *result.merged;
    EXPECT_EQ(merged.IPTC_Headline().constData(), first->metadataObject->IPTC_Headline().constData());
    EXPECT_EQ(merged.editingOption, 0);
    EXPECT_FALSE(merged.clearExif);
    EXPECT_FALSE(merged.isupdated_IPTC_Headline());
    EXPECT_EQ(merged.dateTimeConfigOriginalDate()->option(), 0);
    EXPECT_NE(merged.dateTimeConfigOriginalDate(), first->metadataObject->dateTimeConfigOriginalDate());
}

TEST(SelectionMerge, givesAnEmptyRecordForNoPhotos)
{
    const MergeResult result = merge({});
    ASSERT_TRUE(result.merged);
    EXPECT_EQ(result.photoCount, 0);
    EXPECT_EQ(result.merged->Artist(), "");
    EXPECT_TRUE(result.hasValue.none());
}

TEST(SelectionMerge, stopsAMergeThatANewerOneOvertook)
{
    QList<std::shared_ptr<PhotoFile>> photos;
    for (int i = 0; i < 5000; ++i)
        photos << photoWith({ { F::Artist, "Ann" } });
    const std::atomic<quint64> latest = 8;
    const MergeResult stale
        = SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos), 7, &latest);
    EXPECT_FALSE(stale.merged);
    const MergeResult current
        = SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos), 8, &latest);
    EXPECT_EQ(current.merged->Artist(), "Ann");
}

TEST(SelectionMergeJob, publishesOnlyTheNewestOfOverlappingMerges)
{
    // A pool of one thread that is kept busy, so that both merges are still
    // waiting when the second one starts.
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    SelectionMergeJob job(nullptr, &pool);
    QSignalSpy spy(&job, &SelectionMergeJob::mergeFinished);

    QSemaphore release;
    pool.start([&release] { release.acquire(); });
    QList<std::shared_ptr<PhotoFile>> older;
    for (int i = 0; i < 3000; ++i)
        older << photoWith({ { F::Artist, "Old" } });
    const quint64 first = job.start(older);
    const quint64 second = job.start(QList<std::shared_ptr<PhotoFile>> { photoWith({ { F::Artist, "New" } }) });
    EXPECT_GT(second, first);
    EXPECT_TRUE(job.isRunning());
    // The older list changes after its merge began: the merge still reads its own copy.
    older.clear();
    release.release();

    ASSERT_TRUE(spy.wait(5000));
    job.waitForDone();
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    const MergeResult result = spy.takeFirst().at(0).value<MergeResult>();
    EXPECT_EQ(result.generation, second);
    EXPECT_EQ(result.merged->Artist(), "New");
}

TEST(SelectionMergeJob, mergesAnEmptySelectionBeforeStartReturns)
{
    SelectionMergeJob job;
    QSignalSpy spy(&job, &SelectionMergeJob::mergeFinished);
    job.start(QList<std::shared_ptr<PhotoFile>> {});
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.first().at(0).value<MergeResult>().photoCount, 0);
    EXPECT_TRUE(SelectionMergeJob::needsOverlay(5001));
    EXPECT_FALSE(SelectionMergeJob::needsOverlay(5000));
}

// A long list's records are taken over turns of the event loop: all of them reach the
// merge, a newer start overtakes a list still being taken, and waitForDone() takes the
// rest at once.
TEST(SelectionMergeJob, takesALongListsRecordsOverTurnsAndMergesThemAll)
{
    const auto photo = photoWith({ { F::Artist, "Old" } });
    QList<std::shared_ptr<PhotoFile>> longList(2 * SelectionMergeJob::kRecordsPerTurn + 1);
    for (auto& copy : longList)
        copy = std::make_shared<PhotoFile>(*photo);

    SelectionMergeJob job;
    QSignalSpy spy(&job, &SelectionMergeJob::mergeFinished);
    job.start(longList);
    EXPECT_TRUE(job.isRunning());
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.takeFirst().at(0).value<MergeResult>().photoCount, longList.size());
    EXPECT_FALSE(job.isRunning());

    job.start(longList);
    const quint64 newer = job.start(QList<std::shared_ptr<PhotoFile>> { photoWith({ { F::Artist, "New" } }) });
    ASSERT_TRUE(spy.wait(5000));
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    const MergeResult result = spy.takeFirst().at(0).value<MergeResult>();
    EXPECT_EQ(result.generation, newer);
    EXPECT_EQ(result.merged->Artist(), "New");

    job.start(longList);
    job.waitForDone();
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.first().at(0).value<MergeResult>().photoCount, longList.size());
}
