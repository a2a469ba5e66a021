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

inline constexpr unsigned long kAtSession = 7;
inline constexpr unsigned long kSyncMLSession = 9;
inline constexpr unsigned long kWait = 5000;

// What WPD_SyncMLGet gave.
struct SyncMLReply {
    WPD_ERROR result;
    WPD_SYNCML_MIME mime;
    unsigned long long size;
    std::vector<BYTE> bytes;  // what the stream received
};

class VendorTest : public PhoneTest {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override;
    void SettlePhone() override { vendor_->WaitForEvents(); }
    void TearDown() override;

    // A connected vendor handle with a session open on the channel.
    void *OpenAT(unsigned long session = kAtSession);
    void *OpenSyncML(unsigned long session = kSyncMLSession);
    // The text WPD_ATRead hands out, which must succeed.
    std::string ATText(void *handle);
    WPD_ERROR Put(void *handle, const std::vector<BYTE> &package, unsigned long timeout = kWait,
                  WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_XML);
    SyncMLReply Get(void *handle, unsigned long timeout = kWait);

    // A file of the temporary folder holding content, deleted when the test ends.
    std::wstring LocalFile(const wchar_t *name, const std::string &content);
    // The MTP handle of the object at path; 0 if none.
    ULONG HandleAt(const std::wstring &path) const;

    // The phone's record of the operations of one kind, in order.
    std::vector<vphone::VendorExchange> ExchangesOf(vphone::VendorOperation operation) const;
    bool LogHas(const std::string &text) const;

    vphone::VendorPhone *vendor_ = nullptr;
    std::vector<std::wstring> files_;
};

// An in-memory stream holding bytes, positioned at its start.
Microsoft::WRL::ComPtr<IStream> StreamOf(const std::vector<BYTE> &bytes);
std::vector<BYTE> StreamBytes(IStream *stream);
std::vector<BYTE> Pattern(size_t size);

}  // namespace orvik_test
