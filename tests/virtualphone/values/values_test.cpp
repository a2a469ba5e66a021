// The property value set as clients use it: typed round trips and errors, who owns what comes out,
// order and replacement, and concurrent writers.
#include <portabledevicetypes.h>
#include <propkeydef.h>
#include <propsys.h>
#include <propvarutil.h>
#include <wrl/client.h>

#include <functional>
#include <ostream>
#include <thread>
#include <vector>

#include "tests/virtualphone/values/values_test_support.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;
using V = IPortableDeviceValues;

namespace {

constexpr GUID kFmtid = {0x5e1f3a20, 0x7c41, 0x4d8e, {0x9a, 0x11, 0x20, 0x6b, 0x3c, 0x55, 0x81, 0x02}};
constexpr GUID kOtherFmtid = {0x5e1f3a21, 0x7c41, 0x4d8e, {0x9a, 0x11, 0x20, 0x6b, 0x3c, 0x55, 0x81, 0x02}};
constexpr PROPERTYKEY Key(DWORD pid, const GUID &fmtid = kFmtid) { return {fmtid, pid}; }

using Call = std::function<HRESULT(V *, const PROPERTYKEY &)>;

// set stores a sample with a typed setter; get reads it with the typed getter and compares it when
// that succeeds; vt is the type GetValue shows.
struct TypedCase {
    const char *name;
    VARTYPE vt;
    Call set, get;
};
void PrintTo(const TypedCase &typedCase, std::ostream *out) { *out << typedCase.name; }

template <class Setter, class T>
Call Put(Setter setter, T value) {
    return [=](V *values, const PROPERTYKEY &key) { return (values->*setter)(key, value); };
}

// Reads with a typed getter into a T, compared when the call succeeds.
template <class T, class Getter, class Expected>
Call Expect(Getter getter, Expected expected) {
    return [=](V *values, const PROPERTYKEY &key) {
        T value{};
        const HRESULT hr = (values->*getter)(key, &value);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(value, expected);
        }
        return hr;
    };
}

constexpr GUID kGuid = {0x01234567, 0x89ab, 0xcdef, {1, 2, 3, 4, 5, 6, 7, 8}};
BYTE kBytes[] = {0, 0xff, 7};

const TypedCase kTypedCases[] = {
    {"String", VT_LPWSTR, Put(&V::SetStringValue, L"Phone"),
     [](V *values, const PROPERTYKEY &key) {
         win::UniqueCoTaskMemString text;
         const HRESULT hr = values->GetStringValue(key, text.put());
         if (SUCCEEDED(hr)) {
             EXPECT_STREQ(text.get(), L"Phone");
         }
         return hr;
     }},
    {"UnsignedInteger", VT_UI4, Put(&V::SetUnsignedIntegerValue, 7ul),
     Expect<ULONG>(&V::GetUnsignedIntegerValue, 7ul)},
    {"SignedInteger", VT_I4, Put(&V::SetSignedIntegerValue, -5l), Expect<LONG>(&V::GetSignedIntegerValue, -5l)},
    {"UnsignedLarge", VT_UI8, Put(&V::SetUnsignedLargeIntegerValue, 1ull << 40),
     Expect<ULONGLONG>(&V::GetUnsignedLargeIntegerValue, 1ull << 40)},
    {"SignedLarge", VT_I8, Put(&V::SetSignedLargeIntegerValue, -(1ll << 40)),
     Expect<LONGLONG>(&V::GetSignedLargeIntegerValue, -(1ll << 40))},
    {"Float", VT_R4, Put(&V::SetFloatValue, 2.5f), Expect<FLOAT>(&V::GetFloatValue, 2.5f)},
    {"Error", VT_ERROR, Put(&V::SetErrorValue, E_ACCESSDENIED),
     Expect<HRESULT>(&V::GetErrorValue, E_ACCESSDENIED)},
    {"Key", VT_UNKNOWN, Put(&V::SetKeyValue, Key(7, kOtherFmtid)),
     Expect<PROPERTYKEY>(&V::GetKeyValue, Key(7, kOtherFmtid))},
    // GetBoolValue gives TRUE itself, not the VARIANT_TRUE (-1) stored.
    {"Bool", VT_BOOL, Put(&V::SetBoolValue, 5), Expect<BOOL>(&V::GetBoolValue, TRUE)},
    {"Guid", VT_CLSID, Put(&V::SetGuidValue, kGuid), Expect<GUID>(&V::GetGuidValue, kGuid)},
    {"Buffer", VT_VECTOR | VT_UI1,
     [](V *values, const PROPERTYKEY &key) { return values->SetBufferValue(key, kBytes, 3); },
     [](V *values, const PROPERTYKEY &key) {
         win::UniqueCoTaskMem<BYTE> bytes;
         DWORD size = 0;
         const HRESULT hr = values->GetBufferValue(key, bytes.put(), &size);
         if (SUCCEEDED(hr)) {
             EXPECT_EQ(std::vector<BYTE>(bytes.get(), bytes.get() + size), std::vector<BYTE>(kBytes, kBytes + 3));
         }
         return hr;
     }},
};

