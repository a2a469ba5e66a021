// The android profile through the platform interfaces: what it does where the default phone differs.
#include "phone_session.h"

#include "win/unique_any.h"

namespace vphone_test {
namespace {

class AndroidPhone : public PhoneSession {
protected:
    AndroidPhone() : PhoneSession(vphone::AndroidProfile()) {}

    ComPtr<IPortableDeviceValues> NewSong(const wchar_t *name, ULONGLONG size) {
        auto values = Values();
        values->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, phone_->FindPath(L"\\Card\\Music")->c_str());
        values->SetStringValue(wpd::WPD_OBJECT_NAME, L"ignored");
        values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, name);
        values->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_CONTENT_TYPE_AUDIO);
        values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, size);
        return values;
    }
    // The per-key result of setting the original file name of the object at path.
    HRESULT Rename(const wchar_t *path, const wchar_t *fileName) {
        ComPtr<IPortableDeviceProperties> properties;
        EXPECT_EQ(Content()->Properties(&properties), S_OK);
        auto values = Values();
        values->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, fileName);
        ComPtr<IPortableDeviceValues> results;
        const HRESULT hr = properties->SetValues(phone_->FindPath(path)->c_str(), values.Get(), &results);
        HRESULT perKey = E_UNEXPECTED;
        EXPECT_EQ(results->GetErrorValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, &perKey), S_OK);
        EXPECT_EQ(hr, SUCCEEDED(perKey) ? S_OK : S_FALSE);
        return perKey;
    }
    BOOL CanWriteFileName(const wchar_t *path) {
        ComPtr<IPortableDeviceProperties> properties;
        EXPECT_EQ(Content()->Properties(&properties), S_OK);
        ComPtr<IPortableDeviceValues> attributes;
        EXPECT_EQ(properties->GetPropertyAttributes(phone_->FindPath(path)->c_str(), wpd::WPD_OBJECT_ORIGINAL_FILE_NAME,
                                                    &attributes),
                  S_OK);
        BOOL writable = 2;
        EXPECT_EQ(attributes->GetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_WRITE, &writable), S_OK);
        return writable;
    }
};

TEST_F(AndroidPhone, NamesCarryTheirExtensionAndIdsSpellPaths) {
    const auto song = phone_->Find(*phone_->FindPath(L"\\Card\\Music\\a.mp3"));
    EXPECT_EQ(song->name, L"a.mp3");
    EXPECT_EQ(song->id, L"s10001\\Music\\a.mp3");
    auto values = ReadValues(wpd::WPD_DEVICE_OBJECT_ID, {wpd::WPD_DEVICE_MODEL, wpd::WPD_DEVICE_DATETIME});
    win::UniquePropVariant date;
    EXPECT_EQ(values->GetValue(wpd::WPD_DEVICE_DATETIME, date.put()), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

TEST_F(AndroidPhone, RefusesASecondObjectOfANameAndRenamesByFileName) {
    ComPtr<IStream> stream;
    EXPECT_EQ(Content()->CreateObjectWithPropertiesAndData(NewSong(L"a.mp3", 3).Get(), &stream, nullptr, nullptr),
              vphone::kNameTaken);
    EXPECT_EQ(stream, nullptr);

    EXPECT_TRUE(CanWriteFileName(L"\\Card\\Music\\a.mp3"));
    EXPECT_EQ(Rename(L"\\Card\\Music\\a.mp3", L"b.mp3"), vphone::kNameTaken);
    EXPECT_EQ(Rename(L"\\Card\\Music\\a.mp3", L"c.mp3"), S_OK);
    const auto renamed = phone_->Find(*phone_->FindPath(L"\\Card\\Music\\c.mp3"));
    EXPECT_EQ(renamed->name, L"c.mp3");
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\a.mp3"));
    // The old name is free again, and its new object does not take the renamed one's id.
    LPWSTR id = nullptr;
    auto folder = Values();
    folder->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, phone_->FindPath(L"\\Card\\Music")->c_str());
    folder->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, L"a.mp3");
    folder->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_CONTENT_TYPE_FOLDER);
    ASSERT_EQ(Content()->CreateObjectWithPropertiesOnly(folder.Get(), &id), S_OK);
    win::UniqueCoTaskMemString owned(id);
    EXPECT_NE(std::wstring(id), renamed->id);
}

