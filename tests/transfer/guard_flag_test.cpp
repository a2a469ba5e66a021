// Flag 2 asks the desktop media player first. Wine's player has no synchronisation services, so it
// answers no and the operation goes ahead. Alone in its program: the player keeps task memory of its
// own, which would stay charged to the phone's accounting for every later test.
#include "transfer/transfer_test_support.h"

namespace transfer_test {
namespace {

using GuardFlag = TransferTest;

TEST_F(GuardFlag, WinesPlayerAnswersNoAndTheOperationGoesAhead) {
    ASSERT_EQ(WPD_Media_CreateFolder(handle_, L"\\Card\\Guarded", 2), WPD_ERROR_OK) << testing::PrintToString(Log());
    EXPECT_TRUE(phone_->FindPath(L"\\Card\\Guarded"));
}

}  // namespace
}  // namespace transfer_test
