// at, syncml, install: the phone's vendor channels.
#include <windows.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <memory>
#include <mutex>

#include "commands.h"
#include "phone_session.h"
#include "progress.h"
#include "text.h"
#include "win/unique_any.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr unsigned long kDefaultSession = 1;
constexpr unsigned long kDefaultAtWaitMs = 3000;
constexpr unsigned long kDefaultSyncMlWaitMs = 10000;
constexpr DWORD kAtPollMs = 50;

unsigned long NumberOption(const Context &context, const wchar_t *name, unsigned long fallback) {
    const auto value = context.arguments.Value(name);
    return value ? std::wcstoul(value->c_str(), nullptr, 0) : fallback;
}

// ---------------------------------------------------------------------------------------------------
// AT

// Prints what the phone has sent since the last read; false when the read failed.
bool ShowAtReply(Context &context, void *handle, std::string *received) {
    const char *text = nullptr;
    if (Outcome(context, "at read", context.orvik.WPD_ATRead(handle, &text, 0)) != kExitOk) return false;
    if (text && *text) {
        const std::string utf8 = ToUtf8(FromAnsi(text));
        context.out.Write(utf8);
        *received += utf8;
    }
    return true;
}

bool FinalResult(const std::string &reply) {
    return reply.find("OK\r") != std::string::npos || reply.find("ERROR") != std::string::npos;
}

// Sends one command line and shows the reply as it arrives, until a final result or the wait ends.
int AtExchange(Context &context, void *handle, const std::wstring &command, unsigned long waitMs) {
    const std::string line = ToAnsi(command) + "\r";
    const int status = Outcome(context, "at write", context.orvik.WPD_ATWrite(handle, line.c_str(), 0));
    if (status != kExitOk) return status;
    std::string reply;
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    while (!FinalResult(reply) && GetTickCount64() < deadline) {
        Sleep(kAtPollMs);
        if (!ShowAtReply(context, handle, &reply)) return kExitFailed;
    }
    if (reply.empty()) {
        context.out.PrintError("orvik-cli: at %s: no reply within %lu ms\n", ToUtf8(command).c_str(), waitMs);
        return kExitFailed;
    }
    if (reply.back() != '\n') context.out.Write("\n");
    return kExitOk;
}

// Lines typed at the console, read on a thread of their own so that replies keep arriving.
struct ConsoleLines {
    std::mutex lock;
    std::deque<std::string> lines;
    bool ended = false;
    win::UniqueHandle ready{CreateEventW(nullptr, FALSE, FALSE, nullptr)};

    static DWORD WINAPI Read(void *parameter) noexcept {
        const std::shared_ptr<ConsoleLines> self(*static_cast<std::shared_ptr<ConsoleLines> *>(parameter));
        delete static_cast<std::shared_ptr<ConsoleLines> *>(parameter);
        char buffer[1024];
        bool more = true;
        while (more) {
            more = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
            {
                const std::lock_guard<std::mutex> guard(self->lock);
                if (more) {
                    std::string line = buffer;
                    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
                    self->lines.push_back(line);
                } else {
                    self->ended = true;
                }
            }
            SetEvent(self->ready.get());
        }
        return 0;
    }
};

// The interactive console: commands typed, replies shown as they arrive by polling WPD_ATRead.
int AtConsole(Context &context, void *handle) {
    auto input = std::make_shared<ConsoleLines>();
    auto *parameter = new std::shared_ptr<ConsoleLines>(input);
    const win::UniqueHandle reader(CreateThread(nullptr, 0, ConsoleLines::Read, parameter, 0, nullptr));
    if (!reader) {
        delete parameter;
        context.out.PrintError("orvik-cli: at: cannot read the console\n");
        return kExitFailed;
    }
    context.out.Print("AT console: type commands; an empty input (Ctrl+Z or Ctrl+D) or 'exit' ends.\n");
    std::string reply;
    for (;;) {
        WaitForSingleObject(input->ready.get(), kAtPollMs);
        std::deque<std::string> typed;
        bool ended;
        {
            const std::lock_guard<std::mutex> guard(input->lock);
            typed.swap(input->lines);
            ended = input->ended;
        }
        for (const std::string &line : typed) {
            if (line == "exit" || line == "quit") return kExitOk;
            if (line.empty()) continue;
            const std::string command = ToAnsi(FromUtf8(line)) + "\r";
            if (Outcome(context, "at write", context.orvik.WPD_ATWrite(handle, command.c_str(), 0)) != kExitOk) {
                return kExitFailed;
            }
        }
        if (!ShowAtReply(context, handle, &reply)) return kExitFailed;
        if (ended) return kExitOk;
    }
}

