// Texts kept one after another in one buffer, each with its terminator: the ids of a big folder in
// one allocation, instead of a block of task memory each for as long as the listing runs.
#pragma once

#include <cstdint>
#include <cwchar>
#include <vector>

class TextList {
public:
    void Add(const wchar_t *text) {
        starts_.push_back(static_cast<std::uint32_t>(chars_.size()));
        chars_.insert(chars_.end(), text, text + wcslen(text) + 1);
    }
    size_t Size() const { return starts_.size(); }
    bool Empty() const { return starts_.empty(); }
    // Valid until the next Add.
    const wchar_t *operator[](size_t index) const { return chars_.data() + starts_[index]; }

private:
    std::vector<wchar_t> chars_;
    std::vector<std::uint32_t> starts_;
};
