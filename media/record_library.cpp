#include "media/record_library.h"

#include <string>

namespace {

constexpr wchar_t kLibraryName[] = L"fieldrec.dll";
// Long enough for any path the loader accepts.
constexpr DWORD kLongestModulePath = 32768;

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// A function of the platform, seen through the one pointer type GetProcAddress returns.
template <class Proc>
Proc ProcOf(HMODULE module, const char *name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Full path of fieldrec.dll beside the module that contains this function.
HRESULT LibraryPath(std::wstring &path) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LibraryPath), &self)) {
        return LastErrorResult();
    }
    for (DWORD size = MAX_PATH; size <= kLongestModulePath; size *= 2) {
        path.assign(size, L'\0');
        const DWORD length = GetModuleFileNameW(self, path.data(), size);
        if (length == 0) return LastErrorResult();
        if (length < size) {
            const size_t separator = path.find_last_of(L'\\', length);
            if (separator == std::wstring::npos) return E_UNEXPECTED;
            path.resize(separator + 1);
            path += kLibraryName;
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace

HRESULT RecordLibrary::Load() {
    std::wstring path;
    const HRESULT hr = LibraryPath(path);
    if (FAILED(hr)) return hr;
    module_.reset(LoadLibraryW(path.c_str()));
    if (!module_) return LastErrorResult();
    addField_ = ProcOf<FieldrecAddFieldProc>(module_.get(), "FieldrecAddField");
    free_ = ProcOf<FieldrecFreeProc>(module_.get(), "FieldrecFree");
    if (!addField_) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return S_OK;
}

bool RecordLibrary::AddField(char **text, unsigned long *length, const char *name, const char *value) const {
    const unsigned long before = *length;
    addField_(text, length, name, value);
    return *text && *length > before;
}

bool RecordLibrary::Free(char *text) const {
    if (!free_) return false;
    free_(text);
    return true;
}
