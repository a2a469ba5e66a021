#include "cli.h"

#include <array>
#include <optional>

#include "commands.h"
#include "log_viewer.h"
#include "result_names.h"
#include "text.h"

namespace {

constexpr std::array kGroups = {DeviceCommands, MediaCommands, TransferCommands, PlaylistCommands, VendorCommands};

constexpr char kGlobalOptions[] =
    "global options:\n"
    "  --device ID   the phone with this hardware id (default: the only phone present)\n"
    "  --instance    ID is an instance id\n"
    "  --bytes       sizes in bytes instead of KiB, MiB, GiB\n"
    "  --log         run the log viewer (tmonitor) while the command runs\n"
    "  --help        this text, or a command's with COMMAND --help\n"
    "exit status: 0 done, 1 failed, 2 wrong command line\n";

void ShowUsage(Output &out, bool toError) {
    std::string text = "usage: orvik-cli [GLOBAL OPTIONS] COMMAND [ARGS] [; COMMAND [ARGS]]...\n"
                       "commands (several, separated by ';', run in one process until one fails):\n";
    for (const auto group : kGroups) {
        for (const Command &command : group()) {
            text += "  " + std::string(command.synopsis) + "\n      " + std::string(command.summary) + "\n";
        }
    }
    text += kGlobalOptions;
    toError ? out.Error(text) : out.Write(text);
}

// The command named by the first one or two words; *used tells how many words the name took.
const Command *FindCommand(const std::vector<std::wstring> &words, std::size_t *used) {
    for (const std::size_t take : {std::size_t{2}, std::size_t{1}}) {
        if (words.size() < take) continue;
        std::wstring name = words[0];
        if (take == 2) name += L" " + words[1];
        for (const auto group : kGroups) {
            for (const Command &command : group()) {
                if (command.name == name) {
                    *used = take;
                    return &command;
                }
            }
        }
    }
    return nullptr;
}

bool AllowsOption(const Command &command, const std::wstring &option) {
    std::wstring_view options = command.options;
    while (!options.empty()) {
        const std::size_t end = options.find(L' ');
        if (options.substr(0, end) == option) return true;
        options.remove_prefix(end == std::wstring_view::npos ? options.size() : end + 1);
    }
    return option == L"--to" && command.name == L"install";
}

int CheckCommandLine(const Command &command, const Arguments &arguments, std::size_t operands, Output &out) {
    for (const std::wstring &option : arguments.CommandOptions()) {
        if (!AllowsOption(command, option)) {
            out.PrintError("orvik-cli: %s does not take %s\nusage: orvik-cli %.*s\n", ToUtf8(command.name).c_str(),
                           ToUtf8(option).c_str(), static_cast<int>(command.synopsis.size()), command.synopsis.data());
            return kExitUsage;
        }
    }
    if (operands < command.minOperands || operands > command.maxOperands) {
        out.PrintError("orvik-cli: wrong number of arguments\nusage: orvik-cli %.*s\n",
                       static_cast<int>(command.synopsis.size()), command.synopsis.data());
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int Outcome(Context &context, std::string_view what, WPD_ERROR result) {
    if (result == WPD_ERROR_OK) return kExitOk;
    context.out.PrintError("orvik-cli: %.*s: %s (%d): %s\n", static_cast<int>(what.size()), what.data(),
                           ResultName(result), static_cast<int>(result), ResultMeaning(result));
    return kExitFailed;
}

unsigned long MediaFlags(const Context &context) {
    return (context.arguments.Has(L"--guard") ? 2ul : 0ul) | (context.arguments.Has(L"--replace") ? 4ul : 0ul);
}

namespace {

// One command; the phone selection and size style of an earlier command carry over.
int RunOne(const std::vector<std::wstring> &argv, const Arguments *earlier, Output &out) {
    std::wstring problem;
    std::optional<Arguments> arguments = ParseArguments(argv, &problem);
    if (arguments && earlier && arguments->device.empty()) {
        arguments->device = earlier->device;
        arguments->instance = earlier->instance;
    }
    if (arguments && earlier) arguments->bytes = arguments->bytes || earlier->bytes;
    if (!arguments) {
        out.PrintError("orvik-cli: %s\n", ToUtf8(problem).c_str());
        return kExitUsage;
    }
    if (arguments->words.empty()) {
        ShowUsage(out, !arguments->help);
        return arguments->help ? kExitOk : kExitUsage;
    }
    std::size_t used = 0;
    const Command *command = FindCommand(arguments->words, &used);
    if (!command) {
        out.PrintError("orvik-cli: unknown command %s (orvik-cli --help lists them)\n",
                       ToUtf8(arguments->words[0]).c_str());
        return kExitUsage;
    }
    if (arguments->help) {
        out.Print("usage: orvik-cli %.*s\n  %.*s\n%.*s%s", static_cast<int>(command->synopsis.size()),
                  command->synopsis.data(), static_cast<int>(command->summary.size()), command->summary.data(),
                  static_cast<int>(command->details.size()), command->details.data(), kGlobalOptions);
        return kExitOk;
    }
    const std::span<const std::wstring> operands(arguments->words.begin() + static_cast<std::ptrdiff_t>(used),
                                                 arguments->words.end());
    if (const int status = CheckCommandLine(*command, *arguments, operands.size(), out); status != kExitOk) {
        return status;
    }
    std::optional<LogViewer> viewer;
    if (arguments->log) viewer.emplace(out);
    OrvikLibrary orvik;
    if (!orvik.loaded()) {
        out.PrintError("orvik-cli: %s\n", orvik.error().c_str());
        return kExitFailed;
    }
    Context context{orvik, *arguments, out, operands};
    return command->run(context);
}

}  // namespace

int RunCli(const std::vector<std::wstring> &argv, Output &out) {
    // Commands separated by ";" run one after another in this process, until one fails.
    std::vector<std::wstring> command;
    std::optional<Arguments> first;
    for (std::size_t i = 0; i <= argv.size(); ++i) {
        if (i < argv.size() && argv[i] != L";") {
            command.push_back(argv[i]);
            continue;
        }
        const int status = RunOne(command, first ? &*first : nullptr, out);
        if (status != kExitOk) return status;
        if (!first) {
            std::wstring ignored;
            first = ParseArguments(command, &ignored);
        }
        command.clear();
    }
    return kExitOk;
}
