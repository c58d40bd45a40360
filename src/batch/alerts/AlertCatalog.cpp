#include "batch/alerts/AlertCatalog.h"

#include "base/Logging.h"

namespace {

QString plural(bool many)
{
    return many ? QStringLiteral("s") : QString();
}

// A sentence added to an alert's message when count is above 0: one for a single
// item, many (with %1) for more.
QString withNote(const QString& message, int count, const char* one, const char* many)
{
    if (count <= 0)
        return message;
    const QString note = count == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(count);
    return message.isEmpty() ? note : message + QLatin1Char(' ') + note;
}

// The adding's alerts also say when folders could not be read: their photos are
// missing from the list, and the log names the folders.
QString withUnreadableFolders(const QString& message, int folders)
{
    return withNote(message, folders, "1 folder could not be read; its photos were not added (the log names it).",
        "%1 folders could not be read; their photos were not added (the log names them).");
}

// A photo library that lists files outside itself is crafted or broken; its
// refused files are not "damaged or not supported", and the user hears why.
QString withOutsideLibrary(const QString& message, int files)
{
    return withNote(message, files, "1 file that a photo library lists points outside the library and was not added.",
        "%1 files that a photo library lists point outside the library and were not added.");
}

AlertContent content(int tag, const QString& title, const QString& message, int buttons)
{
    return AlertContent { tag, title, message, buttons };
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
        return content(tag, QStringLiteral("START PROCESS"),
            QStringLiteral("All the EXIF related changes will be applied to the entire batch of selected photos. Do "
                           "you wish to proceed?"),
            yesNo);
    case AlertRestoreExifData:
        return content(tag, QStringLiteral("RESTORE EXIF DATA"),
            QStringLiteral("All the applied EXIF related changes will be reverted back to original. Do you still wish "
                           "to restore?"),
            yesNo);
    case AlertNotEnoughSpace:
        return content(tag, QStringLiteral("NOT ENOUGH SPACE"),
            QStringLiteral("Destination directory doesn't have enough space."), AlertButtonOk);
    case AlertRemoveFromBatch:
        return content(tag, QStringLiteral("REMOVE FROM BATCH"),
            QStringLiteral("This photo is not available at the Source location."), AlertButtonRemoveFromBatch);
    case AlertFeedback:
        return content(
            tag, QStringLiteral("FEEDBACK"), QStringLiteral("Feedback submitted successfully!"), AlertButtonOk);
    case AlertRemovePhotos: {
        const QString s = plural(counts.totalPhotosSelected > 1);
        return content(tag, QStringLiteral("REMOVE PHOTO%1").arg(s.toUpper()),
            QStringLiteral("Remove Photo%1! All your changes to exif info will be lost. Do you wish to proceed?")
                .arg(s),
            yesNo);
    }
    case AlertPhotosLimitExceeded:
        return content(tag, QStringLiteral("Photos Limit Exceeded").toUpper(),
            QStringLiteral("Photo limit exceeded! A Batch of %1 photos can be processed at a time.")
                .arg(counts.maxPhotos),
            AlertButtonOk);
    case AlertFilesCannotBeAdded: {
        // Every part of the text follows the count it quotes: the refused files.
        const bool many = counts.damagedFileCount > 1;
        if (counts.damagedFileCount == 0 && counts.unreadableFolderCount > 0)
            return content(tag,
                QStringLiteral("Folder%1 cannot be read").arg(plural(counts.unreadableFolderCount > 1)).toUpper(),
                withUnreadableFolders(QString(), counts.unreadableFolderCount), AlertButtonOk);
        const int others = counts.damagedFileCount - counts.outsideLibraryCount;
        const QString damaged = others <= 0 && counts.outsideLibraryCount > 0
            ? QString()
            : QStringLiteral("%1 cannot be added. %2 either damaged or not supported by application.")
                  .arg(others > 1 ? QStringLiteral("Some files") : QStringLiteral("File"),
                      others > 1 ? QStringLiteral("They are") : QStringLiteral("It is"));
        return content(tag, QStringLiteral("File%1 cannot be added").arg(plural(many)).toUpper(),
            withUnreadableFolders(
                withOutsideLibrary(damaged, counts.outsideLibraryCount), counts.unreadableFolderCount),
            AlertButtonOk);
    }
    case AlertPhotosExist: {
        const bool many = counts.alreadyExistsPhotosCount > 1;
        return content(tag, QStringLiteral("Photo%1 Exists").arg(plural(many)).toUpper(),
            withUnreadableFolders(
                withOutsideLibrary(QStringLiteral("Photo%1 already exist%2 in batch!").arg(plural(many), plural(!many)),
                    counts.outsideLibraryCount),
                counts.unreadableFolderCount),
            AlertButtonOk);
    }
    case AlertNoPhotosToAdd:
        return content(tag, QStringLiteral("No Photos to Add").toUpper(),
            withUnreadableFolders(QStringLiteral("There are no new photos to add"), counts.unreadableFolderCount),
            AlertButtonOk);
    case AlertNoChangesInExifData:
        return content(tag, QStringLiteral("No Changes in EXIF data").toUpper(),
            QStringLiteral("There are no changes observed in the EXIF data. Do you still wish to proceed?"), yesNo);
    case AlertErrorsFound:
        return content(tag, QStringLiteral("Errors Found").toUpper(),
            QStringLiteral("Cannot process EXIF info changes! Please check for error messages."), AlertButtonOk);
    case AlertNoRenamingOption:
        return content(tag, QStringLiteral("Warning Found"),
            QStringLiteral("No renaming option selected! Your files will be saved with their original filename. Do "
                           "you wish to proceed?"),
            yesNo);
    case AlertFilenameBlank:
        return content(
            tag, QStringLiteral("Warning Found"), QStringLiteral("Filename can not be blank."), AlertButtonOk);
    case AlertPrefixOrSuffixBlank:
        return content(
            tag, QStringLiteral("Warning Found"), QStringLiteral("Prefix or Suffix can not be blank."), AlertButtonOk);
    case AlertIptcNotWrittenToSome: {
        const bool many = counts.photosKeepingNoIptc > 1;
        const int others = counts.tickedPhotos - counts.photosKeepingNoIptc;
        return content(tag, QStringLiteral("IPTC Cannot Be Written").toUpper(),
            QStringLiteral("%1 of the %2 ticked photos (%3) %4 no IPTC data, so the IPTC fields cannot be written "
                           "into %5: %6 not be changed. Do you wish to proceed with the other %7?")
                .arg(QString::number(counts.photosKeepingNoIptc), QString::number(counts.tickedPhotos),
                    counts.kindsKeepingNoIptc, many ? QStringLiteral("keep") : QStringLiteral("keeps"),
                    many ? QStringLiteral("them") : QStringLiteral("it"),
                    many ? QStringLiteral("they will") : QStringLiteral("it will"),
                    others == 1 ? QStringLiteral("photo") : QStringLiteral("%1 photos").arg(others)),
            yesNo);
    }
    case AlertIptcNotWrittenToAny: {
        const bool many = counts.photosKeepingNoIptc > 1;
        return content(tag, QStringLiteral("IPTC Cannot Be Written").toUpper(),
            QStringLiteral("The ticked photo%1 (%2) %3 no IPTC data, so the IPTC fields cannot be written into %4, "
                           "and the process was not started. Remove the IPTC changes to write the other fields.")
                .arg(plural(many), counts.kindsKeepingNoIptc, many ? QStringLiteral("keep") : QStringLiteral("keeps"),
                    many ? QStringLiteral("them") : QStringLiteral("it")),
            AlertButtonOk);
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
