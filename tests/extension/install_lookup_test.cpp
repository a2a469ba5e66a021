// An install finds each copy it sent by its persistent id: in the phone's list of every object's id
// where the phone has one, otherwise among its object handles, newest first.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "extension/vendor_test_support.h"

namespace orvik_test {
namespace {

using vphone::VendorOperation;

constexpr ULONG kEveryObject = 0xFFFFFFFF;

// The install's own operation: command 14, one write step, the end.
constexpr unsigned kInstallCommands = 3;

class InstallLookup : public VendorTest, public testing::WithParamInterface<vphone::PhoneProfile> {
protected:
    std::shared_ptr<vphone::Phone> MakePhone() override {
        vphone::PhoneBuilder builder = StandardPhone(GetParam());
        if (objects_ > 0) builder.Folder(L"\\Card\\Many");
        for (int i = 0; i < objects_; ++i) builder.File(L"\\Card\\Many\\" + std::to_wstring(i) + L".mp3", vphone::TextData("x"));
        std::shared_ptr<vphone::Phone> phone = builder.Build();
        vendor_ = &vphone::AttachVendorExtension(*phone);
        return phone;
    }
    bool HasPropertyLists() const { return GetParam().bulkProperties; }

    int objects_ = 0;
};

TEST_P(InstallLookup, FindsEachCopyWithOrWithoutThePhonesList) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ClearLog();
    const std::wstring locals =
        LocalFile(L"orvik-lookup.jad", "descriptor") + L'\0' + LocalFile(L"orvik-lookup.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\lookup.jad") + L'\0' + L"\\Card\\Music\\lookup.jar" + L'\0';
    ASSERT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 2, 0), WPD_ERROR_OK) << testing::PrintToString(Log());

    EXPECT_EQ(vendor_->InstallRequests(),
              (std::vector<std::vector<ULONG>>{{HandleAt(L"\\Card\\lookup.jad"), HandleAt(L"\\Card\\Music\\lookup.jar")}}));
    EXPECT_TRUE(Log().empty()) << "a phone without the list is no failure: " << testing::PrintToString(Log());
    const auto lists = ExchangesOf(VendorOperation::GetObjectPropList);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].params, (std::vector<ULONG>{kEveryObject, 0, wpd::PTP_OPC_PersistantUniqueObjectIdentifier, 0, 0}));
    if (HasPropertyLists()) {
        EXPECT_EQ(lists[0].response, wpd::PTP_RC_OK);
        EXPECT_TRUE(ExchangesOf(VendorOperation::GetObjectHandles).empty());
    } else {
        EXPECT_EQ(lists[0].response, wpd::PTP_RC_OperationNotSupported);
        EXPECT_EQ(ExchangesOf(VendorOperation::GetObjectHandles).size(), 2u);
        // The first copy is second newest, the second the newest.
        EXPECT_EQ(ExchangesOf(VendorOperation::GetObjectPropValue).size(), 3u);
    }
}

class InstallLookupAmongMany : public InstallLookup {
protected:
    InstallLookupAmongMany() { objects_ = 10000; }
};

// On a phone of 10,000 objects the lookup costs a handful of calls, not three for every object.
TEST_P(InstallLookupAmongMany, CostsAFewCalls) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ClearLog();
    const std::wstring locals = LocalFile(L"orvik-many.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\many.jar") + L'\0';
    const unsigned before = phone_->Controls().CallCount("IPortableDevice::SendCommand");
    ASSERT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    const unsigned lookup = phone_->Controls().CallCount("IPortableDevice::SendCommand") - before - kInstallCommands;
    EXPECT_LT(lookup, 100u);
    EXPECT_EQ(vendor_->InstallRequests(), (std::vector<std::vector<ULONG>>{{HandleAt(L"\\Card\\many.jar")}}));
}

vphone::PhoneProfile WithoutPropertyLists() {
    vphone::PhoneProfile profile;
    profile.name = L"without_lists";
    profile.bulkProperties = false;
    return profile;
}

