// orvik-cli: drives a phone through orvik.dll from a terminal, exactly as a host application would.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "cli.h"

int wmain(int argc, wchar_t **argv) {
    try {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        int status = 1;
        {
            ConsoleOutput out;
            status = RunCli(std::vector<std::wstring>(argv + 1, argv + argc), out);
        }
        if (SUCCEEDED(com)) CoUninitialize();
        return status;
    } catch (...) {
        std::fputs("orvik-cli: out of memory\n", stderr);
        return 1;
    }
}
