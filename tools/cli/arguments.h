// The command line: global options, the command word, its operands and its own options.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct Arguments {
    // Global options.
    std::wstring device;   // --device ID
    bool instance = false; // --instance: ID is an instance id
    bool bytes = false;    // --bytes: exact sizes
    bool log = false;      // --log: run the log viewer for the command
    bool help = false;     // --help

    std::vector<std::wstring> words;              // the command word(s) and operands, in order
    std::set<std::wstring> switches;              // --replace, --guard, --raw, ...
    std::map<std::wstring, std::wstring> values;  // --type N, --timeout MS, ...
    std::vector<std::wstring> targets;            // install ... --to REMOTE...

    bool Has(const wchar_t *name) const { return switches.count(name) != 0; }
    std::optional<std::wstring> Value(const wchar_t *name) const;
    // Every option the command line gave besides the global ones ("--replace", "--type").
    std::vector<std::wstring> CommandOptions() const;
};

// Parses argv[1..]; on a malformed line returns nothing and sets *problem.
std::optional<Arguments> ParseArguments(const std::vector<std::wstring> &argv, std::wstring *problem);
