#include "player/fake_player.h"

#include <atomic>

#include "win/adopt_reference.h"
#include "player/wmp_sync_services.h"
#include "win/com_object.h"

using Microsoft::WRL::ComPtr;

// The methods of the player's interfaces that the guard has no business calling.
#define NOT_IMPLEMENTED(method, ...) \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) noexcept override { return E_NOTIMPL; }

namespace orvik_test {

struct FakePlayerState {
    FakePlayerSetup setup;
    FakePlayerRecord record;
};

namespace {

std::atomic<int> liveObjects{0};

struct LiveObject {
    LiveObject() { ++liveObjects; }
    ~LiveObject() { --liveObjects; }
};

// A text answer: null on failure, a BSTR of text otherwise.
HRESULT Answer(HRESULT result, const std::wstring &text, BSTR *out) {
    *out = nullptr;
    if (FAILED(result)) return result;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class FakeDevice final : public win::ComObject<FakeDevice, IWMPSyncDevice> {
public:
    HRESULT STDMETHODCALLTYPE get_friendlyName(BSTR *name) noexcept override {
        return Answer(S_OK, device_.friendlyName, name);
    }
    HRESULT STDMETHODCALLTYPE get_deviceName(BSTR *name) noexcept override {
        return Answer(device_.deviceNameResult, device_.deviceName, name);
    }
    HRESULT STDMETHODCALLTYPE get_deviceId(BSTR *id) noexcept override {
        return Answer(device_.idResult, device_.id, id);
    }
    HRESULT STDMETHODCALLTYPE get_syncState(WMPSyncState *state) noexcept override {
        if (FAILED(device_.stateResult)) return device_.stateResult;
        *state = device_.state;
        return S_OK;
    }
    NOT_IMPLEMENTED(put_friendlyName, BSTR)
    NOT_IMPLEMENTED(get_partnershipIndex, LONG *)
    NOT_IMPLEMENTED(get_connected, VARIANT_BOOL *)
    NOT_IMPLEMENTED(get_status, WMPDeviceStatus *)
    NOT_IMPLEMENTED(get_progress, LONG *)
    NOT_IMPLEMENTED(getItemInfo, BSTR, BSTR *)
    NOT_IMPLEMENTED(createPartnership, VARIANT_BOOL)
    NOT_IMPLEMENTED(deletePartnership)
    NOT_IMPLEMENTED(start)
    NOT_IMPLEMENTED(stop)
    NOT_IMPLEMENTED(showSettings)
    NOT_IMPLEMENTED(isIdentical, IWMPSyncDevice *, VARIANT_BOOL *)

private:
    friend class win::ComObject<FakeDevice, IWMPSyncDevice>;
    explicit FakeDevice(FakeSyncDevice device) : device_(std::move(device)) {}
    ~FakeDevice() override = default;

    FakeSyncDevice device_;
    LiveObject live_;
};

class FakePlayer final : public win::ComObject<FakePlayer, IWMPPlayer4, IWMPSyncServices, IOleObject> {
    using Base = win::ComObject<FakePlayer, IWMPPlayer4, IWMPSyncServices, IOleObject>;

public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) noexcept override {
        if (iid == __uuidof(IWMPSyncServices) && !state_->setup.hasSyncServices) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return Base::QueryInterface(iid, object);
    }

    // IWMPSyncServices
    HRESULT STDMETHODCALLTYPE get_deviceCount(long *count) noexcept override {
        if (FAILED(state_->setup.deviceCountResult)) return state_->setup.deviceCountResult;
        *count = static_cast<long>(state_->setup.devices.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getDevice(long index, IWMPSyncDevice **device) noexcept override {
        *device = nullptr;
        const auto &devices = state_->setup.devices;
        if (index < 0 || static_cast<size_t>(index) >= devices.size()) return E_INVALIDARG;
        if (FAILED(devices[index].getDeviceResult)) return devices[index].getDeviceResult;
        *device = FakeDevice::Create(devices[index]);
        return *device ? S_OK : E_OUTOFMEMORY;
    }

    // IOleObject: the client site is where a remoted control finds its remote host.
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite *site) noexcept override {
        clientSite_ = site;
        FakePlayerRecord &record = state_->record;
        if (!site) {
            ++record.clientSitesCleared;
            return S_OK;
        }
        record.clientSite = site;
        ComPtr<IServiceProvider> services;
        if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&services)))) {
            services->QueryService(__uuidof(IWMPRemoteMediaServices), IID_PPV_ARGS(&record.remoteHost));
        }
        ComPtr<IOleWindow> window;
        if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&window))) &&
            SUCCEEDED(window->GetWindow(&record.siteWindow))) {
            record.siteWindowVisible = IsWindowVisible(record.siteWindow) != FALSE;
            record.siteWindowStyle = GetWindowLongPtrW(record.siteWindow, GWL_STYLE);
            record.siteWindowThread = GetWindowThreadProcessId(record.siteWindow, nullptr);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite **site) noexcept override {
        return clientSite_.CopyTo(site);
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD) noexcept override { return S_OK; }
    NOT_IMPLEMENTED(SetHostNames, LPCOLESTR, LPCOLESTR)
    NOT_IMPLEMENTED(SetMoniker, DWORD, IMoniker *)
    NOT_IMPLEMENTED(GetMoniker, DWORD, DWORD, IMoniker **)
    NOT_IMPLEMENTED(InitFromData, IDataObject *, WINBOOL, DWORD)
    NOT_IMPLEMENTED(GetClipboardData, DWORD, IDataObject **)
    NOT_IMPLEMENTED(DoVerb, LONG, LPMSG, IOleClientSite *, LONG, HWND, LPCRECT)
    NOT_IMPLEMENTED(EnumVerbs, IEnumOLEVERB **)
    NOT_IMPLEMENTED(Update)
    NOT_IMPLEMENTED(IsUpToDate)
    NOT_IMPLEMENTED(GetUserClassID, CLSID *)
    NOT_IMPLEMENTED(GetUserType, DWORD, LPOLESTR *)
    NOT_IMPLEMENTED(SetExtent, DWORD, SIZEL *)
    NOT_IMPLEMENTED(GetExtent, DWORD, SIZEL *)
    NOT_IMPLEMENTED(Advise, IAdviseSink *, DWORD *)
    NOT_IMPLEMENTED(Unadvise, DWORD)
    NOT_IMPLEMENTED(EnumAdvise, IEnumSTATDATA **)
    NOT_IMPLEMENTED(GetMiscStatus, DWORD, DWORD *)
    NOT_IMPLEMENTED(SetColorScheme, LOGPALETTE *)

    // IDispatch and the player interfaces
    NOT_IMPLEMENTED(GetTypeInfoCount, UINT *)
    NOT_IMPLEMENTED(GetTypeInfo, UINT, LCID, ITypeInfo **)
    NOT_IMPLEMENTED(GetIDsOfNames, REFIID, LPOLESTR *, UINT, LCID, DISPID *)
    NOT_IMPLEMENTED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
    NOT_IMPLEMENTED(close)
    NOT_IMPLEMENTED(get_URL, BSTR *)
    NOT_IMPLEMENTED(put_URL, BSTR)
    NOT_IMPLEMENTED(get_openState, WMPOpenState *)
    NOT_IMPLEMENTED(get_playState, WMPPlayState *)
    NOT_IMPLEMENTED(get_controls, IWMPControls **)
    NOT_IMPLEMENTED(get_settings, IWMPSettings **)
    NOT_IMPLEMENTED(get_currentMedia, IWMPMedia **)
    NOT_IMPLEMENTED(put_currentMedia, IWMPMedia *)
    NOT_IMPLEMENTED(get_mediaCollection, IWMPMediaCollection **)
    NOT_IMPLEMENTED(get_playlistCollection, IWMPPlaylistCollection **)
    NOT_IMPLEMENTED(get_versionInfo, BSTR *)
    NOT_IMPLEMENTED(launchURL, BSTR)
    NOT_IMPLEMENTED(get_network, IWMPNetwork **)
    NOT_IMPLEMENTED(get_currentPlaylist, IWMPPlaylist **)
    NOT_IMPLEMENTED(put_currentPlaylist, IWMPPlaylist *)
    NOT_IMPLEMENTED(get_cdromCollection, IWMPCdromCollection **)
    NOT_IMPLEMENTED(get_closedCaption, IWMPClosedCaption **)
    NOT_IMPLEMENTED(get_isOnline, VARIANT_BOOL *)
    NOT_IMPLEMENTED(get_Error, IWMPError **)
    NOT_IMPLEMENTED(get_status, BSTR *)
    NOT_IMPLEMENTED(get_dvd, IWMPDVD **)
    NOT_IMPLEMENTED(newPlaylist, BSTR, BSTR, IWMPPlaylist **)
    NOT_IMPLEMENTED(newMedia, BSTR, IWMPMedia **)
    NOT_IMPLEMENTED(get_enabled, VARIANT_BOOL *)
    NOT_IMPLEMENTED(put_enabled, VARIANT_BOOL)
    NOT_IMPLEMENTED(get_fullScreen, VARIANT_BOOL *)
    NOT_IMPLEMENTED(put_fullScreen, VARIANT_BOOL)
    NOT_IMPLEMENTED(get_enableContextMenu, VARIANT_BOOL *)
    NOT_IMPLEMENTED(put_enableContextMenu, VARIANT_BOOL)
    NOT_IMPLEMENTED(put_uiMode, BSTR)
    NOT_IMPLEMENTED(get_uiMode, BSTR *)
    NOT_IMPLEMENTED(get_stretchToFit, VARIANT_BOOL *)
    NOT_IMPLEMENTED(put_stretchToFit, VARIANT_BOOL)
    NOT_IMPLEMENTED(get_windowlessVideo, VARIANT_BOOL *)
    NOT_IMPLEMENTED(put_windowlessVideo, VARIANT_BOOL)
    NOT_IMPLEMENTED(get_isRemote, VARIANT_BOOL *)
    NOT_IMPLEMENTED(get_playerApplication, IWMPPlayerApplication **)
    NOT_IMPLEMENTED(openPlayer, BSTR)

