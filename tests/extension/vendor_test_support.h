// A virtual phone with the maker's MTP extension, and helpers for the vendor tests.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "support/phone_fixture.h"
#include "virtualphone/extension/vendor_phone.h"

namespace orvik_test {

class VendorTest : public PhoneTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override;
    void SettlePhone() override { vendor_->WaitForEvents(); }

    // The phone's record of the operations of one kind, in order.
    std::vector<vphone::VendorExchange> ExchangesOf(vphone::VendorOperation operation) const;
    bool LogHas(const std::string &text) const;

    vphone::VendorPhone *vendor_ = nullptr;
};

// An in-memory stream holding bytes, positioned at its start.
Microsoft::WRL::ComPtr<IStream> StreamOf(const std::vector<BYTE> &bytes);
std::vector<BYTE> StreamBytes(IStream *stream);
std::vector<BYTE> Pattern(size_t size);

}  // namespace orvik_test
