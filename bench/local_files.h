// Local files for the benchmarks: in the temporary folder, filled with a byte pattern.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

inline std::wstring TempPath(const wchar_t *name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// A file of exactly size bytes, written a mebibyte at a time.
inline bool WriteLocalFile(const std::wstring &path, unsigned long long size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(i * 7 + 3);
    bool written = true;
    for (unsigned long long done = 0; written && done < size;) {
        const DWORD piece = static_cast<DWORD>(std::min<unsigned long long>(chunk.size(), size - done));
        DWORD wrote = 0;
        written = WriteFile(file, chunk.data(), piece, &wrote, nullptr) && wrote == piece;
        done += piece;
    }
    CloseHandle(file);
    return written;
}

}  // namespace bench
