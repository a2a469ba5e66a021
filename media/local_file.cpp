#include "media/local_file.h"

#include <shlwapi.h>

#include <atomic>
#include <string_view>

#include "log/hr_log.h"

using Microsoft::WRL::ComPtr;

std::wstring LocalPathForm(const wchar_t *path) {
    if (!path || !*path) return {};
    constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
    if (std::wstring_view(path).starts_with(kLongPrefix)) return path;
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path, needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    if (full.size() < MAX_PATH) return full;
    // \\server\share\... becomes \\?\UNC\server\share\...
    if (full.starts_with(L"\\\\")) return std::wstring(kLongPrefix) + L"UNC" + full.substr(1);
    return std::wstring(kLongPrefix) + full;
}

HRESULT OpenLocalSource(const wchar_t *path, ComPtr<IStream> &stream, unsigned long long &size) {
    const std::wstring local = LocalPathForm(path);
    const HRESULT hr = !local.empty() ? SHCreateStreamOnFileW(local.c_str(), STGM_READ, stream.ReleaseAndGetAddressOf())
                                      : E_INVALIDARG;
    RETURN_IF_FAILED_LOG(hr, "SHCreateStreamOnFile failed, hr = %08x");
    STATSTG stat = {};
    RETURN_IF_FAILED_LOG(stream->Stat(&stat, STATFLAG_NONAME), "Getting the size of the local file failed, hr = %08x");
    size = stat.cbSize.QuadPart;
    return S_OK;
}

LocalDownload::LocalDownload(const wchar_t *target) : target_(LocalPathForm(target)) {}

LocalDownload::~LocalDownload() {
    // The file must be closed before it can go.
    stream_.Reset();
    if (!partial_.empty()) DeleteFileW(partial_.c_str());
}

HRESULT LocalDownload::Create() {
    static std::atomic<unsigned> downloads{0};
    HRESULT hr = E_INVALIDARG;
    if (!target_.empty()) {
        // Beside the target, so that putting it in place is a rename on the same volume.
        const std::wstring folder = target_.substr(0, target_.find_last_of(L'\\') + 1);
        const std::wstring partial = LocalPathForm((folder + L"~orvik-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                                    std::to_wstring(++downloads) + L".partial").c_str());
        hr = SHCreateStreamOnFileEx(partial.c_str(), STGM_WRITE | STGM_SHARE_DENY_WRITE | STGM_FAILIFTHERE,
                                    FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, stream_.ReleaseAndGetAddressOf());
        if (SUCCEEDED(hr)) partial_ = partial;
    }
    if (FAILED(hr)) {
        LogLine(1, "Failed to create the destination file %S, hr = %08x", target_.c_str(), static_cast<unsigned>(hr));
    }
    return hr;
}

HRESULT LocalDownload::Finish() {
    RETURN_IF_FAILED_LOG(stream_->Commit(STGC_DEFAULT), "Commit failed, hr = %08x");
    stream_.Reset();
    if (!MoveFileExW(partial_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        LogLine(1, "Putting the copied file in place as %S failed, hr = %08x", target_.c_str(),
                static_cast<unsigned>(hr));
        return hr;
    }
    partial_.clear();
    return S_OK;
}
