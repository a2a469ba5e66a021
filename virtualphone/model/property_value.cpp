#include "virtualphone/model/property_value.h"

#include "virtualphone/model/phone_accounting.h"

#include <new>

namespace vphone {

PropertyValue::PropertyValue(const PROPVARIANT &value) {
    PhoneOwnMemoryScope kept;
    PropVariantInit(&value_);
    if (FAILED(PropVariantCopy(&value_, &value))) throw std::bad_alloc();
}

PropertyValue StringValue(const wchar_t *text) {
    PROPVARIANT borrowed;
    PropVariantInit(&borrowed);
    borrowed.vt = VT_LPWSTR;
    borrowed.pwszVal = const_cast<wchar_t *>(text);
    return PropertyValue(borrowed);
}

}  // namespace vphone
