#include "virtualphone/model/snapshot_store.h"

#include "virtualphone/model/snapshot_format.h"

#include <shlobj.h>

#include <cwchar>
#include <new>
#include <set>

namespace vphone {
namespace {

constexpr wchar_t kSnapshot[] = L"\\phone.snapshot";
constexpr wchar_t kNewSnapshot[] = L"\\phone.snapshot.new";
constexpr wchar_t kObjects[] = L"\\objects";
// A process holds the lock for one change, a few milliseconds; much longer means a process hangs.
constexpr DWORD kLockTimeoutMs = 30000;

// The processes of one phone meet under names made from its data folder.
std::wstring SharedName(const std::wstring &folder, const wchar_t *what) {
    std::wstring upper = folder;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : upper) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    wchar_t text[64];
    swprintf(text, 64, L"Local\\vphone-%016llX-%ls", static_cast<unsigned long long>(hash), what);
    return text;
}

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// Holds the phone's cross-process lock. A process killed while holding it leaves it abandoned: its
// change either replaced the snapshot whole or not at all, so the phone is whole either way, but the
// change may not have been announced.
class CrossProcessLock {
public:
    HRESULT Acquire(HANDLE mutex, bool *abandoned) {
        *abandoned = false;
        switch (WaitForSingleObject(mutex, kLockTimeoutMs)) {
            case WAIT_ABANDONED: *abandoned = true; [[fallthrough]];
            case WAIT_OBJECT_0: mutex_ = mutex; return S_OK;
            case WAIT_TIMEOUT: return HRESULT_FROM_WIN32(ERROR_BUSY);
            default: return LastError();
        }
    }
    void Release() {
        if (mutex_) ReleaseMutex(mutex_);
        mutex_ = nullptr;
    }
    ~CrossProcessLock() { Release(); }
    bool Held() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_ = nullptr;
};

// The change counter that the phone's processes share.
class SharedCounter {
public:
    SharedCounter() = default;
    SharedCounter(const SharedCounter &) = delete;
    SharedCounter &operator=(const SharedCounter &) = delete;
    ~SharedCounter() {
        if (view_) UnmapViewOfFile(const_cast<LONG *>(view_));
    }
    // Creates it (at 0) unless another process has it already.
    HRESULT Create(const std::wstring &name) {
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), name.c_str()));
        return Map();
    }
    // S_FALSE when no process has it.
    HRESULT OpenExisting(const std::wstring &name) {
        mapping_.reset(OpenFileMappingW(FILE_MAP_WRITE | FILE_MAP_READ, FALSE, name.c_str()));
        if (!mapping_) return GetLastError() == ERROR_FILE_NOT_FOUND ? S_FALSE : LastError();
        return Map();
    }
    LONG Value() const { return InterlockedCompareExchange(view_, 0, 0); }
    LONG Increment() { return InterlockedIncrement(view_); }

private:
    HRESULT Map() {
        if (!mapping_) return LastError();
        view_ = static_cast<volatile LONG *>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE | FILE_MAP_READ, 0, 0, sizeof(LONG)));
        return view_ ? S_OK : LastError();
    }
    win::UniqueHandle mapping_;
    volatile LONG *view_ = nullptr;
};

HRESULT ReadWholeFile(const std::wstring &path, std::string *text) {
    const win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return LastError();
    if (size.QuadPart > 0x7FFFFFFF) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    text->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), text->data(), static_cast<DWORD>(text->size()), &read, nullptr)) return LastError();
    return read == text->size() ? S_OK : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
}

// Replaces the file at path by one holding text, in one step: a reader (or a process killed midway)
// sees the old file or the new one, never a part.
HRESULT ReplaceFile(const std::wstring &path, const std::wstring &newPath, const std::string &text) {
    {
        const win::UniqueFileHandle file(
            CreateFileW(newPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return LastError();
    }
    // A program of this computer that glances at the file (a search indexer, a virus scanner) keeps
    // it from being replaced for a moment.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(newPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return S_OK;
        const DWORD error = GetLastError();
        if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) return HRESULT_FROM_WIN32(error);
        Sleep(10);
    }
}

// The data files of the phone's own that content holds, by path.
std::set<std::wstring> StoredFiles(const PhoneContent &content) {
    std::set<std::wstring> files;
    for (const auto &[id, node] : content.nodes) {
        for (const DataPtr &data : {node.object.data, node.object.thumbnail}) {
            if (!data) continue;
            DataRecord record = data->Describe();
            if (record.kind == DataRecord::Kind::Stored) files.insert(std::move(record.path));
        }
    }
    return files;
}

// Removes the files of folder that keep does not name. A file a process is still writing is open
// without delete sharing, so removing it fails and it stays.
void RemoveFilesExcept(const std::wstring &folder, const std::set<std::wstring> &keep) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring path = folder + L"\\" + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !keep.contains(path)) DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

