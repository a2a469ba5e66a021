// Finding an object's MTP handle by its persistent unique id: in one exchange where the phone lists a
// property of all its objects at once (MTP GetObjectPropList, which MTP leaves optional), otherwise by
// asking for the id of one object after another.
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>

#include "device/cwpd.h"
#include "extension/operation_params.h"
#include "extension/vendor_transfer.h"
#include "log/log_line.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

// GetObjectPropList's parameters for one property of every object. Depth 0 asks for the objects
// named by the handle themselves, here all of them; Android's responder also takes 0xFFFFFFFF, which
// its older versions refuse.
constexpr ULONG kEveryObject = 0xFFFFFFFF;
constexpr ULONG kAllFormats = 0;
constexpr ULONG kNoGroup = 0;
constexpr ULONG kOnlyThoseObjects = 0;

// MTP data is little-endian, as this machine is.
ULONG UInt32At(const BYTE *bytes) {
    ULONG value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}
WORD UInt16At(const BYTE *bytes) {
    WORD value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Whether the 16 bytes of a persistent unique id print as id, the way the platform prints it.
bool PrintsAs(const BYTE *persistentId, const wchar_t *id) {
    GUID guid;
    std::memcpy(&guid, persistentId, sizeof guid);
    wchar_t text[80];
    return StringFromGUID2(guid, text, ARRAYSIZE(text)) && wcscmp(text, id) == 0;
}

// An ObjectPropList dataset of the persistent unique id of every object: a UINT32 element count, then
// for each element the object handle (UINT32), the property code (UINT16), the data type (UINT16,
// UINT128) and the 16 bytes of the value. Another property or type, or a size other than the count
// makes, is malformed. found: the handle of the first element whose value prints as id, or 0.
HRESULT FindInPersistentIdList(const BYTE *data, ULONG size, const wchar_t *id, ULONG &found) {
    constexpr ULONG kCount = 4, kHandle = 4, kCodes = 2 + 2, kValue = 16;
    constexpr ULONG kElement = kHandle + kCodes + kValue;
    found = 0;
    if (size < kCount || (size - kCount) % kElement != 0 || (size - kCount) / kElement != UInt32At(data)) {
        return E_MALFORMED_ANSWER;
    }
    for (const BYTE *element = data + kCount; element < data + size; element += kElement) {
        if (UInt16At(element + kHandle) != PTP_OPC_PersistantUniqueObjectIdentifier ||
            UInt16At(element + kHandle + 2) != PTP_DTC_UINT128) {
            return E_MALFORMED_ANSWER;
        }
        if (!found && PrintsAs(element + kHandle + kCodes, id)) found = UInt32At(element);
    }
    return S_OK;
}

}  // namespace

HRESULT CWpdMtpext::FindObjectByPersistentId(const wchar_t *id, ULONG *handle) {
    *handle = 0;
    bool refused = false;
    const HRESULT hr = FindInObjectPropList(id, handle, refused);
    return refused ? FindAmongObjectHandles(id, handle) : hr;
}

HRESULT CWpdMtpext::FindInObjectPropList(const wchar_t *id, ULONG *handle, bool &refused) {
    ComPtr<IPortableDevicePropVariantCollection> params;
    if (FAILED(OperationParams(PTP_OC_MTP_GetObjPropList,
                               {kEveryObject, kAllFormats, PTP_OPC_PersistantUniqueObjectIdentifier, kNoGroup,
                                kOnlyThoseObjects},
                               params))) {
        return E_FAIL;
    }
    win::UniqueCoTaskMem<BYTE> list;
    ULONG size = 0;
    HRESULT hr = ReadVendorData(PTP_OC_MTP_GetObjPropList, params.GetAddressOf(), nullptr, list.put(), &size, &refused);
    if (FAILED(hr)) return hr;
    hr = FindInPersistentIdList(list.get(), size, id, *handle);
    if (FAILED(hr)) {
        LogLine(1, "The phone's list of persistent ids is malformed, hr = %08x", static_cast<unsigned>(hr));
        return hr;
    }
    return *handle ? S_OK : E_FAIL;
}

HRESULT CWpdMtpext::FindAmongObjectHandles(const wchar_t *id, ULONG *handle) {
    ComPtr<IPortableDevicePropVariantCollection> params;
    if (FAILED(OperationParams(PTP_OC_GetObjectHandles, {PTP_GOH_ALL_STORAGE}, params))) return E_FAIL;
    win::UniqueCoTaskMem<BYTE> handles;
    ULONG size = 0;
    HRESULT hr = ReadVendorData(PTP_OC_GetObjectHandles, params.GetAddressOf(), nullptr, handles.put(), &size);
    // Whatever the phone answered, no object found is E_FAIL.
    if (FAILED(hr) || size < sizeof(ULONG)) return E_FAIL;
    // An MTP array: a count, then the handles. The count is the phone's word, the size is what came.
    const ULONG available = std::min<ULONG>(UInt32At(handles.get()), (size - sizeof(ULONG)) / sizeof(ULONG));
    // The object just sent is among the newest, which phones list last.
    for (ULONG i = available; i-- > 0 && hr >= 0;) {
        const ULONG candidate = UInt32At(handles.get() + sizeof(ULONG) * (i + 1));
        hr = OperationParams(PTP_OC_MTP_GetObjectPropValue, {candidate, PTP_OPC_PersistantUniqueObjectIdentifier},
                             params);
        if (FAILED(hr)) break;
        win::UniqueCoTaskMem<BYTE> value;
        ULONG valueSize = 0;
        hr = ReadVendorData(PTP_OC_MTP_GetObjectPropValue, params.GetAddressOf(), nullptr, value.put(), &valueSize);
        if (hr != S_OK || valueSize < sizeof(GUID)) continue;
        if (PrintsAs(value.get(), id)) {
            *handle = candidate;
            break;
        }
    }
    return *handle ? hr : E_FAIL;
}
