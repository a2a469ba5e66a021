// Asking the running media player whether it synchronises the phone. The player's control is
// apartment-threaded: the check runs whole in a single-threaded apartment.
#pragma once

#include <windows.h>

#include <string>

// How the player may know the phone: by its device id, which is the device's serial number, or by
// its device name, the name the system shows (never by the friendly name the user may edit in the
// player). Either may be empty when the phone does not tell.
struct PlayerPhone {
    std::wstring serialNumber;
    std::wstring deviceName;
};

// From a single-threaded apartment: TRUE when a device of the player that is the phone, or that
// cannot be told apart from it, synchronises or estimates a synchronisation. Failures are logged and
// answer no.
BOOL PlayerSynchronizes(const PlayerPhone &phone);

// The same from any thread, in a single-threaded apartment of its own that lives for the check.
BOOL PlayerSynchronizesFromOwnApartment(const PlayerPhone &phone);