int At(Context &context) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const unsigned long session = NumberOption(context, L"--session", kDefaultSession);
    int status = Outcome(context, "at open", context.orvik.WPD_ATOpenSession(phone.handle(), session, 0));
    if (status != kExitOk) return status;
    if (context.operands.empty()) {
        status = AtConsole(context, phone.handle());
    } else {
        const unsigned long waitMs = NumberOption(context, L"--timeout", kDefaultAtWaitMs);
        for (const std::wstring &command : context.operands) {
            status = AtExchange(context, phone.handle(), command, waitMs);
            if (status != kExitOk) break;
        }
    }
    const int closed = Outcome(context, "at close", context.orvik.WPD_ATCloseSession(phone.handle()));
    return status != kExitOk ? status : closed;
}

// ---------------------------------------------------------------------------------------------------
// SyncML

// Opens the session, runs one exchange on the stream, closes the session.
template <class Exchange>
int SyncMlSession(Context &context, Exchange exchange) {
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const auto service = static_cast<WPD_SYNCML_SERVICE>(NumberOption(context, L"--service", 0));
    const unsigned long session = NumberOption(context, L"--session", kDefaultSession);
    int status = Outcome(context, "syncml open",
                         context.orvik.WPD_SyncMLOpenSession(phone.handle(), service, session, 0));
    if (status != kExitOk) return status;
    status = exchange(phone.handle(), NumberOption(context, L"--timeout", kDefaultSyncMlWaitMs));
    const int closed = Outcome(context, "syncml close", context.orvik.WPD_SyncMLCloseSession(phone.handle()));
    return status != kExitOk ? status : closed;
}

ComPtr<IStream> FileStream(Context &context, const std::wstring &file, DWORD mode) {
    ComPtr<IStream> stream;
    const HRESULT hr = SHCreateStreamOnFileEx(file.c_str(), mode, FILE_ATTRIBUTE_NORMAL, (mode & STGM_CREATE) != 0,
                                              nullptr, &stream);
    if (FAILED(hr)) {
        context.out.PrintError("orvik-cli: cannot open %s (hr = %08lx)\n", ToUtf8(file).c_str(),
                               static_cast<unsigned long>(hr));
        stream.Reset();
    }
    return stream;
}

// Receives the phone's package into file, within the session that is open.
int ReceivePackage(Context &context, void *handle, const std::wstring &file, unsigned long timeoutMs) {
    const ComPtr<IStream> stream = FileStream(context, file, STGM_CREATE | STGM_WRITE | STGM_SHARE_DENY_WRITE);
    if (!stream) return kExitFailed;
    WPD_SYNCML_MIME mime = WPD_SYNCML_MIME_UNKNOWN;
    unsigned __int64 size = 0;
    const int status =
        Outcome(context, "syncml get", context.orvik.WPD_SyncMLGet(handle, &mime, stream.Get(), &size, timeoutMs, 0));
    if (status == kExitOk) {
        context.out.Print("syncml get: %llu bytes of type %d received into %s\n", size, static_cast<int>(mime),
                          ToUtf8(file).c_str());
    }
    return status;
}

