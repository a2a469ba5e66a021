// Text records of named fields on the process heap; fieldrec.h describes the format and the escaping.
#include "fieldrec.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace {

bool IsValidName(const char *name) {
    if (!*name) return false;
    for (; *name; ++name) {
        const char c = *name;
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '_';
        if (!allowed) return false;
    }
    return true;
}

// The two-byte escape of a value byte, or null for a byte copied as it is.
const char *EscapeOf(char c) {
    switch (c) {
        case '\\': return "\\\\";
        case '\r': return "\\r";
        case '\n': return "\\n";
        default: return nullptr;
    }
}

unsigned long long EscapedBytes(const char *value) {
    unsigned long long bytes = 0;
    for (; *value; ++value) bytes += EscapeOf(*value) ? 2 : 1;
    return bytes;
}

// A block of the process heap that holds at least `needed` bytes, given the block and its capacity; it
// grows at least twofold so that building a long listing field by field stays linear. Null when memory
// runs out (text is kept).
char *Reserve(char *text, SIZE_T capacity, SIZE_T needed) {
    const HANDLE heap = GetProcessHeap();
    if (!text) return static_cast<char *>(HeapAlloc(heap, 0, needed));
    if (needed <= capacity) return text;
    return static_cast<char *>(HeapReAlloc(heap, 0, text, capacity * 2 > needed ? capacity * 2 : needed));
}

// The running length must describe the block it comes with: nothing is written on a mismatch. The
// block's capacity comes back for Reserve.
bool LengthBelongsToText(const char *text, unsigned long length, SIZE_T &capacity) {
    capacity = 0;
    if (!text) return length == 0;
    capacity = HeapSize(GetProcessHeap(), 0, text);
    return capacity != static_cast<SIZE_T>(-1) && length < capacity && text[length] == '\0';
}

}  // namespace

extern "C" {

int FIELDREC_CALL FieldrecAddField(char **text, unsigned long *length, const char *name, const char *value) {
    SIZE_T capacity = 0;
    if (!text || !length || !name || !value || !IsValidName(name) || !LengthBelongsToText(*text, *length, capacity)) {
        return 0;
    }

    const size_t nameBytes = std::strlen(name);
    const unsigned long long total = *length + nameBytes + 1 + EscapedBytes(value) + 2;
    if (total >= ULONG_MAX) return 0;
    char *block = Reserve(*text, capacity, static_cast<SIZE_T>(total) + 1);
    if (!block) return 0;

    char *out = block + *length;
    std::memcpy(out, name, nameBytes);
    out += nameBytes;
    *out++ = ':';
    for (const char *c = value; *c; ++c) {
        if (const char *escape = EscapeOf(*c)) {
            *out++ = escape[0];
            *out++ = escape[1];
        } else {
            *out++ = *c;
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    *out = '\0';
    *text = block;
    *length = static_cast<unsigned long>(total);
    return 1;
}

void FIELDREC_CALL FieldrecFree(char *text) {
    if (text) HeapFree(GetProcessHeap(), 0, text);
}

}  // extern "C"
