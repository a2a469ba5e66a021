// A stand-in for the media player control, registered in this process under the player's CLSID for the
// lifetime of a FakePlayerRegistration. Like the real control in remote mode, it asks its client site
// for the remote host when it receives the site, and it lists the synchronisation devices it was given.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wmp.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

namespace orvik_test {

struct FakePlayerState;

struct FakeSyncDevice {
    std::wstring id = {};            // the device's serial number
    std::wstring deviceName = {};    // as the system shows it
    std::wstring friendlyName = {};  // as the user named it in the player
    WMPSyncState state = wmpssUnknown;
    HRESULT getDeviceResult = S_OK;  // a failure here makes getDevice fail for this index
    HRESULT idResult = S_OK;
    HRESULT deviceNameResult = S_OK;
    HRESULT stateResult = S_OK;
};

struct FakePlayerSetup {
    bool creationFails = false;
    bool hasSyncServices = true;
    HRESULT deviceCountResult = S_OK;
    std::vector<FakeSyncDevice> devices;
};

// What the control saw when it was given its client site.
struct FakePlayerRecord {
    Microsoft::WRL::ComPtr<IOleClientSite> clientSite;
    Microsoft::WRL::ComPtr<IWMPRemoteMediaServices> remoteHost;  // from the site's QueryService
    HWND siteWindow = nullptr;                                   // from the site's IOleWindow
    bool siteWindowVisible = false;
    LONG_PTR siteWindowStyle = 0;
    DWORD siteWindowThread = 0;
    int clientSitesCleared = 0;
};

class FakePlayerRegistration {
public:
    explicit FakePlayerRegistration(FakePlayerSetup setup);
    ~FakePlayerRegistration();
    FakePlayerRegistration(const FakePlayerRegistration &) = delete;
    FakePlayerRegistration &operator=(const FakePlayerRegistration &) = delete;

    bool Registered() const { return cookie_ != 0; }
    const FakePlayerRecord &Record() const;

    // Fake controls and devices that still exist, in the whole process.
    static int LiveObjects();

private:
    std::shared_ptr<FakePlayerState> state_;
    DWORD cookie_ = 0;
};

// The reference count of an object, read through AddRef and Release.
ULONG ReferenceCount(IUnknown *object);

}  // namespace orvik_test
