#pragma once

#include "model/BatchLimits.h"

#include <QString>
#include <functional>
#include <optional>

// The tags of the editor's one alert sheet.
enum BatchAlertTag : int {
    AlertStartProcess = 100,
    AlertRestoreExifData = 101,
    AlertNotEnoughSpace = 102,
    AlertRemoveFromBatch = 103,
    AlertFeedback = 104,
    AlertRemovePhotos = 106,
    AlertPhotosLimitExceeded = 107,
    AlertFilesCannotBeAdded = 108,
    AlertPhotosExist = 109,
    AlertNoPhotosToAdd = 110,
    AlertNoChangesInExifData = 111,
    AlertErrorsFound = 112,
    AlertNoRenamingOption = 113,
    AlertFilenameBlank = 114,
    AlertPrefixOrSuffixBlank = 115,
    AlertIptcNotWrittenToSome = 116, // some ticked photos keep no IPTC data: go on with the others?
    AlertIptcNotWrittenToAny = 117, // every ticked photo keeps no IPTC data: nothing starts
};

// The buttons an alert shows.
enum AlertButton : int {
    AlertButtonYes = 1,
    AlertButtonNo = 2,
    AlertButtonOk = 4,
    AlertButtonRemoveFromBatch = 8,
};

// What the asker of an alert does with its answer: every asker passes its own.
using AlertAnswer = std::function<void(AlertButton button)>;

// An answer that goes on with `then` on Yes and does nothing else.
AlertAnswer whenYes(std::function<void()> then);

// The counts that some alert texts quote.
struct AlertCounts {
    int totalPhotosSelected = 0; // 106
    int damagedFileCount = 0; // 108
    int alreadyExistsPhotosCount = 0; // 109
    int maxPhotos = kMaxPhotosPerAdding; // 107
    int unreadableFolderCount = 0; // 108, 109, 110: folders of the adding that could not be read
    int outsideLibraryCount = 0; // 108, 109: of damagedFileCount, files a photo library lists outside itself
    int photosKeepingNoIptc = 0; // 116, 117: ticked photos whose kind keeps no IPTC data
    int tickedPhotos = 0; // 116
    QString kindsKeepingNoIptc; // 116, 117: their kinds, "HEIC and AVIF"
};

struct AlertContent {
    int tag = 0;
    QString title;
    QString message;
    int buttons = 0; // AlertButton flags

    bool has(AlertButton button) const { return (buttons & button) != 0; }
};

// The texts and buttons of every alert of the sheet, and the rule that drops a
// request while another sheet or the loading overlay is up.
class AlertCatalog {
public:
    // The alert of a tag; nothing (and a log line) for a tag the sheet does not know.
    static std::optional<AlertContent> alertForTag(int tag, const AlertCounts& counts);

    // The alert to show now: nothing, and a log line, while a sub-window is open
    // (another sheet, the loading overlay) or for an unknown tag.
    static std::optional<AlertContent> alertToShow(int tag, const AlertCounts& counts, bool isSubWindowOpened);
};