int SyncMlPut(Context &context) {
    const ComPtr<IStream> stream = FileStream(context, context.operands[0], STGM_READ | STGM_SHARE_DENY_WRITE);
    STATSTG stat = {};
    if (!stream || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return kExitFailed;
    const auto mime = static_cast<WPD_SYNCML_MIME>(NumberOption(context, L"--type", WPD_SYNCML_MIME_XML));
    return SyncMlSession(context, [&](void *handle, unsigned long timeoutMs) {
        const int status = Outcome(context, "syncml put",
                                   context.orvik.WPD_SyncMLPut(handle, mime, stream.Get(), stat.cbSize.QuadPart,
                                                               timeoutMs, 0));
        if (status != kExitOk) return status;
        context.out.Print("syncml put: %llu bytes of type %d sent\n", stat.cbSize.QuadPart, static_cast<int>(mime));
        // The phone's answer belongs to the same session.
        const std::optional<std::wstring> reply = context.arguments.Value(L"--reply");
        return reply ? ReceivePackage(context, handle, *reply, timeoutMs) : status;
    });
}

int SyncMlGet(Context &context) {
    return SyncMlSession(context, [&](void *handle, unsigned long timeoutMs) {
        return ReceivePackage(context, handle, context.operands[0], timeoutMs);
    });
}

// ---------------------------------------------------------------------------------------------------
// install

// "a\0b\0": the strings one after another, each with its NUL.
std::wstring PathList(std::span<const std::wstring> paths) {
    std::wstring list;
    for (const std::wstring &path : paths) list.append(path).push_back(L'\0');
    return list;
}

int Install(Context &context) {
    const std::vector<std::wstring> &remotes = context.arguments.targets;
    if (remotes.size() != context.operands.size()) {
        context.out.PrintError("orvik-cli: install: %zu local files but %zu device paths after --to\n",
                               context.operands.size(), remotes.size());
        return kExitUsage;
    }
    PhoneSession phone(context);
    if (phone.status() != kExitOk) return phone.status();
    const std::wstring locals = PathList(context.operands);
    const std::wstring targets = PathList(remotes);
    WPD_ERROR result;
    {
        TransferMonitor monitor(context.orvik, phone.handle(), context.out, context.arguments.bytes);
        result = context.orvik.WPD_InstallApp(phone.handle(), locals.c_str(), targets.c_str(),
                                              static_cast<unsigned long>(remotes.size()), 0);
    }
    const int status = Outcome(context, "install", result);
    if (status == kExitOk) context.out.Print("install: %zu file(s) installed\n", remotes.size());
    return status;
}

constexpr Command kCommands[] = {
    {L"at", "at [COMMAND...] [--session N] [--timeout MS]", "send AT commands and show the replies",
     "  Each COMMAND is sent with a CR; its reply shows until OK or ERROR or --timeout (3000 ms).\n"
     "  Without a COMMAND: an interactive console whose replies show as they arrive.\n",
     L"--session --timeout", 0, SIZE_MAX, At},
    {L"syncml put", "syncml put FILE [--reply FILE] [--type N] [--service N] [--session N] [--timeout MS]",
     "send FILE as one SyncML package",
     "  --type: 0 unknown, 1 XML (default), 2 WBXML, 3 DevInf XML, 4 DevInf WBXML; --service: 0 data\n"
     "  synchronisation (default), 1 device management; --timeout: wait for the phone (10000 ms);\n"
     "  --reply: then receive the phone's answer into FILE in the same session.\n",
     L"--reply --type --service --session --timeout", 1, 1, SyncMlPut},
    {L"syncml get", "syncml get FILE [--service N] [--session N] [--timeout MS]",
     "receive the phone's SyncML package into FILE", "", L"--service --session --timeout", 1, 1, SyncMlGet},
    {L"install", "install LOCAL... --to REMOTE...", "copy files to the phone and install them as one application",
     "  The n-th LOCAL is copied to the n-th device path after --to (replacing what is there).\n", L"", 1, SIZE_MAX,
     Install},
};

}  // namespace

std::span<const Command> VendorCommands() { return kCommands; }
