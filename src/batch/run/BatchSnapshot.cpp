#include "batch/run/BatchSnapshot.h"

#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <algorithm>

std::shared_ptr<MetaDataObject> BatchSnapshot::deepCopy(const MetaDataObject& record)
{
    std::shared_ptr<MetaDataObject> copy = MetaDataObject::initWithObject(record);
    for (const MetadataFieldInfo& info : kMetadataFields)
        copy->setUpdated(info.field, record.isUpdated(info.field));
    for (std::size_t i = 0; i < kDateSettingCount; ++i) {
        const auto setting = static_cast<DateSetting>(i);
        copy->setDateTimeConfig(setting, std::make_shared<DateTimeConfiguration>(*record.dateTimeConfig(setting)));
    }
    copy->isReset = record.isReset;
    copy->isLoadedFromLastSession = record.isLoadedFromLastSession;
    return copy;
}

std::shared_ptr<PhotoFile> BatchSnapshot::workCopy(const PhotoFile& photo)
{
    auto copy = std::make_shared<PhotoFile>(photo);
    // A write in place extends the restore point: the writer gets its own.
    if (photo.restorePoint)
        copy->restorePoint = std::make_shared<MetadataRestorePoint>(*photo.restorePoint);
    return copy;
}

BatchSnapshot BatchSnapshot::forPhotos(const QList<std::shared_ptr<PhotoFile>>& photos,
    const QList<std::shared_ptr<PhotoFile>>& batchList, const MetaDataObject& settings,
    const MetaDataObject& onlyUpdated, const OutputRenamingOptions& options, Copying copying)
{
    BatchSnapshot snapshot;
    snapshot.options = options;
    snapshot.settings = deepCopy(settings);
    snapshot.onlyUpdated = deepCopy(onlyUpdated);
    // Taken as it is where it has no gap (removeIf copies nothing then): a run over
    // 100,000 photos took each photo's pointer one by one on the main thread.
    snapshot.photos = photos;
    snapshot.photos.removeIf([](const std::shared_ptr<PhotoFile>& photo) { return !photo; });
    snapshot.workCopies.reserve(snapshot.photos.size());
    if (copying == Copying::Now)
        snapshot.copyPhotos(snapshot.photos.size());
    snapshot.batchSourcePaths.reserve(batchList.size());
    for (const std::shared_ptr<PhotoFile>& photo : batchList) {
        if (photo)
            snapshot.batchSourcePaths.append(photo->filePath);
    }
    return snapshot;
}

bool BatchSnapshot::copyPhotos(qsizetype count)
{
    const qsizetype end = std::min(photos.size(), workCopies.size() + std::max<qsizetype>(count, 0));
    for (qsizetype i = workCopies.size(); i < end; ++i)
        workCopies.append(workCopy(*photos[i]));
    return isCopied();
}

BatchSnapshot BatchSnapshot::forTickedPhotos(const QList<std::shared_ptr<PhotoFile>>& batchList,
    const MetaDataObject& settings, const MetaDataObject& onlyUpdated, const OutputRenamingOptions& options,
    Copying copying)
{
    // Where every photo is ticked (as after an adding) this is the batch list
    // itself, shared: removeIf copies nothing then.
    QList<std::shared_ptr<PhotoFile>> ticked = batchList;
    ticked.removeIf([](const std::shared_ptr<PhotoFile>& photo) { return !photo || !photo->isSelected; });
    return forPhotos(ticked, batchList, settings, onlyUpdated, options, copying);
}
