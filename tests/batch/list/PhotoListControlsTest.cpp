#include "batch/list/PhotoListControls.h"

#include <gtest/gtest.h>

TEST(PhotoListControls, enablesPresetsAndRenamingOnlyForMarkedPhotosOffTheRenamingPage)
{
    EXPECT_TRUE(PhotoListControls::presetsAndNextEnabled(false, false, false, 2));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabled(false, false, false, 0));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabled(false, false, true, 2));
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabled(true, false, false, 2)) << "a veiled editor takes no clicks";
    EXPECT_FALSE(PhotoListControls::presetsAndNextEnabled(false, true, false, 2)) << "a run is being asked for";
    EXPECT_FALSE(PhotoListControls::processEnabled(true, 0)) << "Process with nothing ticked runs nothing";
    EXPECT_FALSE(PhotoListControls::removeEnabled(true, true));
    EXPECT_EQ(PhotoListControls::toolTip("btnNext"), "Click for renaming option.");
    EXPECT_EQ(PhotoListControls::toolTip("tblPhotos"), "");
}
