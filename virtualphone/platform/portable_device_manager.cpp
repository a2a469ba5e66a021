#include "virtualphone/platform/portable_device_manager.h"

#include "virtualphone/platform/com_out.h"

#include <cstring>

namespace vphone {

PortableDeviceManager::PortableDeviceManager(std::shared_ptr<PhoneSet> phones) : phones_(std::move(phones)) {
    listed_ = Snapshot();
}

std::vector<PortableDeviceManager::Listed> PortableDeviceManager::Snapshot() const {
    std::vector<Listed> listed;
    for (auto &phone : phones_->Phones()) {
        if (!phone->Controls().Hidden() && !phone->Controls().Unplugged()) listed.push_back({phone->InterfacePath(), phone});
    }
    return listed;
}

template <class Body>
HRESULT PortableDeviceManager::OnList(const char *method, std::initializer_list<std::wstring_view> arguments,
                                      Body &&body) noexcept {
    const HRESULT foreign = Apartment().Check();
    if (FAILED(foreign)) return foreign;
    PhoneMethodScope scope;
    return win::GuardComMethod([&]() -> HRESULT {
        std::vector<Listed> listed;
        {
            std::lock_guard lock(mutex_);
            listed = listed_;
        }
        HRESULT fault = S_OK;
        for (const Listed &entry : listed) {
            const HRESULT injected = entry.phone->Controls().OnCall(method, arguments);
            if (SUCCEEDED(fault)) fault = injected;
        }
        if (FAILED(fault)) return fault;
        return body(listed);
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetDevices(LPWSTR *pnpDeviceIds, DWORD *count) noexcept {
    return OnList("IPortableDeviceManager::GetDevices", {}, [&](const std::vector<Listed> &listed) -> HRESULT {
        if (!count) return E_POINTER;
        if (!pnpDeviceIds) {
            *count = static_cast<DWORD>(listed.size());
            return S_OK;
        }
        const DWORD written = std::min<DWORD>(*count, static_cast<DWORD>(listed.size()));
        for (DWORD i = 0; i < written; ++i) {
            const HRESULT hr = CopyToTaskMem(listed[i].pnpId, &pnpDeviceIds[i]);
            if (FAILED(hr)) {
                for (DWORD j = 0; j < i; ++j) {
                    CoTaskMemFree(pnpDeviceIds[j]);
                    pnpDeviceIds[j] = nullptr;
                }
                return hr;
            }
        }
        *count = written;
        return written < listed.size() ? S_FALSE : S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::RefreshDeviceList() noexcept {
    return OnList("IPortableDeviceManager::RefreshDeviceList", {}, [&](const std::vector<Listed> &) -> HRESULT {
        std::vector<Listed> fresh = Snapshot();
        std::lock_guard lock(mutex_);
        listed_.swap(fresh);
        return S_OK;
    });
}

HRESULT PortableDeviceManager::IdentityText(const char *method, LPCWSTR pnpDeviceId,
                                            std::wstring PhoneIdentity::*field, WCHAR *buffer, DWORD *chars) noexcept {
    return OnList(method, {Arg(pnpDeviceId)}, [&](const std::vector<Listed> &listed) -> HRESULT {
        if (!pnpDeviceId || !chars) return E_POINTER;
        for (const Listed &entry : listed) {
            if (lstrcmpiW(entry.pnpId.c_str(), pnpDeviceId) != 0) continue;
            const std::wstring text = entry.phone->Identity().*field;
            if (text.empty()) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            const DWORD needed = static_cast<DWORD>(text.size() + 1);  // with the terminator
            if (!buffer) {
                *chars = needed;
                return S_OK;
            }
            if (*chars < needed) {
                *chars = needed;
                return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
            }
            std::memcpy(buffer, text.c_str(), needed * sizeof(wchar_t));
            *chars = needed;
            return S_OK;
        }
        return E_INVALIDARG;
    });
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetDeviceFriendlyName(LPCWSTR pnpDeviceId, WCHAR *name,
                                                                       DWORD *chars) noexcept {
    return IdentityText("IPortableDeviceManager::GetDeviceFriendlyName", pnpDeviceId, &PhoneIdentity::friendlyName,
                        name, chars);
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetDeviceDescription(LPCWSTR pnpDeviceId, WCHAR *description,
                                                                      DWORD *chars) noexcept {
    return IdentityText("IPortableDeviceManager::GetDeviceDescription", pnpDeviceId, &PhoneIdentity::model,
                        description, chars);
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetDeviceManufacturer(LPCWSTR pnpDeviceId, WCHAR *manufacturer,
                                                                       DWORD *chars) noexcept {
    return IdentityText("IPortableDeviceManager::GetDeviceManufacturer", pnpDeviceId, &PhoneIdentity::manufacturer,
                        manufacturer, chars);
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetDeviceProperty(LPCWSTR pnpDeviceId, LPCWSTR, BYTE *, DWORD *,
                                                                   DWORD *) noexcept {
    return OnList("IPortableDeviceManager::GetDeviceProperty", {Arg(pnpDeviceId)},
                  [](const std::vector<Listed> &) -> HRESULT { return E_NOTIMPL; });
}

HRESULT STDMETHODCALLTYPE PortableDeviceManager::GetPrivateDevices(LPWSTR *, DWORD *count) noexcept {
    return OnList("IPortableDeviceManager::GetPrivateDevices", {}, [&](const std::vector<Listed> &) -> HRESULT {
        if (count) *count = 0;
        return E_NOTIMPL;
    });
}

}  // namespace vphone
