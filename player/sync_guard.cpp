// Whether the running media player synchronises this phone: the player control, hosted in remote
// mode, lists the player's synchronisation devices. The check is best effort: every failure is logged
// and answers no, so the guarded operation goes ahead.
#include <ocidl.h>

#include <string_view>

#include "log/log_line.h"
#include "media/folder_list.h"
#include "win/adopt_reference.h"
#include "player/control_container.h"
#include "player/remote_host.h"
#include "player/unique_bstr.h"
#include "player/wmp_sync_services.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kPlayerControl[] = L"{6BF52A52-394A-11d3-B153-00C04F79FAA6}";

unsigned Code(HRESULT hr) { return static_cast<unsigned>(hr); }

// Exact and case-sensitive, over the whole BSTR.
bool IsPhoneName(BSTR name, const wchar_t *phoneName) {
    return std::wstring_view(name ? name : L"", SysStringLen(name)) == std::wstring_view(phoneName);
}

// The first device in the player's order that carries the phone's name; null when none does.
ComPtr<IWMPSyncDevice> FindPhone(IWMPSyncServices *sync, long count, const wchar_t *phoneName) {
    for (long i = 0; i < count; ++i) {
        ComPtr<IWMPSyncDevice> device;
        HRESULT hr = sync->getDevice(i, &device);
        if (SUCCEEDED(hr) && !device) hr = E_POINTER;
        if (FAILED(hr)) {
            LogLine(1, "getDevice failed on device #%d, hr = %08x", static_cast<int>(i), Code(hr));
            continue;
        }
        win::UniqueBstr name;
        hr = device->get_friendlyName(name.put());
        if (FAILED(hr)) {
            LogLine(1, "get_friendlyName failed on device #%d, hr = %08x", static_cast<int>(i), Code(hr));
            continue;
        }
        if (IsPhoneName(name.get(), phoneName)) return device;
    }
    return nullptr;
}

// True when hr is a failure, which is then logged with line (that may show the code with %08x).
bool FailedWithLog(HRESULT hr, const char *line) {
    if (SUCCEEDED(hr)) return false;
    LogLine(1, line, Code(hr));
    return true;
}

// The remote host goes to the container's site before the control exists, so that the control finds
// it when it receives its client site.
BOOL QueryPlayerSyncState(CControlContainer &container, IObjectWithSite *site, CRemoteHost *remoteHost,
                          const wchar_t *phoneName) {
    if (FailedWithLog(site->SetSite(static_cast<IWMPRemoteMediaServices *>(remoteHost)),
                      "Setting the remote host site failed")) {
        return FALSE;
    }
    ComPtr<IOleClientSite> clientSite;
    if (FailedWithLog(container.QueryHost(IID_PPV_ARGS(&clientSite)), "Querying the remote host site failed") ||
        FailedWithLog(container.CreateControl(kPlayerControl, clientSite.Get()),
                      "Creating the player interface failed")) {
        return FALSE;
    }
    ComPtr<IWMPPlayer4> player;
    ComPtr<IWMPSyncServices> sync;
    long count = 0;
    if (FailedWithLog(container.QueryControl(IID_PPV_ARGS(&player)), "Querying the player interface failed") ||
        FailedWithLog(player.As(&sync), "QueryInterface on IWMPSyncServices failed, hr = %08x") ||
        FailedWithLog(sync->get_deviceCount(&count), "get_deviceCount failed, hr = %08x")) {
        return FALSE;
    }
    const ComPtr<IWMPSyncDevice> phone = FindPhone(sync.Get(), count, phoneName);
    WMPSyncState state = wmpssUnknown;
    if (!phone || FailedWithLog(phone->get_syncState(&state), "get_syncState failed, hr = %08x") ||
        state != wmpssSynchronizing) {
        return FALSE;
    }
    LogLine(1, "Device is synchronizing, aborting file operation");
    return TRUE;
}

}  // namespace

BOOL CFolderList::IsDeviceSynchronizing() const {
    CControlContainer container;
    if (!container.CreateHost()) {
        LogLine(1, "Creating the ActiveX control container failed");
        return FALSE;
    }
    if (!container.CreateHiddenWindow()) {
        LogLine(1, "Creating the ActiveX control failed");
        return FALSE;
    }
    ComPtr<IObjectWithSite> site;
    if (FAILED(container.QueryHost(IID_PPV_ARGS(&site)))) {
        LogLine(1, "Querying the ActiveX control host failed");
        return FALSE;
    }
    const ComPtr<CRemoteHost> remoteHost = win::AdoptReference(CRemoteHost::Create());
    if (!remoteHost) {
        LogLine(1, "Creating the remote host failed");
        return FALSE;
    }
    return QueryPlayerSyncState(container, site.Get(), remoteHost.Get(), friendlyName_);
}
