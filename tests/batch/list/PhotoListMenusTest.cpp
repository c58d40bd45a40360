#include "batch/list/PhotoListMenus.h"

#include <gtest/gtest.h>

TEST(PhotoListMenus, listsTheRowsOfEachMenuAndNoneForOtherLists)
{
    EXPECT_EQ(PhotoListMenus::rows(AttachPopupAddPhotos), QStringList({ "Add Photos", "Add Folder" }));
    EXPECT_EQ(PhotoListMenus::rows(AttachPopupPhotoMenu),
        QStringList({ "Show in File Manager", "Open With Image Viewer", "Get Info", "Mark/Unmark All", "Remove Photo" }));
    EXPECT_EQ(PhotoListMenus::rows(AttachPopupMetadataMoreOptions), QStringList({ "Reset", "Clean Metadata" }));
    EXPECT_TRUE(PhotoListMenus::rows(AttachPopupRenamePosition).isEmpty());
    EXPECT_EQ(PhotoListMenus::rowText(AttachPopupPhotoMenu, PhotoListMenus::RemovePhoto), "Remove Photo");
    EXPECT_EQ(PhotoListMenus::rowText(AttachPopupPhotoMenu, 5), "");
    EXPECT_EQ(PhotoListMenus::rowText(AttachPopupPhotoMenu, -1), "");
}

TEST(PhotoListMenus, sizesEachListForItsRowsUpToItsScrollingHeight)
{
    EXPECT_EQ(PhotoListMenus::listSize(AttachPopupAddPhotos), QSizeF(190, 66));
    EXPECT_EQ(PhotoListMenus::listSize(AttachPopupPhotoMenu), QSizeF(190, 163));
    EXPECT_EQ(PhotoListMenus::listSize(AttachPopupMetadataMoreOptions), QSizeF(150, 66));
    EXPECT_EQ(PhotoListMenus::listSize(AttachPopupAddPhotos, 5), QSizeF(190, 90));
    EXPECT_EQ(PhotoListMenus::listSize(AttachPopupPhotoMenu, 7), QSizeF(190, 180));
    EXPECT_TRUE(PhotoListMenus::listSize(AttachPopupNone).isEmpty());
}

TEST(PhotoListMenus, marksAllOnlyWithCtrlAloneAndAKeyThatIsNoModifier)
{
    EXPECT_TRUE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier, Qt::Key_A));
    EXPECT_TRUE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_5));
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_A));
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier | Qt::AltModifier, Qt::Key_A));
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::NoModifier, Qt::Key_A));
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::MetaModifier, Qt::Key_A));
    // Pressing Ctrl itself reports Ctrl held: that alone marks nothing.
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier, Qt::Key_Control));
    EXPECT_FALSE(PhotoListMenus::isMarkAllShortcut(Qt::ControlModifier, Qt::Key_A, /*rightControlHeld*/ true));
}
