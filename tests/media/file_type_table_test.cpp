#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/wpd_api.h"
#include "media/file_type_table.h"

namespace {

TEST(FileTypeTable, HoldsTheExtensionsInLookUpOrder) {
    const std::vector<std::wstring> expected = {
        L".wav",  L".mp3", L".wma",  L".aac", L".aif",  L".aiff", L".aifc", L".ogg",  L".flac", L".bmp", L".png",
        L".gif",  L".ciff", L".tif", L".tiff", L".pic", L".ico",  L".jpg",  L".jpeg", L".jpe",  L".pcd", L".fpix",
        L".jp2",  L".jp2k", L".jpx", L".exf", L".mp4",  L".avi",  L".wmv",  L".3gp",  L".mpg",  L".mpeg", L".mpe",
        L".asf",  L".mp2", L".wpl",  L".m3u", L".mpl",  L".asx",  L".pls",  L".pla"};
    std::vector<std::wstring> actual;
    for (const FileType &row : FileTypeTable) actual.emplace_back(row.extension);
    EXPECT_EQ(actual, expected);
}

TEST(FileTypeTable, FormatsThatBreakTheMtpCodeRuleAreKept) {
    GUID format;
    FormatFromExtension(L"icon.ico", format);
    EXPECT_TRUE(IsEqualGUID(format, wpd::WPD_OBJECT_FORMAT_ICON));
    FormatFromExtension(L"list.pla", format);
    EXPECT_TRUE(IsEqualGUID(format, wpd::MtpFormatGuid(0xBA05)));
}

struct LookUpCase {
    const wchar_t *text;
    GUID contentType;
    GUID format;
};

class ExtensionLookUp : public testing::TestWithParam<LookUpCase> {};

TEST_P(ExtensionLookUp, TypesTheTextFromItsLastDot) {
    const LookUpCase &c = GetParam();
    GUID contentType = {0xdeadbeef, 0, 0, {}};
    GUID format = {0xdeadbeef, 0, 0, {}};
    ContentTypeFromExtension(c.text, contentType);
    FormatFromExtension(c.text, format);
    EXPECT_TRUE(IsEqualGUID(contentType, c.contentType));
    EXPECT_TRUE(IsEqualGUID(format, c.format));
}

constexpr GUID kUnspecifiedType = wpd::WPD_CONTENT_TYPE_UNSPECIFIED;
constexpr GUID kUnspecifiedFormat = wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtensionLookUp,
    testing::Values(LookUpCase{L"song.mp3", wpd::WPD_CONTENT_TYPE_AUDIO, wpd::MtpFormatGuid(0x3009)},
                    LookUpCase{L"SONG.Mp3", wpd::WPD_CONTENT_TYPE_AUDIO, wpd::MtpFormatGuid(0x3009)},
                    LookUpCase{L"\\Card\\Music.old\\clip.3gp", wpd::WPD_CONTENT_TYPE_VIDEO, wpd::MtpFormatGuid(0xB984)},
                    LookUpCase{L"photo.jpeg", wpd::WPD_CONTENT_TYPE_IMAGE, wpd::MtpFormatGuid(0x3808)},
                    LookUpCase{L"mix.m3u", wpd::WPD_CONTENT_TYPE_PLAYLIST, wpd::MtpFormatGuid(0xBA11)},
                    LookUpCase{L".flac", wpd::WPD_CONTENT_TYPE_AUDIO, wpd::MtpFormatGuid(0xB906)},
                    // The last dot decides; a folder's dot does not lend the file a type.
                    LookUpCase{L"song.mp3.txt", kUnspecifiedType, kUnspecifiedFormat},
                    LookUpCase{L"\\Card\\Music.mp3\\readme", kUnspecifiedType, kUnspecifiedFormat},
                    LookUpCase{L"README", kUnspecifiedType, kUnspecifiedFormat},
                    LookUpCase{L"", kUnspecifiedType, kUnspecifiedFormat},
                    LookUpCase{L"song.mp", kUnspecifiedType, kUnspecifiedFormat}));

TEST(FileTypeTable, FormatLookUpTakesTheFirstRowOfAFormat) {
    const FileType *jfif = FileTypeOfFormat(wpd::MtpFormatGuid(0x3808));
    ASSERT_NE(jfif, nullptr);
    EXPECT_STREQ(jfif->extension, L".jpg");
    const FileType *jpeg2000 = FileTypeOfFormat(wpd::MtpFormatGuid(0x380F));
    ASSERT_NE(jpeg2000, nullptr);
    EXPECT_STREQ(jpeg2000->extension, L".jp2");
    EXPECT_EQ(FileTypeOfFormat(GUID{}), nullptr);
    EXPECT_EQ(FileTypeOfFormat(kUnspecifiedFormat), nullptr);
}

}  // namespace
