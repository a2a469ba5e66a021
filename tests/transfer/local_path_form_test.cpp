// The form local paths take for Windows' file functions: full, and past MAX_PATH in the "\\?\" form,
// which Windows needs for them and Wine does not.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "media/local_file.h"

namespace {

TEST(LocalPathForm, PlainBelowMaxPathLongFormFromThere) {
    const std::wstring name(300, L'n');
    struct Case {
        std::wstring path;
        std::wstring form;
    };
    for (const Case &c : {Case{L"C:\\music\\song.mp3", L"C:\\music\\song.mp3"},
                          Case{L"C:/music/./old/../song.mp3", L"C:\\music\\song.mp3"},
                          Case{L"C:\\" + name.substr(0, MAX_PATH - 4), L"C:\\" + name.substr(0, MAX_PATH - 4)},
                          Case{L"C:\\" + name.substr(0, MAX_PATH - 3), L"\\\\?\\C:\\" + name.substr(0, MAX_PATH - 3)},
                          Case{L"C:/x/../" + name, L"\\\\?\\C:\\" + name},
                          Case{L"\\\\server\\share\\" + name, L"\\\\?\\UNC\\server\\share\\" + name},
                          Case{L"\\\\?\\C:\\" + name, L"\\\\?\\C:\\" + name}, Case{L"", L""}}) {
        EXPECT_EQ(LocalPathForm(c.path.c_str()), c.form) << testing::PrintToString(c.path);
    }
    EXPECT_EQ(LocalPathForm(nullptr), L"");
    // A relative path is taken from the current folder.
    wchar_t current[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    EXPECT_EQ(LocalPathForm(L"song.mp3"), std::wstring(current) + L"\\song.mp3");
}

}  // namespace
