#include "virtualphone/model/snapshot_values.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>
#include <new>

namespace vphone {
namespace {

bool HexDigits(std::wstring_view text, std::uint64_t *value) {
    if (text.empty() || text.size() > 16) return false;
    *value = 0;
    for (wchar_t c : text) {
        const int digit = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
        if (digit < 0) return false;
        *value = *value << 4 | static_cast<unsigned>(digit);
    }
    return true;
}

bool SignedDecimal(std::wstring_view text, std::int64_t *value) {
    const bool negative = text.starts_with(L'-');
    std::uint64_t magnitude = 0;
    if (!Decimal(negative ? text.substr(1) : text, &magnitude)) return false;
    *value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

}  // namespace

std::wstring Escape(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'%') {
            out += c;
        } else {
            wchar_t code[8];
            swprintf(code, 8, L"%%%04X", static_cast<unsigned>(c));
            out += code;
        }
    }
    return out;
}


bool Unescape(std::wstring_view text, std::wstring *out) {
    out->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            *out += text[i];
            continue;
        }
        std::uint64_t unit = 0;
        if (i + 5 > text.size() || !HexDigits(text.substr(i + 1, 4), &unit)) return false;
        *out += static_cast<wchar_t>(unit);
        i += 4;
    }
    return true;
}

bool Decimal(std::wstring_view text, std::uint64_t *value) {
    if (text.empty() || text.size() > 20) return false;
    *value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        const std::uint64_t next = *value * 10 + static_cast<unsigned>(c - L'0');
        if (next / 10 != *value) return false;
        *value = next;
    }
    return true;
}


