// The remote host as the player control sees it through its site's services.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include "win/adopt_reference.h"
#include "player/remote_host.h"
#include "player/unique_bstr.h"

namespace {

using Microsoft::WRL::ComPtr;

class RemoteHostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host_); }

    ComPtr<CRemoteHost> host_ = win::AdoptReference(CRemoteHost::Create());
};

// The control asks under a service GUID of its own choosing; any GUID gives the object itself.
TEST_F(RemoteHostTest, AnyServiceGivesTheHostsOwnInterfaces) {
    constexpr GUID kSomeService = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ComPtr<IWMPRemoteMediaServices> services;
    ASSERT_HRESULT_SUCCEEDED(host_->QueryService(kSomeService, IID_PPV_ARGS(&services)));
    EXPECT_EQ(services.Get(), static_cast<IWMPRemoteMediaServices *>(host_.Get()));

    void *other = reinterpret_cast<void *>(0xdeadbeef);
    EXPECT_EQ(host_->QueryService(GUID_NULL, __uuidof(IDispatch), &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(host_->QueryService(GUID_NULL, __uuidof(IWMPRemoteMediaServices), nullptr), E_POINTER);
}

TEST_F(RemoteHostTest, NamesWithoutSkinOrScriptableObject) {
    EXPECT_EQ(host_->GetServiceType(nullptr), E_POINTER);
    EXPECT_EQ(host_->GetApplicationName(nullptr), E_POINTER);

    BSTR name = reinterpret_cast<BSTR>(0xdeadbeef);
    IDispatch *object = reinterpret_cast<IDispatch *>(0xdeadbeef);
    EXPECT_EQ(host_->GetScriptableObject(&name, &object), E_NOTIMPL);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(host_->GetScriptableObject(nullptr, nullptr), E_NOTIMPL);

    BSTR file = reinterpret_cast<BSTR>(0xdeadbeef);
    EXPECT_EQ(host_->GetCustomUIMode(&file), E_NOTIMPL);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(host_->GetCustomUIMode(nullptr), E_NOTIMPL);
}

}  // namespace
