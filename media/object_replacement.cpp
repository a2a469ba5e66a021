// Replacing an object on the phone without losing it: the new object is made complete first, and the
// old one goes after. A phone that keeps one object of a name per folder (as Android's responder does)
// gets the new object under a temporary name, renamed once the old one is gone.
#include <atomic>
#include <string>

#include "device/platform_objects.h"
#include "log/hr_log.h"
#include "media/bounded_text.h"
#include "media/device_path.h"
#include "media/folder_list.h"

using Microsoft::WRL::ComPtr;

namespace {

// Cancelled attempts end like finished ones: the host asked for it, and nothing was left.
HRESULT Ended(HRESULT hr) { return SUCCEEDED(hr) ? S_OK : hr; }

// A name no object of the folder has, that keeps the extension and so the type of the file.
HRESULT TemporaryFileName(wchar_t (&fileName)[kNameChars]) {
    static std::atomic<unsigned> sent{0};
    const std::wstring temporary =
        L"~orvik-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++sent) + L"-" + fileName;
    if (!CopyBounded(fileName, temporary.c_str())) {
        LogLine(1, "Temporary name for %S does not fit, hr = %08x", temporary.c_str(),
                static_cast<unsigned>(E_PATH_TOO_LONG));
        return E_PATH_TOO_LONG;
    }
    return S_OK;
}

// False only when the phone says the file name cannot be written: one that cannot tell is tried.
bool CanRename(const ComPtr<IPortableDeviceContent> &content, const wchar_t *objectId) {
    ComPtr<IPortableDeviceProperties> properties;
    ComPtr<IPortableDeviceValues> attributes;
    BOOL writable = TRUE;
    if (SUCCEEDED(content->Properties(&properties)) &&
        SUCCEEDED(properties->GetPropertyAttributes(objectId, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, &attributes))) {
        attributes->GetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_WRITE, &writable);
    }
    return writable != FALSE;
}

HRESULT Rename(IPortableDeviceContent *content, const std::wstring &objectId, const wchar_t *fileName) {
    ComPtr<IPortableDeviceProperties> properties;
    RETURN_IF_FAILED_LOG(content->Properties(&properties), "Getting content properties failed, hr = %08x");
    ComPtr<IPortableDeviceValues> values;
    RETURN_IF_FAILED_LOG(CreateValues(values), "CoCreateInstance on CLSID_PortableDeviceValues failed, hr = %08x");
    RETURN_IF_FAILED_LOG(values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, fileName),
                         "Setting the new file name failed, hr = %08x");
    ComPtr<IPortableDeviceValues> results;
    const HRESULT hr = properties->SetValues(objectId.c_str(), values.Get(), &results);
    if (hr != S_FALSE) return hr;
    // S_FALSE: the value was refused, and its own result says why.
    HRESULT refused = E_FAIL;
    if (FAILED(results->GetErrorValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, &refused)) || SUCCEEDED(refused)) {
        refused = E_FAIL;
    }
    return refused;
}

}  // namespace

HRESULT CFolderList::CreateInPlaceOf(const Target &existing, const ObjectRecord &record, const Creation &create) {
    NewObject object{record, existing.sameNamed, {}, false};
    const HRESULT hr = create(object);
    if (!existing.found || hr == S_FALSE) return Ended(hr);
    if (SUCCEEDED(hr)) return DropReplaced(existing, object.id);
    if (!object.refused) return hr;

    // Refused: the phone may keep one object of a name per folder, or lack room for two.
    if (!CanRename(existing.content, existing.record.objectId)) {
        LogLine(1, "The phone took no second object named %S and renames none: the old one goes first",
                record.originalFileName);
        RETURN_IF_FAILED_LOG(DeleteDeviceObject(existing.content.Get(), existing.record),
                             "DeleteDeviceObject failed, hr = %08x");
        NewObject again{record, {}, {}, false};
        return Ended(create(again));
    }
    NewObject temporary{record, {}, {}, false};
    RETURN_IF_FAILED(TemporaryFileName(temporary.names.originalFileName));
    const HRESULT sent = create(temporary);
    if (sent != S_OK) return Ended(sent);
    RETURN_IF_FAILED(DropReplaced(existing, temporary.id));
    const HRESULT renamed = Rename(existing.content.Get(), temporary.id, record.originalFileName);
    if (FAILED(renamed)) {
        LogLine(1, "The new %S stays on the phone as %S: renaming it failed, hr = %08x", record.originalFileName,
                temporary.names.originalFileName, static_cast<unsigned>(renamed));
    }
    return renamed;
}

// The old object goes; if it cannot, the new one goes instead, and the phone is as it was.
HRESULT CFolderList::DropReplaced(const Target &existing, const std::wstring &newId) const {
    const HRESULT hr = DeleteDeviceObject(existing.content.Get(), existing.record);
    if (FAILED(hr)) {
        LogLine(1, "DeleteDeviceObject failed, hr = %08x", static_cast<unsigned>(hr));
        if (!newId.empty()) DeleteObjectById(existing.content.Get(), newId.c_str());
    }
    return hr;
}
