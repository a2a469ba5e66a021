#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "media/device_path.h"

namespace {

struct NormalizeCase {
    const wchar_t *source;
    const wchar_t *normalised;
};

class NormalizeDevicePathTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeDevicePathTest, GivesOneLeadingAndNoTrailingSeparator) {
    wchar_t destination[kNameChars];
    wmemset(destination, L'#', kNameChars);
    EXPECT_TRUE(NormalizeDevicePath(destination, GetParam().source));
    EXPECT_STREQ(destination, GetParam().normalised);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeDevicePathTest,
                         testing::Values(NormalizeCase{nullptr, L"\\"}, NormalizeCase{L"", L"\\"},
                                         NormalizeCase{L"\\", L"\\"},  // the root, not an empty text
                                         NormalizeCase{L"Card", L"\\Card"},
                                         NormalizeCase{L"Card\\Music\\", L"\\Card\\Music"},
                                         NormalizeCase{L"\\Card\\Music", L"\\Card\\Music"},
                                         NormalizeCase{L"\\Card\\Music\\\\", L"\\Card\\Music\\"},
                                         NormalizeCase{L"\\\\", L"\\"},
                                         NormalizeCase{L"Card/Music", L"\\Card/Music"}));

TEST(NormalizeDevicePath, AcceptsPathsUpTo259CharactersOnceNormalised) {
    wchar_t destination[kNameChars];
    const std::wstring longest(258, L'a');  // gains a leading separator
    ASSERT_TRUE(NormalizeDevicePath(destination, longest.c_str()));
    EXPECT_EQ(std::wstring(destination), L"\\" + longest);

    // The trailing separator goes before the length counts.
    const std::wstring withSeparators = L"\\" + longest + L"\\";
    ASSERT_TRUE(NormalizeDevicePath(destination, withSeparators.c_str()));
    EXPECT_EQ(std::wstring(destination), L"\\" + longest);
}

TEST(NormalizeDevicePath, RefusesLongerPathsInsteadOfCuttingThem) {
    wchar_t destination[kNameChars];
    const std::wstring tooLong(259, L'a');
    EXPECT_FALSE(NormalizeDevicePath(destination, tooLong.c_str()));
    EXPECT_STREQ(destination, L"");
    EXPECT_FALSE(NormalizeDevicePath(destination, (L"\\" + std::wstring(300, L'b')).c_str()));
}

}  // namespace