class ValuesTest : public values_test::ReleasedAllTest {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(vphone::CreatePortableDeviceValues(IID_PPV_ARGS(&values))); }
    ComPtr<V> values;
};

class TypedValueTest : public ValuesTest, public testing::WithParamInterface<TypedCase> {};

TEST_P(TypedValueTest, RoundTripsWithItsType) {
    ASSERT_HRESULT_SUCCEEDED(GetParam().set(values.Get(), Key(1)));
    EXPECT_HRESULT_SUCCEEDED(GetParam().get(values.Get(), Key(1)));
    win::UniquePropVariant stored;
    ASSERT_HRESULT_SUCCEEDED(values->GetValue(Key(1), stored.put()));
    EXPECT_EQ(stored->vt, GetParam().vt);
}

TEST_P(TypedValueTest, GetterFailsForMissingKeyAndOtherType) {
    EXPECT_EQ(GetParam().get(values.Get(), Key(1)), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    PROPVARIANT other{};
    other.vt = VT_R8;  // no typed getter reads doubles
    ASSERT_HRESULT_SUCCEEDED(values->SetValue(Key(1), &other));
    EXPECT_EQ(GetParam().get(values.Get(), Key(1)), DISP_E_TYPEMISMATCH);
}

INSTANTIATE_TEST_SUITE_P(EveryType, TypedValueTest, testing::ValuesIn(kTypedCases),
                         [](const auto &info) { return info.param.name; });

TEST_F(ValuesTest, StoredInterfaceIsTheSameObjectKeptAliveAndOfItsOwnKind) {
    ComPtr<IPortableDeviceKeyCollection> keys, stored;
    ASSERT_HRESULT_SUCCEEDED(vphone::CreatePortableDeviceKeyCollection(IID_PPV_ARGS(&keys)));
    ASSERT_HRESULT_SUCCEEDED(values->SetIPortableDeviceKeyCollectionValue(Key(1), keys.Get()));
    ASSERT_HRESULT_SUCCEEDED(values->GetIPortableDeviceKeyCollectionValue(Key(1), &stored));
    EXPECT_EQ(stored.Get(), keys.Get());
    ComPtr<V> other;
    EXPECT_EQ(values->GetIPortableDeviceValuesValue(Key(1), &other), DISP_E_TYPEMISMATCH);
    PROPERTYKEY key{};
    EXPECT_EQ(values->GetKeyValue(Key(1), &key), DISP_E_TYPEMISMATCH) << "an empty key collection is no key";
    keys.Reset();
    stored.Reset();
    EXPECT_EQ(vphone::LiveValueObjects(), 2) << "the set must hold its own reference";
    ASSERT_HRESULT_SUCCEEDED(values->SetUnsignedIntegerValue(Key(1), 1));
    EXPECT_EQ(vphone::LiveValueObjects(), 1) << "replacing must release the old value";
}

// The platform's set takes no null and no zero-sized buffer, and keeps nothing of either.
TEST_F(ValuesTest, RefusesNullAndEmptyBuffers) {
    BYTE byte = 1;
    EXPECT_EQ(values->SetBufferValue(Key(1), nullptr, 1), E_POINTER);
    EXPECT_EQ(values->SetBufferValue(Key(1), &byte, 0), E_INVALIDARG);
    DWORD count = 1;
    ASSERT_HRESULT_SUCCEEDED(values->GetCount(&count));
    EXPECT_EQ(count, 0u);
}

TEST_F(ValuesTest, WhatComesOutIsTheCallersOwnCopy) {
    win::UniquePropVariant in, out;
    ASSERT_HRESULT_SUCCEEDED(InitPropVariantFromString(L"abc", in.put()));
    ASSERT_HRESULT_SUCCEEDED(values->SetValue(Key(1), &*in));
    PropVariantClear(in.get());  // the caller's string is gone; the stored copy stays
    win::UniqueCoTaskMemString first, second;
    ASSERT_HRESULT_SUCCEEDED(values->GetStringValue(Key(1), first.put()));
    ASSERT_HRESULT_SUCCEEDED(values->GetStringValue(Key(1), second.put()));
    first.get()[0] = L'X';
    ASSERT_HRESULT_SUCCEEDED(values->GetValue(Key(1), out.put()));
    ASSERT_HRESULT_SUCCEEDED(values->Clear());
    EXPECT_STREQ(second.get(), L"abc");
    EXPECT_STREQ(out->pwszVal, L"abc");
}

TEST_F(ValuesTest, KeepsFirstSetOrderAndReplacesInPlace) {
    // The same pid under another fmtid is another key.
    const PROPERTYKEY order[] = {Key(3), Key(1), Key(1, kOtherFmtid), Key(2)};
    for (const PROPERTYKEY &key : order) ASSERT_HRESULT_SUCCEEDED(values->SetUnsignedIntegerValue(key, key.pid));
    ASSERT_HRESULT_SUCCEEDED(values->SetStringValue(Key(1), L"new"));
    ASSERT_HRESULT_SUCCEEDED(values->RemoveValue(Key(2)));
    EXPECT_EQ(values->RemoveValue(Key(2)), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    const VARTYPE types[] = {VT_UI4, VT_LPWSTR, VT_UI4};
    for (DWORD index = 0; index < 3; ++index) {
        PROPERTYKEY key{};
        win::UniquePropVariant value;
        ASSERT_HRESULT_SUCCEEDED(values->GetAt(index, &key, value.put()));
        EXPECT_EQ(key, order[index]) << index;
        EXPECT_EQ(value->vt, types[index]) << index;
    }
    EXPECT_EQ(values->GetAt(3, nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ValuesTest, CopiesThroughAPropertyStore) {
    ComPtr<IPropertyStore> store;
    ComPtr<V> copy;
    ASSERT_HRESULT_SUCCEEDED(PSCreateMemoryPropertyStore(IID_PPV_ARGS(&store)));
    ASSERT_HRESULT_SUCCEEDED(vphone::CreatePortableDeviceValues(IID_PPV_ARGS(&copy)));
    ASSERT_HRESULT_SUCCEEDED(values->SetUnsignedIntegerValue(Key(2), 9));
    ASSERT_HRESULT_SUCCEEDED(values->CopyValuesToPropertyStore(store.Get()));
    ASSERT_HRESULT_SUCCEEDED(copy->CopyValuesFromPropertyStore(store.Get()));
    EXPECT_HRESULT_SUCCEEDED(Expect<ULONG>(&V::GetUnsignedIntegerValue, 9ul)(copy.Get(), Key(2)));
}

// Each thread adds keys of its own and replaces one key that all share.
TEST_F(ValuesTest, ConcurrentWritersLoseNothing) {
    constexpr DWORD kThreads = 4, kKeysEach = 200;
    std::vector<std::thread> writers;
    for (DWORD first = 0; first < kThreads * kKeysEach; first += kKeysEach) {
        writers.emplace_back([&, first] {
            for (DWORD pid = first; pid < first + kKeysEach; ++pid) {
                EXPECT_HRESULT_SUCCEEDED(values->SetUnsignedIntegerValue(Key(pid), pid));
                EXPECT_HRESULT_SUCCEEDED(values->SetUnsignedIntegerValue(Key(0), pid));
            }
        });
    }
    for (std::thread &writer : writers) writer.join();
    DWORD count = 0;
    ASSERT_HRESULT_SUCCEEDED(values->GetCount(&count));
    EXPECT_EQ(count, kThreads * kKeysEach);
}

}  // namespace
