// Whether the running media player synchronises this phone: the player control, hosted in remote
// mode in an apartment of its own, lists the player's synchronisation devices. The check is best
// effort: every failure is logged and answers no, so the guarded operation goes ahead.
#include <ocidl.h>

#include <string_view>
#include <utility>

#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/folder_list.h"
#include "player/player_check.h"
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
bool SameText(BSTR text, const std::wstring &expected) {
    return std::wstring_view(text ? text : L"", SysStringLen(text)) == expected;
}

enum class Identity { Phone, Other, CannotTell };

// The device id decides where both sides have one, else the device name; a device that gives
// neither cannot be told apart from the phone.
Identity IdentifyDevice(IWMPSyncDevice *device, long index, const PlayerPhone &phone) {
    win::UniqueBstr id;
    HRESULT hr = device->get_deviceId(id.put());
    if (FAILED(hr)) {
        LogLine(1, "get_deviceId failed on device #%d, hr = %08x", static_cast<int>(index), Code(hr));
    } else if (SysStringLen(id.get()) > 0 && !phone.serialNumber.empty()) {
        return SameText(id.get(), phone.serialNumber) ? Identity::Phone : Identity::Other;
    }
    win::UniqueBstr name;
    hr = device->get_deviceName(name.put());
    if (FAILED(hr)) {
        LogLine(1, "get_deviceName failed on device #%d, hr = %08x", static_cast<int>(index), Code(hr));
    } else if (SysStringLen(name.get()) > 0 && !phone.deviceName.empty()) {
        return SameText(name.get(), phone.deviceName) ? Identity::Phone : Identity::Other;
    }
    LogLine(1, "Cannot tell whether device #%d is the phone", static_cast<int>(index));
    return Identity::CannotTell;
}

// Whether a device that may be the phone is busy: synchronising, or estimating a synchronisation
// that is about to start.
bool DeviceBusy(IWMPSyncServices *sync, long index, const PlayerPhone &phone) {
    ComPtr<IWMPSyncDevice> device;
    HRESULT hr = sync->getDevice(index, &device);
    if (SUCCEEDED(hr) && !device) hr = E_POINTER;
    if (FAILED(hr)) {
        LogLine(1, "getDevice failed on device #%d, hr = %08x", static_cast<int>(index), Code(hr));
        return false;
    }
    if (IdentifyDevice(device.Get(), index, phone) == Identity::Other) return false;
    WMPSyncState state = wmpssUnknown;
    hr = device->get_syncState(&state);
    if (FAILED(hr)) {
        LogLine(1, "get_syncState failed, hr = %08x", Code(hr));
        return false;
    }
    return state == wmpssSynchronizing || state == wmpssEstimating;
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
                          const PlayerPhone &phone) {
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
    for (long i = 0; i < count; ++i) {
        if (DeviceBusy(sync.Get(), i, phone)) {
            LogLine(1, "Device is synchronizing, aborting file operation");
            return TRUE;
        }
    }
    return FALSE;
}

DWORD WINAPI CheckInOwnApartment(void *parameter) {
    auto &check = *static_cast<std::pair<const PlayerPhone *, BOOL> *>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com)) {
        LogLine(1, "Entering the player's apartment failed, hr = %08x", Code(com));
        return 1;
    }
    try {
        check.second = PlayerSynchronizes(*check.first);
    } catch (...) {
        LogLine(1, "Asking the player failed");
    }
    CoUninitialize();
    return 0;
}

HRESULT ReadSerialNumber(IPortableDevice *device, win::UniqueCoTaskMemString &serial) {
    ComPtr<IPortableDeviceContent> content;
    RETURN_IF_FAILED(ContentOf(device, content));
    ComPtr<IPortableDeviceProperties> properties;
    RETURN_IF_FAILED(content->Properties(&properties));
    ComPtr<IPortableDeviceKeyCollection> keys;
    RETURN_IF_FAILED(CreateKeyCollection(keys));
    RETURN_IF_FAILED(keys->Add(wpd::WPD_DEVICE_SERIAL_NUMBER));
    ComPtr<IPortableDeviceValues> values;
    RETURN_IF_FAILED(properties->GetValues(wpd::WPD_DEVICE_OBJECT_ID, keys.Get(), &values));
    return values->GetStringValue(wpd::WPD_DEVICE_SERIAL_NUMBER, serial.put());
}

// The phone's serial number, asked only when the player is: empty when it cannot be read.
std::wstring SerialNumberOf(IPortableDevice *device) {
    win::UniqueCoTaskMemString serial;
    const HRESULT hr = ReadSerialNumber(device, serial);
    if (FAILED(hr)) {
        LogLine(1, "Reading the serial number for the player failed, hr = %08x", Code(hr));
        return {};
    }
    return serial.get();
}

}  // namespace

BOOL PlayerSynchronizes(const PlayerPhone &phone) {
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
    return QueryPlayerSyncState(container, site.Get(), remoteHost.Get(), phone);
}

BOOL PlayerSynchronizesFromOwnApartment(const PlayerPhone &phone) {
    std::pair<const PlayerPhone *, BOOL> check{&phone, FALSE};
    const win::UniqueHandle thread(CreateThread(nullptr, 0, &CheckInOwnApartment, &check, 0, nullptr));
    if (!thread) {
        LogLine(1, "Starting the player's apartment failed");
        return FALSE;
    }
    WaitForSingleObject(thread.get(), INFINITE);
    return check.second;
}

BOOL CFolderList::IsDeviceSynchronizing() const {
    return PlayerSynchronizesFromOwnApartment({SerialNumberOf(Device()), friendlyName_});
}
