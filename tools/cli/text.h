// Conversions between the library's encodings and what the terminal shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
std::string ToAnsi(std::wstring_view text);  // device ids and AT text travel in the ANSI code page
std::wstring FromAnsi(std::string_view text);

// "3.0 MiB", or "3145728" when exact.
std::string SizeText(std::uint64_t bytes, bool exact);
