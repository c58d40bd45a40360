#include "batch/alerts/AlertCatalog.h"

#include "batch/intake/PhotoIntakeSummary.h"

#include <gtest/gtest.h>

namespace {

AlertContent alert(int tag, AlertCounts counts = {})
{
    const std::optional<AlertContent> content = AlertCatalog::alertForTag(tag, counts);
    EXPECT_TRUE(content.has_value()) << tag;
    return content.value_or(AlertContent());
}

} // namespace

TEST(AlertCatalog, givesEveryTagItsTitleAndButtons)
{
    const int yesNo = AlertButtonYes | AlertButtonNo;
    const struct {
        int tag;
        const char* title;
        int buttons;
    } expected[] = {
        { 100, "START PROCESS", yesNo },
        { 101, "RESTORE EXIF DATA", yesNo },
        { 102, "NOT ENOUGH SPACE", AlertButtonOk },
        { 103, "REMOVE FROM BATCH", AlertButtonRemoveFromBatch },
        { 104, "FEEDBACK", AlertButtonOk },
        { 106, "REMOVE PHOTO", yesNo },
        { 107, "PHOTOS LIMIT EXCEEDED", AlertButtonOk },
        { 108, "FILE CANNOT BE ADDED", AlertButtonOk },
        { 109, "PHOTO EXISTS", AlertButtonOk },
        { 110, "NO PHOTOS TO ADD", AlertButtonOk },
        { 111, "NO CHANGES IN EXIF DATA", yesNo },
        { 112, "ERRORS FOUND", AlertButtonOk },
        { 113, "Warning Found", yesNo },
        { 114, "Warning Found", AlertButtonOk },
        { 115, "Warning Found", AlertButtonOk },
        { 116, "IPTC CANNOT BE WRITTEN", yesNo },
        { 117, "IPTC CANNOT BE WRITTEN", AlertButtonOk },
    };
    for (const auto& row : expected) {
        const AlertContent content = alert(row.tag);
        EXPECT_EQ(content.tag, row.tag);
        EXPECT_EQ(content.title, QString::fromLatin1(row.title)) << row.tag;
        EXPECT_EQ(content.buttons, row.buttons) << row.tag;
        EXPECT_FALSE(content.message.isEmpty()) << row.tag;
    }
    EXPECT_EQ(alert(103).message, "This photo is not available at the Source location.");
    EXPECT_EQ(alert(114).message, "Filename can not be blank.");
}

TEST(AlertCatalog, quotesTheLimitOfTheAdding)
{
    EXPECT_EQ(alert(107).message, "Photo limit exceeded! A Batch of 100000 photos can be processed at a time.");
    AlertCounts small;
    small.maxPhotos = 3;
    EXPECT_EQ(alert(107, small).message, "Photo limit exceeded! A Batch of 3 photos can be processed at a time.");
}

TEST(AlertCatalog, speaksOfOneOrManyRefusedFilesByTheirCount)
{
    AlertCounts counts;
    counts.damagedFileCount = 1;
    EXPECT_EQ(alert(108, counts).title, "FILE CANNOT BE ADDED");
    EXPECT_EQ(
        alert(108, counts).message, "File cannot be added. It is either damaged or not supported by application.");
    counts.damagedFileCount = 2;
    EXPECT_EQ(alert(108, counts).title, "FILES CANNOT BE ADDED");
    EXPECT_EQ(alert(108, counts).message,
        "Some files cannot be added. They are either damaged or not supported by application.");
}

TEST(AlertCatalog, speaksOfOneOrManyPhotosAlreadyInTheBatch)
{
    AlertCounts counts;
    counts.alreadyExistsPhotosCount = 1;
    EXPECT_EQ(alert(109, counts).title, "PHOTO EXISTS");
    EXPECT_EQ(alert(109, counts).message, "Photo already exists in batch!");
    counts.alreadyExistsPhotosCount = 2;
    EXPECT_EQ(alert(109, counts).title, "PHOTOS EXISTS");
    EXPECT_EQ(alert(109, counts).message, "Photos already exist in batch!");
}

