// get, thumb, put: copies between the computer and the phone, with a progress bar and Ctrl+C.
#include "commands.h"
#include "phone_session.h"
#include "progress.h"
#include "text.h"

namespace {

using TransferCall = WPD_ERROR(ORVIK_CALL *)(void *, wchar_t const *, wchar_t const *, unsigned long);

// Runs one copy; devicePath and localPath as the library takes them.
int Transfer(Context &context, TransferCall OrvikLibrary::*call, const char *verb, const std::wstring &devicePath,
             const std::wstring &localPath) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const std::string what = std::string(verb) + " " + ToUtf8(context.operands[0]) + " " + ToUtf8(context.operands[1]);
    WPD_ERROR result;
    bool cancelled;
    {
        TransferMonitor monitor(context.orvik, phone.handle(), context.out, context.arguments.bytes);
        result = (context.orvik.*call)(phone.handle(), devicePath.c_str(), localPath.c_str(), MediaFlags(context));
        cancelled = monitor.CancelRequested();
    }
    if (cancelled) {
        context.out.PrintError("orvik-cli: %s: cancelled\n", what.c_str());
        return kExitFailed;
    }
    const int status = Outcome(context, what, result);
    if (status == kExitOk) context.out.Print("%s: done\n", what.c_str());
    return status;
}

int Get(Context &context) {
    return Transfer(context, &OrvikLibrary::WPD_Media_GetFile, "get", context.operands[0], context.operands[1]);
}

int Thumbnail(Context &context) {
    return Transfer(context, &OrvikLibrary::WPD_Media_GetThumbnail, "thumb", context.operands[0], context.operands[1]);
}

int Put(Context &context) {
    return Transfer(context, &OrvikLibrary::WPD_Media_PutFile, "put", context.operands[1], context.operands[0]);
}

constexpr Command kCommands[] = {
    {L"get", "get REMOTE LOCAL [--guard]", "copy a file from the phone to this computer",
     "  A progress bar shows on a terminal; Ctrl+C cancels the copy.\n", L"--guard", 2, 2, Get},
    {L"thumb", "thumb REMOTE LOCAL [--guard]", "copy the thumbnail of a file on the phone to this computer", "",
     L"--guard", 2, 2, Thumbnail},
    {L"put", "put LOCAL REMOTE [--replace] [--guard]", "copy a file from this computer to the phone",
     "  REMOTE names the new file, folder path and file name. --replace replaces an existing file;\n"
     "  --guard refuses while the media player synchronises the phone. Ctrl+C cancels the copy.\n",
     L"--replace --guard", 2, 2, Put},
};

}  // namespace

std::span<const Command> TransferCommands() { return kCommands; }
