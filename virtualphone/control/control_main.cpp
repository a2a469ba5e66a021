// vphone-ctl.exe: turns the controls of an installed phone while hosts use it. Every process that
// serves the phone takes a change at its next call; the phone keeps it until it is changed again.
//   vphone-ctl NAME              shows the phone's controls, as description lines
//   vphone-ctl NAME OPTION...    changes them, all together, and shows them
// A separate program from vphone-install: installing registers devices and servers, which a
// developer does once; controls are turned often, while hosts run, and touch only the data folder.
#include "virtualphone/description/control_keywords.h"
#include "virtualphone/description/description_parser.h"
#include "virtualphone/install/phone_list.h"
#include "virtualphone/model/shared_controls.h"

#include <windows.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kUsage[] =
    L"usage: vphone-ctl NAME [OPTION...]\n"
    L"  --unplug | --plug                 every call fails as a removed device's do | plugged in again\n"
    L"  --link usb2|usb3|none|RTT BW      a cost per call and for data: --link 1500 us 20 MB/s\n"
    L"  --fail METHOD [call N] [hr HR]    --fail IPortableDeviceResources::GetStream call 2 hr 0x800700AA\n"
    L"  --unreadable PROPERTY [hr HR]     --unreadable WPD_OBJECT_NAME\n"
    L"  --refuse-full-access              Open refuses all but read-only access\n"
    L"  --transfer-size SIZE[, SIZE]      optimal transfer sizes: read, write\n"
    L"  --record N                        keep the latest N calls and vendor exchanges in each host\n"
    L"  --clear                           no faults, unreadable properties or refused access\n"
    L"  --reset                           the controls the description gives\n";

void Print(FILE *stream, const std::wstring &text) {
    std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    std::fputs(utf8.c_str(), stream);
}

struct Option {
    std::wstring keyword;
    std::wstring value;
};

// "--fail IPortableDevice::Open call 2" is one option: the words up to the next "--" are its value.
bool ReadOptions(const std::vector<std::wstring> &arguments, std::vector<Option> *options) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].starts_with(L"--")) {
            options->push_back({arguments[i].substr(2), {}});
        } else if (options->empty()) {
            return false;
        } else {
            std::wstring &value = options->back().value;
            value += (value.empty() ? L"" : L" ") + arguments[i];
        }
    }
    return true;
}

// The options that are not description lines: unplugging is an act, a description's "unplugged" a state.
bool ApplyOption(const Option &option, const vphone::ControlSettings &described, vphone::ControlSettings &settings,
                 std::wstring *message) {
    const bool bare = option.value.empty();
    if (option.keyword == L"unplug" && bare) {
        settings.unplugged = true;
    } else if (option.keyword == L"plug" && bare) {
        settings.unplugged = false;
    } else if (option.keyword == L"clear" && bare) {
        settings.faults.clear();
        settings.unreadable.clear();
        settings.refuseFullAccess = false;
    } else if (option.keyword == L"reset" && bare) {
        settings = described;
    } else if (option.keyword == L"unplugged" || !vphone::description::IsControlKeyword(option.keyword)) {
        *message = L"unknown option --" + option.keyword;
        return false;
    } else {
        return vphone::description::ApplyControl(option.keyword, option.value, settings, message);
    }
    return true;
}

int Run(const std::vector<std::wstring> &arguments) {
    std::vector<Option> options;
    if (arguments.empty() || arguments[0].starts_with(L"--") || !ReadOptions(arguments, &options)) {
        Print(stderr, kUsage);
        return 2;
    }
    vphone::install::InstalledPhone phone;
    if (FAILED(vphone::install::FindInstalledPhone(arguments[0], &phone))) {
        Print(stderr, L"no phone named " + arguments[0] + L" is installed\n");
        return 1;
    }
    vphone::description::DescriptionError error;
    const auto description = vphone::description::LoadDescription(phone.descriptionFile, &error);
    if (!description) {
        Print(stderr, error.Text() + L"\n");
        return 1;
    }
    std::unique_ptr<vphone::SharedControls> shared;
    HRESULT hr = vphone::SharedControls::Open(vphone::SharedControls::FileIn(phone.dataFolder), description->controls, &shared);
    std::wstring message;
    vphone::ControlSettings settings;
    if (SUCCEEDED(hr)) {
        hr = shared->Change([&](vphone::ControlSettings &changed) {
            for (const Option &option : options) {
                if (!ApplyOption(option, description->controls, changed, &message)) return false;
            }
            settings = changed;
            return true;
        });
    }
    if (!message.empty()) {
        Print(stderr, message + L"\n");
        return 2;
    }
    if (FAILED(hr)) {
        wchar_t code[16];
        swprintf(code, 16, L"%08lx", static_cast<unsigned long>(hr));
        Print(stderr, L"cannot reach the controls of " + arguments[0] + L" in " + phone.dataFolder + L" (hr = " + code + L")\n");
        return 1;
    }
    for (const std::wstring &line : vphone::description::ControlLines(settings)) Print(stdout, line + L"\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    // Memory is all that can run out here: the controls file is changed under its lock or not at all.
    try {
        return Run({argv + 1, argv + argc});
    } catch (const std::bad_alloc &) {
        std::fputs("vphone-ctl: out of memory\n", stderr);
        return 1;
    }
}
