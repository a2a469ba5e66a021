// Property sets of single objects, built the way the platform hands them out, for the media tests.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "device/wpd_api.h"
#include "media/folder_list.h"
#include "virtualphone/values/value_classes.h"

namespace media_test {

// The properties of one object; a null member is a property the object does not have.
struct ObjectProperties {
    const wchar_t *name = nullptr;
    const wchar_t *originalFileName = nullptr;
    const GUID *contentType = nullptr;
    const GUID *format = nullptr;
};

inline Microsoft::WRL::ComPtr<IPortableDeviceValues> ValuesOf(const ObjectProperties &object) {
    Microsoft::WRL::ComPtr<IPortableDeviceValues> values;
    EXPECT_EQ(vphone::CreatePortableDeviceValues(IID_PPV_ARGS(&values)), S_OK);
    if (!values) return values;
    if (object.name) values->SetStringValue(wpd::WPD_OBJECT_NAME, object.name);
    if (object.originalFileName) values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, object.originalFileName);
    if (object.contentType) values->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, *object.contentType);
    if (object.format) values->SetGuidValue(wpd::WPD_OBJECT_FORMAT, *object.format);
    return values;
}

// The record FillObjectNames makes of those properties, as every listing producer zeroes it first.
inline ObjectRecord NamedRecord(const ObjectProperties &object, BOOL *known = nullptr) {
    ObjectRecord record = {};
    BOOL isKnown = FALSE;
    CFolderList::FillObjectNames(record, ValuesOf(object).Get(), isKnown);
    if (known) *known = isKnown;
    return record;
}

inline constexpr GUID kMp3 = wpd::MtpFormatGuid(0x3009);
inline constexpr GUID kJfif = wpd::MtpFormatGuid(0x3808);
inline constexpr GUID kM3u = wpd::MtpFormatGuid(0xBA11);
inline constexpr GUID kAssociation = wpd::MtpFormatGuid(0x3001);

}  // namespace media_test
