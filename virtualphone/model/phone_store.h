// Where a phone's content lives between calls, and the files of the data hosts send it. A phone a test
// builds keeps its content in memory; an installed phone keeps it in its data folder, shared with
// every process that opens it (snapshot_store.h).
#pragma once

#include "virtualphone/model/phone_content.h"
#include "win/unique_any.h"

#include <windows.h>

#include <memory>
#include <string>

namespace vphone {

// A new file for data a host sends: open for writing, shared with nobody (so that no cleaning up of
// another process can remove it meanwhile), named so that no process ever makes the same name.
struct DataFile {
    std::wstring path;
    win::UniqueFileHandle handle;
};

// Every member is called under the phone's lock.
class PhoneStore {
public:
    virtual ~PhoneStore() = default;
    // Brings content up to date: another process may have changed the phone. *reloaded tells whether
    // content was replaced.
    virtual HRESULT Refresh(PhoneContent &content, bool *reloaded) = 0;
    // A change: Begin refreshes content and keeps other processes from changing the phone until End,
    // which keeps content when changed is true. After a failed End the store's content is what it was
    // before Begin, and the next Refresh brings it back.
    virtual HRESULT Begin(PhoneContent &content, bool *reloaded) = 0;
    virtual HRESULT End(const PhoneContent &content, bool changed) = 0;
    virtual HRESULT NewDataFile(DataFile *file) = 0;
};

// Content in memory; data files in a folder of the user's temp folder, which goes with the store.
std::unique_ptr<PhoneStore> MemoryStore();

// A new data file in folder (made when missing; its parent must exist).
HRESULT CreateDataFile(const std::wstring &folder, DataFile *file);

}  // namespace vphone
