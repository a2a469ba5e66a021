// The entry points of virtualphone.dll as an in-process COM server. The value classes need no phone;
// the manager and device classes load the installed phones on first use and serve them for the life
// of the process. A test reads the phones' accounting through VirtualPhoneGetCounts (server_counts.h).
#include "device/wpd_api.h"
#include "virtualphone/platform/object_apartment.h"
#include "virtualphone/platform/platform_classes.h"
#include "virtualphone/platform/task_memory_accounting.h"
#include "virtualphone/server/server_counts.h"
#include "virtualphone/server/installed_phones.h"
#include "virtualphone/values/value_classes.h"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <mutex>

namespace {

std::mutex phonesLock;
// Never destroyed: the phones live as long as the process, and destroying them at process exit would
// join their event threads while the loader lock is held, which never returns.
std::shared_ptr<vphone::PhoneSet> &loadedPhones = *new std::shared_ptr<vphone::PhoneSet>;
// The platform's class objects are not counted anywhere we can see, so once one has been handed out
// the server stays loaded.
std::atomic<bool> platformClassHandedOut{false};
// Counts the phones' task memory from their first use on; never revoked, as the server never unloads
// then. Another spy of the process leaves the memory uncounted.
vphone::TaskMemoryAccounting &taskMemory = *new vphone::TaskMemoryAccounting;
bool taskMemoryCounted = false;

std::shared_ptr<vphone::PhoneSet> Phones() {
    const std::lock_guard lock(phonesLock);
    if (!loadedPhones) {
        loadedPhones = vphone::server::LoadInstalledPhones();
        taskMemoryCounted = SUCCEEDED(taskMemory.Register());
    }
    return loadedPhones;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **object) {
    const HRESULT hr = vphone::GetValueClassObject(clsid, iid, object);
    if (hr != CLASS_E_CLASSNOTAVAILABLE) return hr;
    if (clsid != wpd::CLSID_PortableDeviceManager && clsid != wpd::CLSID_PortableDevice) return hr;
    platformClassHandedOut = true;
    return vphone::GetPlatformClassObject(Phones(), clsid, iid, object);
}

long LivePhoneObjects() {
    const std::lock_guard lock(phonesLock);
    if (!loadedPhones) return 0;
    long live = loadedPhones->Accounting().LiveObjects();
    for (const auto &phone : loadedPhones->Phones()) live += phone->Accounting().LiveObjects();
    return live;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void **object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        return GetClassObject(clsid, iid, object);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    try {
        if (platformClassHandedOut || vphone::LiveValueObjects() != 0 || LivePhoneObjects() != 0) return S_FALSE;
        return S_OK;
    } catch (...) {
        return S_FALSE;
    }
}

extern "C" HRESULT STDAPICALLTYPE VirtualPhoneGetCounts(VirtualPhoneCounts *counts) {
    if (!counts) return E_POINTER;
    try {
        counts->liveObjects = LivePhoneObjects() + vphone::LiveValueObjects();
        {
            const std::lock_guard lock(phonesLock);
            counts->taskMemoryBlocks = taskMemoryCounted ? taskMemory.OutstandingBlocks() : -1;
        }
        counts->apartmentViolations = vphone::ApartmentViolations();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
