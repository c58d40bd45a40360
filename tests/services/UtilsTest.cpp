#include "services/Utils.h"

#include <gtest/gtest.h>

TEST(Utils, sharedUtilsIsOneObject)
{
    EXPECT_EQ(&Utils::sharedUtils(), &Utils::sharedUtils());
}
