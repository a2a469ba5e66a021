// Transfers through the exports against a virtual phone: a local folder of the test's own, a monitor
// callback that records what it hears, and a phone with files, a thumbnail and playlists.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvik.h"
#include "support/phone_fixture.h"

namespace transfer_test {

using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// What the monitor callback heard during one call.
struct ProgressLog {
    std::vector<unsigned long> percents;
    std::vector<unsigned long long> totals;
    std::vector<void *> contexts;
    unsigned cancelAtReport = 0;  // the report (1-based) on which the callback sets cancel; 0: never
    DWORD hostThread = GetCurrentThreadId();
    bool onHostThread = false;
    bool malformed = false;  // a wrong event or record size
};

int ORVIK_CALL RecordProgress(WPD_MONITORED_EVENT event, void *data, void *context);

class TransferTest : public orvik_test::PhoneTest {
protected:
    virtual vphone::PhoneProfile Profile() const { return vphone::DefaultProfile(); }
    std::shared_ptr<vphone::Phone> MakePhone() override;
    void SetUp() override;
    void TearDown() override;

    // Monitoring on with progress_ as context.
    void Monitor();

    std::wstring Local(const std::wstring &name) const { return folder_ + L"\\" + name; }
    void WriteLocal(const std::wstring &name, const Bytes &bytes) const;
    std::optional<Bytes> ReadLocal(const std::wstring &name) const;
    // Names in the local folder, so that a test sees partial files left behind.
    std::vector<std::wstring> LocalFiles() const;

    std::wstring IdOf(const std::wstring &path) const;
    // The file names of a folder's objects on the phone, in their order there.
    std::vector<std::wstring> FileNames(const std::wstring &folder) const;
    // The names a listing of the folder shows the host.
    Strings ListedNames(const wchar_t *folder);
    Bytes PhoneData(const std::wstring &path, bool thumbnail = false) const;
    bool Logged(const std::string &message) const;

    void *handle_ = nullptr;
    ProgressLog progress_;
    std::wstring folder_;
};

// A transfer test run on a phone of each profile.
class BothProfiles : public TransferTest, public testing::WithParamInterface<vphone::PhoneProfile> {
protected:
    vphone::PhoneProfile Profile() const override { return GetParam(); }
    bool Android() const { return GetParam().name == L"android"; }
};
// A transfer test on a phone that behaves as Android's responder does.
class AndroidTransferTest : public TransferTest {
protected:
    vphone::PhoneProfile Profile() const override { return vphone::AndroidProfile(); }
};

// Playlist calls as the host makes them, on a phone of any profile.
template <class Base>
class PlaylistCalls : public Base {
protected:
    using Base::handle_;
    using Base::Log;

    // The text the host receives, released the way a host releases it; "(null)" for no text.
    std::wstring Read(const wchar_t *path, WPD_ERROR expected = WPD_ERROR_OK) {
        wchar_t *text = nullptr;
        EXPECT_EQ(WPD_Media_GetPlaylist(handle_, path, &text, 0), expected) << testing::PrintToString(Log());
        if (!text) return L"(null)";
        std::wstring copy(text);
        HGLOBAL block = GlobalHandle(text);
        EXPECT_NE(block, nullptr);
        GlobalUnlock(block);
        EXPECT_EQ(GlobalFree(block), nullptr);
        return copy;
    }
    WPD_ERROR Put(const wchar_t *path, std::wstring text, unsigned long flags = 0) {
        return WPD_Media_PutPlaylist(handle_, path, text.data(), flags);
    }
    std::string M3u(const wchar_t *path) const {
        const Bytes bytes = this->PhoneData(path);
        return std::string(bytes.begin(), bytes.end());
    }
};
using orvik_test::EachProfile;
using orvik_test::ProfileName;

// count bytes of the phone's generated pattern.
Bytes Pattern(size_t count, std::uint8_t seed = 0);

}  // namespace transfer_test
