// The least control containment the media player guard needs: a hidden window on the calling thread,
// a host object that stands for the container towards the control (its client site, and the holder of
// the site whose services the control may ask for), and the control itself. Everything goes when the
// container goes.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include "win/unique_any.h"

class CContainerHost;

class CControlContainer {
public:
    CControlContainer() noexcept;
    // Closes the control and takes its client site away, drops the host's site, destroys the window.
    ~CControlContainer();
    CControlContainer(const CControlContainer &) = delete;
    CControlContainer &operator=(const CControlContainer &) = delete;

    // The host object; false when memory runs out.
    [[nodiscard]] bool CreateHost() noexcept;
    // The hidden window (a never-shown popup) on the calling thread, which the host reports to the
    // control as its window; false when no window exists. The host comes first.
    [[nodiscard]] bool CreateHiddenWindow() noexcept;
    // The host's interfaces: IObjectWithSite takes the object that answers the control's service
    // requests, IOleClientSite is what the control is given.
    HRESULT QueryHost(REFIID iid, void **object) const noexcept;
    // Creates the control in this process from its CLSID string, and gives it clientSite when it is an
    // OLE object.
    HRESULT CreateControl(const wchar_t *clsid, IOleClientSite *clientSite) noexcept;
    HRESULT QueryControl(REFIID iid, void **object) const noexcept;

private:
    win::UniqueWindow window_;
    Microsoft::WRL::ComPtr<CContainerHost> host_;
    Microsoft::WRL::ComPtr<IUnknown> control_;
};
