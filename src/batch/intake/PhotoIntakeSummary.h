#pragma once

#include "model/BatchLimits.h"

#include <QMetaType>

struct AlertCounts;

// What the acceptance rules met during one adding.
struct PhotoIntakeCounts {
    int damagedFileCount = 0; // paths refused, duplicates included
    int alreadyExistsPhotosCount = 0; // duplicates
    bool isPhotosAlreadyAdded = false; // at least one duplicate
    bool isPhotoFormatNotSupported = false; // at least one path refused for its type or name
    int outsideLibraryCount = 0; // paths a photo library lists that lie outside it (in damagedFileCount)
    int unreadableFolderCount = 0; // folders that could not be read, their photos left out
    int libraryAlertCount = 0; // photo libraries whose own alert told the user why they gave nothing

    bool operator==(const PhotoIntakeCounts&) const = default;
};

// What the main thread does when an adding has ended, in this order: clear the
// form's changed state, then either refresh the editor (processAfterAllPhotosAdded,
// which also hides the loading overlay) or hide the overlay and disable Remove,
// and only then show the alert. An alert shown while the overlay is still up
// would be dropped, so the alert always comes last.
struct PhotoIntakeCompletion {
    bool clearChangedState = false;
    bool refreshEditor = false;
    bool hideOverlay = false;
    bool disableRemoveButton = false;
    int alertTag = 0; // 0: no alert
};

// The end of one adding: what came in and what the rules refused.
struct PhotoIntakeSummary : PhotoIntakeCounts {
    int totalPhotoToAdd = 0; // photos appended to the batch list
    bool isMAX_PHOTOS_LIMIT_EXCEEDED = false; // the walk ended at the limit
    bool isPHOTOS_PROCESSING_STOPPED = false; // the user stopped the adding
    int maxPhotos = kMaxPhotosPerAdding; // the limit the adding had, quoted by the limit alert

    // The alert about duplicates and refusals: 109, else 108, else 110.
    int damagedFilesAlertTag() const;
    // What the end of the adding does; batchListEmpty is the list after the adding.
    PhotoIntakeCompletion completion(bool batchListEmpty) const;
    // The counts the adding's alerts quote; the ticked-photo count is left at 0.
    AlertCounts alertCounts() const;

    bool operator==(const PhotoIntakeSummary&) const = default;
};

Q_DECLARE_METATYPE(PhotoIntakeSummary)
