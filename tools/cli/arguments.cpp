#include "arguments.h"

#include <iterator>

namespace {

// Options followed by a value.
constexpr const wchar_t *kValueOptions[] = {L"--reply", L"--type", L"--service", L"--session", L"--timeout",
                                            L"--zone", L"--dst"};

bool TakesValue(const std::wstring &option) {
    for (const wchar_t *name : kValueOptions) {
        if (option == name) return true;
    }
    return false;
}

}  // namespace

std::optional<std::wstring> Arguments::Value(const wchar_t *name) const {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

std::vector<std::wstring> Arguments::CommandOptions() const {
    std::vector<std::wstring> options(switches.begin(), switches.end());
    for (const auto &[name, value] : values) options.push_back(name);
    if (!targets.empty()) options.emplace_back(L"--to");
    return options;
}

std::optional<Arguments> ParseArguments(const std::vector<std::wstring> &argv, std::wstring *problem) {
    Arguments arguments;
    bool afterTo = false;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::wstring &word = argv[i];
        const bool option = !operandsOnly && word.size() > 2 && word.starts_with(L"--");
        if (!operandsOnly && word == L"--") {
            operandsOnly = true;
        } else if (!option) {
            (afterTo ? arguments.targets : arguments.words).push_back(word);
        } else if (word == L"--device" || TakesValue(word)) {
            if (i + 1 >= argv.size()) {
                *problem = word + L" needs a value";
                return std::nullopt;
            }
            (word == L"--device" ? arguments.device : arguments.values[word]) = argv[++i];
        } else if (word == L"--instance") {
            arguments.instance = true;
        } else if (word == L"--bytes") {
            arguments.bytes = true;
        } else if (word == L"--log") {
            arguments.log = true;
        } else if (word == L"--help") {
            arguments.help = true;
        } else if (word == L"--to") {
            afterTo = true;
        } else {
            arguments.switches.insert(word);
        }
    }
    if (afterTo && arguments.targets.empty()) {
        *problem = L"--to needs at least one device path";
        return std::nullopt;
    }
    return arguments;
}
