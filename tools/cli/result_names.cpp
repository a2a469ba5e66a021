#include "result_names.h"

namespace {

struct ResultText {
    WPD_ERROR result;
    const char *name;
    const char *meaning;
};

constexpr ResultText kResults[] = {
    {WPD_ERROR_OK, "WPD_ERROR_OK", "success"},
    {WPD_ERROR_NOT_SUPPORTED, "WPD_ERROR_NOT_SUPPORTED", "the device class does not provide this operation"},
    {WPD_ERROR_FAILED, "WPD_ERROR_FAILED", "failed (missing device or object, or a platform error)"},
    {WPD_ERROR_ALREADY_EXISTS, "WPD_ERROR_ALREADY_EXISTS", "the target exists (use --replace)"},
    {WPD_ERROR_BUSY, "WPD_ERROR_BUSY", "the phone is busy, or the media player is synchronising it"},
    {WPD_ERROR_TIMEOUT, "WPD_ERROR_TIMEOUT", "no answer from the phone in time"},
    {WPD_ERROR_MTP_GENERAL_ERROR, "WPD_ERROR_MTP_GENERAL_ERROR", "the phone reported a general error"},
    {WPD_ERROR_MTP_SESSION_NOT_OPEN, "WPD_ERROR_MTP_SESSION_NOT_OPEN", "no session is open on the phone"},
    {WPD_ERROR_MTP_SESSION_ALREADY_OPEN, "WPD_ERROR_MTP_SESSION_ALREADY_OPEN", "a session is already open"},
    {WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED, "WPD_ERROR_MTP_OPERATION_NOT_SUPPORTED",
     "the phone does not support the operation"},
    {WPD_ERROR_MTP_PARAMETER_NOT_SUPPORTED, "WPD_ERROR_MTP_PARAMETER_NOT_SUPPORTED",
     "the phone does not support a parameter"},
    {WPD_ERROR_MTP_INVALID_PARAMETER, "WPD_ERROR_MTP_INVALID_PARAMETER", "the phone refused a parameter"},
    {WPD_ERROR_MTP_DEVICE_BUSY, "WPD_ERROR_MTP_DEVICE_BUSY", "the phone reported itself busy"},
    {WPD_ERROR_MTP_ACCESS_DENIED, "WPD_ERROR_MTP_ACCESS_DENIED", "the phone denied access"},
    {WPD_ERROR_MTP_STORE_FULL, "WPD_ERROR_MTP_STORE_FULL", "the phone's storage is full"},
};

const ResultText *Find(WPD_ERROR result) {
    for (const ResultText &text : kResults) {
        if (text.result == result) return &text;
    }
    return nullptr;
}

}  // namespace

const char *ResultName(WPD_ERROR result) {
    const ResultText *text = Find(result);
    return text ? text->name : "unknown result";
}

const char *ResultMeaning(WPD_ERROR result) {
    const ResultText *text = Find(result);
    return text ? text->meaning : "a result this tool does not know";
}
