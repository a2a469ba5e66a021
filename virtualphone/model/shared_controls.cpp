#include "virtualphone/model/shared_controls.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>

namespace vphone {

// The file's layout: fixed, so that 32- and 64-bit processes share it. Counters are 32-bit and
// aligned, changed only through atomic operations.
struct FaultSlot {
    char method[kMaxFaultMethodChars + 1];
    DWORD nth;
    LONG hr;
    LONG calls;
};

struct UnreadableSlot {
    GUID fmtid;
    DWORD pid;
    LONG hr;
};

struct ControlsRecord {
    DWORD magic;
    DWORD size;
    LONG generation;  // odd while a writer changes the record
    LONG connection;  // moves on with every unplug
    DWORD unplugged;
    DWORD refuseFullAccess;
    DWORD readTransferSize;
    DWORD writeTransferSize;
    DWORD roundTripMicroseconds;
    DWORD recordLimit;
    ULONGLONG bytesPerSecond;
    DWORD faultCount;
    DWORD unreadableCount;
    FaultSlot faults[kMaxSharedFaults];
    UnreadableSlot unreadable[kMaxSharedUnreadable];
};

// 32- and 64-bit builds lay it out alike.
static_assert(offsetof(ControlsRecord, bytesPerSecond) == 40 && sizeof(ControlsRecord) == 2168);

namespace {

constexpr DWORD kMagic = 0x54435056;  // "VPCT"
// Writers serialise on a lock of one byte far beyond the record: locks do not reach mapped views,
// and a lock beyond the end of a file is allowed.
constexpr DWORD kLockOffsetHigh = 1;

std::atomic_ref<LONG> Atomic(LONG &value) noexcept { return std::atomic_ref<LONG>(value); }

bool SameFault(const FaultSlot &slot, const InjectedFault &fault) {
    return slot.method == fault.method && slot.nth == fault.nth && slot.hr == fault.hr;
}

ControlSettings SettingsOf(const ControlsRecord &record) {
    ControlSettings settings;
    settings.unplugged = record.unplugged != 0;
    settings.refuseFullAccess = record.refuseFullAccess != 0;
    settings.readTransferSize = record.readTransferSize;
    settings.writeTransferSize = record.writeTransferSize;
    settings.link = {record.roundTripMicroseconds, record.bytesPerSecond};
    settings.recordLimit = record.recordLimit;
    // A damaged file gives what fits, never more.
    for (DWORD i = 0; i < std::min<DWORD>(record.faultCount, kMaxSharedFaults); ++i) {
        const FaultSlot &slot = record.faults[i];
        settings.faults.push_back({std::string(slot.method, strnlen(slot.method, kMaxFaultMethodChars)), slot.nth, slot.hr});
    }
    for (DWORD i = 0; i < std::min<DWORD>(record.unreadableCount, kMaxSharedUnreadable); ++i) {
        const UnreadableSlot &slot = record.unreadable[i];
        settings.unreadable.push_back({{slot.fmtid, slot.pid}, slot.hr});
    }
    return settings;
}

bool Fits(const ControlSettings &settings) {
    if (settings.faults.size() > kMaxSharedFaults || settings.unreadable.size() > kMaxSharedUnreadable) return false;
    if (settings.recordLimit > kMaxRecordLimit) return false;
    return std::all_of(settings.faults.begin(), settings.faults.end(),
                       [](const InjectedFault &fault) { return fault.method.size() <= kMaxFaultMethodChars; });
}

}  // namespace

std::wstring SharedControls::FileIn(const std::wstring &dataFolder) { return dataFolder + L"\\controls.dat"; }

SharedControls::~SharedControls() = default;

HRESULT SharedControls::Open(const std::wstring &file, const ControlSettings &initial,
                             std::unique_ptr<SharedControls> *controls) noexcept {
    if (!controls) return E_POINTER;
    if (!Fits(initial)) return E_INVALIDARG;
    try {
        const std::wstring folder = file.substr(0, file.rfind(L'\\'));
        const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return HRESULT_FROM_WIN32(made);
        std::unique_ptr<SharedControls> shared(new SharedControls);
        shared->file_.reset(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!shared->file_) return HRESULT_FROM_WIN32(GetLastError());
        HRESULT hr = shared->Lock();
        if (FAILED(hr)) return hr;
        const win::ScopeExit unlock([opened = shared.get()] { opened->Unlock(); });
        // A new file is made long enough before it is mapped; mapping it extends nothing.
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(shared->file_.get(), &size)) return HRESULT_FROM_WIN32(GetLastError());
        if (size.QuadPart < static_cast<LONGLONG>(sizeof(ControlsRecord))) {
            LARGE_INTEGER end{};
            end.QuadPart = sizeof(ControlsRecord);
            if (!SetFilePointerEx(shared->file_.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(shared->file_.get())) {
                return HRESULT_FROM_WIN32(GetLastError());
            }
        }
        shared->mapping_.reset(
            CreateFileMappingW(shared->file_.get(), nullptr, PAGE_READWRITE, 0, sizeof(ControlsRecord), nullptr));
        if (!shared->mapping_) return HRESULT_FROM_WIN32(GetLastError());
        shared->view_.reset(MapViewOfFile(shared->mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(ControlsRecord)));
        if (!shared->view_) return HRESULT_FROM_WIN32(GetLastError());
        shared->record_ = static_cast<ControlsRecord *>(shared->view_.get());
        if (shared->record_->magic != kMagic || shared->record_->size != sizeof(ControlsRecord)) {
            std::memset(shared->record_, 0, sizeof(ControlsRecord));
            hr = shared->Store(initial);
            if (FAILED(hr)) return hr;
            shared->record_->size = sizeof(ControlsRecord);
            shared->record_->magic = kMagic;
        }
        *controls = std::move(shared);
        return S_OK;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT SharedControls::Lock() const noexcept {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void SharedControls::Unlock() const noexcept {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(file_.get(), 0, 1, 0, &at);
}

long SharedControls::Generation() const noexcept {
    return Atomic(record_->generation).load(std::memory_order_acquire);
}

bool SharedControls::Read(ControlSettings *settings, unsigned *connection, long *generation) const {
    const LONG before = Atomic(record_->generation).load(std::memory_order_acquire);
    if (before & 1) return false;
    ControlsRecord copy;
    std::memcpy(&copy, record_, sizeof copy);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (Atomic(record_->generation).load(std::memory_order_relaxed) != before) return false;
    *settings = SettingsOf(copy);
    *connection = static_cast<unsigned>(copy.connection);
    *generation = before;
    return true;
}

HRESULT SharedControls::Change(const std::function<bool(ControlSettings &)> &change) noexcept {
    try {
        HRESULT hr = Lock();
        if (FAILED(hr)) return hr;
        const win::ScopeExit unlock([&] { Unlock(); });
        ControlSettings settings = SettingsOf(*record_);
        if (!change(settings)) return S_FALSE;
        return Store(settings);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT SharedControls::Store(const ControlSettings &settings) noexcept {
    if (!Fits(settings)) return E_INVALIDARG;
    ControlsRecord &record = *record_;
    Atomic(record.generation).fetch_add(1, std::memory_order_acq_rel);
    if (settings.unplugged && !record.unplugged) Atomic(record.connection).fetch_add(1, std::memory_order_relaxed);
    record.unplugged = settings.unplugged;
    record.refuseFullAccess = settings.refuseFullAccess;
    record.readTransferSize = settings.readTransferSize;
    record.writeTransferSize = settings.writeTransferSize;
    record.roundTripMicroseconds = settings.link.roundTripMicroseconds;
    record.bytesPerSecond = settings.link.bytesPerSecond;
    record.recordLimit = static_cast<DWORD>(settings.recordLimit);
    for (std::size_t i = 0; i < settings.faults.size(); ++i) {
        FaultSlot &slot = record.faults[i];
        const InjectedFault &fault = settings.faults[i];
        if (i < record.faultCount && SameFault(slot, fault)) continue;
        std::memset(slot.method, 0, sizeof slot.method);
        std::memcpy(slot.method, fault.method.data(), fault.method.size());
        slot.nth = fault.nth;
        slot.hr = fault.hr;
        Atomic(slot.calls).store(0, std::memory_order_relaxed);
    }
    record.faultCount = static_cast<DWORD>(settings.faults.size());
    for (std::size_t i = 0; i < settings.unreadable.size(); ++i) {
        const UnreadableProperty &property = settings.unreadable[i];
        record.unreadable[i] = {property.key.fmtid, property.key.pid, property.hr};
    }
    record.unreadableCount = static_cast<DWORD>(settings.unreadable.size());
    Atomic(record.generation).fetch_add(1, std::memory_order_acq_rel);
    return S_OK;
}

bool SharedControls::CountCall(std::size_t index) noexcept {
    if (index >= kMaxSharedFaults) return false;
    FaultSlot &slot = record_->faults[index];
    const LONG call = Atomic(slot.calls).fetch_add(1, std::memory_order_relaxed) + 1;
    return slot.nth == 0 || static_cast<DWORD>(call) == slot.nth;
}

}  // namespace vphone
