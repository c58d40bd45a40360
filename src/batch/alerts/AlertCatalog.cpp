#include "batch/alerts/AlertCatalog.h"

#include "base/Logging.h"

#include <QUrl>

namespace {

// A sentence added to an alert's message when count is above 0: one for a single
// item, many (with %1) for more.
QString withNote(const QString& message, int count, const QString& one, const QString& many)
{
    if (count <= 0)
        return message;
    const QString note = count == 1 ? one : many.arg(count);
    return message.isEmpty() ? note : message + QLatin1Char(' ') + note;
}

// The adding's alerts also say when folders could not be read: their photos are
// missing from the list, and the log names the folders.
QString withUnreadableFolders(const QString& message, int folders)
{
    return withNote(message, folders,
        AlertCatalog::tr("1 folder could not be read; its photos were not added (the log names it)."),
        AlertCatalog::tr("%1 folders could not be read; their photos were not added (the log names them)."));
}

// A photo library that lists files outside itself is crafted or broken; its
// refused files are not "damaged or not supported", and the user hears why.
QString withOutsideLibrary(const QString& message, int files)
{
    return withNote(message, files,
        AlertCatalog::tr("1 file that a photo library lists points outside the library and was not added."),
        AlertCatalog::tr("%1 files that a photo library lists point outside the library and were not added."));
}

AlertContent content(int tag, const QString& title, const QString& message, int buttons)
{
    return AlertContent { tag, title, message, buttons };
}

// The start of every alert: its object name, message and icon.
AlertRequest request(
    const QString& objectName, const QString& message, AlertRequest::Icon icon = AlertRequest::Icon::None)
{
    AlertRequest alert;
    alert.objectName = objectName;
    alert.message = message;
    alert.icon = icon;
    return alert;
}

} // namespace

AlertAnswer whenYes(std::function<void()> then)
{
    return [then = std::move(then)](AlertButton button) {
        if (button == AlertButtonYes && then)
            then();
    };
}

