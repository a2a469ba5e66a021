#include "phone_session.h"

namespace vphone_test {

std::shared_ptr<vphone::Phone> SamplePhone(const vphone::PhoneProfile &profile) {
    return vphone::PhoneBuilder(profile)
        .Manufacturer(L"Maker")
        .Model(L"Model One")
        .SerialNumber(L"SIM0001")
        .FriendlyName(L"Test phone")
        .InstanceId(L"USB\\VID_0FCE&PID_0176\\SIM0001")
        .Storage(L"Card", 1 << 20)
        .Folder(L"\\Card\\Music")
        .File(L"\\Card\\Music\\a.mp3", vphone::PatternData(1000))
        .Thumbnail(L"\\Card\\Music\\a.mp3", vphone::TextData("thumb"))
        .File(L"\\Card\\Music\\b.mp3", vphone::PatternData(2000, 7))
        .Folder(L"\\Card\\Empty")
        .Playlist(L"\\Card\\mix.m3u", std::vector<std::wstring>{L"\\Card\\Music\\a.mp3", L"\\Card\\Music\\b.mp3"},
                  vphone::TextData("/Card/Music/a.mp3\r\n"))
        .Build();
}

void PhoneSession::SetUp() {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ASSERT_EQ(installed_.Register(), S_OK);
    ASSERT_EQ(memory_.Register(), S_OK);
}

void PhoneSession::TearDown() {
    device_.Reset();
    // Every test ends having given back everything the phone handed out.
    EXPECT_EQ(installed_.LiveObjects(), 0);
    EXPECT_EQ(memory_.OutstandingBlocks(), 0);
    memory_.Revoke();
    installed_.Revoke();
    CoUninitialize();
}

ComPtr<IPortableDeviceValues> PhoneSession::Values() {
    ComPtr<IPortableDeviceValues> values;
    EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&values)),
              S_OK);
    return values;
}

HRESULT PhoneSession::Open(ComPtr<IPortableDevice> *device, ULONG desiredAccess) {
    HRESULT hr = CoCreateInstance(wpd::CLSID_PortableDevice, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(device->ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return hr;
    ComPtr<IPortableDeviceValues> client = Values();
    client->SetStringValue(wpd::WPD_CLIENT_NAME, L"tests");
    if (desiredAccess) client->SetUnsignedIntegerValue(wpd::WPD_CLIENT_DESIRED_ACCESS, desiredAccess);
    return (*device)->Open(phone_->InterfacePath().c_str(), client.Get());
}

ComPtr<IPortableDeviceContent> PhoneSession::Content() {
    if (!device_) {
        EXPECT_EQ(Open(&device_), S_OK);
    }
    ComPtr<IPortableDeviceContent> content;
    EXPECT_EQ(device_->Content(&content), S_OK);
    return content;
}

std::vector<std::wstring> PhoneSession::Children(const wchar_t *parent) {
    ComPtr<IEnumPortableDeviceObjectIDs> enumerator;
    EXPECT_EQ(Content()->EnumObjects(0, parent, nullptr, &enumerator), S_OK);
    std::vector<std::wstring> ids;
    if (!enumerator) return ids;
    for (;;) {
        LPWSTR batch[3] = {};
        ULONG fetched = 0xdeadbeef;
        const HRESULT hr = enumerator->Next(3, batch, &fetched);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
        for (ULONG i = 0; i < fetched; ++i) {
            ids.push_back(batch[i]);
            CoTaskMemFree(batch[i]);
        }
        if (hr != S_OK) return ids;
    }
}

ComPtr<IPortableDeviceValues> PhoneSession::ReadValues(const std::wstring &objectId,
                                                       std::initializer_list<PROPERTYKEY> keys) {
    ComPtr<IPortableDeviceKeyCollection> collection;
    EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&collection)),
              S_OK);
    for (const PROPERTYKEY &key : keys) collection->Add(key);
    ComPtr<IPortableDeviceProperties> properties;
    EXPECT_EQ(Content()->Properties(&properties), S_OK);
    ComPtr<IPortableDeviceValues> values;
    EXPECT_TRUE(SUCCEEDED(properties->GetValues(objectId.c_str(), collection.Get(), &values)));
    return values;
}

std::vector<std::wstring> PhoneSession::ReferencesOf(const wchar_t *path) {
    auto values = ReadValues(*phone_->FindPath(path), {wpd::WPD_OBJECT_REFERENCES});
    ComPtr<IPortableDevicePropVariantCollection> references;
    std::vector<std::wstring> ids;
    EXPECT_EQ(values->GetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES, &references), S_OK);
    DWORD count = 0;
    if (!references || FAILED(references->GetCount(&count))) return {L"(no list)"};
    for (DWORD i = 0; i < count; ++i) {
        PROPVARIANT id;
        PropVariantInit(&id);
        EXPECT_EQ(references->GetAt(i, &id), S_OK);
        ids.push_back(id.vt == VT_LPWSTR ? id.pwszVal : L"(not a string)");
        PropVariantClear(&id);
    }
    return ids;
}

HRESULT PhoneSession::DeleteAt(const std::wstring &path, DWORD options,
                               ComPtr<IPortableDevicePropVariantCollection> *results) {
    ComPtr<IPortableDevicePropVariantCollection> ids;
    EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&ids)),
              S_OK);
    const std::wstring id = phone_->FindPath(path).value_or(L"o999");
    PROPVARIANT value = {};
    value.vt = VT_LPWSTR;
    value.pwszVal = const_cast<wchar_t *>(id.c_str());  // the collection keeps a copy
    ids->Add(&value);
    ComPtr<IPortableDevicePropVariantCollection> outcome;
    const HRESULT hr = Content()->Delete(options, ids.Get(), &outcome);
    if (results) *results = outcome;
    return hr;
}

}  // namespace vphone_test
