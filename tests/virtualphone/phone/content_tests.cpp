// The content of a built phone through the platform interfaces: enumeration, properties, streams,
// creation and deletion.
#include "phone_session.h"

#include "win/unique_any.h"

namespace vphone_test {
namespace {

std::wstring StringOf(IPortableDeviceValues *values, const PROPERTYKEY &key) {
    win::UniqueCoTaskMemString text;
    EXPECT_EQ(values->GetStringValue(key, text.put()), S_OK);
    return text.get() ? text.get() : L"";
}

std::vector<std::uint8_t> ReadResource(IPortableDeviceContent *content, const std::wstring &id, const PROPERTYKEY &key,
                                       HRESULT *result) {
    ComPtr<IPortableDeviceResources> resources;
    EXPECT_EQ(content->Transfer(&resources), S_OK);
    ComPtr<IStream> stream;
    DWORD optimal = 0;
    *result = resources->GetStream(id.c_str(), key, STGM_READ, &optimal, &stream);
    std::vector<std::uint8_t> bytes;
    if (FAILED(*result)) {
        EXPECT_EQ(stream, nullptr);
        return bytes;
    }
    std::vector<std::uint8_t> chunk(optimal);
    for (;;) {
        ULONG read = 0;
        EXPECT_EQ(stream->Read(chunk.data(), optimal, &read), S_OK);
        if (read == 0) return bytes;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + read);
    }
}

using PhoneContent = PhoneSession;

TEST_F(PhoneContent, EnumeratesChildrenInCreationOrder) {
    const auto storages = Children(wpd::WPD_DEVICE_OBJECT_ID);
    ASSERT_EQ(storages, std::vector<std::wstring>{L"s10001"});
    EXPECT_EQ(Children(L""), storages);  // the empty id is the device too
    const auto music = *phone_->FindPath(L"\\Card\\Music");
    EXPECT_EQ(Children(L"s10001"), (std::vector<std::wstring>{music, *phone_->FindPath(L"\\Card\\Empty"),
                                                               *phone_->FindPath(L"\\Card\\mix.m3u")}));
    EXPECT_EQ(Children(music.c_str()).size(), 2u);
    ComPtr<IEnumPortableDeviceObjectIDs> none;
    EXPECT_EQ(Content()->EnumObjects(0, L"o999", nullptr, &none), vphone::kObjectNotFound);
    EXPECT_EQ(none, nullptr);
}

TEST_F(PhoneContent, PropertiesReadBackAsBuilt) {
    const std::wstring song = *phone_->FindPath(L"\\Card\\Music\\a.mp3");
    auto values = ReadValues(song, {wpd::WPD_OBJECT_NAME, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, wpd::WPD_OBJECT_SIZE,
                                    wpd::WPD_OBJECT_PARENT_ID, wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_OBJECT_FORMAT,
                                    wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID, wpd::WPD_OBJECT_CAN_DELETE,
                                    wpd::WPD_STORAGE_CAPACITY});
    EXPECT_EQ(StringOf(values.Get(), wpd::WPD_OBJECT_NAME), L"a");
    EXPECT_EQ(StringOf(values.Get(), wpd::WPD_OBJECT_ORIGINAL_FILE_NAME), L"a.mp3");
    EXPECT_EQ(StringOf(values.Get(), wpd::WPD_OBJECT_PARENT_ID), *phone_->FindPath(L"\\Card\\Music"));
    EXPECT_EQ(StringOf(values.Get(), wpd::WPD_OBJECT_PERSISTENT_UNIQUE_ID).size(), 38u);
    ULONGLONG size = 0;
    EXPECT_EQ(values->GetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, &size), S_OK);
    EXPECT_EQ(size, 1000u);
    GUID guid{};
    EXPECT_EQ(values->GetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, &guid), S_OK);
    EXPECT_EQ(guid, wpd::WPD_CONTENT_TYPE_AUDIO);
    EXPECT_EQ(values->GetGuidValue(wpd::WPD_OBJECT_FORMAT, &guid), S_OK);
    EXPECT_EQ(guid, wpd::MtpFormatGuid(0x3009));
    BOOL canDelete = FALSE;
    EXPECT_EQ(values->GetBoolValue(wpd::WPD_OBJECT_CAN_DELETE, &canDelete), S_OK);
    EXPECT_TRUE(canDelete);
    // A key the object lacks is absent, so only its own typed read fails.
    EXPECT_EQ(values->GetUnsignedLargeIntegerValue(wpd::WPD_STORAGE_CAPACITY, &size), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));

    auto device = ReadValues(wpd::WPD_DEVICE_OBJECT_ID, {wpd::WPD_DEVICE_MANUFACTURER, wpd::WPD_DEVICE_MODEL,
                                                         wpd::WPD_DEVICE_SERIAL_NUMBER, wpd::WPD_DEVICE_FRIENDLY_NAME});
    EXPECT_EQ(StringOf(device.Get(), wpd::WPD_DEVICE_MANUFACTURER), L"Maker");
    EXPECT_EQ(StringOf(device.Get(), wpd::WPD_DEVICE_MODEL), L"Model One");
    EXPECT_EQ(StringOf(device.Get(), wpd::WPD_DEVICE_SERIAL_NUMBER), L"SIM0001");
    EXPECT_EQ(StringOf(device.Get(), wpd::WPD_DEVICE_FRIENDLY_NAME), L"Test phone");

    auto storage = ReadValues(L"s10001", {wpd::WPD_STORAGE_CAPACITY, wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES});
    EXPECT_EQ(storage->GetUnsignedLargeIntegerValue(wpd::WPD_STORAGE_FREE_SPACE_IN_BYTES, &size), S_OK);
    EXPECT_EQ(size, (1u << 20) - 1000u - 2000u - 19u);
}

