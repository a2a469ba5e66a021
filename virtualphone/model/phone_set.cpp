#include "virtualphone/model/phone_set.h"

#include <algorithm>

namespace vphone {

void PhoneSet::Add(std::shared_ptr<Phone> phone) {
    std::lock_guard lock(mutex_);
    phones_.push_back(std::move(phone));
}

void PhoneSet::Remove(const std::shared_ptr<Phone> &phone) {
    std::lock_guard lock(mutex_);
    std::erase(phones_, phone);
}

std::vector<std::shared_ptr<Phone>> PhoneSet::Phones() const {
    std::lock_guard lock(mutex_);
    return phones_;
}

std::shared_ptr<Phone> PhoneSet::Find(const wchar_t *pnpId) const {
    for (const auto &phone : Phones()) {
        if (lstrcmpiW(phone->InterfacePath().c_str(), pnpId) == 0) return phone;
    }
    return nullptr;
}

}  // namespace vphone
