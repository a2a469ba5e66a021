// The subcommands of orvik-cli: one table per group, each entry with its usage and handler.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "arguments.h"
#include "orvik_library.h"
#include "output.h"

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the library or the system refused
inline constexpr int kExitUsage = 2;   // the command line was wrong

struct Context {
    OrvikLibrary &orvik;
    const Arguments &arguments;
    Output &out;
    // The operands after the command word(s).
    std::span<const std::wstring> operands;
};

struct Command {
    std::wstring_view name;     // "ls", or "playlist put"
    std::string_view synopsis;  // "ls [PATH] [--raw]"
    std::string_view summary;   // one line for the command list
    std::string_view details;   // more lines for --help, may be empty
    std::wstring_view options;  // the command's own options, blank-separated: L"--replace --guard"
    std::size_t minOperands;
    std::size_t maxOperands;
    int (*run)(Context &context);
};

std::span<const Command> DeviceCommands();    // devices, info, time, probe
std::span<const Command> MediaCommands();     // ls, df, mkdir, rm, rmdir
std::span<const Command> TransferCommands();  // get, thumb, put
std::span<const Command> PlaylistCommands();  // playlist put, playlist get
std::span<const Command> VendorCommands();    // at, syncml, install

// Shows "orvik-cli: WHAT: WPD_ERROR_X (n): meaning" for a failure; the exit status for the result.
int Outcome(Context &context, std::string_view what, WPD_ERROR result);
// The media flags word from --guard and, where allowed, --replace.
unsigned long MediaFlags(const Context &context);
