#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "device/wpd_api.h"
#include "orvik.h"
#include "win/com_object.h"
#include "win/unique_any.h"

namespace {

// Stands in for the platform's key collection class: creating one blocks until the window of the
// calling thread has handled a posted message, which happens only if the frame pumps messages.
class BlockingFactory : public win::ComObject<BlockingFactory, IClassFactory> {
public:
    explicit BlockingFactory(HANDLE messageHandled) : messageHandled_(messageHandled) {}
    STDMETHODIMP CreateInstance(IUnknown *, REFIID, void **object) noexcept override {
        *object = nullptr;
        waitedForMessage = WaitForSingleObject(messageHandled_, 10000) == WAIT_OBJECT_0;
        return E_FAIL;
    }
    STDMETHODIMP LockServer(BOOL) noexcept override { return S_OK; }
    std::atomic<bool> waitedForMessage{false};

private:
    friend class win::ComObject<BlockingFactory, IClassFactory>;
    ~BlockingFactory() = default;
    HANDLE messageHandled_;
};

HANDLE messageHandledEvent = nullptr;

LRESULT CALLBACK SignalOnAppMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        SetEvent(messageHandledEvent);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CallFrame, CallersMessagesAreDispatchedWhileTheWorkerRuns) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    win::UniqueHandle handled(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    messageHandledEvent = handled.get();

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SignalOnAppMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrvikPumpProbe";
    RegisterClassW(&windowClass);
    win::UniqueWindow window(CreateWindowExW(0, L"OrvikPumpProbe", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                             GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);

    BlockingFactory *factory = BlockingFactory::Create(handled.get());
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(wpd::CLSID_PortableDeviceKeyCollection, factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);

    void *handle = WPD_Initialize(0);
    PostMessageW(window.get(), WM_APP, 0, 0);
    WPD_DEVICE_INFO info = {};
    info.cbSize = sizeof info;
    EXPECT_EQ(WPD_GetDeviceInfo(handle, &info), WPD_ERROR_FAILED);
    EXPECT_TRUE(factory->waitedForMessage) << "the worker was not released by the caller's message";

    WPD_Uninitialize(handle);
    CoRevokeClassObject(cookie);
    factory->Release();
    CoUninitialize();
}

}  // namespace