class SnapshotStore final : public PhoneStore {
public:
    SnapshotStore(const std::wstring &folder, PhoneContent initial)
        : folder_(folder), initial_(std::move(initial)) {}

    HRESULT Open() {
        const int made = SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return HRESULT_FROM_WIN32(made);
        mutex_.reset(CreateMutexW(nullptr, FALSE, SharedName(folder_, L"lock").c_str()));
        if (!mutex_) return LastError();
        HRESULT hr = counter_.Create(SharedName(folder_, L"changes"));
        if (FAILED(hr)) return hr;
        PhoneContent content;
        hr = Lock();
        if (SUCCEEDED(hr)) hr = Load(content);
        if (SUCCEEDED(hr)) {
            DeleteFileW((folder_ + kNewSnapshot).c_str());
            RemoveFilesExcept(folder_ + kObjects, StoredFiles(content));
        }
        lock_.Release();
        stale_ = true;  // the phone's own content comes with its first call
        return hr;
    }

    HRESULT Refresh(PhoneContent &content, bool *reloaded) override {
        *reloaded = false;
        if (!stale_ && counter_.Value() == loaded_) return S_OK;
        HRESULT hr = Lock();
        if (SUCCEEDED(hr)) hr = Load(content);
        lock_.Release();
        *reloaded = SUCCEEDED(hr);
        return hr;
    }

    HRESULT Begin(PhoneContent &content, bool *reloaded) override {
        *reloaded = false;
        HRESULT hr = Lock();
        if (SUCCEEDED(hr) && (stale_ || counter_.Value() != loaded_)) {
            hr = Load(content);
            *reloaded = SUCCEEDED(hr);
        }
        if (FAILED(hr)) lock_.Release();
        return hr;
    }

    HRESULT End(const PhoneContent &content, bool changed) override {
        HRESULT hr = S_OK;
        if (changed) hr = Save(content);
        if (FAILED(hr)) stale_ = true;
        lock_.Release();
        return hr;
    }

    HRESULT NewDataFile(DataFile *file) override { return CreateDataFile(folder_ + kObjects, file); }

private:
    HRESULT Lock() {
        bool abandoned = false;
        const HRESULT hr = lock_.Acquire(mutex_.get(), &abandoned);
        // The process that died holding the lock may have replaced the snapshot without saying so.
        if (abandoned) counter_.Increment();
        return hr;
    }

    // Under the lock.
    HRESULT Load(PhoneContent &content) {
        std::string text;
        HRESULT hr = ReadWholeFile(folder_ + kSnapshot, &text);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
            content = initial_;
            hr = S_OK;
        } else if (SUCCEEDED(hr)) {
            try {
                hr = DecodeSnapshot(text, folder_ + kObjects, &content);
            } catch (const std::bad_alloc &) {
                hr = E_OUTOFMEMORY;
            }
        }
        if (FAILED(hr)) return hr;
        loaded_ = counter_.Value();
        stale_ = false;
        return S_OK;
    }

    HRESULT Save(const PhoneContent &content) {
        std::string text;
        HRESULT hr = EncodeSnapshot(content, &text);
        if (SUCCEEDED(hr)) hr = ReplaceFile(folder_ + kSnapshot, folder_ + kNewSnapshot, text);
        if (FAILED(hr)) return hr;
        loaded_ = counter_.Increment();
        return S_OK;
    }

    const std::wstring folder_;
    const PhoneContent initial_;
    win::UniqueHandle mutex_;
    SharedCounter counter_;
    CrossProcessLock lock_;
    LONG loaded_ = 0;    // the counter when content was last loaded or saved
    bool stale_ = true;  // content is not the store's: not loaded yet, or a change failed to save
};

}  // namespace

HRESULT OpenSnapshotStore(const std::wstring &dataFolder, PhoneContent initial, std::unique_ptr<PhoneStore> *store) {
    try {
        auto opened = std::make_unique<SnapshotStore>(dataFolder, std::move(initial));
        const HRESULT hr = opened->Open();
        if (FAILED(hr)) return hr;
        *store = std::move(opened);
        return S_OK;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ResetKeptPhone(const std::wstring &dataFolder) {
    const win::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, SharedName(dataFolder, L"lock").c_str()));
    if (!mutex) return LastError();
    CrossProcessLock lock;
    bool abandoned = false;
    HRESULT hr = lock.Acquire(mutex.get(), &abandoned);
    if (FAILED(hr)) return hr;
    for (const wchar_t *file : {kSnapshot, kNewSnapshot}) DeleteFileW((dataFolder + file).c_str());
    RemoveFilesExcept(dataFolder + kObjects, {});
    RemoveDirectoryW((dataFolder + kObjects).c_str());
    // Processes that have the phone open reload it with their next call.
    SharedCounter counter;
    hr = counter.OpenExisting(SharedName(dataFolder, L"changes"));
    if (hr == S_OK) counter.Increment();
    return SUCCEEDED(hr) ? S_OK : hr;
}

}  // namespace vphone
