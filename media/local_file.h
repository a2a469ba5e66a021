// The host's local files: the source of an upload, and the target of a download, which is written
// beside the target and put in its place only when complete.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>

// Opens path for reading and gives its size; paths are taken whole, whatever their length.
HRESULT OpenLocalSource(const wchar_t *path, Microsoft::WRL::ComPtr<IStream> &stream, unsigned long long &size);

class LocalDownload {
public:
    explicit LocalDownload(const wchar_t *target);
    LocalDownload(const LocalDownload &) = delete;
    LocalDownload &operator=(const LocalDownload &) = delete;
    // An unfinished download leaves the host's earlier file, if any, as it was.
    ~LocalDownload();

    // A new file beside the target.
    HRESULT Create();
    IStream *Stream() const { return stream_.Get(); }
    // Commits the data and replaces the target with it.
    HRESULT Finish();

private:
    std::wstring target_;
    std::wstring partial_;  // empty once nothing is left to remove
    Microsoft::WRL::ComPtr<IStream> stream_;
};
