#include "extension/vendor_test_support.h"

#include <shlwapi.h>

#include <algorithm>

#include "win/adopt_reference.h"
#include "win/unique_any.h"

namespace orvik_test {

std::shared_ptr<vphone::Phone> VendorTest::MakePhone() {
    std::shared_ptr<vphone::Phone> phone =
        StandardPhone().File(L"\\Card\\app.wav", vphone::TextData("old descriptor")).Build();
    vendor_ = &vphone::AttachVendorExtension(*phone);
    return phone;
}

void VendorTest::TearDown() {
    for (const std::wstring &file : files_) DeleteFileW(file.c_str());
    PhoneTest::TearDown();
}

std::wstring VendorTest::LocalFile(const wchar_t *name, const std::string &content) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + name;
    const win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    files_.push_back(path);
    return path;
}

ULONG VendorTest::HandleAt(const std::wstring &path) const {
    const auto id = phone_->FindPath(path);
    return id ? phone_->Find(*id)->handle : 0;
}

void *VendorTest::OpenAT(unsigned long session) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    EXPECT_EQ(WPD_ATOpenSession(handle, session, 0), WPD_ERROR_OK);
    return handle;
}

void *VendorTest::OpenSyncML(unsigned long session) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    EXPECT_EQ(WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, session, 0), WPD_ERROR_OK);
    return handle;
}

std::string VendorTest::ATText(void *handle) {
    const char *text = "unset";
    EXPECT_EQ(WPD_ATRead(handle, &text, 0), WPD_ERROR_OK);
    return text;
}

WPD_ERROR VendorTest::Put(void *handle, const std::vector<BYTE> &package, unsigned long timeout,
                          WPD_SYNCML_MIME mime) {
    const auto stream = StreamOf(package);
    return WPD_SyncMLPut(handle, mime, stream.Get(), package.size(), timeout, 0);
}

SyncMLReply VendorTest::Get(void *handle, unsigned long timeout) {
    const auto stream = StreamOf({});
    SyncMLReply reply{WPD_ERROR_OK, WPD_SYNCML_MIME_UNKNOWN, 0, {}};
    reply.result = WPD_SyncMLGet(handle, &reply.mime, stream.Get(), &reply.size, timeout, 0);
    reply.bytes = StreamBytes(stream.Get());
    return reply;
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
