// fieldrec.dll, the record library that listings are assembled in, loaded at run time from the folder
// of the module that holds this code, so that orvik.dll imports nothing but Windows system DLLs. A
// record library needs FieldrecAddField only; FieldrecFree is used when it has one.
#pragma once

#include <windows.h>

#include "fieldrec.h"
#include "win/unique_any.h"

class RecordLibrary {
public:
    RecordLibrary() = default;
    RecordLibrary(const RecordLibrary &) = delete;
    RecordLibrary &operator=(const RecordLibrary &) = delete;

    HRESULT Load();
    // Valid after a successful Load, while this object lives; the text they build outlives it. A field
    // was added when the text grew: what FieldrecAddField returns is not relied on.
    bool AddField(char **text, unsigned long *length, const char *name, const char *value) const;
    // Releases a text; false, with nothing done, for a record library without FieldrecFree.
    bool Free(char *text) const;

private:
    struct ModuleTraits {
        using Type = HMODULE;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type module) noexcept { FreeLibrary(module); }
    };

    win::UniqueAny<ModuleTraits> module_;
    FieldrecAddFieldProc addField_ = nullptr;
    FieldrecFreeProc free_ = nullptr;
};
