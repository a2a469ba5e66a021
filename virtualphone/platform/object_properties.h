// How the phone's objects appear as portable-device properties, and which of them a client may write.
#pragma once

#include "virtualphone/model/phone.h"

#include <windows.h>
#include <propidl.h>

#include <vector>

namespace vphone {

// What decides which properties the objects show: the phone's profile and its controls of the moment.
struct PropertyRules {
    const PhoneProfile &profile;
    bool referencesRefused;
};
PropertyRules RulesOf(Phone &phone);

// The keys an object has, fixed ones first, then its extra properties.
std::vector<PROPERTYKEY> ObjectKeys(const PhoneObject &object, const PropertyRules &rules);
// The value of one key; HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when the object lacks it.
HRESULT ObjectProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                       const PropertyRules &rules, PROPVARIANT *value);
// Writes one value; E_ACCESSDENIED for read-only keys, DISP_E_TYPEMISMATCH for a value of another type.
// The file name is not written here: renaming is the phone's (Phone::Rename).
HRESULT WriteObjectProperty(PhoneObject &object, PhoneIdentity &identity, const PROPERTYKEY &key,
                            const PROPVARIANT &value);
// Whether SetValues would take a new value of key for the object.
bool CanWriteProperty(const PhoneObject &object, const PhoneIdentity &identity, const PROPERTYKEY &key,
                      const PropertyRules &rules);

}  // namespace vphone
