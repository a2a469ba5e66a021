// playlist put, playlist get: playlists as text, one device path per line.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "phone_session.h"
#include "text.h"

namespace {

// The lines of a local UTF-8 text file (LF or CR LF ends, no empty lines) as the library's playlist
// text: device paths joined by CR LF.
bool ReadPlaylistFile(const std::wstring &file, std::wstring *text) {
    std::ifstream stream(std::filesystem::path(file), std::ios::binary);
    if (!stream) return false;
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!text->empty()) *text += L"\r\n";
        *text += FromUtf8(line);
    }
    return true;
}

int PutPlaylist(Context &context) {
    const std::wstring &remote = context.operands[0];
    std::wstring text;
    if (!ReadPlaylistFile(context.operands[1], &text)) {
        context.out.PrintError("orvik-cli: playlist put: cannot read %s\n", ToUtf8(context.operands[1]).c_str());
        return kExitFailed;
    }
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const unsigned long flags = MediaFlags(context) | (context.arguments.Has(L"--relative") ? 1 : 0);
    const int status = Outcome(context, "playlist put " + ToUtf8(remote),
                               context.orvik.WPD_Media_PutPlaylist(phone.handle(), remote.c_str(), text.data(), flags));
    if (status == kExitOk) context.out.Print("playlist put %s: done\n", ToUtf8(remote).c_str());
    return status;
}

// The playlist text the library hands over: a locked global memory block.
struct GlobalText {
    ~GlobalText() {
        if (!text) return;
        const HGLOBAL block = GlobalHandle(text);
        GlobalUnlock(block);
        GlobalFree(block);
    }
    wchar_t *text = nullptr;
};

int GetPlaylist(Context &context) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const std::wstring &remote = context.operands[0];
    GlobalText playlist;
    const int status = Outcome(context, "playlist get " + ToUtf8(remote),
                               context.orvik.WPD_Media_GetPlaylist(phone.handle(), remote.c_str(), &playlist.text,
                                                                   MediaFlags(context)));
    if (status != kExitOk) return status;
    std::wstring_view text = playlist.text ? playlist.text : L"";
    while (!text.empty()) {
        const std::size_t end = text.find(L"\r\n");
        context.out.Print("%s\n", ToUtf8(text.substr(0, end)).c_str());
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 2);
    }
    return kExitOk;
}

constexpr Command kCommands[] = {
    {L"playlist put", "playlist put REMOTE FILE [--replace] [--relative] [--guard]",
     "create a playlist on the phone from FILE, one device path per line",
     "  FILE is UTF-8 text. --relative writes storage-relative lines where the phone keeps the\n"
     "  playlist as M3U data; --replace replaces an existing playlist.\n",
     L"--replace --relative --guard", 2, 2, PutPlaylist},
    {L"playlist get", "playlist get REMOTE [--guard]", "print the device paths of a playlist, one per line", "",
     L"--guard", 1, 1, GetPlaylist},
};

}  // namespace

std::span<const Command> PlaylistCommands() { return kCommands; }
