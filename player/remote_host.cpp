#include "player/remote_host.h"

#include <oleauto.h>

HRESULT CRemoteHost::QueryService(REFGUID, REFIID iid, void **object) noexcept {
    if (!object) return E_POINTER;
    return QueryInterface(iid, object);
}

// "Remote" is the answer that puts the control in remote mode.
HRESULT CRemoteHost::GetServiceType(BSTR *type) noexcept {
    if (!type) return E_POINTER;
    *type = SysAllocString(L"Remote");
    return *type ? S_OK : E_POINTER;
}

HRESULT CRemoteHost::GetApplicationName(BSTR *name) noexcept {
    if (!name) return E_POINTER;
    *name = SysAllocString(L"Orvik");
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT CRemoteHost::GetScriptableObject(BSTR *name, IDispatch **object) noexcept {
    if (name) *name = nullptr;
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

HRESULT CRemoteHost::GetCustomUIMode(BSTR *file) noexcept {
    if (file) *file = nullptr;
    return E_NOTIMPL;
}
