// A fixture that checks every object of the value classes handed out during a test was released.
#pragma once

#include <gtest/gtest.h>

#include "virtualphone/values/value_classes.h"

namespace values_test {

// Checked in the destructor, after the members of a derived fixture have let go of their objects.
class ReleasedAllTest : public testing::Test {
protected:
    ~ReleasedAllTest() override { EXPECT_EQ(vphone::LiveValueObjects(), 0) << "an object was not released"; }
};

}  // namespace values_test
