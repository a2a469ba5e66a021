#include "listing.h"

#include <cstdlib>

std::string UnescapeValue(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (value[i] == '\\' && (next == '\\' || next == 'r' || next == 'n')) {
            text.push_back(next == 'r' ? '\r' : next == 'n' ? '\n' : '\\');
            ++i;
        } else {
            text.push_back(value[i]);
        }
    }
    return text;
}

std::vector<ListingEntry> ParseListing(std::string_view text) {
    std::vector<ListingEntry> entries;
    ListingEntry entry;
    bool inRecord = false;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, colon);
        const std::string value = UnescapeValue(line.substr(colon + 1));
        if (name == "BEGIN") {
            entry = {};
            inRecord = true;
        } else if (name == "END" && inRecord) {
            entries.push_back(entry);
            inRecord = false;
        } else if (name == "X_FB_NAME") {
            entry.name = value;
        } else if (name == "X_FB_ITEM") {
            entry.kind = value;
        } else if (name == "X_FB_SIZE") {
            entry.size = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "X_FB_DATE") {
            entry.date = value;
        } else if (name == "X_FB_ATTRIBUT") {
            const std::size_t space = value.find(' ');
            entry.readOnly = value.substr(0, space) == "readonly";
            entry.hidden = space != std::string::npos && value.substr(space + 1) == "hidden";
        }
    }
    return entries;
}

std::string ListingDateText(const std::string &date) {
    const std::size_t t = date.find('T');
    if (t == std::string::npos || t < 5 || date.size() != t + 7 || std::atoi(date.c_str()) == 0) return "-";
    const std::string day = date.substr(0, t);
    const std::string time = date.substr(t + 1);
    return day.substr(0, t - 4) + "-" + day.substr(t - 4, 2) + "-" + day.substr(t - 2, 2) + " " + time.substr(0, 2) +
           ":" + time.substr(2, 2) + ":" + time.substr(4, 2);
}
