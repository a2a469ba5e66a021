// A phone kept in a data folder. Two Phone objects kept in one folder stand for two processes: each
// sees the other's changes with its next call, since they meet only through the folder and the
// names they share.
#include "device/wpd_api.h"
#include "virtualphone/description/test_paths.h"
#include "virtualphone/extension/vendor_phone.h"
#include "virtualphone/model/phone_builder.h"
#include "virtualphone/model/snapshot_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace vphone {
namespace {

using Bytes = std::vector<std::uint8_t>;

PROPVARIANT Variant(VARTYPE type) {
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = type;
    return value;
}

bool SameValue(const PROPVARIANT &a, const PROPVARIANT &b) {
    if (a.vt != b.vt) return false;
    switch (a.vt) {
        case VT_LPWSTR: return std::wstring_view(a.pwszVal) == b.pwszVal;
        case VT_CLSID: return *a.puuid == *b.puuid;
        case VT_VECTOR | VT_UI1:
            return a.caub.cElems == b.caub.cElems && std::memcmp(a.caub.pElems, b.caub.pElems, a.caub.cElems) == 0;
        default: return std::memcmp(&a.hVal, &b.hVal, sizeof a.hVal) == 0;  // the scalars' bytes
    }
}

void ExpectSameData(const DataPtr &a, const DataPtr &b, const std::wstring &id) {
    ASSERT_EQ(a == nullptr, b == nullptr) << testing::PrintToString(id);
    if (!a) return;
    const DataRecord x = a->Describe(), y = b->Describe();
    EXPECT_TRUE(x.kind == y.kind && x.size == y.size && x.seed == y.seed && x.path == y.path && x.stamp == y.stamp &&
                x.bytes == y.bytes)
        << testing::PrintToString(id);
}

void ExpectSameObject(const PhoneObject &a, const PhoneObject &b) {
    const std::string id = testing::PrintToString(a.id);
    const auto fields = [](const PhoneObject &o) {
        return std::tie(o.kind, o.id, o.parentId, o.storageId, o.name, o.originalFileName, o.persistentId,
                        o.contentType, o.format, o.hidden, o.canDelete, o.handle, o.capacity, o.used, o.hostFolder,
                        o.references);
    };
    EXPECT_EQ(fields(a), fields(b)) << id;
    EXPECT_EQ(std::memcmp(&a.dateModified, &b.dateModified, sizeof(double)), 0) << id;
    ExpectSameData(a.data, b.data, a.id);
    ExpectSameData(a.thumbnail, b.thumbnail, a.id);
    ASSERT_EQ(a.extra.size(), b.extra.size()) << id;
    for (std::size_t i = 0; i < a.extra.size(); ++i) {
        EXPECT_TRUE(SameKey(a.extra[i].first, b.extra[i].first)) << id;
        EXPECT_TRUE(SameValue(a.extra[i].second.Get(), b.extra[i].second.Get())) << id << " property " << i;
    }
    ASSERT_EQ(a.absent.size(), b.absent.size()) << id;
    for (std::size_t i = 0; i < a.absent.size(); ++i) EXPECT_TRUE(SameKey(a.absent[i], b.absent[i])) << id;
}

class KeptPhone : public testing::Test {
protected:
    void SetUp() override { folder_ = vphone_test::MakeScratchFolder(L"vphone-kept-"); }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // \Card (1 MiB): Music\a.mp3 (1000 bytes).
    static PhoneBuilder Described(const PhoneProfile &profile = DefaultProfile()) {
        PhoneBuilder builder(profile);
        builder.SerialNumber(L"KEPT01").Storage(L"Card", 1 << 20).Folder(L"\\Card\\Music").File(L"\\Card\\Music\\a.mp3", PatternData(1000));
        return builder;
    }
    // The phone as builder describes it, kept in the test's folder: a process of its own.
    std::shared_ptr<Phone> Open(PhoneBuilder builder = Described(), VendorPhone **vendor = nullptr) {
        auto phone = builder.Build();
        if (vendor) *vendor = &AttachVendorExtension(*phone);
        EXPECT_EQ(phone->KeepIn(folder_), S_OK);
        return phone;
    }
    static HRESULT Upload(Phone &phone, const std::wstring &folder, const std::wstring &name, const Bytes &bytes,
                          std::wstring *id) {
        PhoneObject object;
        object.parentId = phone.FindPath(folder).value_or(L"");
        object.name = object.originalFileName = name;
        DataFile file;
        HRESULT hr = phone.NewDataFile(&file);
        DWORD written = 0;
        if (SUCCEEDED(hr) && !WriteFile(file.handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            hr = HRESULT_FROM_WIN32(GetLastError());
        }
        return SUCCEEDED(hr) ? phone.AddWithData(std::move(object), std::move(file), bytes.size(), id) : hr;
    }
    std::vector<std::wstring> DataFiles() const {
        std::vector<std::wstring> names;
        std::error_code missing;
        for (const auto &entry : std::filesystem::directory_iterator(folder_ + L"\\objects", missing)) {
            names.push_back(entry.path().filename().wstring());
        }
        return names;
    }

    std::wstring folder_;
};

TEST_F(KeptPhone, AChangeOneMakesIsSeenByTheOthersNextCall) {
    auto first = Open(), second = Open();
    const Bytes bytes{1, 2, 3, 4, 5};
    std::wstring id;
    ASSERT_EQ(Upload(*first, L"\\Card\\Music", L"new.mp3", bytes, &id), S_OK);
    EXPECT_EQ(second->FindPath(L"\\Card\\Music\\new.mp3"), id);
    Bytes read;
    EXPECT_EQ(second->ReadData(id, false, &read), S_OK);
    EXPECT_EQ(read, bytes);
    std::uint64_t free = 0;
    EXPECT_EQ(second->FreeSpace(*second->FindPath(L"\\Card"), &free), S_OK);
    EXPECT_EQ(free, (1u << 20) - 1000 - bytes.size());

    EXPECT_EQ(second->Update(id, [](PhoneObject &object, PhoneIdentity &identity) {
        object.name = L"renamed";
        identity.friendlyName = L"Kept";
        return S_OK;
    }), S_OK);
    EXPECT_EQ(first->Find(id)->name, L"renamed");
    EXPECT_EQ(first->Identity().friendlyName, L"Kept");

    // The store removes the data file with its object, in whichever process deletes it.
    EXPECT_EQ(DataFiles().size(), 1u);
    EXPECT_EQ(second->Delete(id, false), S_OK);
    EXPECT_FALSE(first->Find(id));
    EXPECT_TRUE(DataFiles().empty());
}

// An upload shown at once is kept from its creation, and its data joins it at commit.
TEST_F(KeptPhone, AnAndroidPhoneKeepsItsPathIdsAndTheUploadItShowsAtOnce) {
    auto first = Open(Described(AndroidProfile())), second = Open(Described(AndroidProfile()));
    PhoneObject upload;
    upload.parentId = *first->FindPath(L"\\Card\\Music");
    upload.name = upload.originalFileName = L"new.mp3";
    upload.data = BytesData({});
    ASSERT_EQ(first->Add(upload, &upload.id), S_OK);
    EXPECT_EQ(second->FindPath(L"\\Card\\Music\\new.mp3"), upload.id);
    EXPECT_EQ(second->Find(upload.id)->Size(), 0u);

    DataFile file;
    ASSERT_EQ(first->NewDataFile(&file), S_OK);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.handle.get(), "abc", 3, &written, nullptr));
    ASSERT_EQ(first->AddWithData(upload, std::move(file), 3, nullptr), S_OK);
    Bytes read;
    EXPECT_EQ(second->ReadData(upload.id, false, &read), S_OK);
    EXPECT_EQ(read, (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(DataFiles().size(), 1u);
}

TEST_F(KeptPhone, EveryFieldComesBackFromTheSnapshotAsItWas) {
    PhoneBuilder builder = Described();
    ObjectAttributes odd;
    odd.name = std::wstring(L"100% odd \x1F name ") + L'\xD800';  // an unpaired surrogate too
    odd.hidden = true;
    odd.canDelete = false;
    odd.dateModified = 40000.123456789;
    odd.persistentId = L"{a phone's own id, any text}";
    odd.contentType = wpd::WPD_CONTENT_TYPE_IMAGE;
    builder.File(L"\\Card\\Music\\odd.bin", BytesData({0, 1, 2, 255}), odd)
        .Thumbnail(L"\\Card\\Music\\odd.bin", TextData("thumb"))
        .Playlist(L"\\Card\\mix.pla", std::vector<std::wstring>{L"\\Card\\Music\\a.mp3", L"\\Card\\Music\\odd.bin"})
        .Playlist(L"\\Card\\none.pla", std::vector<std::wstring>{}, PatternData(300, 9))
        .WithoutProperty(L"\\Card\\Music\\a.mp3", wpd::WPD_OBJECT_SIZE);
    // A property of every type a phone's properties take.
    PROPVARIANT values[] = {Variant(VT_UI4), Variant(VT_I4), Variant(VT_UI8), Variant(VT_BOOL), Variant(VT_DATE),
                            Variant(VT_R8), Variant(VT_ERROR), Variant(VT_LPWSTR), Variant(VT_CLSID),
                            Variant(VT_VECTOR | VT_UI1), Variant(VT_EMPTY)};
    values[0].ulVal = 0xFFFFFFFF;
    values[1].lVal = -42;
    values[2].uhVal.QuadPart = 1ull << 40;
    values[3].boolVal = VARIANT_TRUE;
    values[4].date = 39965.5;
    values[5].dblVal = -0.1;
    values[6].scode = E_ACCESSDENIED;
    wchar_t text[] = L"Text with % and \n";
    values[7].pwszVal = text;
    GUID guid = wpd::WPD_CONTENT_TYPE_AUDIO;
    values[8].puuid = &guid;
    UCHAR buffer[] = {9, 8, 7};
    values[9].caub = {3, buffer};
    for (DWORD pid = 0; pid < std::size(values); ++pid) {
        builder.Property(L"\\Card\\Music\\a.mp3", PROPERTYKEY{wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS, pid},
                         values[pid]);
    }
    auto first = Open(builder);
    first->ChangeIdentity([](PhoneIdentity &identity) { identity.model = L"Saved"; });  // writes the snapshot

    // Built from another description: all it shows comes from the snapshot.
    auto second = Open();
    EXPECT_EQ(second->Identity().model, L"Saved");
    EXPECT_EQ(second->Identity().serialNumber, L"KEPT01");
    const std::vector<PhoneObject> expected = first->Tree(), kept = second->Tree();
    ASSERT_EQ(kept.size(), expected.size());
    for (std::size_t i = 0; i < kept.size(); ++i) ExpectSameObject(kept[i], expected[i]);

    // The counters came back too: a new object takes a handle no object has.
    PhoneObject folder;
    folder.kind = ObjectKind::Folder;
    folder.name = L"New";
    folder.parentId = *second->FindPath(L"\\Card");
    std::wstring id;
    ASSERT_EQ(second->Add(folder, &id), S_OK);
    for (const PhoneObject &object : expected) EXPECT_NE(object.handle, second->Find(id)->handle);
}

TEST_F(KeptPhone, ResetBringsBackTheDescriptionAndTheFirstClockForEveryProcess) {
    VendorPhone *firstVendor = nullptr, *secondVendor = nullptr;
    auto first = Open(Described(), &firstVendor), second = Open(Described(), &secondVendor);
    const std::wstring firstClock = firstVendor->ClockText();
    firstVendor->SetClock(L"2011/02/03,04:05:06+04", 1);
    std::wstring id;
    ASSERT_EQ(Upload(*first, L"\\Card", L"gone.bin", Bytes(100, 7), &id), S_OK);
    second->Identity();  // a call brings the other process's changes
    EXPECT_EQ(secondVendor->ClockText(), L"2011/02/03,04:05:06+04");
    EXPECT_EQ(secondVendor->Dst(), 1u);

    ASSERT_EQ(ResetKeptPhone(folder_), S_OK);
    EXPECT_FALSE(second->FindPath(L"\\Card\\gone.bin"));
    EXPECT_EQ(secondVendor->ClockText(), firstClock);
    EXPECT_EQ(secondVendor->Dst(), 0u);
    EXPECT_TRUE(first->FindPath(L"\\Card\\Music\\a.mp3"));
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(KeptPhone, LeftoverDataFilesGoWhenAPhoneOpensButNotOneBeingWritten) {
    auto first = Open();
    DataFile writing;
    ASSERT_EQ(first->NewDataFile(&writing), S_OK);
    const std::wstring leftover = folder_ + L"\\objects\\{00000000-0000-0000-0000-000000000000}.bin";
    std::ofstream(leftover.c_str(), std::ios::binary) << "left by a process that was killed";

    auto second = Open();
    EXPECT_FALSE(std::filesystem::exists(leftover));
    ASSERT_TRUE(std::filesystem::exists(writing.path));
    PhoneObject object;
    object.parentId = *first->FindPath(L"\\Card");
    object.name = L"late.bin";
    std::wstring id;
    ASSERT_EQ(first->AddWithData(object, std::move(writing), 0, &id), S_OK);
    EXPECT_TRUE(second->Find(id));
}

TEST_F(KeptPhone, AValueItCannotKeepFailsItsChangeAndChangesNothing) {
    auto first = Open(), second = Open();
    const std::wstring song = *first->FindPath(L"\\Card\\Music\\a.mp3");
    const HRESULT hr = first->Update(song, [](PhoneObject &object, PhoneIdentity &) {
        object.name = L"changed";
        object.extra.emplace_back(PROPERTYKEY{wpd::WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS, 1},
                                  PropertyValue(Variant(VT_UNKNOWN)));
        return S_OK;
    });
    EXPECT_EQ(hr, DISP_E_BADVARTYPE);
    for (const auto &phone : {first, second}) {
        EXPECT_EQ(phone->Find(song)->name, L"a");
        EXPECT_TRUE(phone->Find(song)->extra.empty());
    }
}

}  // namespace
}  // namespace vphone
