// Turns a description into a phone through the model's builder.
#pragma once

#include "virtualphone/description/phone_description.h"
#include "virtualphone/model/phone.h"
#include "virtualphone/model/phone_builder.h"

#include <memory>
#include <string>

namespace vphone::description {

// Adds the description's identity and objects to builder, which was made with the description's
// profile. Fails, naming the object's line, when the builder refuses an object or a data file cannot be
// opened.
[[nodiscard]] bool BuildPhone(const PhoneDescription &description, PhoneBuilder &builder,
                              DescriptionError *error) noexcept;

// Reads the description file and builds its phone, in memory, with the controls it describes. An
// installed phone's controls live in the controls file in its dataFolder, shared with every process
// serving it (empty: the phone's own). Null on failure, with *error set.
[[nodiscard]] std::shared_ptr<Phone> LoadPhone(const std::wstring &descriptionFile, const std::wstring &dataFolder,
                                               DescriptionError *error) noexcept;

}  // namespace vphone::description
