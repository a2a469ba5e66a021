#include "extension/vendor_test_support.h"

#include <shlwapi.h>

#include <algorithm>

#include "win/adopt_reference.h"

namespace orvik_test {

std::shared_ptr<vphone::Phone> VendorTest::MakePhone() {
    std::shared_ptr<vphone::Phone> phone =
        StandardPhone().File(L"\\Card\\app.wav", vphone::TextData("old descriptor")).Build();
    vendor_ = &vphone::AttachVendorExtension(*phone);
    return phone;
}

std::vector<vphone::VendorExchange> VendorTest::ExchangesOf(vphone::VendorOperation operation) const {
    std::vector<vphone::VendorExchange> found;
    for (const vphone::VendorExchange &exchange : vendor_->Exchanges()) {
        if (exchange.operation == operation) found.push_back(exchange);
    }
    return found;
}

bool VendorTest::LogHas(const std::string &text) const {
    const std::vector<std::string> lines = Log();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.find(text) == 0; });
}

Microsoft::WRL::ComPtr<IStream> StreamOf(const std::vector<BYTE> &bytes) {
    return win::AdoptReference(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
}

std::vector<BYTE> StreamBytes(IStream *stream) {
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    const LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

std::vector<BYTE> Pattern(size_t size) {
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i * 7 + 1);
    return bytes;
}

}  // namespace orvik_test
