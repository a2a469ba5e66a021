// orvik-cli run in this process against a virtual phone of its own (hardware id PID_C11E), with
// its output captured.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "output.h"
#include "support/phone_fixture.h"

namespace cli_test {

inline constexpr wchar_t kHardwareId[] = L"USB\\VID_0FCE&PID_C11E";

// Keeps what the commands write; a terminal when asked, so that progress bars are drawn.
class CapturedOutput final : public Output {
public:
    explicit CapturedOutput(bool terminal) : terminal_(terminal) {}
    void Write(std::string_view utf8) override;
    void Error(std::string_view utf8) override { error += utf8; }
    bool IsTerminal() const override { return terminal_; }

    std::string out;
    std::string error;
    std::function<void(std::string_view)> onWrite;  // sees every write to standard output

private:
    bool terminal_;
};

struct CliRun {
    int status;
    std::string out;
    std::string error;
};

class CliTest : public orvik_test::PhoneTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override;
    void SetUp() override;
    void TearDown() override;

    // orvik-cli --device PID_C11E ARGS...
    CliRun Run(std::vector<std::wstring> arguments);
    CliRun Run(std::vector<std::wstring> arguments, CapturedOutput &output);

    std::wstring Local(const std::wstring &name) const { return folder_ + L"\\" + name; }
    void WriteLocal(const std::wstring &name, const std::string &bytes) const;
    std::string ReadLocal(const std::wstring &name) const;
    bool OnPhone(const std::wstring &path) const { return phone_->FindPath(path).has_value(); }

    std::wstring folder_;
};

}  // namespace cli_test
