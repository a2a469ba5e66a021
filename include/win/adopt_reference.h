// Takes over a reference the caller already owns: one that win::ComObject::Create or a platform
// function such as SHCreateMemStream hands out. mingw's ComPtr::Attach adds a reference of its own
// (WRL's does not), so an attached object would never be freed.
#pragma once

#include <wrl/client.h>

namespace win {

template <class T>
Microsoft::WRL::ComPtr<T> AdoptReference(T *object) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = object;
    return owner;
}

}  // namespace win
