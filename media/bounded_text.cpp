#include "media/bounded_text.h"

#include <windows.h>

#include <cwchar>

bool CopyBounded(wchar_t *destination, size_t chars, const wchar_t *source) {
    destination[0] = L'\0';
    return AppendBounded(destination, chars, source);
}

bool AppendBounded(wchar_t *destination, size_t chars, const wchar_t *source) {
    const size_t used = wcsnlen(destination, chars - 1);
    const size_t room = chars - 1 - used;
    size_t take = wcsnlen(source, room + 1);
    const bool fits = take <= room;
    if (!fits) {
        take = room;
        // Half a character would turn into a replacement character in UTF-8.
        if (take > 0 && IS_HIGH_SURROGATE(source[take - 1])) --take;
    }
    wmemcpy(destination + used, source, take);
    destination[used + take] = L'\0';
    return fits;
}
