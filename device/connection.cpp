// Finding the phone by hardware or instance id, and opening it through the portable-device manager.
#include <windows.h>
#include <setupapi.h>
#include <wrl/client.h>

#include <cwchar>
#include <memory>
#include <new>

#include "device/connection.h"
#include "device/cwpd.h"
#include "device/platform_objects.h"
#include "log/log_line.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kPresentInterfaceDevices = DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE;

// Copies an identifier into a path-sized buffer and upper-cases it; false when it does not fit.
bool UpperCaseCopy(const wchar_t *text, wchar_t (&out)[kDevicePathChars]) {
    if (wcsnlen(text, kDevicePathChars) >= kDevicePathChars) return false;
    wcscpy_s(out, text);
    _wcsupr_s(out);
    return true;
}

bool DeviceCarriesId(HDEVINFO devices, SP_DEVINFO_DATA &device, bool matchInstanceId, const wchar_t *target) {
    std::unique_ptr<wchar_t[]> candidates;
    if (matchInstanceId) {
        candidates.reset(new (std::nothrow) wchar_t[kDevicePathChars + 1]());
        if (!candidates ||
            !SetupDiGetDeviceInstanceIdW(devices, &device, candidates.get(), kDevicePathChars, nullptr)) {
            return false;
        }
    } else {
        DWORD bytes = 0;
        if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &bytes) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) {
            return false;
        }
        // Two extra characters keep the multi-string double-terminated whatever the registry holds.
        const DWORD chars = (bytes + 2) / 2 + 2;
        candidates.reset(new (std::nothrow) wchar_t[chars]());
        if (!candidates || !SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                                              reinterpret_cast<BYTE *>(candidates.get()),
                                                              (chars - 2) * 2, nullptr)) {
            return false;
        }
    }
    for (const wchar_t *candidate = candidates.get(); *candidate; candidate += wcslen(candidate) + 1) {
        wchar_t upper[kDevicePathChars];
        if (UpperCaseCopy(candidate, upper) && wcscmp(upper, target) == 0) return true;
        if (matchInstanceId) break;
    }
    return false;
}

// The path of one interface, of whatever length the system gives: the detail record is sized by the
// first call. Empty when it cannot be read.
std::wstring InterfacePath(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA &deviceInterface) {
    DWORD bytes = 0;
    SetupDiGetDeviceInterfaceDetailW(devices, &deviceInterface, nullptr, 0, &bytes, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};
    // Whole records of the detail type keep its alignment.
    const size_t records = (bytes + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) - 1) / sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    std::unique_ptr<SP_DEVICE_INTERFACE_DETAIL_DATA_W[]> detail(new (std::nothrow)
                                                                    SP_DEVICE_INTERFACE_DETAIL_DATA_W[records]());
    if (!detail) return {};
    detail[0].cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(devices, &deviceInterface, detail.get(), bytes, nullptr, nullptr)) return {};
    return detail[0].DevicePath;
}

// The readable portable-device interface paths of one device node, in the system's order.
std::vector<std::wstring> InterfacePaths(HDEVINFO devices, SP_DEVINFO_DATA &device) {
    std::vector<std::wstring> paths;
    SP_DEVICE_INTERFACE_DATA deviceInterface = {};
    deviceInterface.cbSize = sizeof deviceInterface;
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(devices, &device, &wpd::GUID_DEVINTERFACE_WPD, index, &deviceInterface); ++index) {
        std::wstring path = InterfacePath(devices, deviceInterface);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

std::vector<std::wstring> FindDeviceInterfaces(bool matchInstanceId, const char *deviceId) {
    wchar_t wideId[kDevicePathChars] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, deviceId, -1, wideId, kDevicePathChars)) return {};
    wchar_t target[kDevicePathChars];
    if (!UpperCaseCopy(wideId, target)) return {};

    const win::UniqueDeviceInfoSet deviceSet(
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kPresentInterfaceDevices));
    if (!deviceSet) return {};
    const HDEVINFO devices = deviceSet.get();

    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        if (!DeviceCarriesId(devices, device, matchInstanceId, target)) continue;
        std::vector<std::wstring> paths = InterfacePaths(devices, device);
        if (!paths.empty()) return paths;
    }
    return {};
}

