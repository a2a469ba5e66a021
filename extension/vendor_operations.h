// The vendor MTP operations the phone maker's extension understands. Every payload operation carries
// operation code 0: the phone tells them apart by the open channel, the parameters and the data, so
// each keeps a name of its own even where the values coincide. The standard MTP codes used beside
// them are the platform's (device/wpd_api.h).
#pragma once

#include <windows.h>

#include "device/wpd_api.h"

// The status that stands for an MTP response code (OK included): 0xA0000000 | code; 0 stays 0.
constexpr HRESULT MtpResponseAsHResult(ULONG code) {
    return code < 1 ? static_cast<HRESULT>(code) : static_cast<HRESULT>(0xA0000000u | (code & 0xFFFF));
}
// The status of an operation the phone answered with code: S_OK for OK.
constexpr HRESULT ResponseStatus(ULONG code) {
    return code == wpd::PTP_RC_OK ? S_OK : MtpResponseAsHResult(code);
}
// The response code a status carries; OK for a status that is no response of the phone.
constexpr ULONG ResponseCodeOf(HRESULT status) {
    const ULONG bits = static_cast<ULONG>(status);
    return (bits & 0xFFFF0000u) == 0xA0000000u ? (bits & 0xFFFF) : wpd::PTP_RC_OK;
}

// Vendor channels, opened and closed with the standard session operations and the channel as their
// one parameter.
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
