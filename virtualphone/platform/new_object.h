// Turns the property set of CreateObjectWithProperties* into the object the phone will hold.
#pragma once

#include "device/wpd_api.h"
#include "virtualphone/model/phone.h"

#include <cstdint>

namespace vphone {

// Needs WPD_OBJECT_PARENT_ID (a storage or folder) and a name or original file name; with data also
// WPD_OBJECT_SIZE. The content type decides the kind (folder, playlist, else file). Playlist references
// must name existing objects and are refused while the phone refuses references, or keeps none. *size receives
// WPD_OBJECT_SIZE (0 without it). Every property set is written to the phone's transcript.
HRESULT NewObjectFromValues(Phone &phone, IPortableDeviceValues *values, bool withData, PhoneObject *object,
                            std::uint64_t *size) noexcept;

}  // namespace vphone
