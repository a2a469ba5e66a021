// The vendor MTP operations the phone maker's extension understands. Every payload operation carries
// operation code 0: the phone tells them apart by the open channel, the parameters and the data, so
// each keeps a name of its own even where the values coincide.
#pragma once

#include <windows.h>

// Standard MTP operations, used with a channel number as their one parameter to open and close a
// vendor channel.
inline constexpr WORD MTP_OpenSession = 0x1002;
inline constexpr WORD MTP_CloseSession = 0x1003;
inline constexpr WORD MTP_GetObjectHandles = 0x1007;
inline constexpr WORD MTP_GetObjectPropValue = 0x9803;
inline constexpr WORD MTP_ObjectPropPersistentUniqueId = 0xDC41;
inline constexpr ULONG MTP_AllStorages = 0xFFFFFFFF;

inline constexpr ULONG MTP_ResponseOK = 0x2001;

// The status that stands for an MTP response code (OK included): 0xA0000000 | code; 0 stays 0.
constexpr HRESULT MtpResponseAsHResult(ULONG code) {
    return code < 1 ? static_cast<HRESULT>(code) : static_cast<HRESULT>(0xA0000000u | (code & 0xFFFF));
}

inline constexpr ULONG ZEPH_SyncMLChannel = 0x1000;
inline constexpr ULONG ZEPH_ATChannel = 0x1001;

inline constexpr WORD ZEPH_SyncMLOpenSession = 0x0000;
inline constexpr WORD ZEPH_SyncMLCloseSession = 0x0000;
inline constexpr WORD ZEPH_SyncMLPut = 0x0000;
inline constexpr WORD ZEPH_SyncMLRequest = 0x0000;
inline constexpr WORD ZEPH_SyncMLGet = 0x0000;
inline constexpr WORD ZEPH_ATOpenSession = 0x0000;
inline constexpr WORD ZEPH_ATCloseSession = 0x0000;
inline constexpr WORD ZEPH_ATWrite = 0x0000;
inline constexpr WORD ZEPH_ATRead = 0x0000;
inline constexpr WORD ZEPH_InstallApp = 0x0000;

// Vendor event numbers: the upper 16 bits of Data1 of a vendor-extended event GUID.
inline constexpr unsigned ZEPH_ATPendingData = 0;
inline constexpr unsigned ZEPH_SyncMLOperationComplete = 1;
