#include "device/cwpd.h"

WPD_ERROR CWpdBase::TranslateError(HRESULT hr) {
    if (hr == S_OK || hr == S_FALSE) return WPD_ERROR_OK;
    if (hr == HRESULT_FROM_WIN32(ERROR_BUSY)) return WPD_ERROR_BUSY;
    return WPD_ERROR_FAILED;
}

// Vendor operations report an MTP response code c as the status 0xA0000000 | c.
WPD_ERROR CWpdMtpext::TranslateError(HRESULT hr) {
    const WPD_ERROR base = CWpdBase::TranslateError(hr);
    if (base != WPD_ERROR_FAILED) return base;
    switch (static_cast<unsigned long>(hr)) {
        case 0xA0002001: return WPD_ERROR_OK;
        case 0xA0002002: return WPD_ERROR_MTP_GENERAL_ERROR;
        case 0xA0002003: return WPD_ERROR_MTP_SESSION_NOT_OPEN;
        case 0xA000201E: return WPD_ERROR_MTP_SESSION_ALREADY_OPEN;
        case 0xA0002005: return WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED;
        case 0xA0002006: return WPD_ERROR_MTP_PARAMETER_NOT_SUPPORTED;
        case 0xA000201D: return WPD_ERROR_MTP_INVALID_PARAMETER;
        case 0xA0002019: return WPD_ERROR_MTP_DEVICE_BUSY;
        case 0xA000200F: return WPD_ERROR_MTP_ACCESS_DENIED;
        case 0xA000200C: return WPD_ERROR_MTP_STORE_FULL;
        default: return WPD_ERROR_FAILED;
    }
}
