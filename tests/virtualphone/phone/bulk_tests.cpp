// Bulk property reads (IPortableDevicePropertiesBulk): queued until Start, delivered on the phone's own
// thread in batches, and refused as the platform refuses.
#include "phone_session.h"

#include "virtualphone/platform/properties_bulk.h"
#include "win/adopt_reference.h"
#include "win/com_object.h"
#include "win/unique_any.h"

#include <functional>
#include <mutex>

namespace vphone_test {
namespace {

// Records what the platform calls, and lets a test act inside the first batch.
class RecordingCallback final : public win::ComObject<RecordingCallback, IPortableDevicePropertiesBulkCallback> {
public:
    HRESULT STDMETHODCALLTYPE OnStart(REFGUID) noexcept override {
        std::lock_guard hold(lock_);
        calls_.push_back("OnStart");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnProgress(REFGUID context, IPortableDeviceValuesCollection *results) noexcept override {
        std::function<void(const GUID &)> action;
        {
            std::lock_guard hold(lock_);
            DWORD count = 0;
            results->GetCount(&count);
            calls_.push_back("OnProgress " + std::to_string(count));
            for (DWORD i = 0; i < count; ++i) {
                ComPtr<IPortableDeviceValues> values;
                win::UniqueCoTaskMemString id;
                if (SUCCEEDED(results->GetAt(i, &values)) &&
                    SUCCEEDED(values->GetStringValue(wpd::WPD_OBJECT_ID, id.put()))) {
                    DWORD keys = 0;
                    values->GetCount(&keys);
                    objects_.emplace_back(id.get(), keys);
                }
            }
            action.swap(inFirstBatch_);
        }
        if (action) action(context);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnd(REFGUID, HRESULT status) noexcept override {
        {
            std::lock_guard hold(lock_);
            calls_.push_back("OnEnd " + std::to_string(static_cast<unsigned long>(status)));
        }
        SetEvent(ended_.get());
        return S_OK;
    }

    void InFirstBatch(std::function<void(const GUID &)> action) { inFirstBatch_ = std::move(action); }
    bool WaitForEnd() { return WaitForSingleObject(ended_.get(), 10000) == WAIT_OBJECT_0; }
    std::vector<std::string> Calls() {
        std::lock_guard hold(lock_);
        return calls_;
    }
    // Each object delivered, with the number of values in its set.
    std::vector<std::pair<std::wstring, DWORD>> Objects() {
        std::lock_guard hold(lock_);
        return objects_;
    }

private:
    std::mutex lock_;
    std::vector<std::string> calls_;
    std::vector<std::pair<std::wstring, DWORD>> objects_;
    std::function<void(const GUID &)> inFirstBatch_;
    win::UniqueHandle ended_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

constexpr GUID kUnknownContext = {2, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

std::string EndedWith(HRESULT status) { return "OnEnd " + std::to_string(static_cast<unsigned long>(status)); }

class PhoneBulk : public PhoneSession {
protected:
    ComPtr<IPortableDevicePropertiesBulk> Bulk() {
        ComPtr<IPortableDeviceProperties> properties;
        EXPECT_EQ(Content()->Properties(&properties), S_OK);
        ComPtr<IPortableDevicePropertiesBulk> bulk;
        EXPECT_EQ(properties.As(&bulk), S_OK);
        return bulk;
    }

    // songs more files in \Card\Music; the ids of all its children.
    std::vector<std::wstring> Songs(int songs) {
        const std::wstring music = *phone_->FindPath(L"\\Card\\Music");
        for (int i = 0; i < songs; ++i) {
            vphone::PhoneObject song;
            song.parentId = music;
            song.originalFileName = L"track" + std::to_wstring(i) + L".mp3";
            song.name = L"track" + std::to_wstring(i);
            std::wstring id;
            EXPECT_EQ(phone_->Add(std::move(song), &id), S_OK);
        }
        return Children(music.c_str());
    }

    ComPtr<IPortableDevicePropVariantCollection> Ids(const std::vector<std::wstring> &ids) {
        ComPtr<IPortableDevicePropVariantCollection> collection;
        EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&collection)),
                  S_OK);
        for (const std::wstring &id : ids) {
            PROPVARIANT value = {};  // the collection keeps a copy
            value.vt = VT_LPWSTR;
            value.pwszVal = const_cast<wchar_t *>(id.c_str());
            EXPECT_EQ(collection->Add(&value), S_OK);
        }
        return collection;
    }

    ComPtr<IPortableDeviceKeyCollection> Keys(std::initializer_list<PROPERTYKEY> keys) {
        ComPtr<IPortableDeviceKeyCollection> collection;
        EXPECT_EQ(CoCreateInstance(wpd::CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&collection)),
                  S_OK);
        for (const PROPERTYKEY &key : keys) collection->Add(key);
        return collection;
    }

