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
// GUID_DEVINTERFACE_MODEM, which phones expose beside their portable-device interface.
constexpr GUID kModemInterface = {0x2c7089aa, 0x2e0e, 0x11d1, {0xb1, 0x14, 0x00, 0xc0, 0x4f, 0xc2, 0xaa, 0xe4}};
// The interface classes a device made here can have.
const GUID *const kInterfaceClasses[] = {&wpd::GUID_DEVINTERFACE_WPD, &kModemInterface};

// The registry key of an interface is named after its class and its path, "\\?\" written as "##?#".
std::wstring InterfaceKey(const GUID &interfaceClass, const std::wstring &interfacePath) {
    wchar_t classText[39] = {};
    StringFromGUID2(interfaceClass, classText, 39);
    return L"System\\CurrentControlSet\\Control\\DeviceClasses\\" + std::wstring(classText) + L"\\##?#" +
           interfacePath.substr(4);
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
HRESULT MarkLinked(const GUID &interfaceClass, const std::wstring &interfacePath) {
    UniqueKey control;
    RETURN_IF_FAILED(
        CreateKey(HKEY_LOCAL_MACHINE, InterfaceKey(interfaceClass, interfacePath) + L"\\#\\Control", &control));
    return WriteDword(control.get(), L"Linked", 1);
}

// A device node with the hardware ids and one linked interface of interfaceClass.
HRESULT Install(const std::wstring &instanceId, const std::vector<std::wstring> &hardwareIds,
                const GUID &interfaceClass, std::wstring *interfacePath) {
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
        SetupDiCreateDeviceInterfaceW(set.get(), &device, &interfaceClass, nullptr, 0, &interfaceData));
    std::wstring path;
    RETURN_IF_FAILED(InterfacePathOf(set.get(), &interfaceData, &path));
    RETURN_IF_FAILED(MarkLinked(interfaceClass, path));
    *interfacePath = std::move(path);
    return S_OK;
}

HRESULT Uninstall(const std::wstring &instanceId) {
    UniqueDeviceInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    RETURN_LAST_ERROR_IF_FALSE(set);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &device)) return S_OK;
    std::vector<std::wstring> interfaceKeys;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    for (const GUID *interfaceClass : kInterfaceClasses) {
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set.get(), &device, interfaceClass, index, &interfaceData);
             ++index) {
            std::wstring path;
            RETURN_IF_FAILED(InterfacePathOf(set.get(), &interfaceData, &path));
            interfaceKeys.push_back(InterfaceKey(*interfaceClass, path));
        }
    }
    RETURN_LAST_ERROR_IF_FALSE(SetupDiRemoveDevice(set.get(), &device));
    // The interface keys hold our "Linked" flag, which the system does not know to remove.
    for (const std::wstring &key : interfaceKeys) RETURN_IF_FAILED(DeleteTree(HKEY_LOCAL_MACHINE, key));
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
    return WithDeviceService(
        [&] { return Install(instanceId, hardwareIds, wpd::GUID_DEVINTERFACE_WPD, interfacePath); });
}

HRESULT InstallCompositeParent(const std::wstring &instanceId, const std::vector<std::wstring> &hardwareIds) noexcept {
    if (instanceId.empty() || hardwareIds.empty()) return E_INVALIDARG;
    std::wstring modemPath;
    return WithDeviceService([&] { return Install(instanceId, hardwareIds, kModemInterface, &modemPath); });
}

HRESULT UninstallDevice(const std::wstring &instanceId) noexcept {
    if (instanceId.empty()) return E_INVALIDARG;
    return WithDeviceService([&] { return Uninstall(instanceId); });
}

}  // namespace vphone::install
