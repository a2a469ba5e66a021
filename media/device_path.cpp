#include "media/device_path.h"

#include <cwchar>

bool NormalizeDevicePath(wchar_t (&destination)[kNameChars], const wchar_t *source) {
    const wchar_t *text = source ? source : L"";
    const bool hasLeadingSeparator = text[0] == L'\\';
    size_t length = wcslen(text);
    if (length > 0 && text[length - 1] == L'\\') --length;

    const size_t total = length + (hasLeadingSeparator ? 0 : 1);
    destination[0] = L'\0';
    if (total >= kNameChars) return false;
    if (total == 0) {
        // Only "\" gets here: its one separator is both leading and trailing, and it means the root.
        wcscpy_s(destination, L"\\");
        return true;
    }
    if (!hasLeadingSeparator) wcscpy_s(destination, L"\\");
    wcsncat_s(destination, kNameChars, text, length);
    return true;
}
