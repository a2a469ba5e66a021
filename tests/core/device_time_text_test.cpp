#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "extension/device_time_text.h"

namespace {

FILETIME FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME calendar = {year, month, 0, day, hour, minute, second, 0};
    FILETIME time = {};
    SystemTimeToFileTime(&calendar, &time);
    return time;
}

bool operator==(const FILETIME &a, const FILETIME &b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

struct ParseCase {
    const wchar_t *text;
    FILETIME time;
    LONG zone;
};

class ParseDeviceTimeTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDeviceTimeTest, ReadsCalendarAndZone) {
    FILETIME time = {};
    LONG zone = 99;
    ASSERT_TRUE(ParseDeviceTime(GetParam().text, &time, &zone));
    EXPECT_TRUE(time == GetParam().time);
    EXPECT_EQ(zone, GetParam().zone);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDeviceTimeTest,
    testing::Values(ParseCase{L"2008/12/31,23:59:58+04", FileTimeOf(2008, 12, 31, 23, 59, 58), 4},
                    ParseCase{L"2008/12/31,23:59:58-08", FileTimeOf(2008, 12, 31, 23, 59, 58), -8},
                    ParseCase{L"2009/03/05,06:07:08+-4", FileTimeOf(2009, 3, 5, 6, 7, 8), -4},
                    ParseCase{L"2008/12/31,23:59:58", FileTimeOf(2008, 12, 31, 23, 59, 58), 0},
                    ParseCase{L"08/05/17,01:02:03+00", FileTimeOf(2008, 5, 17, 1, 2, 3), 0},
                    ParseCase{L"09/01/02,00:00:00", FileTimeOf(2009, 1, 2, 0, 0, 0), 0},
                    ParseCase{L"100/01/02,00:00:00", FileTimeOf(100, 1, 2, 0, 0, 0), 0}));

TEST(ParseDeviceTime, TextThatIsNoDateLeavesTheTimeAsItWas) {
    FILETIME time = {0x1111, 0x2222};
    LONG zone = 5;
    EXPECT_TRUE(ParseDeviceTime(L"not a clock+03", &time, &zone));
    EXPECT_EQ(time.dwLowDateTime, 0x1111u);
    EXPECT_EQ(zone, 3);
}

TEST(ParseDeviceTime, TextTooLongForAClockIsRefusedWithNothingWritten) {
    FILETIME time = {0x1111, 0x2222};
    LONG zone = 5;
    const std::wstring text = L"2008/12/31,23:59:58+04" + std::wstring(60, L' ');
    EXPECT_FALSE(ParseDeviceTime(text.c_str(), &time, &zone));
    EXPECT_EQ(time.dwLowDateTime, 0x1111u);
    EXPECT_EQ(zone, 5);
}

TEST(FormatDeviceTime, WritesTheClockTextAndReadsBack) {
    wchar_t text[kDeviceTimeTextChars];
    const FILETIME time = FileTimeOf(2009, 3, 5, 6, 7, 8);
    FormatDeviceTime(text, time, 8);
    EXPECT_STREQ(text, L"2009/03/05,06:07:08+08");
    FormatDeviceTime(text, time, -4);
    EXPECT_STREQ(text, L"2009/03/05,06:07:08+-4");

    FILETIME back = {};
    LONG zone = 0;
    ASSERT_TRUE(ParseDeviceTime(text, &back, &zone));
    EXPECT_TRUE(back == time);
    EXPECT_EQ(zone, -4);
}

}  // namespace
