#include "text.h"

#include <cstdio>

namespace {

std::string Narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), chars);
    return wide;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) { return Narrow(text, CP_UTF8); }
std::wstring FromUtf8(std::string_view text) { return Widen(text, CP_UTF8); }
std::string ToAnsi(std::wstring_view text) { return Narrow(text, CP_ACP); }
std::wstring FromAnsi(std::string_view text) { return Widen(text, CP_ACP); }

std::string SizeText(std::uint64_t bytes, bool exact) {
    if (exact || bytes < 1024) return std::to_string(bytes);
    constexpr const char *kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}
