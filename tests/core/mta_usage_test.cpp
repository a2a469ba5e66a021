// Keeping the multithreaded apartment while a handle is connected, with the system's usage count or,
// where the system has none, a thread of ours.
#include <gtest/gtest.h>
#include <objbase.h>

#include <thread>

#include "device/mta_usage.h"
#include "support/sta_host.h"

namespace {

class MtaUsageTest : public testing::TestWithParam<bool> {};

TEST_P(MtaUsageTest, KeepsTheApartmentAfterItsLastThreadLeftUntilReleased) {
    ASSERT_FALSE(orvik_test::MultithreadedApartmentExists());
    MtaUsage usage;
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(GetParam() ? usage.AcquireWithHolderThread() : usage.Acquire(), S_OK);
        CoUninitialize();
    }).join();
    EXPECT_TRUE(usage.Held());
    EXPECT_TRUE(orvik_test::MultithreadedApartmentExists());
    usage.Release();
    EXPECT_FALSE(usage.Held());
    EXPECT_FALSE(orvik_test::MultithreadedApartmentExists());
}

INSTANTIATE_TEST_SUITE_P(Ways, MtaUsageTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "HolderThread" : "SystemUsageCount");
                         });

}  // namespace
