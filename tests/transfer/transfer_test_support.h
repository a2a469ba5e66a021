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
    Bytes PhoneData(const std::wstring &path, bool thumbnail = false) const;
    bool Logged(const std::string &message) const;

    void *handle_ = nullptr;
    ProgressLog progress_;
    std::wstring folder_;
};

// count bytes of the phone's generated pattern.
Bytes Pattern(size_t count, std::uint8_t seed = 0);

}  // namespace transfer_test
