#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/cwpd.h"
#include "orvik.h"
#include "support/log_collector.h"

namespace {

struct Translation {
    HRESULT hr;
    WPD_ERROR base;
    WPD_ERROR vendor;
};

class TranslateErrorTest : public testing::TestWithParam<Translation> {};

TEST_P(TranslateErrorTest, EachClassMapsAsItsFamilyDoes) {
    const Translation &t = GetParam();
    CWpdBase base;
    CWpdMtpext mtpext;
    CWpdZeph zeph;
    EXPECT_EQ(base.TranslateError(t.hr), t.base) << std::hex << t.hr;
    EXPECT_EQ(mtpext.TranslateError(t.hr), t.vendor) << std::hex << t.hr;
    EXPECT_EQ(zeph.TranslateError(t.hr), t.vendor) << std::hex << t.hr;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TranslateErrorTest,
    testing::Values(Translation{S_OK, WPD_ERROR_OK, WPD_ERROR_OK}, Translation{S_FALSE, WPD_ERROR_OK, WPD_ERROR_OK},
                    Translation{static_cast<HRESULT>(0x800700AA), WPD_ERROR_BUSY, WPD_ERROR_BUSY},
                    Translation{E_FAIL, WPD_ERROR_FAILED, WPD_ERROR_FAILED},
                    Translation{E_ACCESSDENIED, WPD_ERROR_FAILED, WPD_ERROR_FAILED},
                    Translation{2, WPD_ERROR_FAILED, WPD_ERROR_FAILED},
                    Translation{static_cast<HRESULT>(0xA0002001), WPD_ERROR_FAILED, WPD_ERROR_OK},
                    Translation{static_cast<HRESULT>(0xA0002002), WPD_ERROR_FAILED, WPD_ERROR_MTP_GENERAL_ERROR},
                    Translation{static_cast<HRESULT>(0xA0002003), WPD_ERROR_FAILED, WPD_ERROR_MTP_SESSION_NOT_OPEN},
                    Translation{static_cast<HRESULT>(0xA0002004), WPD_ERROR_FAILED, WPD_ERROR_FAILED},
                    Translation{static_cast<HRESULT>(0xA0002005), WPD_ERROR_FAILED,
                                WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED},
                    Translation{static_cast<HRESULT>(0xA0002006), WPD_ERROR_FAILED,
                                WPD_ERROR_MTP_PARAMETER_NOT_SUPPORTED},
                    Translation{static_cast<HRESULT>(0xA000200C), WPD_ERROR_FAILED, WPD_ERROR_MTP_STORE_FULL},
                    Translation{static_cast<HRESULT>(0xA000200F), WPD_ERROR_FAILED, WPD_ERROR_MTP_ACCESS_DENIED},
                    Translation{static_cast<HRESULT>(0xA0002019), WPD_ERROR_FAILED, WPD_ERROR_MTP_DEVICE_BUSY},
                    Translation{static_cast<HRESULT>(0xA000201D), WPD_ERROR_FAILED, WPD_ERROR_MTP_INVALID_PARAMETER},
                    Translation{static_cast<HRESULT>(0xA000201E), WPD_ERROR_FAILED,
                                WPD_ERROR_MTP_SESSION_ALREADY_OPEN},
                    // Only the response code's own HRESULT form maps; other facilities do not.
                    Translation{static_cast<HRESULT>(0x80002019), WPD_ERROR_FAILED, WPD_ERROR_FAILED}));

// Operations the base and MTP classes do not provide answer 1 whatever they are given.
TEST(DeviceClasses, UnprovidedOperationsAnswerNotSupported) {
    for (const auto &device : {std::unique_ptr<CWpd>(new CWpdBase), std::unique_ptr<CWpd>(new CWpdMtpext)}) {
        EXPECT_EQ(device->GetDeviceTime(nullptr), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->SetDeviceTime(nullptr), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->SyncMLOpenSession(WPD_SYNCML_SERVICE_DATA_SYNC, 1), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->SyncMLCloseSession(), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->SyncMLPut(WPD_SYNCML_MIME_XML, nullptr, 0, 0), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->SyncMLGet(nullptr, nullptr, nullptr, 0), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->ATOpenSession(1), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->ATCloseSession(), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->ATWrite(nullptr), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->ATRead(nullptr), WPD_ERROR_NOT_SUPPORTED);
        EXPECT_EQ(device->InstallApp(nullptr, nullptr, 3), WPD_ERROR_NOT_SUPPORTED);
    }
}

TEST(DeviceClasses, ConstructionLeavesTheHandleUnconnectedWithOneContentObject) {
    CWpdZeph device;
    EXPECT_FALSE(*device.GetDeviceRef());
    EXPECT_EQ(device.GetMonitorCallback(), nullptr);
    EXPECT_FALSE(device.IsMonitorEnabled());
    EXPECT_EQ(device.GetMonitorContext(), nullptr);
    CFolderList *content = device.GetFolderListObject();
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(device.GetFolderListObject(), content);
    EXPECT_EQ(device.Disconnect(), WPD_ERROR_OK);
    EXPECT_EQ(device.GetFolderListObject(), content);
}

int ORVIK_CALL IgnoreEvent(WPD_MONITORED_EVENT, void *, void *) { return 0; }

TEST(Monitor, StartAndStopChangeOnlyForTheProgressEvent) {
    void *handle = WPD_Initialize(0);
    auto &device = *static_cast<CWpd *>(handle);
    int context = 0;

    EXPECT_EQ(WPD_Monitor_Set(handle, IgnoreEvent), WPD_ERROR_OK);
    EXPECT_EQ(device.GetMonitorCallback(), &IgnoreEvent);

    EXPECT_EQ(WPD_Monitor_Start(handle, static_cast<WPD_MONITORED_EVENT>(1), &context), WPD_ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(device.IsMonitorEnabled());
    EXPECT_EQ(device.GetMonitorContext(), nullptr);

    EXPECT_EQ(WPD_Monitor_Start(handle, WPD_EVENT_PROGRESS, &context), WPD_ERROR_OK);
    EXPECT_TRUE(device.IsMonitorEnabled());
    EXPECT_EQ(device.GetMonitorContext(), &context);

    EXPECT_EQ(WPD_Monitor_Stop(handle, static_cast<WPD_MONITORED_EVENT>(1)), WPD_ERROR_NOT_SUPPORTED);
    EXPECT_TRUE(device.IsMonitorEnabled());

    EXPECT_EQ(WPD_Monitor_Stop(handle, WPD_EVENT_PROGRESS), WPD_ERROR_OK);
    EXPECT_FALSE(device.IsMonitorEnabled());
    EXPECT_EQ(device.GetMonitorContext(), nullptr);
    EXPECT_EQ(device.GetMonitorCallback(), &IgnoreEvent);

    EXPECT_EQ(WPD_Monitor_Set(handle, nullptr), WPD_ERROR_OK);
    EXPECT_EQ(device.GetMonitorCallback(), nullptr);
    WPD_Uninitialize(handle);
}

// An exception that is no COM error must not reach the host: the call fails with 2 and logs its line.
class ThrowingDevice : public CWpdBase {
public:
    WPD_ERROR ATWrite(const char *) override { throw std::bad_alloc(); }
};

TEST(CallFrame, AnyExceptionBecomesAFailure) {
    ThrowingDevice device;
    orvik_test::TestLog().Clear();
    EXPECT_EQ(WPD_ATWrite(&device, "AT", 0), WPD_ERROR_FAILED);
    EXPECT_EQ(orvik_test::TestLog().Messages(), std::vector<std::string>{"ATWrite COM error"});
}

}  // namespace
