#include "virtualphone/server/installed_phones.h"

#include "virtualphone/description/phone_loader.h"
#include "virtualphone/install/phone_list.h"
#include "virtualphone/extension/vendor_phone.h"

#include <windows.h>

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
        phones->Add(std::move(phone));
    }
    return phones;
}

}  // namespace vphone::server
