// Standard main of the test programs: the log viewer window exists before the library logs anything.
#include <gtest/gtest.h>

#include "support/log_collector.h"

namespace orvik_test {
namespace {
LogCollector *testLog = nullptr;
}
LogCollector &TestLog() { return *testLog; }
}  // namespace orvik_test

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    orvik_test::LogCollector collector;
    orvik_test::testLog = &collector;
    const int result = RUN_ALL_TESTS();
    orvik_test::testLog = nullptr;
    return result;
}
