// What virtualphone.dll reports to a test of a host that loads the phone through the registry: what
// its phones have handed out and not had back, and the apartment rule's violations. A test reads it
// with GetModuleHandle and GetProcAddress once the host has let the phone go, so that nothing of the
// test keeps the server or an apartment alive while the host runs.
#pragma once

#include <windows.h>

struct VirtualPhoneCounts {
    long liveObjects;          // COM objects of the phones and value objects
    long taskMemoryBlocks;     // handed out by the phones' methods and not freed; -1 when not counted
    long apartmentViolations;  // calls, AddRefs and Releases from outside an object's apartment
};

// The export's name and type.
inline constexpr char kVirtualPhoneCountsExport[] = "VirtualPhoneGetCounts";
using VirtualPhoneGetCountsFunction = HRESULT(STDAPICALLTYPE *)(VirtualPhoneCounts *counts);
