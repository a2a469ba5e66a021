// The phones that one installation of the platform classes serves (in-process for tests, or those the
// COM server loaded).
#pragma once

#include "virtualphone/model/phone.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vphone {

class PhoneSet {
public:
    void Add(std::shared_ptr<Phone> phone);
    void Remove(const std::shared_ptr<Phone> &phone);
    std::vector<std::shared_ptr<Phone>> Phones() const;
    // The phone whose interface path is pnpId (compared without regard to case), or null.
    std::shared_ptr<Phone> Find(const wchar_t *pnpId) const;
    // Managers and devices not yet opened count here; what an opened device hands out counts on its phone.
    PhoneAccounting &Accounting() noexcept { return accounting_; }

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Phone>> phones_;
    PhoneAccounting accounting_;
};

}  // namespace vphone
