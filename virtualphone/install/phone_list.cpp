#include "virtualphone/install/phone_list.h"

#include "virtualphone/install/result.h"
#include "win/com_object.h"

namespace vphone::install {
namespace {

constexpr wchar_t kCompanyKey[] = L"Software\\Orvik";
constexpr wchar_t kPhonesParentKey[] = L"Software\\Orvik\\VirtualPhone";
constexpr wchar_t kPhonesKey[] = L"Software\\Orvik\\VirtualPhone\\Phones";

struct Field {
    const wchar_t *value;
    std::wstring InstalledPhone::*member;
};
constexpr Field kFields[] = {
    {L"Description", &InstalledPhone::descriptionFile},
    {L"Data", &InstalledPhone::dataFolder},
    {L"InstanceId", &InstalledPhone::instanceId},
    {L"InterfacePath", &InstalledPhone::interfacePath},
};

std::wstring PhoneKey(const std::wstring &name) { return std::wstring(kPhonesKey) + L"\\" + name; }

HRESULT Add(const InstalledPhone &phone) {
    RETURN_IF_FAILED(DeleteTree(HKEY_LOCAL_MACHINE, PhoneKey(phone.name)));
    UniqueKey key;
    RETURN_IF_FAILED(CreateKey(HKEY_LOCAL_MACHINE, PhoneKey(phone.name), &key));
    for (const Field &field : kFields) RETURN_IF_FAILED(WriteString(key.get(), field.value, phone.*field.member));
    return S_OK;
}

HRESULT Find(const std::wstring &name, InstalledPhone *phone) {
    UniqueKey key;
    RETURN_IF_FAILED(OpenKey(HKEY_LOCAL_MACHINE, PhoneKey(name), KEY_READ, &key));
    InstalledPhone found;
    found.name = name;
    for (const Field &field : kFields) RETURN_IF_FAILED(ReadString(key.get(), field.value, &(found.*field.member)));
    *phone = std::move(found);
    return S_OK;
}

HRESULT List(std::vector<InstalledPhone> *phones) {
    phones->clear();
    UniqueKey key;
    const HRESULT opened = OpenKey(HKEY_LOCAL_MACHINE, kPhonesKey, KEY_READ, &key);
    if (opened == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    RETURN_IF_FAILED(opened);
    std::vector<std::wstring> names;
    RETURN_IF_FAILED(SubkeyNames(key.get(), &names));
    for (const std::wstring &name : names) {
        InstalledPhone phone;
        RETURN_IF_FAILED(Find(name, &phone));
        phones->push_back(std::move(phone));
    }
    return S_OK;
}

}  // namespace

HRESULT AddInstalledPhone(const InstalledPhone &phone) noexcept {
    if (phone.name.empty() || phone.name.find(L'\\') != std::wstring::npos) return E_INVALIDARG;
    return win::GuardComMethod([&] { return Add(phone); });
}

HRESULT RemoveInstalledPhone(const std::wstring &name) noexcept {
    if (name.empty()) return E_INVALIDARG;
    return win::GuardComMethod([&] {
        RETURN_IF_FAILED(DeleteTree(HKEY_LOCAL_MACHINE, PhoneKey(name)));
        // The list's own keys go with its last phone.
        for (const wchar_t *key : {kPhonesKey, kPhonesParentKey, kCompanyKey}) {
            RETURN_IF_FAILED(DeleteIfEmpty(HKEY_LOCAL_MACHINE, key));
        }
        return S_OK;
    });
}

HRESULT FindInstalledPhone(const std::wstring &name, InstalledPhone *phone) noexcept {
    if (name.empty()) return E_INVALIDARG;
    return win::GuardComMethod([&] { return Find(name, phone); });
}

HRESULT InstalledPhones(std::vector<InstalledPhone> *phones) noexcept {
    return win::GuardComMethod([&] { return List(phones); });
}

}  // namespace vphone::install
