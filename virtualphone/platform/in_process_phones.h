// Puts phones behind the platform's class ids in this process: while it lives, CoCreateInstance of
// PortableDeviceManager, PortableDevice and the three value classes finds the virtual phone's classes.
#pragma once

#include "virtualphone/model/phone_set.h"
#include "virtualphone/values/value_classes.h"

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

namespace vphone {

class InProcessPhones {
public:
    explicit InProcessPhones(std::vector<std::shared_ptr<Phone>> phones = {});
    InProcessPhones(const InProcessPhones &) = delete;
    InProcessPhones &operator=(const InProcessPhones &) = delete;
    ~InProcessPhones() { Revoke(); }

    // All five classes or none (CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE). COM must be initialised on
    // the registering thread.
    [[nodiscard]] HRESULT Register() noexcept;
    void Revoke() noexcept;

    // Phones plugged in and out later; a manager sees them after RefreshDeviceList.
    void Add(std::shared_ptr<Phone> phone) { phones_->Add(std::move(phone)); }
    void Remove(const std::shared_ptr<Phone> &phone) { phones_->Remove(phone); }
    PhoneSet &Phones() noexcept { return *phones_; }

    // COM objects handed out and not yet released: managers and devices, every phone's objects, and
    // every value object of the process made since Register.
    long LiveObjects() const noexcept;

private:
    std::shared_ptr<PhoneSet> phones_;
    std::array<DWORD, 2> cookies_{};
    long registeredValueObjects_ = 0;  // the value classes' class objects that registration holds
    ValueClassRegistration values_;
};

}  // namespace vphone
