// A 64 MiB SyncML put and get through orvik.dll against a bare loop of the same SendCommand calls
// with 8 KiB buffers on the same phone; and finding an installed copy by its persistent id among
// 10,000 objects on a USB 2.0 link.
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "bench/bench_timer.h"
#include "bench/local_files.h"
#include "bench/phone_session.h"
#include "orvik.h"
#include "virtualphone/extension/vendor_phone.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;
using namespace wpd;

namespace {

constexpr ULONG kChunk = 8192;
constexpr ULONGLONG kPackageBytes = 64ull << 20;
constexpr ULONG kSession = 7;
constexpr int kObjects = 10000;
constexpr int kRounds = 5;
constexpr ULONG kSyncMLChannel = 0x1000;

// A stream over memory allocated once, so that neither side pays for growing it.
ComPtr<IStream> FixedStream(ULONGLONG size) {
    ComPtr<IStream> stream;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (memory && FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) GlobalFree(memory);
    return stream;
}

void Rewind(IStream *stream) {
    const LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

// One vendor operation sent straight to the platform's device, as bare as the protocol allows.
class BareOperation {
public:
    BareOperation(IPortableDevice *device, WORD opCode) : device_(device), opCode_(opCode) {
        CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&record_));
        CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(&params_));
    }

    void Param(ULONG value) {
        PROPVARIANT item = {};
        item.vt = VT_UI4;
        item.ulVal = value;
        params_->Add(&item);
    }

    bool Start(const PROPERTYKEY &command, const ULONGLONG *totalToWrite) {
        Command(command);
        record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_OPERATION_CODE, opCode_);
        record_->SetIPortableDevicePropVariantCollectionValue(WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS, params_.Get());
        if (totalToWrite) record_->SetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, *totalToWrite);
        if (!Send()) return false;
        if (command.pid != WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE.pid) {
            result_->GetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.put());
            result_->GetUnsignedLargeIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE, &total_);
        }
        return true;
    }

    bool Write(BYTE *data, ULONG size) {
        Command(WPD_COMMAND_MTP_EXT_WRITE_DATA);
        record_->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.get());
        record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE, size);
        record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, data, size);
        return Send();
    }

    // The bytes that arrived go to out; the buffer handed back may be longer than they are.
    ULONG Read(BYTE *request, ULONG size, BYTE *out) {
        Command(WPD_COMMAND_MTP_EXT_READ_DATA);
        record_->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.get());
        record_->SetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ, size);
        record_->SetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, request, size);
        if (!Send()) return 0;
        win::UniqueCoTaskMem<BYTE> data;
        DWORD length = 0;
        ULONG read = 0;
        if (FAILED(result_->GetUnsignedIntegerValue(WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ, &read)) ||
            FAILED(result_->GetBufferValue(WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, data.put(), &length))) {
            return 0;
        }
        read = std::min<ULONG>(read, length);
        std::memcpy(out, data.get(), read);
        return read;
    }

    bool End() {
        Command(WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER);
        record_->SetStringValue(WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, context_.get());
        return Send();
    }

    ULONGLONG Total() const { return total_; }

private:
    void Command(const PROPERTYKEY &command) {
        record_->Clear();
        record_->SetGuidValue(WPD_PROPERTY_COMMON_COMMAND_CATEGORY, command.fmtid);
        record_->SetUnsignedIntegerValue(WPD_PROPERTY_COMMON_COMMAND_ID, command.pid);
    }
    bool Send() {
        result_.Reset();
        HRESULT hr = device_->SendCommand(0, record_.Get(), &result_);
        if (SUCCEEDED(hr)) result_->GetErrorValue(WPD_PROPERTY_COMMON_HRESULT, &hr);
        return SUCCEEDED(hr);
    }

    IPortableDevice *device_;
    WORD opCode_;
    ComPtr<IPortableDeviceValues> record_, result_;
    ComPtr<IPortableDevicePropVariantCollection> params_;
    win::UniqueCoTaskMemString context_;
    ULONGLONG total_ = 0;
};

// An operation without data.
bool BareCommand(IPortableDevice *device, WORD opCode, std::initializer_list<ULONG> params) {
    BareOperation operation(device, opCode);
    for (ULONG value : params) operation.Param(value);
    return operation.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE, nullptr);
}

