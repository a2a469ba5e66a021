#include "output.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char *format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    return text;
}

}  // namespace

void Output::Print(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Write(Format(format, arguments));
    va_end(arguments);
}

void Output::PrintError(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Error(Format(format, arguments));
    va_end(arguments);
}

ConsoleOutput::ConsoleOutput() {
    SetConsoleOutputCP(CP_UTF8);
    // Lines end in LF alone, as scripts that read the output expect.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    terminal_ = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
}

void ConsoleOutput::Write(std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void ConsoleOutput::Error(std::string_view utf8) {
    std::fflush(stdout);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}
