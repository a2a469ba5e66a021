#include "virtualphone/install/com_registration.h"

#include "device/wpd_api.h"
#include "virtualphone/install/result.h"
#include "win/com_object.h"

#include <shlwapi.h>

namespace vphone::install {
namespace {

constexpr const CLSID *kClasses[] = {
    &wpd::CLSID_PortableDeviceManager,      &wpd::CLSID_PortableDevice,
    &wpd::CLSID_PortableDeviceValues,       &wpd::CLSID_PortableDeviceKeyCollection,
    &wpd::CLSID_PortableDevicePropVariantCollection,
};
constexpr wchar_t kServerFileName[] = L"virtualphone.dll";

std::wstring ClassKey(const CLSID &clsid) {
    wchar_t text[39];
    StringFromGUID2(clsid, text, ARRAYSIZE(text));
    return std::wstring(L"Software\\Classes\\CLSID\\") + text;
}

// The server file registered for clsid; empty when the class is not registered.
std::wstring ServerOf(const CLSID &clsid) {
    UniqueKey key;
    std::wstring path;
    if (FAILED(OpenKey(HKEY_LOCAL_MACHINE, ClassKey(clsid) + L"\\InprocServer32", KEY_READ, &key))) return path;
    if (FAILED(ReadString(key.get(), nullptr, &path))) path.clear();
    return path;
}

bool IsOurServer(const std::wstring &path) { return lstrcmpiW(PathFindFileNameW(path.c_str()), kServerFileName) == 0; }

HRESULT Register(const std::wstring &serverPath) {
    for (const CLSID *clsid : kClasses) {
        const std::wstring existing = ServerOf(*clsid);
        if (!existing.empty() && !IsOurServer(existing)) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    }
    for (const CLSID *clsid : kClasses) {
        UniqueKey server;
        RETURN_IF_FAILED(CreateKey(HKEY_LOCAL_MACHINE, ClassKey(*clsid) + L"\\InprocServer32", &server));
        RETURN_IF_FAILED(WriteString(server.get(), nullptr, serverPath));
        RETURN_IF_FAILED(WriteString(server.get(), L"ThreadingModel", L"Both"));
    }
    return S_OK;
}

HRESULT Unregister() {
    for (const CLSID *clsid : kClasses) {
        if (IsOurServer(ServerOf(*clsid))) RETURN_IF_FAILED(DeleteTree(HKEY_LOCAL_MACHINE, ClassKey(*clsid)));
    }
    return S_OK;
}

}  // namespace

HRESULT RegisterServer(const std::wstring &serverPath) noexcept {
    if (serverPath.empty()) return E_INVALIDARG;
    return win::GuardComMethod([&] { return Register(serverPath); });
}

HRESULT UnregisterServer() noexcept {
    return win::GuardComMethod([] { return Unregister(); });
}

HRESULT RegisteredServer(std::wstring *serverPath) noexcept {
    return win::GuardComMethod([&] {
        *serverPath = ServerOf(wpd::CLSID_PortableDeviceManager);
        return serverPath->empty() ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : S_OK;
    });
}

}  // namespace vphone::install