TEST_F(AndroidPhone, UploadIsThereFromItsCreationAndCannotBeReverted) {
    ComPtr<IStream> stream;
    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewSong(L"new.mp3", 5).Get(), &stream, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(stream->Write("hel", 3, nullptr), S_OK);
    EXPECT_EQ(stream->Revert(), E_NOTIMPL);
    const auto unfinished = phone_->FindPath(L"\\Card\\Music\\new.mp3");
    ASSERT_TRUE(unfinished);
    stream.Reset();
    EXPECT_EQ(phone_->FindPath(L"\\Card\\Music\\new.mp3"), unfinished);

    ASSERT_EQ(Content()->CreateObjectWithPropertiesAndData(NewSong(L"whole.mp3", 5).Get(), &stream, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(stream->Write("hello", 5, nullptr), S_OK);
    ASSERT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(phone_->ReadData(*phone_->FindPath(L"\\Card\\Music\\whole.mp3"), false, &bytes), S_OK);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
}

// A protected song keeps its folder; the rest of the folder goes.
TEST_F(AndroidPhone, DeletesInPartAroundProtectedObjects) {
    ASSERT_EQ(phone_->Update(*phone_->FindPath(L"\\Card\\Music\\b.mp3"), [](vphone::PhoneObject &object, vphone::PhoneIdentity &) {
        object.canDelete = false;
        return S_OK;
    }), S_OK);
    ComPtr<IPortableDevicePropVariantCollection> results;
    EXPECT_EQ(DeleteAt(L"\\Card\\Music", wpd::PORTABLE_DEVICE_DELETE_WITH_RECURSION, &results), S_FALSE);
    win::UniquePropVariant result;
    ASSERT_EQ(results->GetAt(0, result.get()), S_OK);
    EXPECT_EQ(result->scode, HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(phone_->FindPath(L"\\Card\\Music\\b.mp3"));
    EXPECT_FALSE(phone_->FindPath(L"\\Card\\Music\\a.mp3"));
}

TEST_F(AndroidPhone, PlaylistsAnswerEmptyReferencesAndTakeNone) {
    EXPECT_TRUE(ReferencesOf(L"\\Card\\mix.m3u").empty());
    ComPtr<IPortableDevicePropVariantCollection> references;
    ASSERT_EQ(CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&references)),
              S_OK);
    auto playlist = Values();
    playlist->SetStringValue(wpd::WPD_OBJECT_PARENT_ID, L"s10001");
    playlist->SetStringValue(wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, L"new.pla");
    playlist->SetGuidValue(wpd::WPD_OBJECT_CONTENT_TYPE, wpd::WPD_CONTENT_TYPE_PLAYLIST);
    playlist->SetIPortableDevicePropVariantCollectionValue(wpd::WPD_OBJECT_REFERENCES, references.Get());
    EXPECT_EQ(Content()->CreateObjectWithPropertiesOnly(playlist.Get(), nullptr), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
}

using DefaultPhone = PhoneSession;

TEST_F(DefaultPhone, KeepsFileNamesAndTellsItsDate) {
    ComPtr<IPortableDeviceProperties> properties;
    ASSERT_EQ(Content()->Properties(&properties), S_OK);
    ComPtr<IPortableDeviceValues> attributes;
    ASSERT_EQ(properties->GetPropertyAttributes(phone_->FindPath(L"\\Card\\Music\\a.mp3")->c_str(),
                                                wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, &attributes),
              S_OK);
    BOOL writable = 2;
    EXPECT_EQ(attributes->GetBoolValue(wpd::WPD_PROPERTY_ATTRIBUTE_CAN_WRITE, &writable), S_OK);
    EXPECT_FALSE(writable);
    auto values = ReadValues(wpd::WPD_DEVICE_OBJECT_ID, {wpd::WPD_DEVICE_DATETIME});
    win::UniquePropVariant date;
    EXPECT_EQ(values->GetValue(wpd::WPD_DEVICE_DATETIME, date.put()), S_OK);
    EXPECT_EQ(date->vt, VT_DATE);
}

}  // namespace
}  // namespace vphone_test
