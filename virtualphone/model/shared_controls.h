// The controls of an installed phone as every process sees them: a small record in a file of the
// phone's data folder, mapped into each process that serves the phone and into vphone-ctl. The file
// outlives every process, so a control turned while no host runs is there for the next one.
//
// A writer changes the record under the file's lock and moves its generation number on (odd while
// it writes). A serving process compares the number at its next call and reads the record again only
// when it moved: no file access per call. The call counts of injected faults live in the record, so
// that "the nth call" counts the calls of every process.
#pragma once

#include "virtualphone/model/control_settings.h"
#include "win/unique_any.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace vphone {

// What the record has room for.
inline constexpr std::size_t kMaxSharedFaults = 16;
inline constexpr std::size_t kMaxSharedUnreadable = 16;
inline constexpr std::size_t kMaxFaultMethodChars = 95;

struct ControlsRecord;

class SharedControls {
public:
    // The controls file of a phone's data folder.
    static std::wstring FileIn(const std::wstring &dataFolder);
    // Opens the file, making it (and its folder) with the initial settings when it is missing or
    // holds no controls record.
    [[nodiscard]] static HRESULT Open(const std::wstring &file, const ControlSettings &initial,
                                      std::unique_ptr<SharedControls> *controls) noexcept;
    ~SharedControls();
    SharedControls(const SharedControls &) = delete;
    SharedControls &operator=(const SharedControls &) = delete;

    long Generation() const noexcept;
    // The settings as of *generation, and the number of the phone's current connection (it moves on
    // with every unplug). False while a writer is changing them: try again at the next call.
    bool Read(ControlSettings *settings, unsigned *connection, long *generation) const;
    // Changes the settings under the file's lock, unless change answers false (S_FALSE then). Faults
    // that stay as they were keep their counts. E_INVALIDARG when the settings do not fit the record.
    [[nodiscard]] HRESULT Change(const std::function<bool(ControlSettings &)> &change) noexcept;
    // Counts a call of the method of fault slot index (in the order Read gives them); true when it is
    // the call that fails.
    bool CountCall(std::size_t index) noexcept;

private:
    SharedControls() = default;
    HRESULT Lock() const noexcept;
    void Unlock() const noexcept;
    HRESULT Store(const ControlSettings &settings) noexcept;

    win::UniqueFileHandle file_;
    win::UniqueHandle mapping_;
    win::UniqueMappedView view_;
    ControlsRecord *record_ = nullptr;
};

}  // namespace vphone
