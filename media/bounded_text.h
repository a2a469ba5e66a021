// Copies into the fixed-size wide fields of records and locations. Text that does not fit is cut the
// same way everywhere, never inside a surrogate pair; the result says whether it was cut, so that
// identifiers and paths can be refused instead of used cut.
#pragma once

#include <cstddef>

// destination holds `chars` characters, terminator included. True when source fitted whole.
bool CopyBounded(wchar_t *destination, size_t chars, const wchar_t *source);
bool AppendBounded(wchar_t *destination, size_t chars, const wchar_t *source);

template <size_t N>
bool CopyBounded(wchar_t (&destination)[N], const wchar_t *source) {
    return CopyBounded(destination, N, source);
}
template <size_t N>
bool AppendBounded(wchar_t (&destination)[N], const wchar_t *source) {
    return AppendBounded(destination, N, source);
}
