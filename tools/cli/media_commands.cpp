// ls, df, mkdir, rm, rmdir: folders and storages on the phone.
#include <memory>

#include "commands.h"
#include "listing.h"
#include "phone_session.h"
#include "text.h"

namespace {

const wchar_t *PathOperand(const Context &context) {
    return context.operands.empty() ? L"" : context.operands[0].c_str();
}

// The listing text of a folder; the library's block is released with FieldrecFree.
struct ListingText {
    explicit ListingText(OrvikLibrary &orvik) : orvik(orvik) {}
    ~ListingText() { orvik.FieldrecFree(text); }
    ListingText(const ListingText &) = delete;
    ListingText &operator=(const ListingText &) = delete;
    OrvikLibrary &orvik;
    char *text = nullptr;
};

int List(Context &context) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const wchar_t *path = PathOperand(context);
    ListingText listing(context.orvik);
    const int status = Outcome(context, "ls " + ToUtf8(path),
                               context.orvik.WPD_Media_GetFolderListing(phone.handle(), path, &listing.text, 0));
    if (status != kExitOk) return status;
    if (!listing.text) {
        if (!context.arguments.Has(L"--raw")) context.out.Print("(empty)\n");
        return kExitOk;
    }
    if (context.arguments.Has(L"--raw")) {
        context.out.Write(listing.text);
        return kExitOk;
    }
    context.out.Print("%-8s  %10s  %-19s  %-4s  %s\n", "kind", "size", "date", "attr", "name");
    for (const ListingEntry &entry : ParseListing(listing.text)) {
        const std::string size = entry.kind == "folder" ? "-" : SizeText(entry.size, context.arguments.bytes);
        const std::string attributes = std::string(entry.readOnly ? "r" : "-") + (entry.hidden ? "h" : "-");
        context.out.Print("%-8s  %10s  %-19s  %-4s  %s\n", entry.kind.c_str(), size.c_str(),
                          ListingDateText(entry.date).c_str(), attributes.c_str(), entry.name.c_str());
    }
    return kExitOk;
}

// The storages' names: the entries of the root listing.
bool StorageNames(Context &context, void *handle, std::vector<std::wstring> *names) {
    ListingText listing(context.orvik);
    if (Outcome(context, "ls", context.orvik.WPD_Media_GetFolderListing(handle, L"", &listing.text, 0)) != kExitOk) {
        return false;
    }
    if (listing.text) {
        for (const ListingEntry &entry : ParseListing(listing.text)) names->push_back(FromUtf8(entry.name));
    }
    return true;
}

int DiskFree(Context &context) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    std::vector<std::wstring> storages;
    if (!context.operands.empty()) {
        storages.push_back(context.operands[0]);
    } else if (!StorageNames(context, phone.handle(), &storages)) {
        return kExitFailed;
    }
    const bool exact = context.arguments.bytes;
    context.out.Print("%-16s  %12s  %12s  %12s  %4s\n", "storage", "size", "used", "free", "use");
    int status = kExitOk;
    for (const std::wstring &storage : storages) {
        unsigned __int64 total = 0, available = 0;
        const std::string name = ToUtf8(storage);
        int result = Outcome(context, "df " + name,
                             context.orvik.WPD_Media_GetTotalMemory(phone.handle(), storage.c_str(), &total, 0));
        if (result == kExitOk) {
            result = Outcome(context, "df " + name,
                             context.orvik.WPD_Media_GetAvailableMemory(phone.handle(), storage.c_str(), &available, 0));
        }
        if (result != kExitOk) {
            status = result;
            continue;
        }
        const unsigned __int64 used = total > available ? total - available : 0;
        const unsigned percent = total ? static_cast<unsigned>(used * 100 / total) : 0;
        context.out.Print("%-16s  %12s  %12s  %12s  %3u%%\n", name.c_str(), SizeText(total, exact).c_str(),
                          SizeText(used, exact).c_str(), SizeText(available, exact).c_str(), percent);
    }
    return status;
}

// mkdir, rm and rmdir: one call on one path.
template <auto Call>
int OnePath(Context &context, const char *verb) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const std::wstring &path = context.operands[0];
    const int status = Outcome(context, std::string(verb) + " " + ToUtf8(path),
                               (context.orvik.*Call)(phone.handle(), path.c_str(), MediaFlags(context)));
    if (status == kExitOk) context.out.Print("%s %s: done\n", verb, ToUtf8(path).c_str());
    return status;
}

int MakeFolder(Context &context) { return OnePath<&OrvikLibrary::WPD_Media_CreateFolder>(context, "mkdir"); }
int RemoveFile(Context &context) { return OnePath<&OrvikLibrary::WPD_Media_DeleteFile>(context, "rm"); }
int RemoveFolder(Context &context) { return OnePath<&OrvikLibrary::WPD_Media_DeleteFolder>(context, "rmdir"); }

constexpr Command kCommands[] = {
    {L"ls", "ls [PATH] [--raw]", "list a folder (default: the storages): kind, size, date, attributes, name",
     "  attr: r = cannot be deleted, h = hidden. --raw prints the listing records as the library returns them.\n",
     L"--raw", 0, 1, List},
    {L"df", "df [STORAGE]", "size, used and free bytes of a storage (default: every storage)", "", L"", 0, 1,
     DiskFree},
    {L"mkdir", "mkdir PATH [--guard]", "create a folder", "", L"--guard", 1, 1, MakeFolder},
    {L"rm", "rm PATH [--guard]", "delete a file or playlist", "", L"--guard", 1, 1, RemoveFile},
    {L"rmdir", "rmdir PATH [--guard]", "delete a folder", "", L"--guard", 1, 1, RemoveFolder},
};

}  // namespace

std::span<const Command> MediaCommands() { return kCommands; }
