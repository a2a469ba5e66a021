// COM registration in the prefix: what an unmodified host's CoCreateInstance reads, and that another
// server's registration is never taken over or removed.
#include "device/wpd_api.h"
#include "virtualphone/install/com_registration.h"
#include "virtualphone/install/registry.h"

#include <gtest/gtest.h>

namespace vphone::install {
namespace {

const CLSID *const kClasses[] = {&wpd::CLSID_PortableDeviceManager, &wpd::CLSID_PortableDevice,
                                 &wpd::CLSID_PortableDeviceValues, &wpd::CLSID_PortableDeviceKeyCollection,
                                 &wpd::CLSID_PortableDevicePropVariantCollection};

std::wstring ServerKey(const CLSID &clsid) {
    wchar_t text[39];
    StringFromGUID2(clsid, text, 39);
    return std::wstring(L"Software\\Classes\\CLSID\\") + text + L"\\InprocServer32";
}

class ComRegistration : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(UnregisterServer(), S_OK); }
};

TEST_F(ComRegistration, PointsEveryClassAtTheServer) {
    const std::wstring server = L"C:\\phones\\virtualphone.dll";
    ASSERT_EQ(RegisterServer(server), S_OK);
    for (const CLSID *clsid : kClasses) {
        UniqueKey key;
        ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, ServerKey(*clsid), KEY_READ, &key), S_OK);
        std::wstring path, model;
        EXPECT_EQ(ReadString(key.get(), nullptr, &path), S_OK);
        EXPECT_EQ(ReadString(key.get(), L"ThreadingModel", &model), S_OK);
        EXPECT_EQ(path, server);
        EXPECT_EQ(model, L"Both");
    }
    // Registering again (another build of the server) replaces the path.
    ASSERT_EQ(RegisterServer(L"D:\\other\\VirtualPhone.DLL"), S_OK);
    std::wstring registered;
    EXPECT_EQ(RegisteredServer(&registered), S_OK);
    EXPECT_EQ(registered, L"D:\\other\\VirtualPhone.DLL");

    ASSERT_EQ(UnregisterServer(), S_OK);
    EXPECT_EQ(RegisteredServer(&registered), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    for (const CLSID *clsid : kClasses) {
        UniqueKey key;
        EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, ServerKey(*clsid), KEY_READ, &key), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(ComRegistration, LeavesAnotherServersClassAlone) {
    const std::wstring foreignKey = ServerKey(wpd::CLSID_PortableDevice);
    UniqueKey key;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, foreignKey, &key), S_OK);
    ASSERT_EQ(WriteString(key.get(), nullptr, L"C:\\vendor\\wpdserver.dll"), S_OK);

    EXPECT_EQ(RegisterServer(L"C:\\phones\\virtualphone.dll"), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    std::wstring registered;
    EXPECT_EQ(RegisteredServer(&registered), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << "nothing half-registered";
    EXPECT_EQ(UnregisterServer(), S_OK);
    std::wstring path;
    EXPECT_EQ(ReadString(key.get(), nullptr, &path), S_OK);
    EXPECT_EQ(path, L"C:\\vendor\\wpdserver.dll");

    key.reset();
    std::wstring classKey = foreignKey.substr(0, foreignKey.rfind(L'\\'));
    EXPECT_EQ(DeleteTree(HKEY_LOCAL_MACHINE, classKey), S_OK);
}

}  // namespace
}  // namespace vphone::install
