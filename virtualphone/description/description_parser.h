// Reads phone descriptions (see FORMAT.md).
#pragma once

#include "virtualphone/description/phone_description.h"

#include <optional>
#include <string>
#include <string_view>

namespace vphone::description {

// Parses description text; relative data and thumbnail paths are taken from baseFolder. On failure
// *error says where and why.
[[nodiscard]] std::optional<PhoneDescription> ParseDescription(std::wstring_view text, const std::wstring &baseFolder,
                                                               DescriptionError *error) noexcept;
// Reads and parses a UTF-8 description file; its folder is the base of relative paths.
[[nodiscard]] std::optional<PhoneDescription> LoadDescription(const std::wstring &file,
                                                              DescriptionError *error) noexcept;

}  // namespace vphone::description
