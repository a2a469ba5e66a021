// Owners for the handles, task-memory blocks and property variants that the platform hands out.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <propidl.h>
#include <setupapi.h>

#include <utility>

namespace win {

// Owns one value of a handle-like type; Traits gives the invalid value and how to close.
template <class Traits>
class UniqueAny {
public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Type value) noexcept : value_(value) {}
    UniqueAny(UniqueAny &&other) noexcept : value_(other.release()) {}
    UniqueAny &operator=(UniqueAny &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny &) = delete;
    UniqueAny &operator=(const UniqueAny &) = delete;
    ~UniqueAny() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    void reset(Type value = Traits::Invalid()) noexcept {
        if (value_ != Traits::Invalid()) Traits::Close(value_);
        value_ = value;
    }
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // For out-parameters: the owner must be empty.
    Type *put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

struct HandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DestroyWindow(h); }
};
struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type key) noexcept { RegCloseKey(key); }
};
struct DeviceInfoSetTraits {
    using Type = HDEVINFO;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type set) noexcept { SetupDiDestroyDeviceInfoList(set); }
};
struct MappedViewTraits {
    using Type = void *;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type view) noexcept { UnmapViewOfFile(view); }
};
struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type memory) noexcept { GlobalFree(memory); }
};
template <class T>
struct CoTaskMemTraits {
    using Type = T *;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { CoTaskMemFree(p); }
};

using UniqueHandle = UniqueAny<HandleTraits>;          // events, mutexes, threads
using UniqueFileHandle = UniqueAny<FileHandleTraits>;  // CreateFile results
using UniqueWindow = UniqueAny<WindowTraits>;
using UniqueKey = UniqueAny<RegistryKeyTraits>;
using UniqueDeviceInfoSet = UniqueAny<DeviceInfoSetTraits>;  // SetupAPI device sets
using UniqueGlobalMemory = UniqueAny<GlobalMemoryTraits>;
using UniqueMappedView = UniqueAny<MappedViewTraits>;  // MapViewOfFile results
template <class T>
using UniqueCoTaskMem = UniqueAny<CoTaskMemTraits<T>>;
using UniqueCoTaskMemString = UniqueCoTaskMem<wchar_t>;

// A PROPVARIANT cleared when it goes.
class UniquePropVariant {
public:
    UniquePropVariant() noexcept { PropVariantInit(&value_); }
    UniquePropVariant(const UniquePropVariant &) = delete;
    UniquePropVariant &operator=(const UniquePropVariant &) = delete;
    // Moving hands the value over whole (a bitwise PROPVARIANT copy) and leaves the source VT_EMPTY.
    UniquePropVariant(UniquePropVariant &&other) noexcept : value_(other.value_) { PropVariantInit(&other.value_); }
    UniquePropVariant &operator=(UniquePropVariant &&other) noexcept {
        if (this != &other) {
            PropVariantClear(&value_);
            value_ = other.value_;
            PropVariantInit(&other.value_);
        }
        return *this;
    }
    ~UniquePropVariant() { PropVariantClear(&value_); }

    PROPVARIANT *get() noexcept { return &value_; }
    const PROPVARIANT &operator*() const noexcept { return value_; }
    const PROPVARIANT *operator->() const noexcept { return &value_; }
    // For out-parameters: clears what it held first.
    PROPVARIANT *put() noexcept {
        PropVariantClear(&value_);
        return &value_;
    }

private:
    PROPVARIANT value_;
};

// Runs a callable when the scope ends.
template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) noexcept : f_(std::move(f)) {}
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    ~ScopeExit() { f_(); }

private:
    F f_;
};

}  // namespace win
