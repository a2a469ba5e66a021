#include "orvik_library.h"

#include <cstring>

namespace {

struct ExportName {
    const char *plain;
    const char *decorated;
};
constexpr ExportName kExportNames[] = {
#include "export_names.inc"
};

const char *DecoratedName(const char *plain) {
    for (const auto &name : kExportNames) {
        if (std::strcmp(name.plain, plain) == 0) return name.decorated;
    }
    return plain;
}

std::wstring LibraryBesideThisProgram(const wchar_t *name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

}  // namespace

OrvikLibrary::OrvikLibrary() {
    module_ = LoadLibraryW(LibraryBesideThisProgram(L"orvik.dll").c_str());
    if (!module_) {
        error_ = "cannot load orvik.dll (error " + std::to_string(GetLastError()) + ")";
        return;
    }
#define ORVIK_BIND(name)                                                                              \
    name = reinterpret_cast<decltype(name)>(reinterpret_cast<void *>(GetProcAddress(module_, DecoratedName(#name)))); \
    if (!name && error_.empty()) error_ = std::string("orvik.dll lacks ") + DecoratedName(#name);
    ORVIK_EACH_EXPORT(ORVIK_BIND)
#undef ORVIK_BIND
    fieldrec_ = LoadLibraryW(LibraryBesideThisProgram(L"fieldrec.dll").c_str());
    if (fieldrec_) {
        FieldrecFree = reinterpret_cast<FieldrecFreeProc>(reinterpret_cast<void *>(GetProcAddress(fieldrec_, "FieldrecFree")));
    }
    if (!FieldrecFree && error_.empty()) error_ = "cannot load FieldrecFree from fieldrec.dll";
}

OrvikLibrary::~OrvikLibrary() {
    if (fieldrec_) FreeLibrary(fieldrec_);
    if (module_) FreeLibrary(module_);
}