std::optional<AlertContent> AlertCatalog::alertForTag(int tag, const AlertCounts& counts)
{
    const int yesNo = AlertButtonYes | AlertButtonNo;
    switch (tag) {
    case AlertStartProcess:
        return content(tag, tr("START PROCESS"),
            tr("All the EXIF related changes will be applied to the entire batch of selected photos. Do you wish to "
               "proceed?"),
            yesNo);
    case AlertRestoreExifData:
        return content(tag, tr("RESTORE EXIF DATA"),
            tr("All the applied EXIF related changes will be reverted back to original. Do you still wish to "
               "restore?"),
            yesNo);
    case AlertNotEnoughSpace:
        return content(
            tag, tr("NOT ENOUGH SPACE"), tr("Destination directory doesn't have enough space."), AlertButtonOk);
    case AlertRemoveFromBatch:
        return content(tag, tr("REMOVE FROM BATCH"), tr("This photo is not available at the Source location."),
            AlertButtonRemoveFromBatch);
    case AlertFeedback:
        return content(tag, tr("FEEDBACK"), tr("Feedback submitted successfully!"), AlertButtonOk);
    case AlertRemovePhotos:
        if (counts.totalPhotosSelected > 1)
            return content(tag, tr("REMOVE PHOTOS"),
                tr("Remove Photos! All your changes to exif info will be lost. Do you wish to proceed?"), yesNo);
        return content(tag, tr("REMOVE PHOTO"),
            tr("Remove Photo! All your changes to exif info will be lost. Do you wish to proceed?"), yesNo);
    case AlertPhotosLimitExceeded:
        return content(tag, tr("Photos Limit Exceeded").toUpper(),
            tr("Photo limit exceeded! A Batch of %1 photos can be processed at a time.").arg(counts.maxPhotos),
            AlertButtonOk);
    case AlertFilesCannotBeAdded: {
        // Every part of the text follows the count it quotes: the refused files.
        if (counts.damagedFileCount == 0 && counts.unreadableFolderCount > 0)
            return content(tag,
                (counts.unreadableFolderCount > 1 ? tr("Folders cannot be read") : tr("Folder cannot be read"))
                    .toUpper(),
                withUnreadableFolders(QString(), counts.unreadableFolderCount), AlertButtonOk);
        const int others = counts.damagedFileCount - counts.outsideLibraryCount;
        const QString damaged = others <= 0 && counts.outsideLibraryCount > 0 ? QString()
            : others > 1 ? tr("Some files cannot be added. They are either damaged or not supported by application.")
                         : tr("File cannot be added. It is either damaged or not supported by application.");
        return content(tag,
            (counts.damagedFileCount > 1 ? tr("Files cannot be added") : tr("File cannot be added")).toUpper(),
            withUnreadableFolders(
                withOutsideLibrary(damaged, counts.outsideLibraryCount), counts.unreadableFolderCount),
            AlertButtonOk);
    }
    case AlertPhotosExist: {
        const bool many = counts.alreadyExistsPhotosCount > 1;
        return content(tag, (many ? tr("Photos Exists") : tr("Photo Exists")).toUpper(),
            withUnreadableFolders(
                withOutsideLibrary(many ? tr("Photos already exist in batch!") : tr("Photo already exists in batch!"),
                    counts.outsideLibraryCount),
                counts.unreadableFolderCount),
            AlertButtonOk);
    }
    case AlertNoPhotosToAdd:
        return content(tag, tr("No Photos to Add").toUpper(),
            withUnreadableFolders(tr("There are no new photos to add"), counts.unreadableFolderCount), AlertButtonOk);
    case AlertNoChangesInExifData:
        return content(tag, tr("No Changes in EXIF data").toUpper(),
            tr("There are no changes observed in the EXIF data. Do you still wish to proceed?"), yesNo);
    case AlertErrorsFound:
        return content(tag, tr("Errors Found").toUpper(),
            tr("Cannot process EXIF info changes! Please check for error messages."), AlertButtonOk);
    case AlertNoRenamingOption:
        return content(tag, tr("Warning Found"),
            tr("No renaming option selected! Your files will be saved with their original filename. Do you wish to "
               "proceed?"),
            yesNo);
    case AlertFilenameBlank:
        return content(tag, tr("Warning Found"), tr("Filename can not be blank."), AlertButtonOk);
    case AlertPrefixOrSuffixBlank:
        return content(tag, tr("Warning Found"), tr("Prefix or Suffix can not be blank."), AlertButtonOk);
    case AlertIptcNotWrittenToSome: {
        const int others = counts.tickedPhotos - counts.photosKeepingNoIptc;
        const QString rest = others == 1 ? tr("photo") : tr("%1 photos").arg(others);
        const QString message = counts.photosKeepingNoIptc > 1
            ? tr("%1 of the %2 ticked photos (%3) keep no IPTC data, so the IPTC fields cannot be written into them: "
                 "they will not be changed. Do you wish to proceed with the other %4?")
            : tr("%1 of the %2 ticked photos (%3) keeps no IPTC data, so the IPTC fields cannot be written into it: "
                 "it will not be changed. Do you wish to proceed with the other %4?");
        return content(tag, tr("IPTC Cannot Be Written").toUpper(),
            message.arg(QString::number(counts.photosKeepingNoIptc), QString::number(counts.tickedPhotos),
                counts.kindsKeepingNoIptc, rest),
            yesNo);
    }
    case AlertIptcNotWrittenToAny: {
        const QString message = counts.photosKeepingNoIptc > 1
            ? tr("The ticked photos (%1) keep no IPTC data, so the IPTC fields cannot be written into them, and the "
                 "process was not started. Remove the IPTC changes to write the other fields.")
            : tr("The ticked photo (%1) keeps no IPTC data, so the IPTC fields cannot be written into it, and the "
                 "process was not started. Remove the IPTC changes to write the other fields.");
        return content(
            tag, tr("IPTC Cannot Be Written").toUpper(), message.arg(counts.kindsKeepingNoIptc), AlertButtonOk);
    }
    default:
        qCWarning(lcBatch) << "alert" << tag << "has no text; nothing is shown";
        return std::nullopt;
    }
}

std::optional<AlertContent> AlertCatalog::alertToShow(int tag, const AlertCounts& counts, bool isSubWindowOpened)
{
    if (isSubWindowOpened) {
        qCInfo(lcBatch) << "alert" << tag << "dropped: another sheet is open";
        return std::nullopt;
    }
    return alertForTag(tag, counts);
}

QList<AlertButton> AlertCatalog::buttonsInOrder(const AlertContent& content)
{
    QList<AlertButton> buttons;
    for (AlertButton button : { AlertButtonYes, AlertButtonNo, AlertButtonOk, AlertButtonRemoveFromBatch }) {
        if (content.has(button))
            buttons.append(button);
    }
    return buttons;
}

QString AlertCatalog::buttonTitle(AlertButton button)
{
    switch (button) {
    case AlertButtonYes:
        return tr("Yes");
    case AlertButtonNo:
        return tr("No");
    case AlertButtonOk:
        return tr("OK");
    case AlertButtonRemoveFromBatch:
        return tr("Remove From Batch");
    }
    return {};
}

AlertRequest AlertCatalog::sheetRequest(const AlertContent& content)
{
    AlertRequest alert = request(QStringLiteral("winAlert"), content.title, AlertRequest::Icon::Warning);
    alert.title = content.title;
    alert.informativeText = content.message;
    alert.buttons.clear();
    for (AlertButton button : buttonsInOrder(content))
        alert.buttons.append(buttonTitle(button));
    return alert;
}

