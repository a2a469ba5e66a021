// Playlist data on the phone: M3U text, one path per line with forward slashes. The library writes it
// in the system ANSI code page (in UTF-8 with a byte-order mark when a name has a character that code
// page lacks), every line ending in CR LF, no header; it reads what phones write too.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "device/wpd_api.h"
#include "log/hr_log.h"
#include "media/bounded_text.h"
#include "media/device_path.h"
#include "media/folder_list.h"
#include "media/stream_copy.h"

using Microsoft::WRL::ComPtr;

namespace {

enum class PlaylistData { M3u, NotImplemented, None };

// Which playlist formats the library reads and writes as data.
PlaylistData PlaylistDataOf(const GUID &format) {
    if (IsEqualGUID(format, wpd::MtpFormatGuid(0xBA11))) return PlaylistData::M3u;
    for (const unsigned short code : {0xBA10, 0xBA12, 0xBA13, 0xBA14}) {
        if (IsEqualGUID(format, wpd::MtpFormatGuid(code))) return PlaylistData::NotImplemented;
    }
    return PlaylistData::None;
}

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// The M3U text of the items in a code page, sized by the converted bytes so that no code page cuts a
// line. Converted from the wide text with its separators already turned: in a double-byte code page a
// 0x5C byte may be half of a character. False when a character has no form in the code page.
bool EncodeM3uText(const std::vector<ObjectRecord> &items, UINT codePage, std::string &text) {
    // Best-fit look-alikes would name other files: a character without its own form is no fit.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    for (const ObjectRecord &item : items) {
        std::wstring line(item.name);
        std::replace(line.begin(), line.end(), L'\\', L'/');
        const int length = static_cast<int>(line.size());
        BOOL lossy = FALSE;
        BOOL *lossyOut = codePage == CP_UTF8 ? nullptr : &lossy;
        const int bytes = WideCharToMultiByte(codePage, flags, line.c_str(), length, nullptr, 0, nullptr, lossyOut);
        if (lossy) return false;
        const size_t at = text.size();
        text.resize(at + static_cast<size_t>(bytes));
        WideCharToMultiByte(codePage, flags, line.c_str(), length, text.data() + at, bytes, nullptr, nullptr);
        text += "\r\n";
    }
    return true;
}

HRESULT BuildM3uText(const std::vector<ObjectRecord> &items, std::string &text) {
    try {
        if (!EncodeM3uText(items, CP_ACP, text)) {
            text = kUtf8Mark;
            EncodeM3uText(items, CP_UTF8, text);
        }
    } catch (const std::bad_alloc &) {
        LogLine(1, "Cannot allocate memory to build the m3u playlist");
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool IsUtf8(std::string_view text) {
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0) > 0;
}

// The device path of an M3U line (separators already turned): from the storage when it starts with a
// separator, else from the folder; "." and ".." are followed, never above the storage. False when the
// path does not fit.
bool ResolveM3uLine(const wchar_t *storage, const wchar_t *folder, std::wstring_view line,
                    wchar_t (&path)[kNameChars]) {
    std::vector<std::wstring_view> components;
    const auto follow = [&](std::wstring_view text) {
        for (size_t start = 0; start <= text.size();) {
            const size_t end = std::min(text.find(L'\\', start), text.size());
            const std::wstring_view component = text.substr(start, end - start);
            start = end + 1;
            if (component == L"..") {
                if (components.size() > 1) components.pop_back();
            } else if (!component.empty() && component != L".") {
                components.push_back(component);
            }
        }
    };
    const std::wstring_view base = line.starts_with(L'\\') ? std::wstring_view(storage) : std::wstring_view(folder);
    follow(base);
    follow(line);
    path[0] = L'\0';
    bool fits = true;
    for (const std::wstring_view component : components) {
        fits = fits && AppendBounded(path, L"\\") && AppendBounded(path, std::wstring(component).c_str());
    }
    return fits;
}

// Everything the stream holds: reads until one delivers nothing.
HRESULT ReadWholeStream(IStream *stream, DWORD chunkSize, std::string &data) {
    size_t read = 0;
    for (;;) {
        try {
            data.resize(read + chunkSize);
        } catch (const std::bad_alloc &) {
            LogLine(1, read ? "Failed to allocate additional memory to read the playlist, size = %lu"
                            : "Failed to allocate memory to read the playlist, size = %lu",
                    static_cast<unsigned long>(read + chunkSize));
            return E_OUTOFMEMORY;
        }
        ULONG got = 0;
        RETURN_IF_FAILED_LOG(stream->Read(data.data() + read, chunkSize, &got), "Failed to read the playlist, hr = %08x");
        read += got;
        if (got == 0) break;
    }
    data.resize(read);
    return S_OK;
}

}  // namespace

