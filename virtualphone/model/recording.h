// What a phone keeps of what it received (calls, vendor exchanges): everything for a phone a test
// builds; nothing, or the latest entries only, for an installed phone, which may serve a host for
// days.
#pragma once

#include <cstddef>
#include <deque>
#include <limits>
#include <vector>

namespace vphone {

// How many entries a record keeps: 0 records nothing.
inline constexpr std::size_t kRecordEverything = std::numeric_limits<std::size_t>::max();

template <class Entry>
class Recording {
public:
    // False when the limit keeps nothing, so that callers can skip making the entry.
    static bool Wanted(std::size_t limit) noexcept { return limit != 0; }

    void Add(Entry entry, std::size_t limit) {
        if (!Wanted(limit)) return;
        entries_.push_back(std::move(entry));
        while (entries_.size() > limit) entries_.pop_front();
    }
    std::vector<Entry> Entries() const { return {entries_.begin(), entries_.end()}; }
    void Clear() noexcept { entries_.clear(); }

private:
    std::deque<Entry> entries_;
};

}  // namespace vphone
