#include "virtualphone/description/description_values.h"

#include "device/wpd_api.h"

#include <oleauto.h>

#include <limits>
#include <string>

namespace vphone::description {
namespace {

constexpr std::wstring_view kBlanks = L" \t";

// Exactly digits decimal digits at text[at...].
std::optional<WORD> Digits(std::wstring_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size()) return std::nullopt;
    const auto value = ParseNumber(text.substr(at, digits), 9999);
    if (!value) return std::nullopt;
    return static_cast<WORD>(*value);
}

bool ValidDay(unsigned year, unsigned month, unsigned day) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1601 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

std::wstring_view Trim(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<GUID> ParseGuid(std::wstring_view text) {
    if (text.size() != 38 || text.front() != L'{') return std::nullopt;
    const std::wstring terminated(text);
    GUID guid;
    if (FAILED(IIDFromString(terminated.c_str(), &guid))) return std::nullopt;
    return guid;
}

std::optional<std::uint64_t> ParseNumber(std::wstring_view text, std::uint64_t max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - L'0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint64_t> ParseSize(std::wstring_view text) {
    struct Unit {
        std::wstring_view name;
        unsigned shift;
    };
    static constexpr Unit kUnits[] = {{L"", 0}, {L"B", 0}, {L"KiB", 10}, {L"MiB", 20}, {L"GiB", 30}, {L"TiB", 40}};
    const std::size_t digitsEnd = text.find_first_not_of(L"0123456789");
    const std::wstring_view unitName = Trim(text.substr(std::min(digitsEnd, text.size())));
    for (const Unit &unit : kUnits) {
        if (unit.name != unitName) continue;
        const auto count =
            ParseNumber(text.substr(0, digitsEnd), std::numeric_limits<std::uint64_t>::max() >> unit.shift);
        if (!count) return std::nullopt;
        return *count << unit.shift;
    }
    return std::nullopt;
}

std::optional<double> ParseDate(std::wstring_view text) {
    // Layout "YYYY-MM-DD HH:MM:SS"; the time, or its seconds, may be left off.
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    constexpr std::wstring_view kLayout = L"YYYY-MM-DD HH:MM:SS";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool separator = kLayout[i] < L'A';
        if (separator && text[i] != kLayout[i]) return std::nullopt;
    }
    SYSTEMTIME time{};
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (!year || !month || !day) return std::nullopt;
    time.wYear = *year;
    time.wMonth = *month;
    time.wDay = *day;
    if (text.size() >= 16) {
        const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
        if (!hour || !minute) return std::nullopt;
        time.wHour = *hour;
        time.wMinute = *minute;
    }
    if (text.size() == 19) {
        const auto second = Digits(text, 17, 2);
        if (!second) return std::nullopt;
        time.wSecond = *second;
    }
    // Checked here: the system's conversions roll some impossible dates over into the next month.
    if (!ValidDay(time.wYear, time.wMonth, time.wDay) || time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59) {
        return std::nullopt;
    }
    double oleDate = 0;
    if (!SystemTimeToVariantTime(&time, &oleDate)) return std::nullopt;
    return oleDate;
}

std::optional<GUID> ParseFormat(std::wstring_view text) {
    if (text.starts_with(L"0x") || text.starts_with(L"0X")) {
        const std::wstring_view hex = text.substr(2);
        if (hex.empty() || hex.size() > 4 || hex.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring_view::npos) {
            return std::nullopt;
        }
        return wpd::MtpFormatGuid(static_cast<unsigned short>(std::stoul(std::wstring(hex), nullptr, 16)));
    }
    return ParseGuid(text);
}

std::optional<GUID> ParseContentType(std::wstring_view text) {
    struct Name {
        std::wstring_view name;
        const GUID *type;
    };
    static constexpr Name kNames[] = {
        {L"folder", &wpd::WPD_CONTENT_TYPE_FOLDER}, {L"audio", &wpd::WPD_CONTENT_TYPE_AUDIO},
        {L"image", &wpd::WPD_CONTENT_TYPE_IMAGE},   {L"video", &wpd::WPD_CONTENT_TYPE_VIDEO},
        {L"playlist", &wpd::WPD_CONTENT_TYPE_PLAYLIST}, {L"unspecified", &wpd::WPD_CONTENT_TYPE_UNSPECIFIED},
    };
    for (const Name &name : kNames) {
        if (name.name == text) return *name.type;
    }
    return ParseGuid(text);
}

}  // namespace vphone::description
