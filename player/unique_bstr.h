// Owner for the BSTRs that the player hands out.
#pragma once

#include <oleauto.h>

#include "win/unique_any.h"

namespace win {

struct BstrTraits {
    using Type = BSTR;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type s) noexcept { SysFreeString(s); }
};
using UniqueBstr = UniqueAny<BstrTraits>;

}  // namespace win