TEST_F(PhoneContent, PlaylistReferencesReadAsCollection) {
    EXPECT_EQ(ReferencesOf(L"\\Card\\mix.m3u"),
              (std::vector<std::wstring>{*phone_->FindPath(L"\\Card\\Music\\a.mp3"), *phone_->FindPath(L"\\Card\\Music\\b.mp3")}));
}

TEST_F(PhoneContent, StreamsDataAndThumbnailAndRefusesMissingResources) {
    phone_->Controls().SetTransferSizes(300, 300);
    phone_->Controls().LimitReadsTo(128);  // short reads must not end a copy early
    const std::wstring song = *phone_->FindPath(L"\\Card\\Music\\b.mp3");
    HRESULT hr = E_FAIL;
    const auto data = ReadResource(Content().Get(), song, wpd::WPD_RESOURCE_DEFAULT, &hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(data.size(), 2000u);
    for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], vphone::PatternByte(i, 7)) << i;
    const auto thumbnail = ReadResource(Content().Get(), *phone_->FindPath(L"\\Card\\Music\\a.mp3"),
                                        wpd::WPD_RESOURCE_THUMBNAIL, &hr);
    EXPECT_EQ(std::string(thumbnail.begin(), thumbnail.end()), "thumb");
    ReadResource(Content().Get(), song, wpd::WPD_RESOURCE_THUMBNAIL, &hr);
    EXPECT_TRUE(FAILED(hr));
}

class PhoneCreation : public PhoneSession {
protected:
    ComPtr<IPortableDeviceValues> NewFile(const wchar_t *name, ULONGLONG size) {
        auto values = Values();
        values->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, phone_->FindPath(L"\\Card\\Empty")->c_str());
        values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, name);
        values->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_CONTENT_TYPE_AUDIO);
        values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, size);
        return values;
    }
};

TEST_F(PhoneCreation, ObjectAppearsOnlyAfterCommit) {
    ComPtr<IStream> stream;
    DWORD optimal = 0;
    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewFile(L"new.mp3", 5).Get(), &stream, &optimal, nullptr), S_OK);
    EXPECT_GT(optimal, 0u);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("hello", 5, &written), S_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Empty\\new.mp3"));
    ComPtr<IPortableDeviceDataStream> data;
    ASSERT_EQ(stream.As(&data), S_OK);
    LPWSTR id = nullptr;
    EXPECT_EQ(data->GetObjectID(&id), static_cast<HRESULT>(0x802A0005));
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
    ASSERT_EQ(data->GetObjectID(&id), S_OK);
    win::UniqueCoTaskMemString owned(id);
    EXPECT_EQ(phone_->FindPath(L"\\Card\\Empty\\new.mp3"), std::wstring(id));
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(phone_->ReadData(id, false, &bytes), S_OK);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
}

