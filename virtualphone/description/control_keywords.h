// The control lines of a description, which vphone-ctl takes as its options too (FORMAT.md):
//
//   link usb2 | usb3 | none | ROUND-TRIP BANDWIDTH      link 1500 us 20 MB/s
//   unplugged
//   refuse-full-access
//   transfer-size SIZE[, SIZE]                            read size, then write size
//   fail METHOD [call N] [hr HRESULT]                     fail IPortableDevice::Open call 2 hr 0x80070005
//   unreadable PROPERTY [hr HRESULT]                      unreadable WPD_OBJECT_NAME
//   record N
#pragma once

#include "virtualphone/model/control_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace vphone::description {

bool IsControlKeyword(std::wstring_view keyword);
// Whether the keyword's line has a value ("unplugged" and "refuse-full-access" have none).
bool ControlTakesValue(std::wstring_view keyword);
// Applies one control line to settings; false, with *message saying why, when the value is wrong.
[[nodiscard]] bool ApplyControl(std::wstring_view keyword, std::wstring_view value, ControlSettings &settings,
                                std::wstring *message);
// The control lines that give settings, in description syntax.
std::vector<std::wstring> ControlLines(const ControlSettings &settings);

}  // namespace vphone::description
