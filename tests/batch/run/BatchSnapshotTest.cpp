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
    auto record = std::make_shared<MetaDataObject>();
    record->setField(MetadataField::Artist, u"artist %1"_s.arg(i));
    photo->metadataObject = record;
    photo->metadataObjectOriginal = record;
    if (i == 2)
        photo->restorePoint = std::make_shared<MetadataRestorePoint>(MetadataRestorePoint { u"/restore/2"_s, std::nullopt });
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
// every one gets a copy of its own, in list order, however the copying was split.
// The copy shares the photo's records, which nothing changes, and has a restore
// point of its own, which a write in place extends.
TEST(BatchSnapshot, copiesTheTickedPhotosPartByPartInListOrderSharingTheirRecords)
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
        EXPECT_NE(&copy, &live);
        EXPECT_EQ(copy.metadataObject, live.metadataObject);
        EXPECT_EQ(copy.metadataObjectOriginal, live.metadataObjectOriginal);
        EXPECT_EQ(bool(copy.restorePoint), bool(live.restorePoint));
        if (live.restorePoint) {
            EXPECT_NE(copy.restorePoint, live.restorePoint);
            EXPECT_EQ(copy.restorePoint->dataPath, live.restorePoint->dataPath);
        }
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

// Every photo ticked, as after an adding: the run takes the whole list in order,
// and what the list meets afterwards (photos added or removed) does not reach it.
TEST(BatchSnapshot, aWhollyTickedListIsTakenAsItWas)
{
    QList<std::shared_ptr<PhotoFile>> batch;
    for (int i = 0; i < 4; ++i) {
        batch.append(photoNumbered(i));
        batch.last()->isSelected = true;
    }
    const MetaDataObject form;
    const QList<std::shared_ptr<PhotoFile>> before = batch;
    BatchSnapshot snapshot
        = BatchSnapshot::forTickedPhotos(batch, form, form, OutputRenamingOptions(), BatchSnapshot::Copying::Later);
    batch.removeFirst();
    batch.append(photoNumbered(9));
    EXPECT_EQ(snapshot.photos, before);
    EXPECT_EQ(snapshot.batchSourcePaths.size(), 4);
    EXPECT_TRUE(snapshot.copyPhotos(10));
    EXPECT_EQ(snapshot.workCopies.last()->filePath, u"/photos/3.jpg"_s);
}