TEST(AlertCatalog, speaksOfOneOrManySelectedPhotosWhenAskingToRemove)
{
    AlertCounts counts;
    counts.totalPhotosSelected = 1;
    EXPECT_EQ(alert(106, counts).title, "REMOVE PHOTO");
    EXPECT_EQ(alert(106, counts).message,
        "Remove Photo! All your changes to exif info will be lost. Do you wish to proceed?");
    counts.totalPhotosSelected = 3;
    EXPECT_EQ(alert(106, counts).title, "REMOVE PHOTOS");
    EXPECT_TRUE(alert(106, counts).message.startsWith("Remove Photos! "));
}

TEST(AlertCatalog, speaksOfOneOrManyPhotosThatKeepNoIptcData)
{
    AlertCounts counts;
    counts.photosKeepingNoIptc = 1;
    counts.tickedPhotos = 2;
    counts.kindsKeepingNoIptc = "HEIC";
    EXPECT_EQ(alert(116, counts).message,
        "1 of the 2 ticked photos (HEIC) keeps no IPTC data, so the IPTC fields cannot be written into it: it will "
        "not be changed. Do you wish to proceed with the other photo?");
    EXPECT_EQ(alert(117, counts).message,
        "The ticked photo (HEIC) keeps no IPTC data, so the IPTC fields cannot be written into it, and the process "
        "was not started. Remove the IPTC changes to write the other fields.");
    counts.photosKeepingNoIptc = 3;
    counts.tickedPhotos = 10;
    counts.kindsKeepingNoIptc = "HEIC and AVIF";
    EXPECT_EQ(alert(116, counts).message,
        "3 of the 10 ticked photos (HEIC and AVIF) keep no IPTC data, so the IPTC fields cannot be written into "
        "them: they will not be changed. Do you wish to proceed with the other 7 photos?");
    EXPECT_TRUE(alert(117, counts).message.startsWith("The ticked photos (HEIC and AVIF) keep no IPTC data, "));
}

TEST(AlertCatalog, answersNothingForAnUnknownTagOrWhileAnotherSheetIsOpen)
{
    for (int tag : { 0, 99, 105, 118, 1001 })
        EXPECT_FALSE(AlertCatalog::alertForTag(tag, {}).has_value()) << tag;
    EXPECT_FALSE(AlertCatalog::alertToShow(107, {}, /*isSubWindowOpened*/ true).has_value());
    EXPECT_TRUE(AlertCatalog::alertToShow(107, {}, false).has_value());
}

// The answers of these alerts go by the button's place: Yes and the online
// choice come first.
TEST(AlertCatalog, givesTheAlertsOutsideTheSheetTheirNamesAndButtonsInOrder)
{
    EXPECT_EQ(AlertCatalog::revert().buttons, QStringList({ "Yes", "No" }));
    EXPECT_EQ(AlertCatalog::onlineServices().buttons, QStringList({ "Use Online Maps", "Offline Only" }));
    EXPECT_EQ(AlertCatalog::photosInTrash().buttons, QStringList({ "OK" }));
    const AlertRequest none = AlertCatalog::noPhotoToRemove();
    EXPECT_EQ(none.objectName, "winNoNewPhotos");
    EXPECT_EQ(none.title, "NO PHOTO TO REMOVE");
    EXPECT_EQ(none.message, none.title);
    EXPECT_EQ(AlertCatalog::presetsKept("velloran.conf", "presets-unread", 0),
        "Their stored bytes were kept in \"velloran.conf\" under the key presets-unread.");
    EXPECT_TRUE(AlertCatalog::presetsKept("velloran.conf", "k", 2)
                    .endsWith(" The 2 presets that could be read are in the list."));
}

TEST(IntakeCompletion, refreshesBeforeItShowsTheLimitAlertAndSkipsTheRefusalAlerts)
{
    PhotoIntakeSummary summary;
    summary.totalPhotoToAdd = 3;
    summary.isMAX_PHOTOS_LIMIT_EXCEEDED = true;
    summary.isPhotosAlreadyAdded = true;
    const PhotoIntakeCompletion next = summary.completion(false);
    EXPECT_TRUE(next.refreshEditor);
    EXPECT_EQ(next.alertTag, AlertPhotosLimitExceeded);
    EXPECT_FALSE(next.clearChangedState);
}