struct Times {
    double put = 1e300, get = 1e300;
};

// The SyncML session's put and get as bare SendCommand loops: the type byte, then the package.
Times BareSyncML(IPortableDevice *device, std::vector<BYTE> &package) {
    Times times;
    BareCommand(device, PTP_OC_OpenSession, {kSyncMLChannel});
    BareCommand(device, 0, {WPD_SYNCML_SERVICE_DATA_SYNC, kSession});

    double start = bench::Seconds();
    BareOperation put(device, 0);
    put.Param(kSession);
    const ULONGLONG total = package.size();
    put.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE, &total);
    for (ULONGLONG sent = 0; sent < total; sent += kChunk) {
        put.Write(package.data() + sent, static_cast<ULONG>(std::min<ULONGLONG>(kChunk, total - sent)));
    }
    put.End();
    times.put = bench::Seconds() - start;

    start = bench::Seconds();
    BareCommand(device, 0, {kSession});  // the request
    BareOperation get(device, 0);
    get.Param(kSession);
    get.Start(WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ, nullptr);
    std::vector<BYTE> request(kChunk);
    for (ULONGLONG received = 0; received < get.Total();) {
        const ULONG length = get.Read(request.data(), kChunk, package.data() + received);
        if (length == 0) break;
        received += length;
    }
    get.End();
    times.get = bench::Seconds() - start;

    BareCommand(device, 0, {kSession});  // closes the session
    BareCommand(device, PTP_OC_CloseSession, {kSyncMLChannel});
    return times;
}

Times LibrarySyncML(void *handle, IStream *source, IStream *sink) {
    Times times;
    WPD_SyncMLOpenSession(handle, WPD_SYNCML_SERVICE_DATA_SYNC, kSession, 0);
    Rewind(source);
    double start = bench::Seconds();
    const WPD_ERROR put = WPD_SyncMLPut(handle, WPD_SYNCML_MIME_WBXML, source, kPackageBytes, 10000, 0);
    times.put = bench::Seconds() - start;
    Rewind(sink);
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    start = bench::Seconds();
    const WPD_ERROR get = WPD_SyncMLGet(handle, &mime, sink, &size, 10000, 0);
    times.get = bench::Seconds() - start;
    WPD_SyncMLCloseSession(handle);
    if (put != WPD_ERROR_OK || get != WPD_ERROR_OK || size != kPackageBytes) {
        std::printf("SyncML through the library failed: put %d, get %d, %llu bytes\n", static_cast<int>(put),
                    static_cast<int>(get), static_cast<unsigned long long>(size));
    }
    return times;
}

void ReportSyncML(bench::PhoneSession &session, vphone::VendorPhone &vendor, void *handle) {
    std::vector<BYTE> package(kPackageBytes + 1);
    package[0] = WPD_SYNCML_MIME_WBXML;
    for (size_t i = 1; i < package.size(); ++i) package[i] = static_cast<BYTE>(i * 13);
    vendor.SetSyncMLReply(WPD_SYNCML_MIME_WBXML, std::vector<BYTE>(package.begin() + 1, package.end()));
    ComPtr<IStream> source = FixedStream(kPackageBytes), sink = FixedStream(kPackageBytes);
    source->Write(package.data() + 1, static_cast<ULONG>(kPackageBytes), nullptr);

    Times bare, library;
    const unsigned callsBefore = session.phone().Controls().CallCount("IPortableDevice::SendCommand");
    // Which side goes first alternates, and each starts with the phone's record of exchanges emptied.
    for (int round = 0; round < kRounds; ++round) {
        for (bool bareTurn : {round % 2 == 0, round % 2 == 1}) {
            vendor.ClearExchanges();
            const Times t = bareTurn ? BareSyncML(session.Device(), package)
                                     : LibrarySyncML(handle, source.Get(), sink.Get());
            Times &best = bareTurn ? bare : library;
            best.put = std::min(best.put, t.put);
            best.get = std::min(best.get, t.get);
        }
    }
    const unsigned calls = session.phone().Controls().CallCount("IPortableDevice::SendCommand") - callsBefore;
    const double chunks = static_cast<double>((kPackageBytes + 1 + kChunk - 1) / kChunk);
    const double mib = static_cast<double>(kPackageBytes) / (1 << 20);
    std::printf("SyncML, 64 MiB in %.0f chunks of 8 KiB, best of %d interleaved rounds (%u SendCommand calls in all)\n",
                chunks, kRounds, calls);
    for (const auto &[what, b, l] : {std::tuple{"put", bare.put, library.put}, std::tuple{"get", bare.get, library.get}}) {
        std::printf("  %s: bare loop %6.0f MiB/s, WPD_SyncML%s %6.0f MiB/s; overhead per chunk %+.2f us (%+.1f%%; "
                    "target under 10%%)\n",
                    what, mib / b, what[0] == 'p' ? "Put" : "Get", mib / l, (l - b) * 1e6 / chunks, (l / b - 1) * 100);
    }
}