const auto kBothKinds = testing::Values(vphone::DefaultProfile(), WithoutPropertyLists());
INSTANTIATE_TEST_SUITE_P(VendorInstall, InstallLookup, kBothKinds, ProfileName);
INSTANTIATE_TEST_SUITE_P(VendorInstall, InstallLookupAmongMany, kBothKinds, ProfileName);

using InstallLookupFallback = VendorTest;

// The platform refusing the command is answered as the phone refusing the operation.
TEST_F(InstallLookupFallback, ARefusedCommandIsSearchedTheOtherWay) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ClearLog();
    phone_->Controls().FailCall("IPortableDevice::SendCommand", 1, E_ACCESSDENIED);
    const std::wstring locals = LocalFile(L"orvik-refused.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\refused.jar") + L'\0';
    ASSERT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_OK) << testing::PrintToString(Log());
    EXPECT_EQ(vendor_->InstallRequests(), (std::vector<std::vector<ULONG>>{{HandleAt(L"\\Card\\refused.jar")}}));
    EXPECT_EQ(ExchangesOf(VendorOperation::GetObjectHandles).size(), 1u);
    EXPECT_TRUE(Log().empty()) << testing::PrintToString(Log());
}

// A list the phone gets wrong fails the install: it is read no further than it goes, and not taken for
// a phone without the list.
struct MalformedList {
    const char *name;
    std::vector<BYTE> bytes;
};

// A count, the elements, and extra bytes after them.
std::vector<BYTE> List(ULONG count, const std::vector<std::vector<BYTE>> &elements, size_t extra = 0) {
    std::vector<BYTE> bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(count >> (8 * i)));
    for (const auto &element : elements) bytes.insert(bytes.end(), element.begin(), element.end());
    bytes.resize(bytes.size() + extra);
    return bytes;
}

// One element: handle 5, the property and data type codes given, 16 bytes of value.
std::vector<BYTE> Element(WORD property, WORD type) {
    std::vector<BYTE> element(24, 0xAB);
    const BYTE head[] = {5, 0, 0, 0, static_cast<BYTE>(property), static_cast<BYTE>(property >> 8),
                         static_cast<BYTE>(type), static_cast<BYTE>(type >> 8)};
    std::copy(std::begin(head), std::end(head), element.begin());
    return element;
}

const std::vector<BYTE> kGoodElement = Element(0xDC41, 0x000A);

class MalformedLists : public VendorTest, public testing::WithParamInterface<MalformedList> {};

TEST_P(MalformedLists, FailTheInstall) {
    void *handle = ConnectedHandle(WPD_METHOD_ZEPH);
    ClearLog();
    vendor_->SetReadData(VendorOperation::GetObjectPropList, GetParam().bytes);
    const std::wstring locals = LocalFile(L"orvik-malformed.jar", "archive") + L'\0';
    const std::wstring remotes = std::wstring(L"\\Card\\malformed.jar") + L'\0';
    EXPECT_EQ(WPD_InstallApp(handle, locals.c_str(), remotes.c_str(), 1, 0), WPD_ERROR_FAILED);
    EXPECT_EQ(Log(), std::vector<std::string>{"The phone's list of persistent ids is malformed, hr = 8007000d"});
    EXPECT_TRUE(ExchangesOf(VendorOperation::GetObjectHandles).empty());
    EXPECT_TRUE(vendor_->InstallRequests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    VendorInstall, MalformedLists,
    testing::Values(MalformedList{"Empty", {}}, MalformedList{"ShortCount", std::vector<BYTE>(3, 1)},
                    MalformedList{"FewerElementsThanCounted", List(2, {kGoodElement})},
                    MalformedList{"BytesAfterTheElements", List(1, {kGoodElement}, 1)},
                    MalformedList{"CountBeyondAnySize", List(0xFFFFFFFF, {kGoodElement})},
                    MalformedList{"AnotherProperty", List(2, {kGoodElement, Element(0xDC01, 0x000A)})},
                    MalformedList{"AnotherType", List(1, {Element(0xDC41, 0x0008)})}),
    [](const auto &info) { return info.param.name; });

}  // namespace
}  // namespace orvik_test
