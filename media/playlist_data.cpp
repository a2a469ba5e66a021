// Playlist data on the phone: M3U text in the system ANSI code page, one path per line with forward
// slashes, every line ending in CR LF, no header.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

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

// The M3U text of the items, sized by the converted bytes so that no code page cuts a line. Converted
// from the wide text with its separators already turned: in a double-byte code page a 0x5C byte may be
// half of a character.
HRESULT BuildM3uText(const std::vector<ObjectRecord> &items, std::string &text) {
    try {
        for (const ObjectRecord &item : items) {
            std::wstring line(item.name);
            std::replace(line.begin(), line.end(), L'\\', L'/');
            const int length = static_cast<int>(line.size());
            const int bytes = WideCharToMultiByte(CP_ACP, 0, line.c_str(), length, nullptr, 0, nullptr, nullptr);
            const size_t at = text.size();
            text.resize(at + static_cast<size_t>(bytes));
            WideCharToMultiByte(CP_ACP, 0, line.c_str(), length, text.data() + at, bytes, nullptr, nullptr);
            text += "\r\n";
        }
    } catch (const std::bad_alloc &) {
        LogLine(1, "Cannot allocate memory to build the m3u playlist");
        return E_OUTOFMEMORY;
    }
    return S_OK;
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
                                       const std::vector<ObjectRecord> &items, const GUID &format) {
    switch (PlaylistDataOf(format)) {
        case PlaylistData::M3u: return WriteM3uPlaylist(content, values, items);
        case PlaylistData::NotImplemented: return E_NOTIMPL;
        case PlaylistData::None: break;
    }
    return E_FAIL;
}

HRESULT CFolderList::WriteM3uPlaylist(IPortableDeviceContent *content, IPortableDeviceValues *values,
                                      const std::vector<ObjectRecord> &items) {
    std::string text;
    RETURN_IF_FAILED(BuildM3uText(items, text));
    values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, text.size());
    ComPtr<IStream> created;
    RETURN_IF_FAILED_LOG(content->CreateObjectWithPropertiesAndData(values, &created, nullptr, nullptr),
                         "CreateObjectWithPropertiesAndData failed, hr = %08x");
    ComPtr<IPortableDeviceDataStream> data;
    RETURN_IF_FAILED_LOG(created.As(&data), "QueryInterface on IPortableDeviceDataStream failed, hr = %08x");
    ULONG written = 0;
    RETURN_IF_FAILED_LOG(data->Write(text.data(), static_cast<ULONG>(text.size()), &written),
                         "Writing the playlist failed, hr = %08x");
    RETURN_IF_FAILED_LOG(data->Commit(STGC_DEFAULT), "Commit failed, hr = %08x");
    return S_OK;
}

HRESULT CFolderList::ReadPlaylistData(IPortableDeviceContent *content, std::vector<ObjectRecord> &items,
                                      const wchar_t *objectId, const GUID &format) const {
    ComPtr<IPortableDeviceResources> resources;
    RETURN_IF_FAILED_LOG(content->Transfer(&resources), "Getting content resource interface failed, hr = %08x");
    ComPtr<IStream> stream;
    DWORD optimalSize = 0;
    RETURN_IF_FAILED_LOG(resources->GetStream(objectId, wpd::WPD_RESOURCE_DEFAULT, STGM_READ, &optimalSize, &stream),
                         "Getting resource stream failed, hr = %08x");
    std::string data;
    RETURN_IF_FAILED(ReadWholeStream(stream.Get(), ChunkSizeOr(optimalSize), data));
    switch (PlaylistDataOf(format)) {
        case PlaylistData::M3u: return ParseM3uPlaylist(items, data.data(), data.size());
        case PlaylistData::NotImplemented: return E_NOTIMPL;
        case PlaylistData::None: break;
    }
    return E_FAIL;
}

HRESULT CFolderList::ParseM3uPlaylist(std::vector<ObjectRecord> &items, const char *text, size_t length) const {
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    // A NUL ends the data.
    const char *const end = text + strnlen(text, length);
    for (const char *at = std::find_if_not(text, end, isLineEnd); at != end;
         at = std::find_if_not(at, end, isLineEnd)) {
        const char *const lineEnd = std::find_if(at, end, isLineEnd);
        const int bytes = static_cast<int>(lineEnd - at);
        std::wstring line(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, at, bytes, nullptr, 0)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, at, bytes, line.data(), static_cast<int>(line.size()));
        std::replace(line.begin(), line.end(), L'/', L'\\');

        // Every line is read relative to the playlist's storage.
        ObjectRecord entry = {};
        CopyBounded(entry.name, L"\\");
        bool fits = AppendBounded(entry.name, currentStorage_);
        const size_t first = line.find_first_not_of(L'\\');
        if (first != std::wstring::npos) {
            fits = fits && AppendBounded(entry.name, L"\\") && AppendBounded(entry.name, line.c_str() + first);
        }
        if (!fits) {
            LogLine(1, "Playlist entry %d does not fit, hr = %08x", static_cast<int>(items.size()),
                    static_cast<unsigned>(E_PATH_TOO_LONG));
            return E_PATH_TOO_LONG;
        }
        items.push_back(entry);
        at = lineEnd;
    }
    return S_OK;
}
