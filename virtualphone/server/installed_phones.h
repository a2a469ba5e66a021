// The phones installed in this system, as the server serves them.
#pragma once

#include "virtualphone/model/phone_set.h"

#include <memory>

namespace vphone::server {

// Builds every phone of the phone list, kept in its data folder; a phone that cannot be built is left
// out and named in the debugger output, so that one broken description does not hide the others.
std::shared_ptr<PhoneSet> LoadInstalledPhones();

}  // namespace vphone::server
