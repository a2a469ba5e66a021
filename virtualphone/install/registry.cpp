#include "virtualphone/install/registry.h"

namespace vphone::install {
namespace {

HRESULT FromStatus(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

}  // namespace

HRESULT LastErrorResult() noexcept {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

HRESULT CreateKey(HKEY root, const std::wstring &path, UniqueKey *key) {
    return FromStatus(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                      nullptr, key->put(), nullptr));
}

HRESULT OpenKey(HKEY root, const std::wstring &path, REGSAM access, UniqueKey *key) {
    return FromStatus(RegOpenKeyExW(root, path.c_str(), 0, access, key->put()));
}

HRESULT WriteString(HKEY key, const wchar_t *name, const std::wstring &value) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return FromStatus(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()), bytes));
}

HRESULT WriteDword(HKEY key, const wchar_t *name, DWORD value) {
    return FromStatus(
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value));
}

HRESULT ReadString(HKEY key, const wchar_t *name, std::wstring *value) {
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    text.resize(wcsnlen(text.c_str(), text.size()));
    *value = std::move(text);
    return S_OK;
}

HRESULT SubkeyNames(HKEY key, std::vector<std::wstring> *names) {
    names->clear();
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD chars = ARRAYSIZE(name);
        const LSTATUS status = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return S_OK;
        if (status != ERROR_SUCCESS) return FromStatus(status);
        names->emplace_back(name, chars);
    }
}

HRESULT DeleteIfEmpty(HKEY root, const std::wstring &path) {
    UniqueKey key;
    const HRESULT opened = OpenKey(root, path, KEY_READ, &key);
    if (opened == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    if (FAILED(opened)) return opened;
    DWORD subkeys = 0, values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    key.reset();
    return subkeys == 0 && values == 0 ? FromStatus(RegDeleteKeyW(root, path.c_str())) : S_OK;
}

HRESULT DeleteTree(HKEY root, const std::wstring &path) {
    // Whether RegDeleteTreeW takes the named key itself differs between systems: delete it after.
    LSTATUS status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyW(root, path.c_str());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    return FromStatus(status);
}

}  // namespace vphone::install