private:
    friend Base;
    explicit FakePlayer(std::shared_ptr<FakePlayerState> state) : state_(std::move(state)) {}
    ~FakePlayer() override = default;

    std::shared_ptr<FakePlayerState> state_;
    ComPtr<IOleClientSite> clientSite_;
    LiveObject live_;
};

class FakePlayerFactory final : public win::ComObject<FakePlayerFactory, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) noexcept override {
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (state_->setup.creationFails) return E_FAIL;
        const ComPtr<FakePlayer> player = win::AdoptReference(FakePlayer::Create(state_));
        return player ? player->QueryInterface(iid, object) : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    friend class win::ComObject<FakePlayerFactory, IClassFactory>;
    explicit FakePlayerFactory(std::shared_ptr<FakePlayerState> state) : state_(std::move(state)) {}
    ~FakePlayerFactory() override = default;

    std::shared_ptr<FakePlayerState> state_;
};

}  // namespace

FakePlayerRegistration::FakePlayerRegistration(FakePlayerSetup setup)
    : state_(std::make_shared<FakePlayerState>(FakePlayerState{std::move(setup), {}})) {
    const ComPtr<FakePlayerFactory> factory = win::AdoptReference(FakePlayerFactory::Create(state_));
    CLSID player = {};
    if (!factory || FAILED(CLSIDFromString(L"{6BF52A52-394A-11d3-B153-00C04F79FAA6}", &player))) return;
    CoRegisterClassObject(player, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

FakePlayerRegistration::~FakePlayerRegistration() {
    if (cookie_) CoRevokeClassObject(cookie_);
}

const FakePlayerRecord &FakePlayerRegistration::Record() const { return state_->record; }

int FakePlayerRegistration::LiveObjects() { return liveObjects; }

ULONG ReferenceCount(IUnknown *object) {
    object->AddRef();
    return object->Release();
}

}  // namespace orvik_test
