#include "virtualphone/install/device_install.h"

#include "device/wpd_api.h"
#include "virtualphone/install/registry.h"
#include "virtualphone/install/result.h"
#include "win/com_object.h"

#include <setupapi.h>

namespace vphone::install {
namespace {

// The portable-device setup class; real phones are installed in it.
constexpr GUID kWpdSetupClass = {0xeec5ad98, 0x8080, 0x425f, {0x92, 0x2a, 0xda, 0xbf, 0x3d, 0xe3, 0xf6, 0x9a}};
constexpr wchar_t kInterfaceClassKey[] =
    L"System\\CurrentControlSet\\Control\\DeviceClasses\\{6ac27878-a6fa-4155-ba85-f98f491d4f33}\\";

// The registry key of an interface is named after its path, "\\?\" written as "##?#".
std::wstring InterfaceKey(const std::wstring &interfacePath) {
    return kInterfaceClassKey + (L"##?#" + interfacePath.substr(4));
}

HRESULT OpenOrCreateDevice(HDEVINFO set, const std::wstring &instanceId, SP_DEVINFO_DATA *device) {
    if (SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, device)) return S_OK;
    RETURN_LAST_ERROR_IF_FALSE(
        SetupDiCreateDeviceInfoW(set, instanceId.c_str(), &kWpdSetupClass, nullptr, nullptr, 0, device));
    return S_OK;
}

HRESULT SetHardwareIds(HDEVINFO set, SP_DEVINFO_DATA *device, const std::vector<std::wstring> &hardwareIds) {
    std::wstring multiString;
    for (const std::wstring &id : hardwareIds) multiString.append(id).push_back(L'\0');
    multiString.push_back(L'\0');
    RETURN_LAST_ERROR_IF_FALSE(SetupDiSetDeviceRegistryPropertyW(
        set, device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE *>(multiString.data()),
        static_cast<DWORD>(multiString.size() * sizeof(wchar_t))));
    return S_OK;
}

HRESULT InterfacePathOf(HDEVINFO set, SP_DEVICE_INTERFACE_DATA *interfaceData, std::wstring *path) {
    DWORD bytes = 0;
    SetupDiGetDeviceInterfaceDetailW(set, interfaceData, nullptr, 0, &bytes, nullptr);
    if (bytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return LastErrorResult();
    std::vector<BYTE> buffer(bytes);
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer.data());
    detail->cbSize = sizeof *detail;
    RETURN_LAST_ERROR_IF_FALSE(SetupDiGetDeviceInterfaceDetailW(set, interfaceData, detail, bytes, nullptr, nullptr));
    *path = detail->DevicePath;
    return S_OK;
}

// Enumeration of present devices lists an interface only once it is marked linked.
HRESULT MarkLinked(const std::wstring &interfacePath) {
    UniqueKey control;
    RETURN_IF_FAILED(CreateKey(HKEY_LOCAL_MACHINE, InterfaceKey(interfacePath) + L"\\#\\Control", &control));
    return WriteDword(control.get(), L"Linked", 1);
}

HRESULT Install(const std::wstring &instanceId, const std::vector<std::wstring> &hardwareIds,
                std::wstring *interfacePath) {
    UniqueDeviceInfoSet set(SetupDiCreateDeviceInfoList(&kWpdSetupClass, nullptr));
    RETURN_LAST_ERROR_IF_FALSE(set);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    RETURN_IF_FAILED(OpenOrCreateDevice(set.get(), instanceId, &device));
    RETURN_IF_FAILED(SetHardwareIds(set.get(), &device, hardwareIds));
    RETURN_LAST_ERROR_IF_FALSE(SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr));
    // Creating an interface that exists already opens it.
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    RETURN_LAST_ERROR_IF_FALSE(
        SetupDiCreateDeviceInterfaceW(set.get(), &device, &wpd::GUID_DEVINTERFACE_WPD, nullptr, 0, &interfaceData));
    std::wstring path;
    RETURN_IF_FAILED(InterfacePathOf(set.get(), &interfaceData, &path));
    RETURN_IF_FAILED(MarkLinked(path));
    *interfacePath = std::move(path);
    return S_OK;
}

HRESULT Uninstall(const std::wstring &instanceId) {
    UniqueDeviceInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    RETURN_LAST_ERROR_IF_FALSE(set);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &device)) return S_OK;
    std::vector<std::wstring> interfacePaths;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(set.get(), &device, &wpd::GUID_DEVINTERFACE_WPD, index, &interfaceData);
         ++index) {
        std::wstring path;
        RETURN_IF_FAILED(InterfacePathOf(set.get(), &interfaceData, &path));
        interfacePaths.push_back(std::move(path));
    }
    RETURN_LAST_ERROR_IF_FALSE(SetupDiRemoveDevice(set.get(), &device));
    // The interface keys hold our "Linked" flag, which the system does not know to remove.
    for (const std::wstring &path : interfacePaths) RETURN_IF_FAILED(DeleteTree(HKEY_LOCAL_MACHINE, InterfaceKey(path)));
    return S_OK;
}

// The system's device service may be starting or stopping while other programs come and go; it then
// answers RPC_S_SERVER_UNAVAILABLE for a moment, and the same request goes through shortly after.
template <class Request>
HRESULT WithDeviceService(Request request) {
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 100;
    HRESULT hr = S_OK;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        hr = win::GuardComMethod(request);
        if (hr != HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)) break;
        Sleep(kPauseMs);
    }
    return hr;
}

}  // namespace

HRESULT InstallDevice(const std::wstring &instanceId, const std::vector<std::wstring> &hardwareIds,
                      std::wstring *interfacePath) noexcept {
    if (instanceId.empty() || hardwareIds.empty() || !interfacePath) return E_INVALIDARG;
    return WithDeviceService([&] { return Install(instanceId, hardwareIds, interfacePath); });
}

HRESULT UninstallDevice(const std::wstring &instanceId) noexcept {
    if (instanceId.empty()) return E_INVALIDARG;
    return WithDeviceService([&] { return Uninstall(instanceId); });
}

}  // namespace vphone::install
