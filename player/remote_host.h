// What the library presents to the player control as its remote host: asked for through the container
// site's services, it makes the control attach to the running player instead of starting its own.
#pragma once

#include <windows.h>
#include <servprov.h>
#include <wmp.h>

#include "win/com_object.h"

class CRemoteHost final : public win::ComObject<CRemoteHost, IServiceProvider, IWMPRemoteMediaServices> {
public:
    // Any service: the control asks for IWMPRemoteMediaServices under its own service GUID.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void **object) noexcept override;

    HRESULT STDMETHODCALLTYPE GetServiceType(BSTR *type) noexcept override;
    HRESULT STDMETHODCALLTYPE GetApplicationName(BSTR *name) noexcept override;
    HRESULT STDMETHODCALLTYPE GetScriptableObject(BSTR *name, IDispatch **object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCustomUIMode(BSTR *file) noexcept override;

private:
    friend class win::ComObject<CRemoteHost, IServiceProvider, IWMPRemoteMediaServices>;
    ~CRemoteHost() override = default;
};
