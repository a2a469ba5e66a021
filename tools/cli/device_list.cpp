#include "device_list.h"

#include <windows.h>
#include <setupapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>

#include "device/wpd_api.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

std::vector<std::wstring> HardwareIds(HDEVINFO set, SP_DEVINFO_DATA &device) {
    DWORD bytes = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &bytes);
    std::vector<wchar_t> multi(bytes / sizeof(wchar_t) + 2, L'\0');
    if (bytes == 0 || !SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, nullptr,
                                                         reinterpret_cast<BYTE *>(multi.data()), bytes, nullptr)) {
        return {};
    }
    std::vector<std::wstring> ids;
    for (const wchar_t *id = multi.data(); *id; id += wcslen(id) + 1) ids.emplace_back(id);
    return ids;
}

std::wstring InstanceId(HDEVINFO set, SP_DEVINFO_DATA &device) {
    wchar_t id[MAX_PATH] = {};
    return SetupDiGetDeviceInstanceIdW(set, &device, id, ARRAYSIZE(id), nullptr) ? id : L"";
}

std::wstring InterfacePath(HDEVINFO set, SP_DEVINFO_DATA &device) {
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, &device, &wpd::GUID_DEVINTERFACE_WPD, 0, &data)) return {};
    DWORD bytes = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &bytes, nullptr);
    if (bytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};
    auto storage = std::make_unique<BYTE[]>(bytes);
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    return SetupDiGetDeviceInterfaceDetailW(set, &data, detail, bytes, nullptr, nullptr) ? detail->DevicePath : L"";
}

// The interface paths the portable-device manager lists.
std::vector<std::wstring> ManagerDevices(IPortableDeviceManager &manager) {
    DWORD count = 0;
    if (FAILED(manager.GetDevices(nullptr, &count)) || count == 0) return {};
    std::vector<LPWSTR> ids(count, nullptr);
    if (FAILED(manager.GetDevices(ids.data(), &count))) return {};
    std::vector<std::wstring> paths;
    for (DWORD i = 0; i < count; ++i) {
        const win::UniqueCoTaskMemString id(ids[i]);
        if (id) paths.emplace_back(id.get());
    }
    return paths;
}

std::wstring FriendlyName(IPortableDeviceManager &manager, const std::wstring &path) {
    wchar_t name[128] = {};
    DWORD chars = ARRAYSIZE(name);
    if (FAILED(manager.GetDeviceFriendlyName(path.c_str(), name, &chars))) return {};
    name[ARRAYSIZE(name) - 1] = L'\0';
    return name;
}

}  // namespace

std::vector<PortableDeviceEntry> ListPortableDevices() {
    ComPtr<IPortableDeviceManager> manager;
    if (FAILED(CoCreateInstance(wpd::CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&manager)))) {
        return {};
    }
    const std::vector<std::wstring> listed = ManagerDevices(*manager.Get());
    const win::UniqueDeviceInfoSet set(
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE));
    if (!set) return {};

    std::vector<PortableDeviceEntry> devices;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        PortableDeviceEntry entry;
        entry.interfacePath = InterfacePath(set.get(), device);
        if (entry.interfacePath.empty() ||
            std::find(listed.begin(), listed.end(), entry.interfacePath) == listed.end()) {
            continue;
        }
        entry.instanceId = InstanceId(set.get(), device);
        entry.hardwareIds = HardwareIds(set.get(), device);
        entry.friendlyName = FriendlyName(*manager.Get(), entry.interfacePath);
        devices.push_back(std::move(entry));
    }
    return devices;
}
