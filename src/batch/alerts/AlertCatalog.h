#pragma once

#include "base/AlertRequest.h"
#include "model/BatchLimits.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QUrl;

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

// The texts and buttons of every alert of the application: the tagged alerts of
// the editor's sheet, with the rule that drops a request while another sheet or
// the loading overlay is up, and the alerts that the presenter shows by
// themselves (each with its object name; the first button is the default).
class AlertCatalog {
    Q_DECLARE_TR_FUNCTIONS(AlertCatalog)

public:
    // ---- The editor's sheet ----
    // The alert of a tag; nothing (and a log line) for a tag the sheet does not know.
    static std::optional<AlertContent> alertForTag(int tag, const AlertCounts& counts);

    // The alert to show now: nothing, and a log line, while a sub-window is open
    // (another sheet, the loading overlay) or for an unknown tag.
    static std::optional<AlertContent> alertToShow(int tag, const AlertCounts& counts, bool isSubWindowOpened);
    // The buttons of an alert in the order the sheet shows them, and their titles.
    static QList<AlertButton> buttonsInOrder(const AlertContent& content);
    static QString buttonTitle(AlertButton button);
    // The sheet ("winAlert") as the presenter draws it: the title above the message.
    static AlertRequest sheetRequest(const AlertContent& content);

    // ---- Adding photos ----
    // "alertTrash": an adding refused because a chosen path lies in the trash.
    static AlertRequest photosInTrash();
    // "alertAddingRuns": paths that came while an adding runs.
    static AlertRequest addingRuns();
    // "alertPasteError": a drop that carried no data at all.
    static AlertRequest pasteError();
    // "alertPhotoLibrary": what a photo library's reader had to tell.
    static AlertRequest photoLibrary(const QString& message, const QString& detail);
    // The messages of a library that could not be read, whole or in part.
    static QString libraryNotRead(const QString& libraryName);
    static QString libraryNotReadCompletely(const QString& libraryName);

    // ---- The photo list ----
    // "winNoNewPhotos": Remove pressed with no photo marked.
    static AlertRequest noPhotoToRemove();
    // "alertShowFailed", "alertOpenFailed": the desktop shows neither the photo's
    // folder nor the photo.
    static AlertRequest showInFileManagerFailed(const QString& path);
    static AlertRequest openWithImageViewerFailed(const QString& path);

    // ---- The form ----
    // "alertRevert": Yes (0) or No (1).
    static AlertRequest revert();

    // ---- The application ----
    // "alertOnlineServices": Use Online Maps (0) or Offline Only (1).
    static AlertRequest onlineServices();
    // "alertPageNotOpened": no web browser took the page.
    static AlertRequest pageNotOpened(const QUrl& url);
    // "alertPresetsNotRead", with where the unread presets (or settings) were kept.
    static AlertRequest presetsNotRead(const QString& detail);
    static QString settingsFileKept(const QString& keptPath);
    static QString presetsKept(const QString& fileName, const QString& key, int presetsRead);
    // "alertAlreadyRunning": a later start whose running one did not come to the front.
    static AlertRequest alreadyRunning();
};
