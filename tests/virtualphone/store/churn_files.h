// The files the churning hosts put: TAG-N.bin, whose size and bytes follow from its name, so that the
// test that checks the phone afterwards knows them without being told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace store_test {

inline std::wstring ChurnName(const std::wstring &tag, unsigned n) { return tag + L"-" + std::to_wstring(n) + L".bin"; }

inline std::vector<std::uint8_t> ChurnBytes(const std::wstring &name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (wchar_t c : name) hash = (hash ^ static_cast<std::uint16_t>(c)) * 16777619u;
    std::vector<std::uint8_t> bytes(1000 + hash % 20000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 31 + hash) >> 3);
    return bytes;
}

}  // namespace store_test
