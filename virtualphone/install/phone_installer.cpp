#include "virtualphone/install/phone_installer.h"

#include "virtualphone/description/description_parser.h"
#include "virtualphone/install/com_registration.h"
#include "virtualphone/install/device_install.h"
#include "virtualphone/install/result.h"
#include "virtualphone/model/shared_controls.h"
#include "virtualphone/model/snapshot_store.h"
#include "win/com_object.h"
#include "win/unique_any.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace vphone::install {
namespace {

std::wstring FullPath(const std::wstring &path) {
    const DWORD chars = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (chars == 0) return path;
    std::wstring full(chars, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), chars, full.data(), nullptr));
    return full;
}

std::wstring Stem(const std::wstring &path) {
    std::wstring name = PathFindFileNameW(path.c_str());
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

HRESULT DefaultDataFolder(const std::wstring &name, std::wstring *folder) {
    win::UniqueCoTaskMemString localData;
    RETURN_IF_FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, localData.put()));
    *folder = std::wstring(localData.get()) + L"\\Orvik\\VirtualPhone\\" + name;
    return S_OK;
}

// The phone as its description gives it: no content kept, and the described controls for every
// process serving it (vphone-ctl may have changed them).
HRESULT PutBack(const InstalledPhone &phone, const ControlSettings &described) {
    RETURN_IF_FAILED(ResetKeptPhone(phone.dataFolder));
    std::unique_ptr<SharedControls> controls;
    RETURN_IF_FAILED(SharedControls::Open(SharedControls::FileIn(phone.dataFolder), described, &controls));
    return controls->Change([&](ControlSettings &settings) {
        settings = described;
        return true;
    });
}

// Another name already holds this device: installing both would make one device serve two phones.
HRESULT CheckDeviceFree(const std::wstring &name, const std::wstring &instanceId, std::wstring *message) {
    std::vector<InstalledPhone> phones;
    RETURN_IF_FAILED(InstalledPhones(&phones));
    for (const InstalledPhone &phone : phones) {
        if (phone.name != name && lstrcmpiW(phone.instanceId.c_str(), instanceId.c_str()) == 0) {
            *message = L"phone '" + phone.name + L"' is installed with instance id " + instanceId + L" already";
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        }
    }
    return S_OK;
}

HRESULT Install(const PhoneInstallation &installation, InstalledPhone *installed, std::wstring *message) {
    InstalledPhone phone;
    phone.descriptionFile = FullPath(installation.descriptionFile);
    phone.name = installation.name.empty() ? Stem(phone.descriptionFile) : installation.name;
    if (phone.name.empty() || phone.name.find(L'\\') != std::wstring::npos) {
        *message = L"bad phone name '" + phone.name + L"'";
        return E_INVALIDARG;
    }
    description::DescriptionError error;
    const auto description = description::LoadDescription(phone.descriptionFile, &error);
    if (!description) {
        *message = error.Text();
        return E_INVALIDARG;
    }
    phone.instanceId = description->identity.instanceId;
    RETURN_IF_FAILED(CheckDeviceFree(phone.name, phone.instanceId, message));
    if (installation.dataFolder.empty()) {
        RETURN_IF_FAILED(DefaultDataFolder(phone.name, &phone.dataFolder));
    } else {
        phone.dataFolder = FullPath(installation.dataFolder);
    }

    // Reinstalling under the same name with another instance id leaves no stale device behind.
    InstalledPhone previous;
    if (SUCCEEDED(FindInstalledPhone(phone.name, &previous)) &&
        lstrcmpiW(previous.instanceId.c_str(), phone.instanceId.c_str()) != 0) {
        RETURN_IF_FAILED(UninstallDevice(previous.instanceId));
    }
    HRESULT hr = RegisterServer(installation.serverPath);
    if (FAILED(hr)) {
        *message = L"cannot register " + installation.serverPath + L" as the portable-device server";
        return hr;
    }
    hr = InstallDevice(phone.instanceId, description->identity.hardwareIds, &phone.interfacePath);
    if (FAILED(hr)) {
        *message = L"cannot install the device " + phone.instanceId;
        return hr;
    }
    RETURN_IF_FAILED(AddInstalledPhone(phone));
    if (FAILED(hr = PutBack(phone, description->controls))) {
        *message = L"cannot clear the phone's data in " + phone.dataFolder;
        return hr;
    }
    *installed = std::move(phone);
    return S_OK;
}

HRESULT UnregisterWhenNoPhoneLeft() {
    std::vector<InstalledPhone> phones;
    RETURN_IF_FAILED(InstalledPhones(&phones));
    return phones.empty() ? UnregisterServer() : S_OK;
}

HRESULT Uninstall(const std::wstring &name) {
    InstalledPhone phone;
    const HRESULT found = FindInstalledPhone(name, &phone);
    if (found == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    RETURN_IF_FAILED(found);
    RETURN_IF_FAILED(UninstallDevice(phone.instanceId));
    RETURN_IF_FAILED(RemoveInstalledPhone(name));
    RETURN_IF_FAILED(ResetKeptPhone(phone.dataFolder));
    DeleteFileW(SharedControls::FileIn(phone.dataFolder).c_str());  // unless a host still has it open
    RemoveDirectoryW(phone.dataFolder.c_str());  // when nothing else is in it
    return UnregisterWhenNoPhoneLeft();
}

}  // namespace

HRESULT InstallPhone(const PhoneInstallation &installation, InstalledPhone *installed, std::wstring *message) noexcept {
    if (!installed || !message) return E_POINTER;
    return win::GuardComMethod([&] { return Install(installation, installed, message); });
}

HRESULT UninstallPhone(const std::wstring &name) noexcept {
    return win::GuardComMethod([&] { return Uninstall(name); });
}

HRESULT ResetPhone(const std::wstring &name) noexcept {
    return win::GuardComMethod([&] {
        InstalledPhone phone;
        RETURN_IF_FAILED(FindInstalledPhone(name, &phone));
        description::DescriptionError error;
        const auto description = description::LoadDescription(phone.descriptionFile, &error);
        if (!description) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        return PutBack(phone, description->controls);
    });
}

HRESULT UninstallAllPhones() noexcept {
    return win::GuardComMethod([] {
        std::vector<InstalledPhone> phones;
        RETURN_IF_FAILED(InstalledPhones(&phones));
        for (const InstalledPhone &phone : phones) RETURN_IF_FAILED(Uninstall(phone.name));
        return UnregisterWhenNoPhoneLeft();
    });
}

}  // namespace vphone::install
