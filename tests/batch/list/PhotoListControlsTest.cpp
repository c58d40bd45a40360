#include "batch/list/PhotoListControls.h"

#include <gtest/gtest.h>

TEST(PhotoListControls, enablesPresetsAndRenamingOnlyForMarkedPhotosOffTheRenamingPage)
{
    EXPECT_TRUE(PhotoListControls::presetsAndNextEnabledAfterCheckMark(2, false));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabledAfterCheckMark(0, false));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabledAfterCheckMark(2, true));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabledAfterRemoval(true));
    EXPECT_FALSE(PhotoListControls::processEnabled(true, 0)) << "Process with nothing ticked runs nothing";
    EXPECT_FALSE(PhotoListControls::removeEnabled(true, true));
    EXPECT_EQ(PhotoListControls::toolTip("btnNext"), "Click for renaming option.");
    EXPECT_EQ(PhotoListControls::toolTip("tblPhotos"), "");
}