    // Queues a read of ids, starts it and waits for its end.
    void RunToEnd(IPortableDevicePropertiesBulk *bulk, const std::vector<std::wstring> &ids,
                  IPortableDeviceKeyCollection *keys, RecordingCallback *callback) {
        GUID context = GUID_NULL;
        ASSERT_EQ(bulk->QueueGetValuesByObjectList(Ids(ids).Get(), keys, callback, &context), S_OK);
        ASSERT_EQ(bulk->Start(context), S_OK);
        ASSERT_TRUE(callback->WaitForEnd());
    }

    ComPtr<RecordingCallback> callback_ = win::AdoptReference(RecordingCallback::Create());
};

TEST_F(PhoneBulk, DeliversBatchesOnItsOwnThreadAfterStart) {
    const std::vector<std::wstring> ids = Songs(600);  // 602 objects: two batches
    phone_->Controls().SetLink({1, 0});                // counts round trips at a microsecond each
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    GUID context = GUID_NULL;
    ASSERT_EQ(bulk->QueueGetValuesByObjectList(Ids(ids).Get(), Keys({wpd::WPD_OBJECT_NAME, wpd::WPD_OBJECT_SIZE}).Get(),
                                               callback_.Get(), &context),
              S_OK);
    Sleep(50);
    EXPECT_TRUE(callback_->Calls().empty()) << "nothing runs before Start";
    const std::uint64_t before = phone_->Controls().Cable().Use().roundTrips;
    ASSERT_EQ(bulk->Start(context), S_OK);
    ASSERT_TRUE(callback_->WaitForEnd());
    EXPECT_EQ(callback_->Calls(), (std::vector<std::string>{"OnStart", "OnProgress 500", "OnProgress 102", EndedWith(S_OK)}));
    // Start and one round trip per batch.
    EXPECT_EQ(phone_->Controls().Cable().Use().roundTrips - before, 3u);
    const auto objects = callback_->Objects();
    ASSERT_EQ(objects.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(objects[i], std::make_pair(ids[i], DWORD{3})) << "the id and the two keys asked for";
    }
    // A request runs once.
    EXPECT_EQ(bulk->Start(context), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

TEST_F(PhoneBulk, RefusesWhatThePlatformRefuses) {
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    const auto ids = Ids({*phone_->FindPath(L"\\Card\\Music")});
    GUID context = kUnknownContext;
    EXPECT_EQ(bulk->QueueGetValuesByObjectList(ids.Get(), nullptr, nullptr, &context), E_POINTER);
    EXPECT_EQ(context, GUID_NULL);
    EXPECT_EQ(bulk->QueueGetValuesByObjectList(nullptr, nullptr, callback_.Get(), &context), E_POINTER);
    EXPECT_EQ(bulk->QueueGetValuesByObjectList(ids.Get(), nullptr, callback_.Get(), nullptr), E_POINTER);
    ComPtr<IPortableDevicePropVariantCollection> numbers;
    ASSERT_EQ(CoCreateInstance(wpd::CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&numbers)),
              S_OK);
    PROPVARIANT number = {};
    number.vt = VT_UI4;
    number.ulVal = 1;
    ASSERT_EQ(numbers->Add(&number), S_OK);
    EXPECT_EQ(bulk->QueueGetValuesByObjectList(numbers.Get(), nullptr, callback_.Get(), &context), E_INVALIDARG);
    EXPECT_EQ(bulk->Start(kUnknownContext), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(bulk->Cancel(kUnknownContext), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    // A cancelled request is no longer queued, and its callback is never called.
    ASSERT_EQ(bulk->QueueGetValuesByObjectList(ids.Get(), nullptr, callback_.Get(), &context), S_OK);
    EXPECT_EQ(bulk->Cancel(context), S_OK);
    EXPECT_EQ(bulk->Start(context), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    phone_->Worker().Stop();
    EXPECT_TRUE(callback_->Calls().empty());
}

TEST_F(PhoneBulk, CancelEndsARunningRequestBeforeItsNextBatch) {
    const std::vector<std::wstring> ids = Songs(600);
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    callback_->InFirstBatch([&](const GUID &context) { EXPECT_EQ(bulk->Cancel(context), S_OK); });
    RunToEnd(bulk.Get(), ids, nullptr, callback_.Get());
    EXPECT_EQ(callback_->Calls(),
              (std::vector<std::string>{"OnStart", "OnProgress 500", EndedWith(HRESULT_FROM_WIN32(ERROR_CANCELLED))}));
}

// A batch that fails on the phone (an injected fault), or a phone unplugged meanwhile, ends the request
// with that failure.
TEST_F(PhoneBulk, EndsWithTheFailureOfABatch) {
    const std::vector<std::wstring> ids = Songs(600);
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    phone_->Controls().FailCall("IPortableDevicePropertiesBulkCallback::OnProgress", 2, HRESULT_FROM_WIN32(ERROR_BUSY));
    RunToEnd(bulk.Get(), ids, nullptr, callback_.Get());
    EXPECT_EQ(callback_->Calls(),
              (std::vector<std::string>{"OnStart", "OnProgress 500", EndedWith(HRESULT_FROM_WIN32(ERROR_BUSY))}));

    const ComPtr<RecordingCallback> unplugged = win::AdoptReference(RecordingCallback::Create());
    unplugged->InFirstBatch([&](const GUID &) { phone_->Controls().Unplug(); });
    RunToEnd(bulk.Get(), ids, nullptr, unplugged.Get());
    EXPECT_EQ(unplugged->Calls(), (std::vector<std::string>{"OnStart", "OnProgress 500", EndedWith(vphone::kPhoneUnplugged)}));
}

TEST_F(PhoneBulk, LeavesOutObjectsThatAreGone) {
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    const std::wstring song = *phone_->FindPath(L"\\Card\\Music\\a.mp3");
    RunToEnd(bulk.Get(), {L"o999", song}, Keys({wpd::WPD_OBJECT_NAME}).Get(), callback_.Get());
    EXPECT_EQ(callback_->Objects(), (std::vector<std::pair<std::wstring, DWORD>>{{song, 2}}));
    EXPECT_EQ(callback_->Calls().back(), EndedWith(S_OK));
}

// A request by format takes the parent as level 0, as the platform's table for the DEVICE object says.
TEST_F(PhoneBulk, ReadsObjectsOfAFormatBelowAParent) {
    const ComPtr<IPortableDevicePropertiesBulk> bulk = Bulk();
    const std::wstring music = *phone_->FindPath(L"\\Card\\Music");
    const std::wstring a = *phone_->FindPath(L"\\Card\\Music\\a.mp3"), b = *phone_->FindPath(L"\\Card\\Music\\b.mp3");
    struct Case {
        GUID format;
        std::wstring parent;
        DWORD depth;
        std::vector<std::wstring> objects;
    };
    for (const Case &c : {Case{wpd::WPD_OBJECT_FORMAT_ALL, music, 1, {music, a, b}},
                          Case{wpd::MtpFormatGuid(0x3009), wpd::WPD_DEVICE_OBJECT_ID, 0xFFFFFFFF, {a, b}},
                          Case{wpd::WPD_OBJECT_FORMAT_ALL, wpd::WPD_DEVICE_OBJECT_ID, 1, {wpd::WPD_DEVICE_OBJECT_ID, L"s10001"}},
                          Case{wpd::WPD_OBJECT_FORMAT_ALL, L"", 1, {wpd::WPD_DEVICE_OBJECT_ID}}}) {
        const ComPtr<RecordingCallback> callback = win::AdoptReference(RecordingCallback::Create());
        GUID context = GUID_NULL;
        ASSERT_EQ(bulk->QueueGetValuesByObjectFormat(c.format, c.parent.c_str(), c.depth,
                                                     Keys({wpd::WPD_OBJECT_NAME}).Get(), callback.Get(), &context),
                  S_OK);
        ASSERT_EQ(bulk->Start(context), S_OK);
        ASSERT_TRUE(callback->WaitForEnd());
        std::vector<std::wstring> delivered;
        for (const auto &object : callback->Objects()) delivered.push_back(object.first);
        EXPECT_EQ(delivered, c.objects) << "below " << testing::PrintToString(c.parent) << " to depth " << c.depth;
    }
    GUID context = GUID_NULL;
    EXPECT_EQ(bulk->QueueGetValuesByObjectFormat(wpd::WPD_OBJECT_FORMAT_ALL, L"o999", 1, nullptr, callback_.Get(),
                                                 &context),
              vphone::kObjectNotFound);
}

class PhoneWithoutBulk : public PhoneSession {
protected:
    static vphone::PhoneProfile NoBulk() {
        vphone::PhoneProfile profile;
        profile.bulkProperties = false;
        return profile;
    }
    PhoneWithoutBulk() : PhoneSession(NoBulk()) {}
};

TEST_F(PhoneWithoutBulk, AnswersNoBulkInterface) {
    ComPtr<IPortableDeviceProperties> properties;
    ASSERT_EQ(Content()->Properties(&properties), S_OK);
    IPortableDevicePropertiesBulk *bulk = reinterpret_cast<IPortableDevicePropertiesBulk *>(0xdeadbeef);
    EXPECT_EQ(properties->QueryInterface(IID_PPV_ARGS(&bulk)), E_NOINTERFACE);
    EXPECT_EQ(bulk, nullptr);
}

}  // namespace
}  // namespace vphone_test
