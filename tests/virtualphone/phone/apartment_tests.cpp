// The apartment rule: the phone's objects answer only in the apartment that made them, as a real
// portable-device object reached without marshalling would.
#include "phone_session.h"

#include "virtualphone/platform/object_apartment.h"
#include "virtualphone/platform/platform_classes.h"

#include <functional>
#include <thread>

namespace vphone_test {
namespace {

void OnThread(DWORD apartment, const std::function<void()> &work) {
    std::thread([&] {
        const HRESULT com = CoInitializeEx(nullptr, apartment);
        work();
        if (SUCCEEDED(com)) CoUninitialize();
    }).join();
}

// A manager made on the calling thread, in its apartment.
ComPtr<IPortableDeviceManager> NewManager(const std::shared_ptr<vphone::PhoneSet> &phones) {
    ComPtr<IClassFactory> factory;
    ComPtr<IPortableDeviceManager> manager;
    EXPECT_EQ(vphone::GetPlatformClassObject(phones, wpd::CLSID_PortableDeviceManager, IID_PPV_ARGS(&factory)), S_OK);
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&manager)), S_OK);
    }
    return manager;
}

std::shared_ptr<vphone::PhoneSet> SamplePhones() {
    auto phones = std::make_shared<vphone::PhoneSet>();
    phones->Add(SamplePhone());
    return phones;
}

using PhoneApartment = PhoneSession;

TEST_F(PhoneApartment, CallsFromASingleThreadedApartmentAreRefusedAndTheirReleasesCounted) {
    ComPtr<IPortableDeviceContent> content = Content();
    const long before = vphone::ApartmentViolations();
    OnThread(COINIT_APARTMENTTHREADED, [&] {
        ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
        EXPECT_EQ(content->EnumObjects(0, L"DEVICE", nullptr, &enumerator), RPC_E_WRONG_THREAD);
        ComPtr<IPortableDeviceProperties> properties;
        EXPECT_EQ(content.As(&properties), RPC_E_WRONG_THREAD);
        content->AddRef();
        content->Release();
    });
    EXPECT_EQ(vphone::ApartmentViolations() - before, 4);
    // Any thread of the multithreaded apartment may call, one that joined it or one that never entered COM.
    for (DWORD apartment : {static_cast<DWORD>(COINIT_MULTITHREADED), static_cast<DWORD>(-1)}) {
        std::thread([&] {
            const HRESULT com = apartment == static_cast<DWORD>(-1) ? E_FAIL : CoInitializeEx(nullptr, apartment);
            ComPtr<IPortableDeviceProperties> properties;
            EXPECT_EQ(content->Properties(&properties), S_OK);
            if (SUCCEEDED(com)) CoUninitialize();
        }).join();
    }
    EXPECT_EQ(vphone::ApartmentViolations() - before, 4);
}

TEST(PhoneApartmentRule, SingleThreadedObjectsAnswerOnlyTheirThread) {
    const auto phones = SamplePhones();
    ComPtr<IPortableDeviceManager> manager;
    OnThread(COINIT_APARTMENTTHREADED, [&] {
        manager = NewManager(phones);
        ASSERT_TRUE(manager);
        EXPECT_EQ(manager->RefreshDeviceList(), S_OK);
        const long before = vphone::ApartmentViolations();
        OnThread(COINIT_APARTMENTTHREADED, [&] { EXPECT_EQ(manager->RefreshDeviceList(), RPC_E_WRONG_THREAD); });
        OnThread(COINIT_MULTITHREADED, [&] { EXPECT_EQ(manager->RefreshDeviceList(), RPC_E_WRONG_THREAD); });
        EXPECT_EQ(vphone::ApartmentViolations() - before, 2);
        manager.Reset();
    });
    EXPECT_EQ(phones->Accounting().LiveObjects(), 0);
}

// When the last thread leaves the multithreaded apartment, its objects' code may be unloaded: a
// client that kept one and calls it from a later apartment finds it disconnected.
TEST(PhoneApartmentRule, ObjectsOfAnEndedMultithreadedApartmentAreDisconnected) {
    const auto phones = SamplePhones();
    ComPtr<IPortableDeviceManager> manager;
    OnThread(COINIT_MULTITHREADED, [&] { manager = NewManager(phones); });
    ASSERT_TRUE(manager);
    const long before = vphone::ApartmentViolations();
    OnThread(COINIT_MULTITHREADED, [&] {
        EXPECT_EQ(manager->RefreshDeviceList(), RPC_E_DISCONNECTED);
        manager.Reset();
    });
    EXPECT_EQ(vphone::ApartmentViolations() - before, 2);
    EXPECT_EQ(phones->Accounting().LiveObjects(), 0);
}

}  // namespace
}  // namespace vphone_test
