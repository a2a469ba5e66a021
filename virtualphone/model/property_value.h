// A PROPVARIANT with value semantics, for properties the phone keeps beyond its fixed fields.
#pragma once

#include <windows.h>
#include <propidl.h>

#include <utility>

namespace vphone {

class PropertyValue {
public:
    PropertyValue() noexcept { PropVariantInit(&value_); }
    // Copies value; throws std::bad_alloc when the copy fails.
    explicit PropertyValue(const PROPVARIANT &value);
    PropertyValue(const PropertyValue &other) : PropertyValue(other.value_) {}
    PropertyValue(PropertyValue &&other) noexcept : value_(other.value_) { PropVariantInit(&other.value_); }
    PropertyValue &operator=(PropertyValue other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~PropertyValue() { PropVariantClear(&value_); }

    const PROPVARIANT &Get() const noexcept { return value_; }
    // A copy for the caller, who clears it.
    HRESULT CopyTo(PROPVARIANT *out) const noexcept { return PropVariantCopy(out, &value_); }

private:
    PROPVARIANT value_;
};

PropertyValue StringValue(const wchar_t *text);

}  // namespace vphone