TEST(IntakeCompletion, namesDuplicatesBeforeRefusalsAfterAnAddingThatBroughtPhotos)
{
    PhotoIntakeSummary summary;
    summary.totalPhotoToAdd = 2;
    EXPECT_EQ(summary.completion(false).alertTag, 0);
    EXPECT_TRUE(summary.completion(false).refreshEditor);
    summary.isPhotoFormatNotSupported = true;
    EXPECT_EQ(summary.completion(false).alertTag, AlertFilesCannotBeAdded);
    summary.isPhotosAlreadyAdded = true;
    EXPECT_EQ(summary.completion(false).alertTag, AlertPhotosExist);
}

TEST(IntakeCompletion, hidesTheOverlayAndDisablesRemoveWhenNothingCameIn)
{
    PhotoIntakeSummary summary;
    const PhotoIntakeCompletion nothing = summary.completion(true);
    EXPECT_FALSE(nothing.refreshEditor);
    EXPECT_TRUE(nothing.hideOverlay);
    EXPECT_TRUE(nothing.disableRemoveButton);
    EXPECT_TRUE(nothing.clearChangedState);
    EXPECT_EQ(nothing.alertTag, AlertNoPhotosToAdd);
    summary.isPhotoFormatNotSupported = true;
    EXPECT_EQ(summary.completion(true).alertTag, AlertFilesCannotBeAdded);
    summary.isPhotosAlreadyAdded = true;
    EXPECT_EQ(summary.completion(false).alertTag, AlertPhotosExist);
}

TEST(IntakeCompletion, tellsOfFoldersThatCouldNotBeReadWhateverElseCameIn)
{
    PhotoIntakeSummary summary;
    summary.totalPhotoToAdd = 3;
    summary.unreadableFolderCount = 2;
    EXPECT_EQ(summary.completion(false).alertTag, AlertFilesCannotBeAdded);
    const AlertContent folders = alert(AlertFilesCannotBeAdded, summary.alertCounts());
    EXPECT_EQ(folders.title, "FOLDERS CANNOT BE READ");
    EXPECT_EQ(folders.message, "2 folders could not be read; their photos were not added (the log names them).");

    summary.damagedFileCount = 1;
    summary.isPhotoFormatNotSupported = true;
    summary.unreadableFolderCount = 1;
    EXPECT_TRUE(alert(AlertFilesCannotBeAdded, summary.alertCounts())
                    .message.endsWith(" 1 folder could not be read; its photos were not added (the log names it)."));

    summary = PhotoIntakeSummary();
    summary.unreadableFolderCount = 1;
    EXPECT_EQ(summary.completion(true).alertTag, AlertNoPhotosToAdd);
    EXPECT_TRUE(alert(AlertNoPhotosToAdd, summary.alertCounts()).message.contains("1 folder could not"));
}

TEST(IntakeCompletion, namesFilesALibraryListsOutsideItselfApartFromDamagedOnes)
{
    PhotoIntakeSummary summary;
    summary.damagedFileCount = 2;
    summary.outsideLibraryCount = 2;
    EXPECT_EQ(summary.completion(true).alertTag, AlertFilesCannotBeAdded);
    EXPECT_EQ(alert(AlertFilesCannotBeAdded, summary.alertCounts()).message,
        "2 files that a photo library lists point outside the library and were not added.");

    summary.totalPhotoToAdd = 5;
    summary.damagedFileCount = 2;
    summary.outsideLibraryCount = 1;
    summary.isPhotoFormatNotSupported = true;
    EXPECT_EQ(summary.completion(false).alertTag, AlertFilesCannotBeAdded);
    EXPECT_EQ(alert(AlertFilesCannotBeAdded, summary.alertCounts()).message,
        "File cannot be added. It is either damaged or not supported by application. 1 file that a photo library "
        "lists points outside the library and was not added.");

    summary.isPhotosAlreadyAdded = true;
    summary.alreadyExistsPhotosCount = 1;
    EXPECT_TRUE(alert(AlertPhotosExist, summary.alertCounts()).message.contains("points outside the library"));
}
