// The player's synchronisation services, which mingw's wmp.h leaves out. Asked of the player control
// with QueryInterface; methods in the order of the platform's interface, after IUnknown's three.
#pragma once

#include <windows.h>
#include <wmp.h>

#ifndef __IWMPSyncServices_INTERFACE_DEFINED__
#define __IWMPSyncServices_INTERFACE_DEFINED__

MIDL_INTERFACE("8B5050FF-E0A4-4808-B3A8-893A9E1ED894")
IWMPSyncServices : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_deviceCount(long *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE getDevice(long index, IWMPSyncDevice **device) = 0;
};
__CRT_UUID_DECL(IWMPSyncServices, 0x8b5050ff, 0xe0a4, 0x4808, 0xb3, 0xa8, 0x89, 0x3a, 0x9e, 0x1e, 0xd8, 0x94)

#endif
