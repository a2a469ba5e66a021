// The class objects: found by CoCreateInstance once registered, and counted until released.
#include <portabledevicetypes.h>
#include <wrl/client.h>

#include "device/wpd_api.h"
#include "tests/virtualphone/values/values_test_support.h"

using Microsoft::WRL::ComPtr;

namespace {

class ClassObjectsTest : public values_test::ReleasedAllTest {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void TearDown() override { CoUninitialize(); }
};

const CLSID kClasses[] = {wpd::CLSID_PortableDeviceValues, wpd::CLSID_PortableDeviceKeyCollection,
                          wpd::CLSID_PortableDevicePropVariantCollection};

TEST_F(ClassObjectsTest, CoCreateInstanceFindsTheClassesWhileRegistered) {
    vphone::ValueClassRegistration registration;
    ASSERT_HRESULT_SUCCEEDED(registration.Register());
    for (const CLSID &clsid : kClasses) {
        ComPtr<IUnknown> object;
        EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)));
    }
    registration.Revoke();  // lets COM release the class objects, which the fixture counts
}

// A server asks its other parts for classes that are not these.
TEST_F(ClassObjectsTest, ClassObjectRefusesAggregationAndOtherClassesAndCountsLocks) {
    void *unknownClass = this;
    EXPECT_EQ(vphone::GetValueClassObject(wpd::CLSID_PortableDevice, IID_IClassFactory, &unknownClass),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(unknownClass, nullptr);
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    ASSERT_HRESULT_SUCCEEDED(vphone::GetValueClassObject(kClasses[1], IID_PPV_ARGS(&factory)));
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_PPV_ARGS(&object)), CLASS_E_NOAGGREGATION);
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(vphone::LiveValueObjects(), 1) << "a server lock keeps the code in use";
    ASSERT_HRESULT_SUCCEEDED(vphone::GetValueClassObject(kClasses[1], IID_PPV_ARGS(&factory)));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
}

}  // namespace
