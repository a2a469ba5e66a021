#include "virtualphone/model/snapshot_format.h"

#include "win/unique_any.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

namespace vphone {
namespace {

constexpr wchar_t kHeader[] = L"orvik virtual phone snapshot 1";
constexpr HRESULT kNotASnapshot = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// ---------------------------------------------------------------------------------------------------
// Values as text

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

bool SignedDecimal(std::wstring_view text, std::int64_t *value) {
    const bool negative = text.starts_with(L'-');
    std::uint64_t magnitude = 0;
    if (!Decimal(negative ? text.substr(1) : text, &magnitude)) return false;
    *value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
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

// The first word of text, and what follows its space.
std::wstring_view Split(std::wstring_view *text) {
    const std::size_t space = text->find(L' ');
    const std::wstring_view word = text->substr(0, space);
    text->remove_prefix(space == std::wstring_view::npos ? text->size() : space + 1);
    return word;
}

// ---------------------------------------------------------------------------------------------------
// Property values: the types a phone's properties take

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

// Fills a cleared value; what it allocates is the caller's to clear.
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

// ---------------------------------------------------------------------------------------------------
// Data records: "bytes HEX", "pattern SIZE SEED", "file SIZE STAMP PATH", "stored SIZE NAME"

std::wstring DataText(const DataSource &source) {
    const DataRecord record = source.Describe();
    const std::wstring size = std::to_wstring(record.size);
    switch (record.kind) {
        case DataRecord::Kind::Bytes: return L"bytes " + HexText(record.bytes.data(), record.bytes.size());
        case DataRecord::Kind::Pattern: return L"pattern " + size + L" " + std::to_wstring(record.seed);
        case DataRecord::Kind::File: return L"file " + size + L" " + std::to_wstring(record.stamp) + L" " + Escape(record.path);
        case DataRecord::Kind::Stored: break;
    }
    const std::size_t slash = record.path.rfind(L'\\');
    return L"stored " + size + L" " + Escape(record.path.substr(slash == std::wstring::npos ? 0 : slash + 1));
}

bool ParseData(std::wstring_view text, const std::wstring &storedFolder, DataPtr *data) {
    const std::wstring_view kind = Split(&text);
    DataRecord record;
    if (kind == L"bytes") {
        if (!ParseHexBytes(text, &record.bytes)) return false;
        record.size = record.bytes.size();
    } else {
        if (!Decimal(Split(&text), &record.size)) return false;
        std::uint64_t number = 0;
        if (kind == L"pattern") {
            if (!Decimal(text, &number) || number > 255) return false;
            record.kind = DataRecord::Kind::Pattern;
            record.seed = static_cast<std::uint8_t>(number);
        } else if (kind == L"file") {
            record.kind = DataRecord::Kind::File;
            if (!Decimal(Split(&text), &record.stamp) || !Unescape(text, &record.path)) return false;
        } else if (kind == L"stored") {
            std::wstring name;
            if (!Unescape(text, &name) || name.empty() || name.find(L'\\') != std::wstring::npos) return false;
            record.kind = DataRecord::Kind::Stored;
            record.path = storedFolder + L"\\" + name;
        } else {
            return false;
        }
    }
    *data = DataFromRecord(record);
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Fields

struct KindName {
    ObjectKind kind;
    const wchar_t *name;
};
constexpr KindName kKinds[] = {{ObjectKind::Device, L"device"},
                               {ObjectKind::Storage, L"storage"},
                               {ObjectKind::Folder, L"folder"},
                               {ObjectKind::File, L"file"},
                               {ObjectKind::Playlist, L"playlist"}};

template <class Owner, class Value>
struct Field {
    const wchar_t *key;
    Value Owner::*member;
};
constexpr Field<PhoneIdentity, std::wstring> kIdentityTexts[] = {
    {L"manufacturer", &PhoneIdentity::manufacturer},   {L"model", &PhoneIdentity::model},
    {L"serial", &PhoneIdentity::serialNumber},         {L"friendly-name", &PhoneIdentity::friendlyName},
    {L"instance-id", &PhoneIdentity::instanceId},
};
constexpr Field<PhoneObject, std::wstring> kTexts[] = {
    {L"id", &PhoneObject::id},                     {L"parent", &PhoneObject::parentId},
    {L"storage", &PhoneObject::storageId},         {L"name", &PhoneObject::name},
    {L"original-name", &PhoneObject::originalFileName}, {L"persistent-id", &PhoneObject::persistentId},
    {L"host-folder", &PhoneObject::hostFolder},
};
constexpr Field<PhoneObject, GUID> kGuids[] = {{L"content-type", &PhoneObject::contentType},
                                               {L"format", &PhoneObject::format}};
constexpr Field<PhoneObject, bool> kFlags[] = {{L"hidden", &PhoneObject::hidden},
                                               {L"can-delete", &PhoneObject::canDelete}};
constexpr Field<PhoneObject, std::uint64_t> kNumbers[] = {{L"capacity", &PhoneObject::capacity},
                                                          {L"used", &PhoneObject::used}};

template <class Owner, class Value, std::size_t N>
const Field<Owner, Value> *FindField(const Field<Owner, Value> (&fields)[N], std::wstring_view key) {
    for (const auto &field : fields) {
        if (key == field.key) return &field;
    }
    return nullptr;
}

class Writer {
public:
    void Line(std::wstring_view key, std::wstring_view value = {}) {
        text_ += key;
        if (!value.empty()) (text_ += L' ') += value;
        text_ += L'\n';
    }
    std::string Text() const { return std::string(text_.begin(), text_.end()); }  // ASCII only

private:
    std::wstring text_;
};

HRESULT WriteObject(const PhoneObject &object, Writer &out) {
    for (const KindName &kind : kKinds) {
        if (kind.kind == object.kind) out.Line(L"object", kind.name);
    }
    for (const auto &field : kTexts) {
        if (!(object.*field.member).empty()) out.Line(field.key, Escape(object.*field.member));
    }
    for (const auto &field : kGuids) out.Line(field.key, GuidText(object.*field.member));
    for (const auto &field : kFlags) out.Line(field.key, object.*field.member ? L"1" : L"0");
    for (const auto &field : kNumbers) out.Line(field.key, std::to_wstring(object.*field.member));
    out.Line(L"handle", std::to_wstring(object.handle));
    out.Line(L"modified", BitsText(object.dateModified));
    if (object.data) out.Line(L"data", DataText(*object.data));
    if (object.thumbnail) out.Line(L"thumbnail", DataText(*object.thumbnail));
    if (object.references) {
        out.Line(L"references");
        for (const std::wstring &id : *object.references) out.Line(L"reference", Escape(id));
    }
    for (const auto &[key, value] : object.extra) {
        std::wstring text;
        const HRESULT hr = VariantText(value.Get(), &text);
        if (FAILED(hr)) return hr;
        out.Line(L"extra", KeyText(key) + L" " + std::to_wstring(value.Get().vt) + L" " + text);
    }
    for (const PROPERTYKEY &key : object.absent) out.Line(L"absent", KeyText(key));
    out.Line(L"end");
    return S_OK;
}

// One field of an object; false when it is not one or its value is malformed.
bool ReadField(std::wstring_view key, std::wstring_view value, const std::wstring &storedFolder, PhoneObject *object) {
    if (const auto *field = FindField(kTexts, key)) return Unescape(value, &(object->*field->member));
    if (const auto *field = FindField(kGuids, key)) return ParseGuid(value, &(object->*field->member));
    if (const auto *field = FindField(kFlags, key)) {
        object->*field->member = value == L"1";
        return value == L"1" || value == L"0";
    }
    if (const auto *field = FindField(kNumbers, key)) return Decimal(value, &(object->*field->member));
    std::uint64_t number = 0;
    if (key == L"handle") {
        if (!Decimal(value, &number) || number > 0xFFFFFFFF) return false;
        object->handle = static_cast<std::uint32_t>(number);
        return true;
    }
    if (key == L"modified") return ParseBits(value, &object->dateModified);
    if (key == L"data") return ParseData(value, storedFolder, &object->data);
    if (key == L"thumbnail") return ParseData(value, storedFolder, &object->thumbnail);
    if (key == L"references") {
        object->references.emplace();
        return value.empty();
    }
    if (key == L"reference") {
        std::wstring id;
        if (!object->references || !Unescape(value, &id)) return false;
        object->references->push_back(std::move(id));
        return true;
    }
    PROPERTYKEY property{};
    if (!ParseKey(&value, &property)) return false;
    if (key == L"absent") {
        object->absent.push_back(property);
        return value.empty();
    }
    std::uint64_t type = 0;
    if (key != L"extra" || !Decimal(Split(&value), &type) || type > 0xFFFF) return false;
    win::UniquePropVariant parsed;
    if (!ParseVariant(static_cast<VARTYPE>(type), value, parsed.get())) return false;
    object->extra.emplace_back(property, PropertyValue(*parsed));
    return true;
}

// Puts a whole object into content: the DEVICE object replaces the first one, every other goes below
// its parent, which came before it.
bool Place(PhoneObject object, PhoneContent *content) {
    if (object.kind == ObjectKind::Device) {
        PhoneNode *device = content->Find(object.id);
        if (!device || !device->children.empty()) return false;
        device->object = std::move(object);
        return true;
    }
    PhoneNode *parent = content->Find(object.parentId);
    const bool parentFits = parent && (object.kind == ObjectKind::Storage ? parent->object.kind == ObjectKind::Device
                                                                          : parent->object.IsContainer());
    if (object.id.empty() || content->Find(object.id) || !parentFits) return false;
    parent->children.push_back(object.id);
    std::wstring key = object.id;
    content->nodes.emplace(std::move(key), PhoneNode{std::move(object), {}});
    return true;
}

bool ReadContent(std::wstring_view text, const std::wstring &storedFolder, PhoneContent *content) {
    std::optional<PhoneObject> object;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find(L'\n');
        if (end == std::wstring_view::npos) return false;  // a snapshot ends with a whole line
        std::wstring_view value = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (std::exchange(first, false)) {
            if (value != kHeader) return false;
            continue;
        }
        const std::wstring_view key = Split(&value);
        if (object) {
            if (key != L"end") {
                if (!ReadField(key, value, storedFolder, &*object)) return false;
                continue;
            }
            if (!Place(std::move(*object), content)) return false;
            object.reset();
            continue;
        }
        std::uint64_t number = 0;
        if (key == L"object") {
            object.emplace();
            const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                           [&](const KindName &k) { return value == k.name; });
            if (kind == std::end(kKinds)) return false;
            object->kind = kind->kind;
        } else if (const auto *field = FindField(kIdentityTexts, key)) {
            if (!Unescape(value, &(content->identity.*field->member))) return false;
        } else if (key == L"hardware-id") {
            std::wstring id;
            if (!Unescape(value, &id)) return false;
            content->identity.hardwareIds.push_back(std::move(id));
        } else if (key == L"extension") {
            if (!Unescape(value, &content->extensionState)) return false;
        } else if (key == L"next-handle" || key == L"next-storage") {
            if (!Decimal(value, &number) || number > 0xFFFFFFFF) return false;
            (key == L"next-handle" ? content->nextHandle : content->nextStorage) = static_cast<std::uint32_t>(number);
        } else {
            return false;
        }
    }
    return !first && !object;
}

}  // namespace

HRESULT EncodeSnapshot(const PhoneContent &content, std::string *text) {
    Writer out;
    out.Line(kHeader);
    out.Line(L"next-handle", std::to_wstring(content.nextHandle));
    out.Line(L"next-storage", std::to_wstring(content.nextStorage));
    for (const auto &field : kIdentityTexts) out.Line(field.key, Escape(content.identity.*field.member));
    for (const std::wstring &id : content.identity.hardwareIds) out.Line(L"hardware-id", Escape(id));
    out.Line(L"extension", Escape(content.extensionState));
    // Depth first, so that every parent comes before its children and children keep their order.
    std::vector<const PhoneNode *> pending{content.Find(L"")};
    while (!pending.empty()) {
        const PhoneNode *node = pending.back();
        pending.pop_back();
        const HRESULT hr = WriteObject(node->object, out);
        if (FAILED(hr)) return hr;
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.push_back(content.Find(*child));
        }
    }
    *text = out.Text();
    return S_OK;
}

HRESULT DecodeSnapshot(const std::string &text, const std::wstring &storedFolder, PhoneContent *content) {
    PhoneContent decoded;
    const std::wstring wide(text.begin(), text.end());
    if (!ReadContent(wide, storedFolder, &decoded)) return kNotASnapshot;
    *content = std::move(decoded);
    return S_OK;
}

}  // namespace vphone
