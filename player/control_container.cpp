#include "player/control_container.h"

#include <ocidl.h>
#include <servprov.h>

#include "win/adopt_reference.h"
#include "win/com_object.h"

using Microsoft::WRL::ComPtr;

class CContainerHost final
    : public win::ComObject<CContainerHost, IOleClientSite, IObjectWithSite, IServiceProvider, IOleWindow> {
public:
    void AttachWindow(HWND window) noexcept { window_ = window; }
    // The control may keep its client site longer than the container lives; it then finds nothing.
    void Disconnect() noexcept {
        window_ = nullptr;
        services_.Reset();
    }

    // IOleClientSite: a site that never saves, names or shows anything.
    HRESULT STDMETHODCALLTYPE SaveObject() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker **moniker) noexcept override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer **container) noexcept override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }

    // IObjectWithSite: the site is kept for its services alone.
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown *site) noexcept override {
        ComPtr<IServiceProvider> services;
        if (site) {
            const HRESULT hr = site->QueryInterface(IID_PPV_ARGS(&services));
            if (FAILED(hr)) return hr;
        }
        services_ = std::move(services);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void **site) noexcept override {
        if (!site) return E_POINTER;
        *site = nullptr;
        return services_ ? services_->QueryInterface(iid, site) : E_FAIL;
    }

    // IServiceProvider: the control's requests go to the site.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void **object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        return services_ ? services_->QueryService(service, iid, object) : E_NOINTERFACE;
    }

    // IOleWindow: the hidden window, for a control that wants a parent.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND *window) noexcept override {
        if (!window) return E_POINTER;
        *window = window_;
        return window_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

private:
    friend class win::ComObject<CContainerHost, IOleClientSite, IObjectWithSite, IServiceProvider, IOleWindow>;
    ~CContainerHost() override = default;

    HWND window_ = nullptr;
    ComPtr<IServiceProvider> services_;
};

namespace {

constexpr wchar_t kWindowClass[] = L"OrvikPlayerContainer";

HINSTANCE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       kWindowClass, &module);
    return module;
}

// Once per process. The window has no behaviour of its own, so the system's procedure serves, and a
// class left registered by an unloaded copy of the library never calls into freed code.
bool RegisterWindowClass() noexcept {
    static const bool registered = [] {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HRESULT QueryPart(IUnknown *part, REFIID iid, void **object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    return part ? part->QueryInterface(iid, object) : E_UNEXPECTED;
}

}  // namespace

CControlContainer::CControlContainer() noexcept = default;

CControlContainer::~CControlContainer() {
    ComPtr<IOleObject> oleObject;
    if (control_ && SUCCEEDED(control_.As(&oleObject))) {
        oleObject->Close(OLECLOSE_NOSAVE);
        oleObject->SetClientSite(nullptr);
    }
    if (host_) host_->Disconnect();
}

bool CControlContainer::CreateHost() noexcept {
    host_ = win::AdoptReference(CContainerHost::Create());
    return host_ != nullptr;
}

bool CControlContainer::CreateHiddenWindow() noexcept {
    if (!host_ || !RegisterWindowClass()) return false;
    window_.reset(CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(),
                                  nullptr));
    host_->AttachWindow(window_.get());
    return IsWindow(window_.get()) != FALSE;
}

HRESULT CControlContainer::QueryHost(REFIID iid, void **object) const noexcept {
    return QueryPart(static_cast<IOleClientSite *>(host_.Get()), iid, object);
}

HRESULT CControlContainer::CreateControl(const wchar_t *clsid, IOleClientSite *clientSite) noexcept {
    CLSID classId = {};
    HRESULT hr = CLSIDFromString(clsid, &classId);
    if (FAILED(hr)) return hr;
    ComPtr<IUnknown> control;
    hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control));
    if (FAILED(hr)) return hr;
    ComPtr<IOleObject> oleObject;
    if (clientSite && SUCCEEDED(control.As(&oleObject))) {
        hr = oleObject->SetClientSite(clientSite);
        if (FAILED(hr)) return hr;
    }
    control_ = std::move(control);
    return S_OK;
}

HRESULT CControlContainer::QueryControl(REFIID iid, void **object) const noexcept {
    return QueryPart(control_.Get(), iid, object);
}
