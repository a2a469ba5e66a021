// The virtual phone's streams against CopyFileW of the same data, and enumerating a large folder.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_timer.h"
#include "bench/local_files.h"
#include "bench/phone_session.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr unsigned long long kBigFile = 1ull << 30;
constexpr int kFolderSize = 10000;

double ReadThroughPhone(bench::PhoneSession &session, const std::wstring &objectId) {
    const double start = bench::Seconds();
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceResources> resources;
    ComPtr<IStream> stream;
    DWORD chunk = 0;
    session.Device()->Content(&content);
    content->Transfer(&resources);
    resources->GetStream(objectId.c_str(), wpd::WPD_RESOURCE_DEFAULT, STGM_READ, &chunk, &stream);
    std::vector<unsigned char> buffer(chunk);
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer.data(), chunk, &read)) && read > 0) {
    }
    return bench::Seconds() - start;
}

double WriteThroughPhone(bench::PhoneSession &session, const std::wstring &parentId) {
    const double start = bench::Seconds();
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceValues> values;
    ComPtr<IStream> stream;
    DWORD chunk = 0;
    session.Device()->Content(&content);
    CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&values));
    values->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, parentId.c_str());
    values->SetStringValue(wpd::WPD_OBJECT_NAME, L"written");
    values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, L"written.bin");
    values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, kBigFile);
    content->CreateObjectWithPropertiesAndData(values.Get(), &stream, &chunk, nullptr);
    std::vector<unsigned char> buffer(chunk, 0x5a);
    for (unsigned long long sent = 0; sent < kBigFile; sent += chunk) {
        ULONG written = 0;
        stream->Write(buffer.data(), static_cast<ULONG>(std::min<unsigned long long>(chunk, kBigFile - sent)), &written);
    }
    stream->Commit(STGC_DEFAULT);
    return bench::Seconds() - start;
}

double EnumerateWithProperties(bench::PhoneSession &session, const std::wstring &folderId, int *objects) {
    const double start = bench::Seconds();
    ComPtr<IPortableDeviceContent> content;
    ComPtr<IPortableDeviceProperties> properties;
    ComPtr<IEnumPortableDeviceObjectIDs> ids;
    ComPtr<IPortableDeviceKeyCollection> keys;
    session.Device()->Content(&content);
    content->Properties(&properties);
    keys = bench::ListingKeys();
    content->EnumObjects(0, folderId.c_str(), nullptr, &ids);
    *objects = 0;
    for (;;) {
        LPWSTR batch[10] = {};
        ULONG fetched = 0;
        if (FAILED(ids->Next(10, batch, &fetched)) || fetched == 0) break;
        for (ULONG i = 0; i < fetched; ++i) {
            ComPtr<IPortableDeviceValues> values;
            properties->GetValues(batch[i], keys.Get(), &values);
            CoTaskMemFree(batch[i]);
            ++*objects;
        }
    }
    return bench::Seconds() - start;
}

}  // namespace

int main() {
    const std::wstring source = bench::TempPath(L"orvik-bench-source.bin");
    const std::wstring copy = bench::TempPath(L"orvik-bench-copy.bin");
    if (!bench::WriteLocalFile(source, kBigFile)) return 1;

    vphone::PhoneBuilder builder;
    builder.SerialNumber(L"BENCH0001").InstanceId(L"USB\\VID_0FCE&PID_BE0C\\BENCH0001")
        .Storage(L"Card", 64ull << 30).Folder(L"\\Card\\Many").File(L"\\Card\\big.bin", vphone::LocalFileData(source));
    for (int i = 0; i < kFolderSize; ++i) {
        builder.File(L"\\Card\\Many\\track" + std::to_wstring(i) + L".mp3", vphone::PatternData(1000));
    }
    const std::wstring bigId = builder.ObjectId(L"\\Card\\big.bin");
    const std::wstring cardId = builder.ObjectId(L"\\Card");
    const std::wstring manyId = builder.ObjectId(L"\\Card\\Many");
    bench::PhoneSession session(builder.Build());
    if (!session.ok() || !session.Device()) return 1;

    const double copyFile = [&] {
        const double start = bench::Seconds();
        CopyFileW(source.c_str(), copy.c_str(), FALSE);
        return bench::Seconds() - start;
    }();
    // The same chunked writes straight to a local file: what the phone's own storage costs.
    const double plainWrite = [&] {
        const double start = bench::Seconds();
        bench::WriteLocalFile(copy, kBigFile);
        return bench::Seconds() - start;
    }();
    const double read = ReadThroughPhone(session, bigId);
    const double write = WriteThroughPhone(session, cardId);
    const double mib = static_cast<double>(kBigFile) / (1 << 20);
    std::printf("CopyFileW of 1 GiB (baseline)                  %8.0f MiB/s\n", mib / copyFile);
    std::printf("read 1 GiB through the phone's stream          %8.0f MiB/s  (%.2f x baseline; target >= 0.5)\n",
                mib / read, copyFile / read);
    std::printf("write 1 GiB through the phone's stream         %8.0f MiB/s  (%.2f x baseline; target >= 0.5)\n",
                mib / write, copyFile / write);
    std::printf("  for reference, WriteFile of 1 GiB in 1 MiB chunks: %.0f MiB/s\n", mib / plainWrite);

    int objects = 0;
    const double enumerate = EnumerateWithProperties(session, manyId, &objects);
    std::printf("enumerate %d objects and read their properties: %.3f s (%.1f us per object; target well under 1 s)\n",
                objects, enumerate, enumerate * 1e6 / objects);
    DeleteFileW(source.c_str());
    DeleteFileW(copy.c_str());
    return 0;
}
