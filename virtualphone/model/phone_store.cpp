#include "virtualphone/model/phone_store.h"

#include <objbase.h>

namespace vphone {
namespace {

std::wstring GuidText() {
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

class InMemoryStore final : public PhoneStore {
public:
    ~InMemoryStore() override {
        if (folder_.empty()) return;
        // Whatever data files are left belong to objects that go with the phone.
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }
    HRESULT Refresh(PhoneContent &, bool *reloaded) override {
        *reloaded = false;
        return S_OK;
    }
    HRESULT Begin(PhoneContent &, bool *reloaded) override {
        *reloaded = false;
        return S_OK;
    }
    HRESULT End(const PhoneContent &, bool) override { return S_OK; }
    HRESULT NewDataFile(DataFile *file) override {
        if (folder_.empty()) {
            wchar_t temp[MAX_PATH + 1];
            const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
            if (length == 0 || length > MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
            folder_ = std::wstring(temp) + L"vphone-" + GuidText();
        }
        return CreateDataFile(folder_, file);
    }

private:
    std::wstring folder_;
};

}  // namespace

std::unique_ptr<PhoneStore> MemoryStore() { return std::make_unique<InMemoryStore>(); }

HRESULT CreateDataFile(const std::wstring &folder, DataFile *file) {
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    std::wstring path = folder + L"\\" + GuidText() + L".bin";
    win::UniqueFileHandle handle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return HRESULT_FROM_WIN32(GetLastError());
    file->path = std::move(path);
    file->handle = std::move(handle);
    return S_OK;
}

}  // namespace vphone
