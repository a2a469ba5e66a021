// Owners for registry keys and SetupAPI device sets.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "win/unique_any.h"

namespace vphone::install {

using win::UniqueDeviceInfoSet;
using win::UniqueKey;

}  // namespace vphone::install
