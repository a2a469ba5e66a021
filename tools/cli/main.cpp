// orvik-cli: drives a phone through orvik.dll from a terminal, exactly as a host application would.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "orvik_library.h"
#include "result_names.h"

namespace {

struct Options {
    std::wstring command;
    std::vector<std::wstring> arguments;
    std::string deviceId;
    bool instanceId = false;
};

constexpr const char kUsage[] =
    "usage: orvik-cli [--device ID [--instance]] COMMAND [ARGS]\n"
    "commands:\n"
    "  probe          create handles of both classes and show what the calls return\n"
    "  info           the phone's manufacturer, model and serial number\n"
    "  ls [PATH]      the folder listing records of PATH (default: the storages)\n"
    "  df [STORAGE]   total and free bytes of a storage (default: all storages)\n"
    "--device ID selects the phone by a hardware id (with --instance: by its instance id).\n";

std::string Narrow(const std::wstring &text, UINT codePage = CP_ACP) {
    const int bytes = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(codePage, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

bool ParseOptions(int argc, wchar_t **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--device" && i + 1 < argc) {
            options.deviceId = Narrow(argv[++i]);
        } else if (argument == L"--instance") {
            options.instanceId = true;
        } else if (options.command.empty()) {
            options.command = argument;
        } else {
            options.arguments.push_back(argument);
        }
    }
    return !options.command.empty();
}

int Report(const char *call, WPD_ERROR result) {
    std::printf("%-28s -> %d %s: %s\n", call, static_cast<int>(result), ResultName(result), ResultMeaning(result));
    return result == WPD_ERROR_OK ? 0 : 1;
}

int Probe(OrvikLibrary &orvik) {
    void *base = orvik.WPD_InitializeEx(WPD_METHOD_BASE, 0);
    void *zeph = orvik.WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    std::printf("WPD_InitializeEx(BASE)       -> %s\n", base ? "a handle" : "null");
    std::printf("WPD_InitializeEx(ZEPH)       -> %s\n", zeph ? "a handle" : "null");
    std::printf("WPD_InitializeEx(2)          -> %s\n", orvik.WPD_InitializeEx(static_cast<WPD_METHOD>(2), 0) ? "a handle" : "null");
    WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};
    Report("WPD_GetDeviceTime(base)", orvik.WPD_GetDeviceTime(base, &time));
    Report("WPD_GetDeviceTime(null)", orvik.WPD_GetDeviceTime(nullptr, &time));
    Report("WPD_Monitor_Start(base, 1)", orvik.WPD_Monitor_Start(base, static_cast<WPD_MONITORED_EVENT>(1), nullptr));
    Report("WPD_Monitor_Start(base, 0)", orvik.WPD_Monitor_Start(base, WPD_EVENT_PROGRESS, nullptr));
    WPD_DEVICE_INFO info = {};
    info.cbSize = 707;
    Report("WPD_GetDeviceInfo(size 707)", orvik.WPD_GetDeviceInfo(base, &info));
    orvik.WPD_Uninitialize(base);
    orvik.WPD_Uninitialize(zeph);
    return 0;
}

int OnConnectedPhone(OrvikLibrary &orvik, Options &options) {
    if (options.deviceId.empty()) {
        std::fprintf(stderr, "orvik-cli: %ls needs --device ID\n", options.command.c_str());
        return 2;
    }
    void *handle = orvik.WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    int status = Report("WPD_ConnectDevice", orvik.WPD_ConnectDevice(handle, options.deviceId.data(), options.instanceId, 0));
    const wchar_t *argument = options.arguments.empty() ? nullptr : options.arguments[0].c_str();
    if (status == 0 && options.command == L"info") {
        WPD_DEVICE_INFO info = {};
        info.cbSize = sizeof info;
        status = Report("WPD_GetDeviceInfo", orvik.WPD_GetDeviceInfo(handle, &info));
        if (status == 0) {
            std::printf("manufacturer: %s\nmodel:        %s\nserial:       %s\n",
                        Narrow(info.wszManufacturer, CP_UTF8).c_str(), Narrow(info.wszModel, CP_UTF8).c_str(),
                        info.szSerialNumber);
        }
    } else if (status == 0 && options.command == L"ls") {
        char *listing = nullptr;
        status = Report("WPD_Media_GetFolderListing", orvik.WPD_Media_GetFolderListing(handle, argument, &listing, 0));
        if (listing) std::fwrite(listing, 1, std::strlen(listing), stdout);
    } else if (status == 0 && options.command == L"df") {
        unsigned __int64 total = 0, available = 0;
        status = Report("WPD_Media_GetTotalMemory", orvik.WPD_Media_GetTotalMemory(handle, argument, &total, 0));
        status |= Report("WPD_Media_GetAvailableMemory",
                         orvik.WPD_Media_GetAvailableMemory(handle, argument, &available, 0));
        std::printf("total: %llu bytes\nfree:  %llu bytes\n", total, available);
    }
    orvik.WPD_DisconnectDevice(handle);
    orvik.WPD_Uninitialize(handle);
    return status;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    Options options;
    if (!ParseOptions(argc, argv, options) || options.command == L"--help") {
        std::fputs(kUsage, stderr);
        return 2;
    }
    OrvikLibrary orvik;
    if (!orvik.loaded()) {
        std::fprintf(stderr, "orvik-cli: %s\n", orvik.error().c_str());
        return 2;
    }
    if (options.command == L"probe") return Probe(orvik);
    if (options.command == L"info" || options.command == L"ls" || options.command == L"df") {
        return OnConnectedPhone(orvik, options);
    }
    std::fprintf(stderr, "orvik-cli: unknown command %ls\n%s", options.command.c_str(), kUsage);
    return 2;
}
