// The property-variant collection: the one type its items have, through removal and ChangeType.
#include <portabledevicetypes.h>
#include <propvarutil.h>
#include <wrl/client.h>

#include <vector>

#include "tests/virtualphone/values/values_test_support.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

using PropVariantCollectionTest = values_test::ReleasedAllTest;

// The first item decides the type; later items are converted to it or refused, and ChangeType converts
// every item or none.
TEST_F(PropVariantCollectionTest, ItemsKeepTheTypeOfTheCollection) {
    ComPtr<IPortableDevicePropVariantCollection> items;
    ASSERT_HRESULT_SUCCEEDED(vphone::CreatePortableDevicePropVariantCollection(IID_PPV_ARGS(&items)));
    const auto addText = [&](const wchar_t *text) {
        win::UniquePropVariant item;
        EXPECT_HRESULT_SUCCEEDED(InitPropVariantFromString(text, item.put()));
        return items->Add(&*item);
    };
    const auto type = [&] {
        VARTYPE vt = VT_ILLEGAL;
        EXPECT_HRESULT_SUCCEEDED(items->GetType(&vt));
        return vt;
    };
    for (const wchar_t *text : {L"1", L"x", L"3"}) ASSERT_HRESULT_SUCCEEDED(addText(text));
    EXPECT_HRESULT_FAILED(items->ChangeType(VT_UI4)) << "\"x\" is no number";
    EXPECT_EQ(type(), VT_LPWSTR);
    ASSERT_HRESULT_SUCCEEDED(items->RemoveAt(1));
    ASSERT_HRESULT_SUCCEEDED(items->ChangeType(VT_UI4));
    ASSERT_HRESULT_SUCCEEDED(addText(L"42"));
    EXPECT_HRESULT_FAILED(addText(L"y"));
    EXPECT_EQ(type(), VT_UI4);
    std::vector<ULONG> numbers;
    for (DWORD index = 0; index < 3; ++index) {
        win::UniquePropVariant item;
        ASSERT_HRESULT_SUCCEEDED(items->GetAt(index, item.put()));
        EXPECT_EQ(item->vt, VT_UI4) << index;
        numbers.push_back(item->ulVal);
    }
    EXPECT_EQ(numbers, (std::vector<ULONG>{1, 3, 42}));
}

}  // namespace
