// A record library as another maker may build it: FieldrecAddField alone, no FieldrecFree, its text
// in local memory (the host releases it with LocalFree). It refuses any field whose value is
// "refuse", so that a listing can fail half-way.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) void __cdecl FieldrecAddField(char **text, unsigned long *length, const char *name,
                                                              const char *value) {
    if (std::strcmp(value, "refuse") == 0) return;
    const size_t added = std::strlen(name) + 1 + std::strlen(value) + 2;
    const size_t size = *length + added + 1;
    HLOCAL block = *text ? LocalReAlloc(*text, size, LMEM_MOVEABLE) : LocalAlloc(LMEM_FIXED, size);
    if (!block) return;
    char *out = static_cast<char *>(block) + *length;
    std::memcpy(out, name, std::strlen(name));
    out += std::strlen(name);
    *out++ = ':';
    std::memcpy(out, value, std::strlen(value));
    out += std::strlen(value);
    std::memcpy(out, "\r\n", 3);
    *text = static_cast<char *>(block);
    *length += static_cast<unsigned long>(added);
}
