// devices, info, time, probe: the phones present, the phone's identity and its clock.
#include <cstdio>
#include <cwchar>

#include "commands.h"
#include "device_list.h"
#include "phone_session.h"
#include "result_names.h"
#include "text.h"

namespace {

int Devices(Context &context) {
    const std::vector<PortableDeviceEntry> devices = ListPortableDevices();
    if (devices.empty()) {
        context.out.Print("no phone is present\n");
        return kExitOk;
    }
    for (const PortableDeviceEntry &device : devices) {
        context.out.Print("%s\n  instance id:  %s\n", ToUtf8(device.friendlyName).c_str(),
                          ToUtf8(device.instanceId).c_str());
        for (const std::wstring &id : device.hardwareIds) context.out.Print("  hardware id:  %s\n", ToUtf8(id).c_str());
        context.out.Print("  interface:    %s\n", ToUtf8(device.interfacePath).c_str());
    }
    return kExitOk;
}

int Info(Context &context) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    WPD_DEVICE_INFO info = {};
    info.cbSize = sizeof info;
    const int status = Outcome(context, "info", context.orvik.WPD_GetDeviceInfo(phone.handle(), &info));
    if (status == kExitOk) {
        context.out.Print("manufacturer: %s\nmodel:        %s\nserial:       %s\n",
                          ToUtf8(info.wszManufacturer).c_str(), ToUtf8(info.wszModel).c_str(),
                          ToUtf8(FromAnsi(info.szSerialNumber)).c_str());
    }
    return status;
}

std::string TimeText(const WPD_DEVICE_TIME &time) {
    SYSTEMTIME calendar = {};
    FileTimeToSystemTime(&time.time, &calendar);
    char text[96];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u  zone %+ld  dst %lu", calendar.wYear,
                  calendar.wMonth, calendar.wDay, calendar.wHour, calendar.wMinute, calendar.wSecond, time.timeZone,
                  time.dst);
    return text;
}

// "2009-03-05 06:07:08", "2009-03-05T06:07:08" or "now" (this computer's local time).
bool ParseTimeValue(const std::wstring &value, FILETIME *time) {
    SYSTEMTIME calendar = {};
    if (value == L"now") {
        GetLocalTime(&calendar);
    } else {
        unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        wchar_t separator = 0, rest = 0;
        if (swscanf(value.c_str(), L"%4u-%2u-%2u%lc%2u:%2u:%2u%lc", &year, &month, &day, &separator, &hour, &minute,
                    &second, &rest) != 7 ||
            (separator != L' ' && separator != L'T')) {
            return false;
        }
        calendar = {static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
                    static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    }
    return SystemTimeToFileTime(&calendar, time) != FALSE;
}

int Time(Context &context) {
    const std::wstring action = context.operands.empty() ? L"get" : context.operands[0];
    const bool set = action == L"set";
    if (!set && (action != L"get" || context.operands.size() > 1)) {
        context.out.PrintError("orvik-cli: time takes get, or set [now|VALUE]\n");
        return kExitUsage;
    }
    WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};
    if (set && !ParseTimeValue(context.operands.size() > 1 ? context.operands[1] : L"now", &time.time)) {
        context.out.PrintError("orvik-cli: time set: give now or YYYY-MM-DD HH:MM:SS\n");
        return kExitUsage;
    }
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    if (set) {
        // Zone and daylight-saving value stay as the phone has them unless given.
        WPD_DEVICE_TIME current = {sizeof current, {}, 0, 0};
        if (context.orvik.WPD_GetDeviceTime(phone.handle(), &current) == WPD_ERROR_OK) {
            time.timeZone = current.timeZone;
            time.dst = current.dst;
        }
        if (const auto zone = context.arguments.Value(L"--zone")) time.timeZone = std::wcstol(zone->c_str(), nullptr, 10);
        if (const auto dst = context.arguments.Value(L"--dst")) time.dst = std::wcstoul(dst->c_str(), nullptr, 10);
        const int status = Outcome(context, "time set", context.orvik.WPD_SetDeviceTime(phone.handle(), &time));
        if (status != kExitOk) return status;
        time = {sizeof time, {}, 0, 0};
    }
    const int status = Outcome(context, "time get", context.orvik.WPD_GetDeviceTime(phone.handle(), &time));
    if (status == kExitOk) context.out.Print("%s\n", TimeText(time).c_str());
    return status;
}

int Probe(Context &context) {
    OrvikLibrary &orvik = context.orvik;
    void *base = orvik.WPD_InitializeEx(WPD_METHOD_BASE, 0);
    void *zeph = orvik.WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    void *other = orvik.WPD_InitializeEx(static_cast<WPD_METHOD>(2), 0);
    context.out.Print("%-30s -> %s\n", "WPD_InitializeEx(BASE)", base ? "a handle" : "null");
    context.out.Print("%-30s -> %s\n", "WPD_InitializeEx(ZEPH)", zeph ? "a handle" : "null");
    context.out.Print("%-30s -> %s\n", "WPD_InitializeEx(2)", other ? "a handle" : "null");
    const auto show = [&context](const char *call, WPD_ERROR result) {
        context.out.Print("%-30s -> %d %s\n", call, static_cast<int>(result), ResultName(result));
    };
    WPD_DEVICE_TIME time = {sizeof time, {}, 0, 0};
    show("WPD_GetDeviceTime(base)", orvik.WPD_GetDeviceTime(base, &time));
    show("WPD_GetDeviceTime(null)", orvik.WPD_GetDeviceTime(nullptr, &time));
    show("WPD_Monitor_Start(base, 1)", orvik.WPD_Monitor_Start(base, static_cast<WPD_MONITORED_EVENT>(1), nullptr));
    show("WPD_Monitor_Start(base, 0)", orvik.WPD_Monitor_Start(base, WPD_EVENT_PROGRESS, nullptr));
    WPD_DEVICE_INFO info = {};
    info.cbSize = 707;
    show("WPD_GetDeviceInfo(size 707)", orvik.WPD_GetDeviceInfo(base, &info));
    orvik.WPD_Uninitialize(base);
    orvik.WPD_Uninitialize(zeph);
    orvik.WPD_Uninitialize(other);
    return kExitOk;
}

constexpr Command kCommands[] = {
    {L"devices", "devices", "the portable devices present: friendly name, instance and hardware ids", "", L"", 0, 0,
     Devices},
    {L"info", "info", "the phone's manufacturer, model and serial number", "", L"", 0, 0, Info},
    {L"time", "time [get | set [now|VALUE]] [--zone N] [--dst N]", "read or set the phone's clock",
     "  VALUE is YYYY-MM-DD HH:MM:SS (or with T between date and time), taken as the phone shows it.\n"
     "  set keeps the phone's zone and daylight-saving value unless --zone or --dst gives them.\n",
     L"--zone --dst", 0, 2, Time},
    {L"probe", "probe", "create handles of both classes and show what a few calls return", "", L"", 0, 0, Probe},
};

}  // namespace

std::span<const Command> DeviceCommands() { return kCommands; }