HRESULT CFolderList::WritePlaylistData(IPortableDeviceContent *content, IPortableDeviceValues *values,
                                       const std::vector<ObjectRecord> &items, NewObject &playlist) {
    switch (PlaylistDataOf(playlist.names.format)) {
        case PlaylistData::M3u: return WriteM3uPlaylist(content, values, items, playlist);
        case PlaylistData::NotImplemented: return E_NOTIMPL;
        case PlaylistData::None: break;
    }
    return E_FAIL;
}

HRESULT CFolderList::WriteM3uPlaylist(IPortableDeviceContent *content, IPortableDeviceValues *values,
                                      const std::vector<ObjectRecord> &items, NewObject &playlist) {
    std::string text;
    RETURN_IF_FAILED(BuildM3uText(items, text));
    values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, text.size());
    ComPtr<IStream> created;
    const HRESULT hr = content->CreateObjectWithPropertiesAndData(values, &created, nullptr, nullptr);
    playlist.refused = FAILED(hr);
    RETURN_IF_FAILED_LOG(hr, "CreateObjectWithPropertiesAndData failed, hr = %08x");
    ComPtr<IPortableDeviceDataStream> data;
    RETURN_IF_FAILED_LOG(created.As(&data), "QueryInterface on IPortableDeviceDataStream failed, hr = %08x");
    ULONG written = 0;
    const HRESULT wrote = data->Write(text.data(), static_cast<ULONG>(text.size()), &written);
    if (FAILED(wrote)) LogLine(1, "Writing the playlist failed, hr = %08x", static_cast<unsigned>(wrote));
    return FinishUpload(content, data.Get(), wrote, playlist);
}

HRESULT CFolderList::ReadPlaylistData(IPortableDeviceContent *content, std::vector<ObjectRecord> &items,
                                      const wchar_t *objectId, const GUID &format, bool utf8) const {
    ComPtr<IPortableDeviceResources> resources;
    RETURN_IF_FAILED_LOG(content->Transfer(&resources), "Getting content resource interface failed, hr = %08x");
    ComPtr<IStream> stream;
    DWORD optimalSize = 0;
    RETURN_IF_FAILED_LOG(resources->GetStream(objectId, wpd::WPD_RESOURCE_DEFAULT, STGM_READ, &optimalSize, &stream),
                         "Getting resource stream failed, hr = %08x");
    std::string data;
    RETURN_IF_FAILED(ReadWholeStream(stream.Get(), ChunkSizeOr(optimalSize), data));
    switch (PlaylistDataOf(format)) {
        case PlaylistData::M3u: return ParseM3uPlaylist(items, data.data(), data.size(), utf8);
        case PlaylistData::NotImplemented: return E_NOTIMPL;
        case PlaylistData::None: break;
    }
    return E_FAIL;
}

HRESULT CFolderList::ParseM3uPlaylist(std::vector<ObjectRecord> &items, const char *text, size_t length,
                                      bool utf8) const {
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    // A NUL ends the data.
    std::string_view data(text, strnlen(text, length));
    if (data.starts_with(kUtf8Mark)) {
        data.remove_prefix(sizeof kUtf8Mark - 1);
        utf8 = true;
    }
    const UINT codePage = utf8 || IsUtf8(data) ? CP_UTF8 : CP_ACP;
    const char *const end = data.data() + data.size();
    for (const char *at = std::find_if_not(data.data(), end, isLineEnd); at != end;
         at = std::find_if_not(at, end, isLineEnd)) {
        const char *const lineEnd = std::find_if(at, end, isLineEnd);
        // "#EXTM3U", "#EXTINF:..." and other directives name no file.
        if (*at == '#') {
            at = lineEnd;
            continue;
        }
        const int bytes = static_cast<int>(lineEnd - at);
        std::wstring line(static_cast<size_t>(MultiByteToWideChar(codePage, 0, at, bytes, nullptr, 0)), L'\0');
        MultiByteToWideChar(codePage, 0, at, bytes, line.data(), static_cast<int>(line.size()));
        std::replace(line.begin(), line.end(), L'/', L'\\');

        ObjectRecord entry = {};
        if (!ResolveM3uLine(currentStorage_, currentPath_, line, entry.name)) {
            LogLine(1, "Playlist entry %d does not fit, hr = %08x", static_cast<int>(items.size()),
                    static_cast<unsigned>(E_PATH_TOO_LONG));
            return E_PATH_TOO_LONG;
        }
        items.push_back(entry);
        at = lineEnd;
    }
    return S_OK;
}
