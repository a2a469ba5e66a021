// The class objects of PortableDeviceManager and PortableDevice over a phone set, for in-process
// registration and for the COM server's DllGetClassObject.
#pragma once

#include "virtualphone/model/phone_set.h"

#include <windows.h>
#include <unknwn.h>

#include <memory>

namespace vphone {

// The class object of wpd::CLSID_PortableDeviceManager or wpd::CLSID_PortableDevice serving phones;
// CLASS_E_CLASSNOTAVAILABLE for any other class.
HRESULT GetPlatformClassObject(std::shared_ptr<PhoneSet> phones, REFCLSID clsid, REFIID iid, void **object) noexcept;

}  // namespace vphone
