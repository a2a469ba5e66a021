// The values of one object as the phone reports them, for GetValues and for bulk requests alike.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/model/phone.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vphone {

// The keys of a collection, in order; none for a null collection, which asks for every key.
HRESULT KeysOf(IPortableDeviceKeyCollection *collection, std::optional<std::vector<PROPERTYKEY>> *keys);
// The object ids of a collection, in order; E_INVALIDARG when a value is not a VT_LPWSTR string.
HRESULT ObjectIdsOf(IPortableDevicePropVariantCollection *collection, std::vector<std::wstring> *ids);

// The objects of a format (every format for WPD_OBJECT_FORMAT_ALL) from parentId down to depth levels
// below it, parent first, depth-first in creation order. The parent counts as level 0, as the
// platform's table for the DEVICE object says (depth 0: the device alone; 1: with its functional
// objects); the empty id stands above the DEVICE object. kObjectNotFound for an unknown parent.
HRESULT ObjectsOfFormat(Phone &phone, const GUID &format, const std::wstring &parentId, DWORD depth,
                        std::vector<std::wstring> *ids);

// Puts one value per key into values (every key the object has when keys holds no list): a property made
// unreadable as VT_ERROR, which sets *someUnreadable; a key the object lacks left out.
// kObjectNotFound when there is no such object.
HRESULT ReadObjectValues(Phone &phone, const std::wstring &objectId, const std::optional<std::vector<PROPERTYKEY>> &keys,
                         IPortableDeviceValues *values, bool *someUnreadable);

}  // namespace vphone
