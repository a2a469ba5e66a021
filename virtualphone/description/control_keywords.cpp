#include "virtualphone/description/control_keywords.h"

#include "device/wpd_api.h"
#include "virtualphone/description/description_values.h"
#include "virtualphone/model/shared_controls.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <optional>
#include <utility>

namespace vphone::description {
namespace {

using Words = std::vector<std::wstring_view>;

Words Split(std::wstring_view text) {
    Words words;
    std::size_t start = 0;
    while ((start = text.find_first_not_of(L" \t", start)) != std::wstring_view::npos) {
        const std::size_t end = std::min(text.find_first_of(L" \t", start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

std::wstring Quoted(std::wstring_view text) { return L"'" + std::wstring(text) + L"'"; }

bool Refuse(std::wstring *message, std::wstring text) {
    if (message) *message = std::move(text);
    return false;
}

// The properties a host reads most, by their platform names.
struct NamedKey {
    std::wstring_view name;
    PROPERTYKEY key;
};
constexpr NamedKey kKeys[] = {
    {L"WPD_OBJECT_ID", wpd::WPD_OBJECT_ID},
    {L"WPD_OBJECT_PARENT_ID", wpd::WPD_OBJECT_PARENT_ID},
    {L"WPD_OBJECT_NAME", wpd::WPD_OBJECT_NAME},
    {L"WPD_OBJECT_PERSISTENT_UNIQUE_ID", wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID},
    {L"WPD_OBJECT_FORMAT", wpd::WPD_OBJECT_FORMAT},
    {L"WPD_OBJECT_CONTENT_TYPE", wpd::WPD_OBJECT_CONTENT_TYPE},
    {L"WPD_OBJECT_ISHIDDEN", wpd::WPD_OBJECT_ISHIDDEN},
    {L"WPD_OBJECT_SIZE", wpd::WPD_OBJECT_SIZE},
    {L"WPD_OBJECT_ORIGINAL_FILE_NAME", wpd::WPD_OBJECT_ORIGINAL_FILE_NAME},
    {L"WPD_OBJECT_REFERENCES", wpd::WPD_OBJECT_REFERENCES},
    {L"WPD_OBJECT_DATE_MODIFIED", wpd::WPD_OBJECT_DATE_MODIFIED},
    {L"WPD_OBJECT_CAN_DELETE", wpd::WPD_OBJECT_CAN_DELETE},
    {L"WPD_STORAGE_CAPACITY", wpd::WPD_STORAGE_CAPACITY},
    {L"WPD_STORAGE_FREE_SPACE_IN_BYTES", wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES},
    {L"WPD_DEVICE_MANUFACTURER", wpd::WPD_DEVICE_MANUFACTURER},
    {L"WPD_DEVICE_MODEL", wpd::WPD_DEVICE_MODEL},
    {L"WPD_DEVICE_SERIAL_NUMBER", wpd::WPD_DEVICE_SERIAL_NUMBER},
    {L"WPD_DEVICE_FRIENDLY_NAME", wpd::WPD_DEVICE_FRIENDLY_NAME},
};

// A platform name, or "{fmtid}/pid" as the phone's transcript writes keys.
std::optional<PROPERTYKEY> ParseKey(std::wstring_view text) {
    for (const NamedKey &named : kKeys) {
        if (named.name == text) return named.key;
    }
    const std::size_t slash = text.find(L'/');
    if (slash == std::wstring_view::npos) return std::nullopt;
    const auto fmtid = ParseGuid(text.substr(0, slash));
    const auto pid = ParseNumber(text.substr(slash + 1), MAXDWORD);
    if (!fmtid || !pid) return std::nullopt;
    return PROPERTYKEY{*fmtid, static_cast<DWORD>(*pid)};
}

std::wstring KeyText(const PROPERTYKEY &key) {
    for (const NamedKey &named : kKeys) {
        if (named.key.fmtid == key.fmtid && named.key.pid == key.pid) return std::wstring(named.name);
    }
    wchar_t guid[40];
    StringFromGUID2(key.fmtid, guid, 40);
    return std::wstring(guid) + L"/" + std::to_wstring(key.pid);
}

// "0x800700AA": a failure, as an injected result must be.
std::optional<HRESULT> ParseFailure(std::wstring_view text) {
    if (text.size() < 3 || text.size() > 10 || (!text.starts_with(L"0x") && !text.starts_with(L"0X"))) return std::nullopt;
    unsigned long value = 0;
    for (const wchar_t c : text.substr(2)) {
        const wchar_t lower = static_cast<wchar_t>(towlower(c));
        if (!iswxdigit(c)) return std::nullopt;
        value = value * 16 + static_cast<unsigned long>(lower <= L'9' ? lower - L'0' : lower - L'a' + 10);
    }
    const HRESULT hr = static_cast<HRESULT>(value);
    if (SUCCEEDED(hr)) return std::nullopt;
    return hr;
}

std::wstring HresultText(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// "hr 0x..." (and for faults "call N") after the first word, in either order.
bool ReadOptions(const Words &words, bool withCall, unsigned *call, HRESULT *hr, std::wstring *message) {
    const std::wstring expected = withCall ? L"expected 'call N' or 'hr 0x8XXXXXXX'" : L"expected 'hr 0x8XXXXXXX'";
    for (std::size_t i = 1; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) return Refuse(message, Quoted(words[i]) + L" needs a value: " + expected);
        if (withCall && words[i] == L"call") {
            const auto nth = ParseNumber(words[i + 1], 1'000'000'000);
            if (!nth || *nth == 0) return Refuse(message, L"bad call " + Quoted(words[i + 1]) + L": expected a number from 1");
            *call = static_cast<unsigned>(*nth);
        } else if (words[i] == L"hr") {
            const auto failure = ParseFailure(words[i + 1]);
            if (!failure) return Refuse(message, L"bad hr " + Quoted(words[i + 1]) + L": expected a failing HRESULT such as 0x800700AA");
            *hr = *failure;
        } else {
            return Refuse(message, L"unexpected " + Quoted(words[i]) + L": " + expected);
        }
    }
    return true;
}

// The factor of a unit word, or 0 for a word that is not one of the units.
std::uint64_t UnitFactor(std::wstring_view word, std::initializer_list<std::pair<std::wstring_view, std::uint64_t>> units) {
    for (const auto &[name, factor] : units) {
        if (name == word) return factor;
    }
    return 0;
}

bool ApplyLink(std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    for (const auto &[name, preset] : {std::pair{L"none", LinkSpeed::None()}, std::pair{L"usb2", LinkSpeed::Usb2()},
                                       std::pair{L"usb3", LinkSpeed::Usb3()}}) {
        if (value == name) {
            settings.link = preset;
            return true;
        }
    }
    // "1500 us 20 MB/s": a round trip of at most 10 s, then a bandwidth.
    const Words words = Split(value);
    const bool four = words.size() == 4;
    const std::uint64_t perRoundTrip = four ? UnitFactor(words[1], {{L"us", 1}, {L"ms", 1000}}) : 0;
    const std::uint64_t perBandwidth = four ? UnitFactor(words[3], {{L"B/s", 1}, {L"KB/s", 1000}, {L"MB/s", 1'000'000}}) : 0;
    const auto roundTrip = perRoundTrip ? ParseNumber(words[0], 10'000'000 / perRoundTrip) : std::nullopt;
    const auto bandwidth = perBandwidth ? ParseNumber(words[2], 1'000'000'000'000 / perBandwidth) : std::nullopt;
    if (!roundTrip || !bandwidth) {
        return Refuse(message, L"bad link " + Quoted(value) +
                                   L": expected usb2, usb3, none, or a round trip and a bandwidth such as "
                                   L"1500 us 20 MB/s (us or ms; B/s, KB/s or MB/s)");
    }
    settings.link = {static_cast<std::uint32_t>(*roundTrip * perRoundTrip), *bandwidth * perBandwidth};
    return true;
}

bool ApplyTransferSize(std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    const std::size_t comma = value.find(L',');
    const auto read = ParseSize(Trim(value.substr(0, comma)));
    const auto write = comma == std::wstring_view::npos ? read : ParseSize(Trim(value.substr(comma + 1)));
    if (!read || !write || *read > MAXDWORD || *write > MAXDWORD) {
        return Refuse(message, L"bad transfer size " + Quoted(value) +
                                   L": expected a size below 4 GiB, or a read size and a write size separated by a comma");
    }
    settings.readTransferSize = static_cast<DWORD>(*read);
    settings.writeTransferSize = static_cast<DWORD>(*write);
    return true;
}

bool ApplyFail(std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    const Words words = Split(value);
    const std::wstring_view method = words.front();
    const bool named = method.size() <= kMaxFaultMethodChars && method.find(L"::") != std::wstring_view::npos &&
                       std::all_of(method.begin(), method.end(), [](wchar_t c) {
                           return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                                  c == L':' || c == L'_';
                       });
    if (!named) return Refuse(message, L"bad method " + Quoted(method) + L": expected Interface::Method, such as IPortableDevice::Open");
    InjectedFault fault{std::string(method.begin(), method.end()), 0, E_FAIL};
    if (!ReadOptions(words, true, &fault.nth, &fault.hr, message)) return false;
    if (settings.faults.size() == kMaxSharedFaults) return Refuse(message, L"more than 16 faults");
    settings.faults.push_back(std::move(fault));
    return true;
}

bool ApplyUnreadable(std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    const Words words = Split(value);
    const auto key = ParseKey(words.front());
    if (!key) return Refuse(message, L"bad property " + Quoted(words.front()) + L": expected a name such as WPD_OBJECT_NAME, or {fmtid}/pid");
    UnreadableProperty property{*key, E_ACCESSDENIED};
    unsigned unused = 0;
    if (!ReadOptions(words, false, &unused, &property.hr, message)) return false;
    if (settings.unreadable.size() == kMaxSharedUnreadable) return Refuse(message, L"more than 16 unreadable properties");
    settings.unreadable.push_back(property);
    return true;
}

bool ApplyRecord(std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    const auto limit = ParseNumber(value, kMaxRecordLimit);
    if (!limit) return Refuse(message, L"bad record " + Quoted(value) + L": expected how many calls to keep, from 0 to 1000000");
    settings.recordLimit = static_cast<std::size_t>(*limit);
    return true;
}

bool ApplyUnplugged(std::wstring_view, ControlSettings &settings, std::wstring *) {
    settings.unplugged = true;
    return true;
}

bool ApplyRefuseFullAccess(std::wstring_view, ControlSettings &settings, std::wstring *) {
    settings.refuseFullAccess = true;
    return true;
}

struct ControlKeyword {
    std::wstring_view name;
    bool takesValue;
    bool (*apply)(std::wstring_view value, ControlSettings &settings, std::wstring *message);
};
constexpr ControlKeyword kControls[] = {
    {L"link", true, &ApplyLink},
    {L"unplugged", false, &ApplyUnplugged},
    {L"refuse-full-access", false, &ApplyRefuseFullAccess},
    {L"transfer-size", true, &ApplyTransferSize},
    {L"fail", true, &ApplyFail},
    {L"unreadable", true, &ApplyUnreadable},
    {L"record", true, &ApplyRecord},
};

const ControlKeyword *Find(std::wstring_view keyword) {
    for (const ControlKeyword &control : kControls) {
        if (control.name == keyword) return &control;
    }
    return nullptr;
}

std::wstring SizeText(DWORD bytes) {
    if (bytes != 0 && bytes % (1 << 20) == 0) return std::to_wstring(bytes >> 20) + L" MiB";
    if (bytes != 0 && bytes % 1024 == 0) return std::to_wstring(bytes >> 10) + L" KiB";
    return std::to_wstring(bytes);
}

std::wstring LinkText(const LinkSpeed &link) {
    if (link == LinkSpeed::None()) return L"none";
    if (link == LinkSpeed::Usb2()) return L"usb2";
    if (link == LinkSpeed::Usb3()) return L"usb3";
    const std::uint32_t us = link.roundTripMicroseconds;
    const std::uint64_t bps = link.bytesPerSecond;
    const std::wstring roundTrip = us % 1000 == 0 ? std::to_wstring(us / 1000) + L" ms" : std::to_wstring(us) + L" us";
    const std::wstring bandwidth = bps % 1'000'000 == 0 ? std::to_wstring(bps / 1'000'000) + L" MB/s"
                                   : bps % 1000 == 0    ? std::to_wstring(bps / 1000) + L" KB/s"
                                                        : std::to_wstring(bps) + L" B/s";
    return roundTrip + L" " + bandwidth;
}

}  // namespace

bool IsControlKeyword(std::wstring_view keyword) { return Find(keyword) != nullptr; }

bool ControlTakesValue(std::wstring_view keyword) {
    const ControlKeyword *control = Find(keyword);
    return control && control->takesValue;
}

bool ApplyControl(std::wstring_view keyword, std::wstring_view value, ControlSettings &settings, std::wstring *message) {
    const ControlKeyword *control = Find(keyword);
    if (!control) return Refuse(message, L"unknown control " + Quoted(keyword));
    if (control->takesValue == Split(value).empty()) {
        return Refuse(message, Quoted(keyword) + (control->takesValue ? L" needs a value" : L" takes no value"));
    }
    return control->apply(value, settings, message);
}

std::vector<std::wstring> ControlLines(const ControlSettings &settings) {
    std::vector<std::wstring> lines;
    if (settings.unplugged) lines.push_back(L"unplugged");
    if (settings.refuseFullAccess) lines.push_back(L"refuse-full-access");
    lines.push_back(L"link " + LinkText(settings.link));
    lines.push_back(L"transfer-size " + SizeText(settings.readTransferSize) +
                    (settings.writeTransferSize == settings.readTransferSize ? L"" : L", " + SizeText(settings.writeTransferSize)));
    lines.push_back(L"record " + std::to_wstring(settings.recordLimit));
    for (const InjectedFault &fault : settings.faults) {
        lines.push_back(L"fail " + std::wstring(fault.method.begin(), fault.method.end()) +
                        (fault.nth ? L" call " + std::to_wstring(fault.nth) : L"") + L" hr " + HresultText(fault.hr));
    }
    for (const UnreadableProperty &property : settings.unreadable) {
        lines.push_back(L"unreadable " + KeyText(property.key) + L" hr " + HresultText(property.hr));
    }
    return lines;
}

}  // namespace vphone::description