// A sent object lives in a file of the phone's; reading it back must honour seeks between reads.
TEST_F(PhoneCreation, SentObjectReadsBackAcrossSeeks) {
    ComPtr<IStream> created;
    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewFile(L"seek.mp3", 10).Get(), &created, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(created->Write("0123456789", 10, nullptr), S_OK);
    ASSERT_EQ(created->Commit(STGC_DEFAULT), S_OK);
    ComPtr<IPortableDeviceResources> resources;
    ASSERT_EQ(Content()->Transfer(&resources), S_OK);
    ComPtr<IStream> stream;
    DWORD optimal = 0;
    ASSERT_EQ(resources->GetStream(phone_->FindPath(L"\\Card\\Empty\\seek.mp3")->c_str(), wpd::WPD_RESOURCE_DEFAULT,
                                   STGM_READ, &optimal, &stream),
              S_OK);
    const auto readAt = [&](long long position, DWORD origin, ULONG count) {
        LARGE_INTEGER move{};
        move.QuadPart = position;
        EXPECT_EQ(stream->Seek(move, origin, nullptr), S_OK);
        char text[16] = {};
        ULONG read = 0;
        EXPECT_EQ(stream->Read(text, count, &read), S_OK);
        return std::string(text, read);
    };
    EXPECT_EQ(readAt(0, STREAM_SEEK_CUR, 4), "0123");
    EXPECT_EQ(readAt(0, STREAM_SEEK_CUR, 3), "456");
    EXPECT_EQ(readAt(1, STREAM_SEEK_SET, 2), "12");
    EXPECT_EQ(readAt(-3, STREAM_SEEK_END, 16), "789");
    EXPECT_EQ(readAt(4, STREAM_SEEK_END, 16), "");
    EXPECT_EQ(readAt(8, STREAM_SEEK_SET, 16), "89");
}

TEST_F(PhoneCreation, RevertAndShortDataLeaveNothing) {
    ComPtr<IStream> stream;
    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewFile(L"gone.mp3", 5).Get(), &stream, nullptr, nullptr), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("hel", 3, &written), S_OK);
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_EQ(stream->Revert(), S_OK);
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), STG_E_REVERTED);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Empty\\gone.mp3"));
    // Data beyond the announced size is refused.
    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewFile(L"big.mp3", 2).Get(), &stream, nullptr, nullptr), S_OK);
    EXPECT_EQ(stream->Write("abc", 3, &written), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    // More than the storage holds is refused at once.
    EXPECT_EQ(Content()->CreateObjectWithPropertiesAndData(NewFile(L"huge.mp3", 2 << 20).Get(), &stream, nullptr, nullptr),
              HRESULT_FROM_WIN32(ERROR_DISK_FULL));
}

TEST_F(PhoneCreation, FolderWithPropertiesOnlyExistsOnReturn) {
    auto values = Values();
    values->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, L"s10001");
    values->SetStringValue(wpd::WPD_OBJECT_NAME, L"New");
    values->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_CONTENT_TYPE_FOLDER);
    LPWSTR id = nullptr;
    ASSERT_EQ(Content()->CreateObjectWithPropertiesOnly(values.Get(), &id), S_OK);
    win::UniqueCoTaskMemString owned(id);
    EXPECT_EQ(phone_->FindPath(L"\\Card\\New"), std::wstring(id));
    EXPECT_EQ(Content()->CreateObjectWithPropertiesOnly(Values().Get(), nullptr), E_INVALIDARG);
}

class PhoneDeletion : public PhoneSession {
protected:
    std::uint64_t FreeSpace() {
        std::uint64_t free = 0;
        EXPECT_EQ(phone_->FreeSpace(L"s10001", &free), S_OK);
        return free;
    }
};

TEST_F(PhoneDeletion, NonRecursiveDeleteOfFullFolderFails) {
    EXPECT_EQ(DeleteAt(L"\\Card\\Music", wpd::PORTABLE_DEVICE_DELETE_NO_RECURSION), HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(phone_->FindPath(L"\\Card\\Music\\a.mp3"));
    EXPECT_EQ(DeleteAt(L"\\Card\\Empty", wpd::PORTABLE_DEVICE_DELETE_NO_RECURSION), S_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Empty"));
}

TEST_F(PhoneDeletion, RecursiveDeleteRemovesSubtreeAndFreesSpace) {
    const std::uint64_t before = FreeSpace();
    EXPECT_EQ(DeleteAt(L"\\Card\\Music", wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION), S_OK);
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music"));
    EXPECT_EQ(FreeSpace(), before + 3000);
    EXPECT_EQ(DeleteAt(L"\\Card\\nothing", wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION), vphone::kObjectNotFound);
}

}  // namespace
}  // namespace vphone_test
