#include "Helper/Utils.h"

#include <gtest/gtest.h>

TEST(Frame, sharedUtilsIsOneObject)
{
    EXPECT_EQ(&Utils::sharedUtils(), &Utils::sharedUtils());
}
