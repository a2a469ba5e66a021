// Where the commands write: the console, or a buffer in the tests.
#pragma once

#include <string>
#include <string_view>

class Output {
public:
    virtual ~Output() = default;
    virtual void Write(std::string_view utf8) = 0;  // standard output
    virtual void Error(std::string_view utf8) = 0;  // standard error
    virtual bool IsTerminal() const = 0;            // progress bars only then

    void Print(const char *format, ...) __attribute__((format(gnu_printf, 2, 3)));
    void PrintError(const char *format, ...) __attribute__((format(gnu_printf, 2, 3)));
};

// The process's standard output and error, UTF-8 text.
class ConsoleOutput final : public Output {
public:
    ConsoleOutput();
    void Write(std::string_view utf8) override;
    void Error(std::string_view utf8) override;
    bool IsTerminal() const override { return terminal_; }

private:
    bool terminal_ = false;
};
