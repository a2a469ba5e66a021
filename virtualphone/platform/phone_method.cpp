#include "virtualphone/platform/phone_method.h"

#include <cwchar>

namespace vphone {

std::wstring NumberArg(unsigned long long value) { return std::to_wstring(value); }

std::wstring KeyArg(const PROPERTYKEY &key) {
    wchar_t text[64];
    StringFromGUID2(key.fmtid, text, 40);
    return std::wstring(text) + L"/" + std::to_wstring(key.pid);
}

std::wstring HresultArg(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"%08lx", static_cast<unsigned long>(hr));
    return text;
}

std::wstring ValueArg(const PROPVARIANT &value) {
    wchar_t text[40];
    switch (value.vt) {
        case VT_LPWSTR: return value.pwszVal ? value.pwszVal : L"(null)";
        case VT_UI4: return std::to_wstring(value.ulVal);
        case VT_UI8: return std::to_wstring(value.uhVal.QuadPart);
        case VT_BOOL: return value.boolVal ? L"true" : L"false";
        case VT_ERROR: return L"error " + HresultArg(value.scode);
        case VT_DATE: return L"date " + std::to_wstring(value.date);
        case VT_CLSID:
            if (!value.puuid) return L"(null)";
            StringFromGUID2(*value.puuid, text, 40);
            return text;
        default: return L"vt " + std::to_wstring(value.vt);
    }
}

}  // namespace vphone
