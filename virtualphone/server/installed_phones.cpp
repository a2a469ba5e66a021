#include "virtualphone/server/installed_phones.h"

#include "virtualphone/description/phone_loader.h"
#include "virtualphone/install/phone_list.h"
#include "virtualphone/extension/vendor_phone.h"

#include <windows.h>

#include <cwchar>

namespace vphone::server {

std::shared_ptr<PhoneSet> LoadInstalledPhones() {
    auto phones = std::make_shared<PhoneSet>();
    std::vector<install::InstalledPhone> installed;
    if (FAILED(install::InstalledPhones(&installed))) {
        OutputDebugStringW(L"virtualphone: cannot read the list of installed phones\n");
        return phones;
    }
    for (const install::InstalledPhone &entry : installed) {
        description::DescriptionError error;
        auto phone = description::LoadPhone(entry.descriptionFile, entry.dataFolder, &error);
        if (!phone) {
            OutputDebugStringW((L"virtualphone: phone " + entry.name + L" left out: " + error.Text() + L"\n").c_str());
            continue;
        }
        // Installed phones speak the maker's vendor extension: clock, AT, SyncML, app install.
        AttachVendorExtension(*phone);
        // And keep what hosts give them, for every process.
        const HRESULT kept = phone->KeepIn(entry.dataFolder);
        if (FAILED(kept)) {
            wchar_t code[16];
            swprintf(code, 16, L"%08lx", static_cast<unsigned long>(kept));
            OutputDebugStringW((L"virtualphone: phone " + entry.name + L" left out: cannot open its data in " +
                                entry.dataFolder + L" (hr = " + code + L"); vphone-install reset " + entry.name +
                                L" starts it afresh\n").c_str());
            continue;
        }
        phones->Add(std::move(phone));
    }
    return phones;
}

}  // namespace vphone::server
