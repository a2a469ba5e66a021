// Reading the folder listing text of WPD_Media_GetFolderListing: one record per entry, fields
// NAME:VALUE CR LF between BEGIN:VNOTE and END:VNOTE, values escaped as vCard text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ListingEntry {
    std::string name;  // UTF-8
    std::string kind;  // folder, playlist or file
    std::uint64_t size = 0;
    std::string date;  // yyyymmddThhmmss as listed
    bool readOnly = false;
    bool hidden = false;
};

std::vector<ListingEntry> ParseListing(std::string_view text);
// Undoes \\, \r and \n; any other backslash stays as it is.
std::string UnescapeValue(std::string_view value);
// "2009-05-14 21:30:00" from 20090514T213000; "-" for a date the phone did not give.
std::string ListingDateText(const std::string &date);