std::wstring GuidText(const GUID &guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

bool ParseGuid(std::wstring_view text, GUID *guid) {
    const std::wstring copy(text);
    return copy.size() == 38 && SUCCEEDED(IIDFromString(copy.c_str(), guid));
}

// Bytes and the bits of floating-point numbers in hex: exact, whatever the locale.
std::wstring HexText(const std::uint8_t *bytes, std::size_t count) {
    std::wstring out;
    for (std::size_t i = 0; i < count; ++i) {
        wchar_t pair[4];
        swprintf(pair, 4, L"%02X", bytes[i]);
        out += pair;
    }
    return out;
}

bool ParseHexBytes(std::wstring_view text, std::vector<std::uint8_t> *bytes) {
    if (text.size() % 2) return false;
    bytes->clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint64_t byte = 0;
        if (!HexDigits(text.substr(i, 2), &byte)) return false;
        bytes->push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}

std::wstring BitsText(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    wchar_t text[20];
    swprintf(text, 20, L"%016llX", static_cast<unsigned long long>(bits));
    return text;
}

bool ParseBits(std::wstring_view text, double *value) {
    std::uint64_t bits = 0;
    if (text.size() != 16 || !HexDigits(text, &bits)) return false;
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

std::wstring_view Split(std::wstring_view *text) {
    const std::size_t space = text->find(L' ');
    const std::wstring_view word = text->substr(0, space);
    text->remove_prefix(space == std::wstring_view::npos ? text->size() : space + 1);
    return word;
}

HRESULT VariantText(const PROPVARIANT &value, std::wstring *text) {
    switch (value.vt) {
        case VT_EMPTY: text->clear(); return S_OK;
        case VT_I1: *text = std::to_wstring(value.cVal); return S_OK;
        case VT_I2: *text = std::to_wstring(value.iVal); return S_OK;
        case VT_I4: *text = std::to_wstring(value.lVal); return S_OK;
        case VT_INT: *text = std::to_wstring(value.intVal); return S_OK;
        case VT_I8: *text = std::to_wstring(value.hVal.QuadPart); return S_OK;
        case VT_UI1: *text = std::to_wstring(value.bVal); return S_OK;
        case VT_UI2: *text = std::to_wstring(value.uiVal); return S_OK;
        case VT_UI4: *text = std::to_wstring(value.ulVal); return S_OK;
        case VT_UINT: *text = std::to_wstring(value.uintVal); return S_OK;
        case VT_UI8: *text = std::to_wstring(value.uhVal.QuadPart); return S_OK;
        case VT_ERROR: *text = std::to_wstring(static_cast<ULONG>(value.scode)); return S_OK;
        case VT_BOOL: *text = value.boolVal ? L"1" : L"0"; return S_OK;
        case VT_R4: *text = BitsText(value.fltVal); return S_OK;  // widened to double: exact both ways
        case VT_R8: *text = BitsText(value.dblVal); return S_OK;
        case VT_DATE: *text = BitsText(value.date); return S_OK;
        case VT_LPWSTR:
            if (!value.pwszVal) return DISP_E_BADVARTYPE;
            *text = Escape(value.pwszVal);
            return S_OK;
        case VT_CLSID:
            if (!value.puuid) return DISP_E_BADVARTYPE;
            *text = GuidText(*value.puuid);
            return S_OK;
        case VT_VECTOR | VT_UI1: *text = HexText(value.caub.pElems, value.caub.cElems); return S_OK;
        default: return DISP_E_BADVARTYPE;
    }
}

bool ParseVariant(VARTYPE type, std::wstring_view text, PROPVARIANT *value) {
    std::int64_t number = 0;
    std::uint64_t unsignedNumber = 0;
    const bool isSigned = SignedDecimal(text, &number);
    const bool isUnsigned = Decimal(text, &unsignedNumber);
    value->vt = type;
    switch (type) {
        case VT_EMPTY: return text.empty();
        case VT_I1: value->cVal = static_cast<CHAR>(number); return isSigned;
        case VT_I2: value->iVal = static_cast<SHORT>(number); return isSigned;
        case VT_I4: value->lVal = static_cast<LONG>(number); return isSigned;
        case VT_INT: value->intVal = static_cast<INT>(number); return isSigned;
        case VT_I8: value->hVal.QuadPart = number; return isSigned;
        case VT_UI1: value->bVal = static_cast<UCHAR>(unsignedNumber); return isUnsigned;
        case VT_UI2: value->uiVal = static_cast<USHORT>(unsignedNumber); return isUnsigned;
        case VT_UI4: value->ulVal = static_cast<ULONG>(unsignedNumber); return isUnsigned;
        case VT_UINT: value->uintVal = static_cast<UINT>(unsignedNumber); return isUnsigned;
        case VT_UI8: value->uhVal.QuadPart = unsignedNumber; return isUnsigned;
        case VT_ERROR: value->scode = static_cast<SCODE>(unsignedNumber); return isUnsigned;
        case VT_BOOL: value->boolVal = unsignedNumber ? VARIANT_TRUE : VARIANT_FALSE; return isUnsigned;
        case VT_R4: {
            double bits = 0;
            if (!ParseBits(text, &bits)) return false;
            value->fltVal = static_cast<float>(bits);
            return true;
        }
        case VT_R8: return ParseBits(text, &value->dblVal);
        case VT_DATE: return ParseBits(text, &value->date);
        case VT_LPWSTR: {
            std::wstring plain;
            if (!Unescape(text, &plain)) return false;
            const std::size_t bytes = (plain.size() + 1) * sizeof(wchar_t);
            value->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
            if (!value->pwszVal) throw std::bad_alloc();
            std::memcpy(value->pwszVal, plain.c_str(), bytes);
            return true;
        }
        case VT_CLSID: {
            GUID guid{};
            if (!ParseGuid(text, &guid)) return false;
            value->puuid = static_cast<CLSID *>(CoTaskMemAlloc(sizeof(CLSID)));
            if (!value->puuid) throw std::bad_alloc();
            *value->puuid = guid;
            return true;
        }
        case VT_VECTOR | VT_UI1: {
            std::vector<std::uint8_t> bytes;
            if (!ParseHexBytes(text, &bytes)) return false;
            value->caub.pElems = static_cast<UCHAR *>(CoTaskMemAlloc(bytes.size() + 1));
            if (!value->caub.pElems) throw std::bad_alloc();
            if (!bytes.empty()) std::memcpy(value->caub.pElems, bytes.data(), bytes.size());
            value->caub.cElems = static_cast<ULONG>(bytes.size());
            return true;
        }
        default: value->vt = VT_EMPTY; return false;
    }
}

std::wstring KeyText(const PROPERTYKEY &key) { return GuidText(key.fmtid) + L" " + std::to_wstring(key.pid); }

bool ParseKey(std::wstring_view *text, PROPERTYKEY *key) {
    std::uint64_t pid = 0;
    if (!ParseGuid(Split(text), &key->fmtid) || !Decimal(Split(text), &pid) || pid > 0xFFFFFFFF) return false;
    key->pid = static_cast<DWORD>(pid);
    return true;
}

}  // namespace vphone
