// The pieces of orvik-cli that need no phone: the command line, the listing reader, the progress line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "arguments.h"
#include "listing.h"
#include "progress.h"

using testing::ElementsAre;

namespace {

TEST(CliArguments, GlobalOptionsAnywhereValuesAndTargets) {
    std::wstring problem;
    const auto arguments =
        ParseArguments({L"install", L"--bytes", L"a.jad", L"b.jar", L"--device", L"USB\\X", L"--to", L"\\A\\a.jad",
                        L"\\A\\b.jar"},
                       &problem);
    ASSERT_TRUE(arguments);
    EXPECT_EQ(arguments->device, L"USB\\X");
    EXPECT_TRUE(arguments->bytes);
    EXPECT_THAT(arguments->words, ElementsAre(L"install", L"a.jad", L"b.jar"));
    EXPECT_THAT(arguments->targets, ElementsAre(L"\\A\\a.jad", L"\\A\\b.jar"));

    const auto typed = ParseArguments({L"syncml", L"put", L"--type", L"2", L"--", L"--odd name.xml"}, &problem);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->Value(L"--type"), L"2");
    EXPECT_THAT(typed->words, ElementsAre(L"syncml", L"put", L"--odd name.xml"));

    EXPECT_FALSE(ParseArguments({L"info", L"--device"}, &problem));
    EXPECT_EQ(problem, L"--device needs a value");
    EXPECT_FALSE(ParseArguments({L"install", L"a", L"--to"}, &problem));
}

TEST(CliListing, RecordsWithEscapesAttributesAndDates) {
    const auto entries = ParseListing(
        "BEGIN:VNOTE\r\nX_FB_NAME:back\\\\slash\\nline\r\nX_FB_ITEM:file\r\nX_FB_SIZE:5368709120\r\n"
        "X_FB_DATE:20090514T213000\r\nX_FB_ATTRIBUT:readonly hidden\r\nEND:VNOTE\r\n"
        "BEGIN:VNOTE\r\nX_FB_NAME:Caf\xC3\xA9\r\nX_FB_ITEM:folder\r\nX_FB_SIZE:0\r\nX_FB_DATE:00000T000000\r\n"
        "X_FB_ATTRIBUT: hidden\r\nEND:VNOTE\r\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "back\\slash\nline");
    EXPECT_EQ(entries[0].kind, "file");
    EXPECT_EQ(entries[0].size, 5368709120ull);
    EXPECT_TRUE(entries[0].readOnly);
    EXPECT_TRUE(entries[0].hidden);
    EXPECT_EQ(ListingDateText(entries[0].date), "2009-05-14 21:30:00");
    EXPECT_EQ(entries[1].name, "Caf\xC3\xA9");
    EXPECT_FALSE(entries[1].readOnly);
    EXPECT_TRUE(entries[1].hidden);
    EXPECT_EQ(ListingDateText(entries[1].date), "-");
    EXPECT_EQ(UnescapeValue("a\\rb\\x\\"), "a\rb\\x\\");
}

TEST(CliProgress, BytesSpeedAndTimeLeft) {
    EXPECT_EQ(ProgressLine(2u << 20, 50, 1000, false),
              "\r 50% [############------------] 1.0 MiB / 2.0 MiB  1.0 MiB/s  0:01 left   ");
    EXPECT_EQ(ProgressLine(200, 100, 0, true), "\r100% [########################] 200 / 200   ");
    EXPECT_EQ(ProgressLine(200, 0, 500, true), "\r  0% [------------------------] 0 / 200   ");
}

}  // namespace
