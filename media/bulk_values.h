// The properties of many objects in one bulk request (IPortableDevicePropertiesBulk), where the device
// offers it: a few exchanges with the phone instead of one per object.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <vector>

#include "device/wpd_api.h"
#include "media/text_list.h"

// Reads keys of every object in one request and waits for its end. On success values holds, for each
// id in order, the values that came for it, or null where none came (the caller reads that object on
// its own). Fails when the device has no bulk interface, refuses the request or ends it with a
// failure: the caller then reads every object on its own. Logs nothing: either way the listing is
// the same.
HRESULT ReadValuesInBulk(IPortableDeviceProperties *properties, IPortableDeviceKeyCollection *keys,
                         const TextList &objectIds,
                         std::vector<Microsoft::WRL::ComPtr<IPortableDeviceValues>> &values);
