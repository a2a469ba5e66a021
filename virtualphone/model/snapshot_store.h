// A phone kept in its data folder, shared by every process that opens it: the content in a snapshot
// file that a change replaces whole, under a lock that all those processes share; the data hosts
// sent in files beside it. A counter in memory shared by those processes says when another process
// has changed the phone, so that a call reloads the snapshot only then.
//
//   DATA\phone.snapshot      the content (snapshot_format.h); absent: the phone as described
//   DATA\objects\{GUID}.bin  data hosts sent, one file per object or upload under way
#pragma once

#include "virtualphone/model/phone_store.h"

#include <windows.h>

#include <memory>
#include <string>

namespace vphone {

// initial is the phone as its description gives it: its content until a host changes it, and again
// after a reset. Opening removes data files that no object holds and no process is writing (left by
// processes that were killed).
HRESULT OpenSnapshotStore(const std::wstring &dataFolder, PhoneContent initial, std::unique_ptr<PhoneStore> *store);

// Puts the phone kept in dataFolder back to its description, for every process that has it open:
// removes the snapshot and the data files.
HRESULT ResetKeptPhone(const std::wstring &dataFolder);

}  // namespace vphone
