// How the phone's objects appear as portable-device properties, and which of them a client may write.
#pragma once

#include "virtualphone/model/phone.h"

#include <windows.h>
#include <propidl.h>

#include <vector>

namespace vphone {

// The keys an object has, fixed ones first, then its extra properties.
std::vector<PROPERTYKEY> ObjectKeys(const PhoneObject &object, bool referencesRefused);
// The value of one key; HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when the object lacks it.
HRESULT ObjectProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                       bool referencesRefused, PROPVARIANT *value);
// Writes one value; E_ACCESSDENIED for read-only keys, DISP_E_TYPEMISMATCH for a value of another type.
HRESULT WriteObjectProperty(PhoneObject &object, PhoneIdentity &identity, const PROPERTYKEY &key,
                            const PROPVARIANT &value);

}  // namespace vphone
