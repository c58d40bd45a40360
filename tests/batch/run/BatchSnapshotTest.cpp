#include "batch/run/BatchSnapshot.h"

#include "batch/run/BatchRunner.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

std::shared_ptr<PhotoFile> photoNumbered(int i)
{
    auto photo = std::make_shared<PhotoFile>();
    photo->filePath = u"/photos/%1.jpg"_s.arg(i);
    photo->isSelected = i % 3 != 0;
    photo->metadataObject = std::make_shared<MetaDataObject>();
    photo->metadataObject->setField(MetadataField::Artist, u"artist %1"_s.arg(i));
    photo->metadataObject->dateTimeConfig(DateSetting::OriginalDate)->stringIncDecDay = QString::number(i);
    photo->metadataObjectOriginal = MetaDataObject::initWithObject(*photo->metadataObject);
    return photo;
}

QList<std::shared_ptr<PhotoFile>> batchOf(int count)
{
    QList<std::shared_ptr<PhotoFile>> batch;
    for (int i = 0; i < count; ++i)
        batch.append(photoNumbered(i));
    batch.insert(3, nullptr); // a gap in the list is skipped
    return batch;
}

} // namespace

// A big batch is copied a part at a time: the ticked photos are listed at once, and
// every one gets a copy of its own, in list order, sharing no record and no date
// setting with the live photo, however the copying was split.
TEST(BatchSnapshot, copiesTheTickedPhotosPartByPartInListOrderSharingNothing)
{
    const QList<std::shared_ptr<PhotoFile>> batch = batchOf(10);
    const MetaDataObject form;
    BatchSnapshot snapshot
        = BatchSnapshot::forTickedPhotos(batch, form, form, OutputRenamingOptions(), BatchSnapshot::Copying::Later);
    ASSERT_EQ(snapshot.photos.size(), 6); // 1, 2, 4, 5, 7, 8
    EXPECT_EQ(snapshot.batchSourcePaths.size(), 10);
    EXPECT_TRUE(snapshot.workCopies.isEmpty());
    EXPECT_FALSE(snapshot.isCopied());

    EXPECT_FALSE(snapshot.copyPhotos(4));
    EXPECT_EQ(snapshot.workCopies.size(), 4);
    EXPECT_TRUE(snapshot.copyPhotos(4));
    EXPECT_TRUE(snapshot.copyPhotos(4)); // nothing left: nothing more is copied
    ASSERT_EQ(snapshot.workCopies.size(), 6);

    const BatchSnapshot atOnce = BatchSnapshot::forTickedPhotos(batch, form, form, OutputRenamingOptions());
    ASSERT_TRUE(atOnce.isCopied());
    for (qsizetype i = 0; i < snapshot.photos.size(); ++i) {
        const PhotoFile& live = *snapshot.photos[i];
        const PhotoFile& copy = *snapshot.workCopies[i];
        EXPECT_TRUE(live.isSelected);
        EXPECT_EQ(copy.filePath, live.filePath);
        EXPECT_EQ(atOnce.workCopies[i]->filePath, live.filePath);
        EXPECT_NE(copy.metadataObject, live.metadataObject);
        EXPECT_NE(copy.metadataObjectOriginal, live.metadataObjectOriginal);
        EXPECT_EQ(copy.metadataObject->Artist(), live.metadataObject->Artist());
        const auto liveDate = live.metadataObject->dateTimeConfig(DateSetting::OriginalDate);
        const auto copyDate = copy.metadataObject->dateTimeConfig(DateSetting::OriginalDate);
        EXPECT_NE(copyDate, liveDate);
        EXPECT_EQ(copyDate->stringIncDecDay, liveDate->stringIncDecDay);
    }
    EXPECT_EQ(snapshot.workCopies.first()->filePath, u"/photos/1.jpg"_s);
    EXPECT_EQ(snapshot.workCopies.last()->filePath, u"/photos/8.jpg"_s);
}

// A writer must never meet a photo without its copy.
TEST(BatchSnapshot, aRunDoesNotStartBeforeEveryPhotoIsCopied)
{
    const MetaDataObject form;
    BatchSnapshot snapshot = BatchSnapshot::forTickedPhotos(
        batchOf(10), form, form, OutputRenamingOptions(), BatchSnapshot::Copying::Later);
    snapshot.copyPhotos(5);
    BatchRunner runner;
    EXPECT_FALSE(runner.start(std::move(snapshot)));
    EXPECT_FALSE(runner.isRunning());
}
