// Typed reads of single properties out of a values set.
#include <windows.h>
#include <oleauto.h>

#include "media/bounded_text.h"
#include "media/folder_list.h"
#include "win/unique_any.h"

bool CFolderList::GetStringProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, wchar_t *destination,
                                    size_t chars) {
    destination[0] = L'\0';
    win::UniqueCoTaskMemString text;
    if (FAILED(values->GetStringValue(key, text.put())) || !text) return true;
    return CopyBounded(destination, chars, text.get());
}

void CFolderList::GetGuidProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, GUID &destination) {
    if (FAILED(values->GetGuidValue(key, &destination))) destination = GUID{};
}

void CFolderList::GetUInt64Property(IPortableDeviceValues *values, const PROPERTYKEY &key,
                                    unsigned long long &destination) {
    ULONGLONG value = 0;
    destination = SUCCEEDED(values->GetUnsignedLargeIntegerValue(key, &value)) ? value : 0;
}

void CFolderList::GetBoolProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, BOOL &destination) {
    if (FAILED(values->GetBoolValue(key, &destination))) destination = FALSE;
}

// Dates have no typed getter: the value is an OLE automation date, taken without time-zone conversion.
void CFolderList::GetDateProperty(IPortableDeviceValues *values, const PROPERTYKEY &key, SYSTEMTIME &destination) {
    destination = SYSTEMTIME{};
    win::UniquePropVariant value;
    if (FAILED(values->GetValue(key, value.put())) || value->vt != VT_DATE) return;
    if (!VariantTimeToSystemTime(value->date, &destination)) destination = SYSTEMTIME{};
}
