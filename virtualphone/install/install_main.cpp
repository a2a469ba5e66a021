// vphone-install.exe: installs described phones into this system (a Wine prefix) for virtualphone.dll.
//   vphone-install install FILE.phone [--name NAME] [--data DIR] [--server DLL]
//   vphone-install uninstall NAME|--all
//   vphone-install reset NAME
//   vphone-install list
#include "virtualphone/install/phone_installer.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using vphone::install::InstalledPhone;

constexpr wchar_t kUsage[] =
    L"usage: vphone-install install FILE.phone [--name NAME] [--data DIR] [--server DLL]\n"
    L"       vphone-install uninstall NAME|--all\n"
    L"       vphone-install reset NAME\n"
    L"       vphone-install list\n";

void Print(FILE *stream, const std::wstring &text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                          nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

int Failed(const std::wstring &what, HRESULT hr) {
    wchar_t code[16];
    swprintf(code, ARRAYSIZE(code), L"%08lx", static_cast<unsigned long>(hr));
    Print(stderr, what + L" (hr = " + code + L")\n");
    return 1;
}

int Usage() {
    Print(stderr, kUsage);
    return 2;
}

std::wstring ServerBesideThisProgram() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    PathRemoveFileSpecW(path.data());
    path.resize(wcslen(path.c_str()));
    return path + L"\\virtualphone.dll";
}

int Install(const std::vector<std::wstring> &arguments) {
    vphone::install::PhoneInstallation installation;
    installation.serverPath = ServerBesideThisProgram();
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring &argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == L"--name" && hasValue) {
            installation.name = arguments[++i];
        } else if (argument == L"--data" && hasValue) {
            installation.dataFolder = arguments[++i];
        } else if (argument == L"--server" && hasValue) {
            installation.serverPath = arguments[++i];
        } else if (installation.descriptionFile.empty() && !argument.starts_with(L"--")) {
            installation.descriptionFile = argument;
        } else {
            return Usage();
        }
    }
    if (installation.descriptionFile.empty()) return Usage();
    InstalledPhone phone;
    std::wstring message;
    const HRESULT hr = vphone::install::InstallPhone(installation, &phone, &message);
    if (FAILED(hr)) return Failed(message.empty() ? L"installing failed" : message, hr);
    Print(stdout, L"installed " + phone.name + L": " + phone.interfacePath + L"\n");
    return 0;
}

int Uninstall(const std::vector<std::wstring> &arguments) {
    if (arguments.size() != 2) return Usage();
    const bool all = arguments[1] == L"--all";
    const HRESULT hr = all ? vphone::install::UninstallAllPhones() : vphone::install::UninstallPhone(arguments[1]);
    if (FAILED(hr)) return Failed(L"uninstalling failed", hr);
    Print(stdout, all ? L"uninstalled every phone\n" : L"uninstalled " + arguments[1] + L"\n");
    return 0;
}

int Reset(const std::wstring &name) {
    const HRESULT hr = vphone::install::ResetPhone(name);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return Failed(L"no phone " + name + L" is installed", hr);
    if (FAILED(hr)) return Failed(L"resetting failed", hr);
    Print(stdout, L"reset " + name + L": it is as its description gives it\n");
    return 0;
}

int List() {
    std::vector<InstalledPhone> phones;
    const HRESULT hr = vphone::install::InstalledPhones(&phones);
    if (FAILED(hr)) return Failed(L"cannot read the list of phones", hr);
    for (const InstalledPhone &phone : phones) {
        Print(stdout, phone.name + L"\n  description " + phone.descriptionFile + L"\n  data        " +
                          phone.dataFolder + L"\n  instance id " + phone.instanceId + L"\n  interface   " +
                          phone.interfacePath + L"\n");
    }
    return 0;
}

int Run(const std::vector<std::wstring> &arguments) {
    if (arguments.empty()) return Usage();
    if (arguments[0] == L"install") return Install(arguments);
    if (arguments[0] == L"uninstall") return Uninstall(arguments);
    if (arguments[0] == L"reset" && arguments.size() == 2) return Reset(arguments[1]);
    if (arguments[0] == L"list" && arguments.size() == 1) return List();
    return Usage();
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    try {
        return Run(std::vector<std::wstring>(argv + 1, argv + argc));
    } catch (const std::exception &) {
        Print(stderr, L"out of memory\n");
        return 1;
    }
}