HRESULT OpenPortableDevice(const wchar_t *pnpDeviceId, IPortableDevice **device) {
    if (!pnpDeviceId) return E_INVALIDARG;
    ComPtr<IPortableDeviceValues> clientInformation;
    HRESULT hr = CreateValues(clientInformation);
    if (FAILED(hr)) {
        LogLine(1, "Cannot instanciate CLSID_PortableDeviceValues");
        return hr;
    }
    clientInformation->SetStringValue(wpd::WPD_CLIENT_NAME, L"Orvik");
    clientInformation->SetUnsignedIntegerValue(wpd::WPD_CLIENT_MAJOR_VERSION, 1);
    clientInformation->SetUnsignedIntegerValue(wpd::WPD_CLIENT_MINOR_VERSION, 0);
    clientInformation->SetUnsignedIntegerValue(wpd::WPD_CLIENT_REVISION, 0);
    clientInformation->SetUnsignedIntegerValue(wpd::WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE, SECURITY_IMPERSONATION);

    ComPtr<IPortableDevice> opened;
    hr = CoCreateInstance(wpd::CLSID_PortableDevice, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&opened));
    if (FAILED(hr)) {
        LogLine(1, "Cannot instanciate CLSID_PortableDevice");
        return hr;
    }
    hr = opened->Open(pnpDeviceId, clientInformation.Get());
    if (hr == E_ACCESSDENIED) {
        // Full access refused: a read-only open may still be granted.
        clientInformation->SetUnsignedIntegerValue(wpd::WPD_CLIENT_DESIRED_ACCESS, GENERIC_READ);
        hr = opened->Open(pnpDeviceId, clientInformation.Get());
    }
    if (FAILED(hr)) {
        LogLine(1, "Cannot open the IPortableDevice object");
        return hr;
    }
    return opened.CopyTo(device);
}

WPD_ERROR CWpdBase::Connect(bool matchInstanceId, char *deviceId) {
    if (!deviceId) return WPD_ERROR_FAILED;
    const std::vector<std::wstring> paths = FindDeviceInterfaces(matchInstanceId, deviceId);
    if (paths.empty()) return WPD_ERROR_FAILED;

    ComPtr<IPortableDeviceManager> manager;
    HRESULT hr = CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&manager));
    if (FAILED(hr)) {
        LogLine(1, "Failed to CoCreateInstance CLSID_PortableDeviceManager, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    DWORD count = 0;
    hr = manager->GetDevices(nullptr, &count);
    if (FAILED(hr)) {
        LogLine(1, "IPortableDeviceManager.GetDevices (for device count) failed, hr = %08x",
                static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    LogLine(1, "%d Windows Portable Device(s) with ID %s found", static_cast<int>(count), deviceId);
    if (count == 0) return WPD_ERROR_FAILED;

    std::unique_ptr<LPWSTR[]> ids(new (std::nothrow) LPWSTR[count]());
    if (!ids) {
        LogLine(1, "Failed to allocate memory for the device list");
        return WPD_ERROR_FAILED;
    }
    hr = manager->GetDevices(ids.get(), &count);
    if (FAILED(hr)) {
        LogLine(1, "IPortableDeviceManager.GetDevices failed, hr = %08x", static_cast<unsigned>(hr));
        return TranslateError(hr);
    }
    const win::ScopeExit freeIds([&] {
        for (DWORD i = 0; i < count; ++i) CoTaskMemFree(ids[i]);
    });

    // The last interface path that the manager lists wins.
    const wchar_t *match = nullptr;
    for (const std::wstring &path : paths) {
        for (DWORD i = 0; i < count; ++i) {
            if (ids[i] && path == ids[i]) {
                match = ids[i];
                break;
            }
        }
    }
    if (!match) {
        wchar_t wideId[kDevicePathChars] = {};
        MultiByteToWideChar(CP_ACP, 0, deviceId, -1, wideId, kDevicePathChars);
        LogLine(1, "Device not found: %S", wideId);
        hr = E_FAIL;
    } else if (!deviceRef_) {
        hr = OpenPortableDevice(match, deviceRef_.ReleaseAndGetAddressOf());
        if (SUCCEEDED(hr)) {
            hr = apartmentUsage_.Acquire();
            if (FAILED(hr)) LogLine(1, "Keeping the multithreaded apartment failed, hr = %08x", static_cast<unsigned>(hr));
        }
        if (FAILED(hr)) {
            LogLine(1, "Failed to open device, hr = %08x", static_cast<unsigned>(hr));
            deviceRef_.Reset();
        } else {
            wchar_t name[kFriendlyNameChars] = {};
            DWORD length = kFriendlyNameChars;
            manager->GetDeviceFriendlyName(match, name, &length);
            name[kFriendlyNameChars - 1] = L'\0';
            GetFolderListObject()->SetFriendlyName(name);
        }
    }
    return TranslateError(hr);
}

WPD_ERROR CWpdBase::Disconnect() {
    deviceRef_.Reset();
    apartmentUsage_.Release();
    return WPD_ERROR_OK;
}
