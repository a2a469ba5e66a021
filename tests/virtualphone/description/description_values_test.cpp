// Value syntaxes: the accepted forms and the boundaries where they stop being accepted.
#include "device/wpd_api.h"
#include "virtualphone/description/description_values.h"

#include <gtest/gtest.h>

namespace vphone::description {
namespace {

TEST(DescriptionValues, Sizes) {
    EXPECT_EQ(ParseSize(L"0"), 0u);
    EXPECT_EQ(ParseSize(L"1536"), 1536u);
    EXPECT_EQ(ParseSize(L"12 B"), 12u);
    EXPECT_EQ(ParseSize(L"700KiB"), 700u << 10);
    EXPECT_EQ(ParseSize(L"3 MiB"), 3u << 20);
    EXPECT_EQ(ParseSize(L"5 GiB"), 5ull << 30);
    EXPECT_EQ(ParseSize(L"16777215 TiB"), 16777215ull << 40);
    EXPECT_EQ(ParseSize(L"18446744073709551615"), 18446744073709551615ull);
    for (const wchar_t *bad : {L"", L"GiB", L"1.5 GiB", L"3 GB", L"3 mib", L"-1", L"16777216 TiB",
                               L"18446744073709551616", L"1 2"}) {
        EXPECT_FALSE(ParseSize(bad)) << testing::PrintToString(std::wstring(bad));
    }
}

TEST(DescriptionValues, Dates) {
    EXPECT_EQ(ParseDate(L"1999-12-31"), 36525.0);
    EXPECT_EQ(ParseDate(L"2009-06-01"), 39965.0);
    EXPECT_EQ(ParseDate(L"2009-06-01 18:00"), 39965.75);
    EXPECT_EQ(ParseDate(L"2009-06-01 00:00:36"), 39965.0 + 36 / 86400.0);
    EXPECT_EQ(ParseDate(L"2008-02-29"), 39507.0);
    for (const wchar_t *bad : {L"", L"2009-6-1", L"2009-06-01T18:00", L"2009-06-01 18", L"2009-06-01 18:00:",
                               L"2009-13-01", L"2009-02-29", L"1900-02-29", L"2009-04-31", L"2009-00-10", L"2009-06-01 24:00", L"2009/06/01", L"2009-06-01 18:60"}) {
        EXPECT_FALSE(ParseDate(bad)) << testing::PrintToString(std::wstring(bad));
    }
}

TEST(DescriptionValues, FormatsAndContentTypes) {
    EXPECT_EQ(ParseFormat(L"0x3009"), wpd::MtpFormatGuid(0x3009));
    EXPECT_EQ(ParseFormat(L"0XbA11"), wpd::MtpFormatGuid(0xBA11));
    EXPECT_EQ(ParseFormat(L"{077232ED-102C-4638-9C22-83F142BFC822}"), wpd::WPD_OBJECT_FORMAT_ICON);
    for (const wchar_t *bad : {L"", L"0x", L"0x12345", L"3009", L"0x30g9", L"{077232ED-102C-4638-9C22-83F142BFC82}"}) {
        EXPECT_FALSE(ParseFormat(bad)) << testing::PrintToString(std::wstring(bad));
    }
    EXPECT_EQ(ParseContentType(L"image"), wpd::WPD_CONTENT_TYPE_IMAGE);
    EXPECT_EQ(ParseContentType(L"playlist"), wpd::WPD_CONTENT_TYPE_PLAYLIST);
    EXPECT_EQ(ParseContentType(L"{27E2E392-A111-48E0-AB0C-E17705A05F85}"), wpd::WPD_CONTENT_TYPE_FOLDER);
    EXPECT_FALSE(ParseContentType(L"Image"));
}

}  // namespace
}  // namespace vphone::description
