// The host's local files: the source of an upload, and the target of a download, which is written
// beside the target and put in its place only when complete.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>

// The form of a local path that Windows' file functions take whatever its length: a full path, in the
// "\\?\" form once it reaches MAX_PATH characters (the limit of the plain form). Empty when the path
// cannot be made full.
std::wstring LocalPathForm(const wchar_t *path);

// Opens path for reading and gives its size; paths are taken whole, whatever their length.
HRESULT OpenLocalSource(const wchar_t *path, Microsoft::WRL::ComPtr<IStream> &stream, unsigned long long &size);

class LocalDownload {
public:
    explicit LocalDownload(const wchar_t *target);
    LocalDownload(const LocalDownload &) = delete;
    LocalDownload &operator=(const LocalDownload &) = delete;
    // An unfinished download leaves the host's earlier file, if any, as it was.
    ~LocalDownload();

    // A new file beside the target, under a short name, so that the partial file of a target below
    // MAX_PATH stays below it too.
    HRESULT Create();
    IStream *Stream() const { return stream_.Get(); }
    // Commits the data and replaces the target with it.
    HRESULT Finish();

private:
    std::wstring target_;   // in LocalPathForm
    std::wstring partial_;  // in LocalPathForm; empty once nothing is left to remove
    Microsoft::WRL::ComPtr<IStream> stream_;
};
