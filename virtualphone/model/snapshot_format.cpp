#include "virtualphone/model/snapshot_format.h"

#include "virtualphone/model/snapshot_values.h"
#include "win/unique_any.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace vphone {
namespace {

constexpr wchar_t kHeader[] = L"orvik virtual phone snapshot 1";
constexpr HRESULT kNotASnapshot = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

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