AlertRequest AlertCatalog::photosInTrash()
{
    return request(
        QStringLiteral("alertTrash"), tr("Photos in the trash cannot be added. Restore them from the trash first."));
}

AlertRequest AlertCatalog::addingRuns()
{
    return request(QStringLiteral("alertAddingRuns"),
        tr("Photos are still being added. Please wait until they are all in the list."));
}

AlertRequest AlertCatalog::pasteError()
{
    AlertRequest alert = request(QStringLiteral("alertPasteError"), tr("Sorry, but the past operation failed"));
    alert.title = tr("Paste Error");
    return alert;
}

AlertRequest AlertCatalog::photoLibrary(const QString& message, const QString& detail)
{
    AlertRequest alert = request(QStringLiteral("alertPhotoLibrary"), message, AlertRequest::Icon::Warning);
    alert.informativeText = detail;
    return alert;
}

QString AlertCatalog::libraryNotRead(const QString& libraryName)
{
    return tr("The photo library \"%1\" could not be read.").arg(libraryName);
}

QString AlertCatalog::libraryNotReadCompletely(const QString& libraryName)
{
    return tr("The photo library \"%1\" could not be read completely.").arg(libraryName);
}

AlertRequest AlertCatalog::noPhotoToRemove()
{
    AlertRequest alert = request(QStringLiteral("winNoNewPhotos"), tr("No photo to remove").toUpper());
    alert.title = alert.message;
    alert.informativeText = tr("No photo selected! Please select a photo to remove!");
    return alert;
}

AlertRequest AlertCatalog::showInFileManagerFailed(const QString& path)
{
    return request(QStringLiteral("alertShowFailed"),
        tr("The folder of \"%1\" could not be shown: no file manager answered.").arg(path),
        AlertRequest::Icon::Warning);
}

AlertRequest AlertCatalog::openWithImageViewerFailed(const QString& path)
{
    return request(QStringLiteral("alertOpenFailed"),
        tr("\"%1\" could not be opened: no application for its type answered.").arg(path), AlertRequest::Icon::Warning);
}

AlertRequest AlertCatalog::revert()
{
    AlertRequest alert
        = request(QStringLiteral("alertRevert"), tr("Do you want to revert the changes?"), AlertRequest::Icon::Warning);
    alert.title = tr("Revert");
    alert.informativeText = tr("Every field goes back to the values of the ticked photos.");
    alert.buttons = { buttonTitle(AlertButtonYes), buttonTitle(AlertButtonNo) };
    return alert;
}

AlertRequest AlertCatalog::onlineServices()
{
    AlertRequest alert = request(QStringLiteral("alertOnlineServices"), tr("Show online maps and look up place names?"),
        AlertRequest::Icon::Information);
    alert.title = tr("Online Maps and Place Names");
    alert.informativeText
        = tr("The map's tiles come from OpenStreetMap and place names from its Nominatim service. Each request tells "
             "that server a position where your photos were taken, and nothing else about you.\n\n"
             "Offline, the map shows country outlines with the GeoNames places, and place names come from GeoNames. "
             "The Edit menu changes this choice later.");
    alert.buttons = { tr("Use Online Maps"), tr("Offline Only") };
    return alert;
}

AlertRequest AlertCatalog::pageNotOpened(const QUrl& url)
{
    return request(QStringLiteral("alertPageNotOpened"),
        tr("The page %1 could not be opened: no web browser answered.").arg(url.toDisplayString()),
        AlertRequest::Icon::Warning);
}

AlertRequest AlertCatalog::presetsNotRead(const QString& detail)
{
    AlertRequest alert = request(
        QStringLiteral("alertPresetsNotRead"), tr("The presets could not be read."), AlertRequest::Icon::Warning);
    alert.informativeText = detail;
    return alert;
}

QString AlertCatalog::settingsFileKept(const QString& keptPath)
{
    return tr("The settings file could not be read. Its bytes were kept in \"%1\"; the presets and settings start "
              "empty.")
        .arg(keptPath);
}

QString AlertCatalog::presetsKept(const QString& fileName, const QString& key, int presetsRead)
{
    const QString kept = tr("Their stored bytes were kept in \"%1\" under the key %2.").arg(fileName, key);
    if (presetsRead <= 0)
        return kept;
    return kept + u' '
        + (presetsRead == 1 ? tr("The one preset that could be read is in the list.")
                            : tr("The %1 presets that could be read are in the list.").arg(presetsRead));
}

AlertRequest AlertCatalog::alreadyRunning()
{
    AlertRequest alert = request(
        QStringLiteral("alertAlreadyRunning"), tr("Velloran is already running."), AlertRequest::Icon::Information);
    alert.title = QCoreApplication::applicationName();
    alert.informativeText = tr("Its window could not be brought to the front. Switch to it, or quit it before starting "
                               "Velloran again.");
    return alert;
}