// Installing one file copies it and then finds its copy among every object of the phone by its
// persistent id, on a USB 2.0 link; the put alone is measured too, so that the difference is the
// lookup. Once on the phone as it is, with GetObjectPropList, once with the phone refusing it.
void ReportLookup(bench::PhoneSession &session, vphone::VendorPhone &vendor, void *handle) {
    const std::wstring local = bench::TempPath(L"orvik-bench-app.jar");
    bench::WriteLocalFile(local, 4);
    const wchar_t remote[] = L"\\Card\\app.jar\0";
    std::wstring localList = local + L'\0';
    constexpr unsigned kInstallCommands = 3;  // the install's own write: start, one step, end

    session.phone().Controls().SetLink(vphone::LinkSpeed::Usb2());
    for (bool withList : {true, false}) {
        if (!withList) vendor.SetResponse(vphone::VendorOperation::GetObjectPropList, PTP_RC_OperationNotSupported);
        double put = 1e300, install = 1e300;
        unsigned calls = 0;
        for (int round = 0; round < 3; ++round) {
            double start = bench::Seconds();
            WPD_Media_PutFile(handle, remote, local.c_str(), 4);
            put = std::min(put, bench::Seconds() - start);
            const unsigned before = session.phone().Controls().CallCount("IPortableDevice::SendCommand");
            start = bench::Seconds();
            const WPD_ERROR result = WPD_InstallApp(handle, localList.c_str(), remote, 1, 0);
            install = std::min(install, bench::Seconds() - start);
            calls = session.phone().Controls().CallCount("IPortableDevice::SendCommand") - before - kInstallCommands;
            if (result != WPD_ERROR_OK) std::printf("WPD_InstallApp failed: %d\n", static_cast<int>(result));
        }
        std::printf("install lookup among %d objects on usb2, %s: %u SendCommand calls (target under 100; a scan "
                    "of every object makes %d), %.1f ms (install %.1f ms less its copy %.1f ms, best of 3)\n",
                    kObjects + 2, withList ? "phone with GetObjectPropList" : "phone without it, newest first", calls,
                    3 * (kObjects + 2) + 3, (install - put) * 1e3, install * 1e3, put * 1e3);
    }
    vendor.ClearResponses();
    session.phone().Controls().SetLink(vphone::LinkSpeed::None());
    DeleteFileW(local.c_str());
}

}  // namespace

int main() {
    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0004").InstanceId(L"USB\\VID_0FCE&PID_BE0F\\BENCH0004")
        .HardwareIds({L"USB\\VID_0FCE&PID_BE0F"}).Storage(L"Card", 64ull << 30).Folder(L"\\Card\\Many");
    for (int i = 0; i < kObjects; ++i) {
        builder.File(L"\\Card\\Many\\file" + std::to_wstring(i) + L".mp3", vphone::PatternData(10));
    }
    std::shared_ptr<vphone::Phone> phone = builder.Build();
    vphone::VendorPhone &vendor = vphone::AttachVendorExtension(*phone);
    vendor.SetOptimalTransferSize(kChunk);
    vendor.SetCompletion(0);
    bench::PhoneSession session(phone);
    if (!session.ok()) return 1;
    void *handle = WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    char id[] = "USB\\VID_0FCE&PID_BE0F";
    if (WPD_ConnectDevice(handle, id, false, 0) != WPD_ERROR_OK) return 1;

    ReportSyncML(session, vendor, handle);
    ReportLookup(session, vendor, handle);

    WPD_DisconnectDevice(handle);
    WPD_Uninitialize(handle);
    return 0;
}
