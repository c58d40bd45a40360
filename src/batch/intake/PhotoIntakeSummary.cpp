#include "batch/intake/PhotoIntakeSummary.h"

#include "batch/alerts/AlertCatalog.h"

int PhotoIntakeSummary::damagedFilesAlertTag() const
{
    if (isPhotosAlreadyAdded)
        return AlertPhotosExist;
    if (isPhotoFormatNotSupported || outsideLibraryCount > 0 || (unreadableFolderCount > 0 && totalPhotoToAdd > 0))
        return AlertFilesCannotBeAdded;
    return AlertNoPhotosToAdd;
}

PhotoIntakeCompletion PhotoIntakeSummary::completion(bool batchListEmpty) const
{
    PhotoIntakeCompletion next;
    next.clearChangedState = batchListEmpty;
    if (isMAX_PHOTOS_LIMIT_EXCEEDED) {
        next.refreshEditor = true;
        next.alertTag = AlertPhotosLimitExceeded;
    } else if (totalPhotoToAdd > 0) {
        next.refreshEditor = true;
        if (isPhotosAlreadyAdded || isPhotoFormatNotSupported || outsideLibraryCount > 0 || unreadableFolderCount > 0)
            next.alertTag = damagedFilesAlertTag();
    } else {
        next.hideOverlay = true;
        next.disableRemoveButton = true;
        next.alertTag = damagedFilesAlertTag();
        // A library's own alert already says why nothing came in.
        if (next.alertTag == AlertNoPhotosToAdd && libraryAlertCount > 0)
            next.alertTag = 0;
    }
    return next;
}

AlertCounts PhotoIntakeSummary::alertCounts() const
{
    AlertCounts counts;
    counts.damagedFileCount = damagedFileCount;
    counts.alreadyExistsPhotosCount = alreadyExistsPhotosCount;
    counts.maxPhotos = maxPhotos;
    counts.unreadableFolderCount = unreadableFolderCount;
    counts.outsideLibraryCount = outsideLibraryCount;
    return counts;
}
