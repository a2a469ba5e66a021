#include "virtualphone/description/description_parser.h"

#include "virtualphone/description/control_keywords.h"
#include "virtualphone/description/description_values.h"
#include "win/unique_any.h"

#include <cfgmgr32.h>
#include <shlwapi.h>

#include <array>
#include <limits>
#include <map>
#include <new>

namespace vphone::description {
namespace {

constexpr std::wstring_view kBlanks = L" \t";
constexpr std::size_t kNoObject = std::numeric_limits<std::size_t>::max();

struct Failure {
    int line;
    std::wstring message;
};

[[noreturn]] void Fail(int line, std::wstring message) { throw Failure{line, std::move(message)}; }

std::wstring Quoted(std::wstring_view text) { return L"'" + std::wstring(text) + L"'"; }

std::wstring_view TrimRight(std::wstring_view text) {
    const std::size_t last = text.find_last_not_of(kBlanks);
    return last == std::wstring_view::npos ? std::wstring_view() : text.substr(0, last + 1);
}

std::wstring_view Trim(std::wstring_view text) {
    text = TrimRight(text);
    return text.substr(std::min(text.find_first_not_of(kBlanks), text.size()));
}

std::wstring SystemMessage(DWORD error) {
    wchar_t *buffer = nullptr;
    const DWORD chars = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text(buffer, chars);
    text.erase(text.find_last_not_of(L" \t\r\n") + 1);
    LocalFree(buffer);
    return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L", " + text);
}

// What a line stands in: decides which keywords it may hold.
enum class Context { Phone, Storage, Folder, File, Playlist, Leaf };

struct Line {
    int number;
    std::size_t indent;
    std::wstring keyword;
    std::wstring argument;
};

struct Frame {
    std::size_t indent;
    Context context;
    std::size_t object;  // index into the objects, kNoObject for the phone
    std::optional<std::size_t> childIndent;
    std::map<std::wstring, std::pair<std::wstring, int>> given;  // slot -> keyword and line
};

struct PendingMember {
    std::size_t playlist;
    std::wstring path;
    int line;
};

class Parser;
using Handler = void (Parser::*)(const Line &, Frame &);

enum ContextBit : unsigned {
    kPhone = 1u << static_cast<unsigned>(Context::Phone),
    kStorage = 1u << static_cast<unsigned>(Context::Storage),
    kFolder = 1u << static_cast<unsigned>(Context::Folder),
    kFile = 1u << static_cast<unsigned>(Context::File),
    kPlaylist = 1u << static_cast<unsigned>(Context::Playlist),
};

enum class Argument { None, Required };

struct Keyword {
    std::wstring_view name;
    unsigned contexts;
    Argument argument;
    // Keywords that fill the same slot of one object may appear once between them; empty: repeatable.
    std::wstring_view slot;
    Handler handler;
};

class Parser {
public:
    explicit Parser(std::wstring baseFolder) : baseFolder_(std::move(baseFolder)) {}

    PhoneDescription Parse(std::wstring_view text) {
        stack_.push_back(Frame{0, Context::Phone, kNoObject, 0, {}});
        int number = 0;
        for (std::size_t start = 0; start <= text.size(); ++number) {
            std::size_t end = text.find(L'\n', start);
            if (end == std::wstring_view::npos) end = text.size();
            std::wstring_view raw = text.substr(start, end - start);
            if (raw.ends_with(L'\r')) raw.remove_suffix(1);
            start = end + 1;
            ParseLine(number + 1, raw);
        }
        Finish();
        return std::move(description_);
    }

    void Manufacturer(const Line &line, Frame &) { description_.identity.manufacturer = line.argument; }
    void Model(const Line &line, Frame &) { description_.identity.model = line.argument; }
    void Serial(const Line &line, Frame &) { description_.identity.serialNumber = line.argument; }
    void FriendlyName(const Line &line, Frame &) { description_.identity.friendlyName = line.argument; }
    void InstanceId(const Line &line, Frame &) {
        instanceIdLine_ = line.number;
        description_.identity.instanceId = line.argument;
    }
    void HardwareId(const Line &line, Frame &) { description_.identity.hardwareIds.push_back(line.argument); }
    void DefaultDate(const Line &line, Frame &) { description_.defaultDate = Date(line); }
    void Profile(const Line &line, Frame &) {
        const auto profile = ProfileNamed(line.argument);
        if (!profile) Fail(line.number, L"unknown profile " + Quoted(line.argument) + L": expected default or android");
        description_.profile = *profile;
    }
    void NoBulkProperties(const Line &, Frame &) { noBulkProperties_ = true; }
    void Control(const Line &line, Frame &) {
        std::wstring message;
        if (!ApplyControl(line.keyword, line.argument, description_.controls, &message)) Fail(line.number, message);
    }

    void Storage(const Line &line, Frame &parent) { AddObject(line, parent, ObjectType::Storage, Context::Storage); }
    void Folder(const Line &line, Frame &parent) { AddObject(line, parent, ObjectType::Folder, Context::Folder); }
    void File(const Line &line, Frame &parent) { AddObject(line, parent, ObjectType::File, Context::File); }
    void Playlist(const Line &line, Frame &parent) { AddObject(line, parent, ObjectType::Playlist, Context::Playlist); }

    void Capacity(const Line &line, Frame &frame) {
        const auto size = ParseSize(line.argument);
        if (!size) Fail(line.number, L"bad size " + Quoted(line.argument) + SizeHint());
        Object(frame).capacity = *size;
    }
    void HostFolder(const Line &line, Frame &frame) {
        const std::wstring path = LocalPath(line);
        const DWORD chars = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        std::wstring full(chars, L'\0');
        full.resize(chars ? GetFullPathNameW(path.c_str(), chars, full.data(), nullptr) : 0);
        const DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            Fail(line.number, L"cannot open host folder " + Quoted(line.argument) + L" (" + SystemMessage(GetLastError()) + L")");
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) Fail(line.number, L"host folder " + Quoted(line.argument) + L" is a file");
        while (!full.empty() && full.back() == L'\\') full.pop_back();  // paths below it add their own
        Object(frame).hostFolder = full;
    }
    void Data(const Line &line, Frame &frame) {
        DataOrigin &data = Object(frame).data;
        data.kind = DataOrigin::Kind::LocalFile;
        data.file = ReadableFile(line);
    }
    void Generate(const Line &line, Frame &frame) {
        // "<size>" or "<size> seed <0..255>"
        std::wstring_view sizeText = line.argument;
        std::uint8_t seed = 0;
        const std::size_t seedAt = sizeText.rfind(L" seed ");
        if (seedAt != std::wstring_view::npos) {
            const std::wstring_view seedText = Trim(sizeText.substr(seedAt + 6));
            const auto value = ParseNumber(seedText, 255);
            if (!value) Fail(line.number, L"bad seed " + Quoted(seedText) + L": expected a number from 0 to 255");
            seed = static_cast<std::uint8_t>(*value);
            sizeText = TrimRight(sizeText.substr(0, seedAt));
        }
        const auto size = ParseSize(sizeText);
        if (!size) Fail(line.number, L"bad size " + Quoted(sizeText) + SizeHint());
        Object(frame).data = DataOrigin{DataOrigin::Kind::Pattern, {}, *size, seed};
    }
    void Thumbnail(const Line &line, Frame &frame) { Object(frame).thumbnailFile = ReadableFile(line); }
    void Item(const Line &line, Frame &frame) {
        DescribedObject &playlist = Object(frame);
        if (!playlist.members) playlist.members.emplace();
        const std::wstring path = line.argument.starts_with(L'\\')
                                      ? line.argument
                                      : playlist.path.substr(0, playlist.path.rfind(L'\\') + 1) + line.argument;
        playlist.members->push_back(path);
        pendingMembers_.push_back(PendingMember{frame.object, path, line.number});
    }
    void Hidden(const Line &, Frame &frame) { Object(frame).attributes.hidden = true; }
    void Protected(const Line &, Frame &frame) { Object(frame).attributes.canDelete = false; }
    void Modified(const Line &line, Frame &frame) { Object(frame).attributes.dateModified = Date(line); }
    void Title(const Line &line, Frame &frame) { Object(frame).attributes.name = line.argument; }
    void Format(const Line &line, Frame &frame) {
        const auto format = ParseFormat(line.argument);
        if (!format) {
            Fail(line.number, L"bad format " + Quoted(line.argument) + L": expected an MTP format code such as "
                              L"0x3009, or a GUID in braces");
        }
        Object(frame).attributes.format = *format;
    }
    void ContentType(const Line &line, Frame &frame) {
        const auto type = ParseContentType(line.argument);
        if (!type) {
            Fail(line.number, L"bad content type " + Quoted(line.argument) +
                                  L": expected folder, audio, image, video, playlist, unspecified or a GUID in braces");
        }
        Object(frame).attributes.contentType = *type;
    }

private:
    static constexpr unsigned kObjects = kFolder | kFile | kPlaylist;
    static constexpr unsigned kContainers = kStorage | kFolder;
    static constexpr std::array<Keyword, 32> kKeywords = {{
        {L"manufacturer", kPhone, Argument::Required, L"manufacturer", &Parser::Manufacturer},
        {L"model", kPhone, Argument::Required, L"model", &Parser::Model},
        {L"serial", kPhone, Argument::Required, L"serial", &Parser::Serial},
        {L"friendly-name", kPhone, Argument::Required, L"friendly-name", &Parser::FriendlyName},
        {L"instance-id", kPhone, Argument::Required, L"instance-id", &Parser::InstanceId},
        {L"hardware-id", kPhone, Argument::Required, L"", &Parser::HardwareId},
        {L"modified", kPhone, Argument::Required, L"modified", &Parser::DefaultDate},
        {L"profile", kPhone, Argument::Required, L"profile", &Parser::Profile},
        {L"no-bulk-properties", kPhone, Argument::None, L"no-bulk-properties", &Parser::NoBulkProperties},
        {L"storage", kPhone, Argument::Required, L"", &Parser::Storage},
        {L"link", kPhone, Argument::Required, L"link", &Parser::Control},
        {L"unplugged", kPhone, Argument::None, L"unplugged", &Parser::Control},
        {L"refuse-full-access", kPhone, Argument::None, L"refuse-full-access", &Parser::Control},
        {L"transfer-size", kPhone, Argument::Required, L"transfer-size", &Parser::Control},
        {L"fail", kPhone, Argument::Required, L"", &Parser::Control},
        {L"unreadable", kPhone, Argument::Required, L"", &Parser::Control},
        {L"record", kPhone, Argument::Required, L"record", &Parser::Control},
        {L"capacity", kStorage, Argument::Required, L"capacity", &Parser::Capacity},
        {L"host-folder", kStorage, Argument::Required, L"host-folder", &Parser::HostFolder},
        {L"folder", kContainers, Argument::Required, L"", &Parser::Folder},
        {L"file", kContainers, Argument::Required, L"", &Parser::File},
        {L"playlist", kContainers, Argument::Required, L"", &Parser::Playlist},
        {L"data", kFile | kPlaylist, Argument::Required, L"data", &Parser::Data},
        {L"generate", kFile | kPlaylist, Argument::Required, L"data", &Parser::Generate},
        {L"thumbnail", kFile, Argument::Required, L"thumbnail", &Parser::Thumbnail},
        {L"item", kPlaylist, Argument::Required, L"", &Parser::Item},
        {L"hidden", kObjects, Argument::None, L"hidden", &Parser::Hidden},
        {L"protected", kObjects, Argument::None, L"protected", &Parser::Protected},
        {L"modified", kObjects, Argument::Required, L"modified", &Parser::Modified},
        {L"title", kObjects, Argument::Required, L"title", &Parser::Title},
        {L"format", kFile | kPlaylist, Argument::Required, L"format", &Parser::Format},
        {L"content-type", kFile | kPlaylist, Argument::Required, L"content-type", &Parser::ContentType},
    }};

    static const wchar_t *ContextName(Context context) {
        static constexpr const wchar_t *kNames[] = {L"the phone", L"a storage", L"a folder", L"a file", L"a playlist",
                                                    L"a value line"};
        return kNames[static_cast<int>(context)];
    }
    static std::wstring SizeHint() { return L": expected a number of bytes, optionally followed by B, KiB, MiB, GiB or TiB"; }

    DescribedObject &Object(const Frame &frame) { return description_.objects[frame.object]; }

    double Date(const Line &line) {
        const auto date = ParseDate(line.argument);
        if (!date) Fail(line.number, L"bad date " + Quoted(line.argument) + L": expected YYYY-MM-DD [HH:MM[:SS]]");
        return *date;
    }

    // A path of this computer, relative to the description's folder unless absolute.
    std::wstring LocalPath(const Line &line) const {
        std::wstring path = line.argument;
        for (wchar_t &c : path) {
            if (c == L'/') c = L'\\';
        }
        return PathIsRelativeW(path.c_str()) ? baseFolder_ + L"\\" + path : path;
    }

    std::wstring ReadableFile(const Line &line) {
        const std::wstring path = LocalPath(line);
        const win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) Fail(line.number, L"cannot read data file " + Quoted(line.argument) + L" (" + SystemMessage(GetLastError()) + L")");
        return path;
    }

    void ParseLine(int number, std::wstring_view raw) {
        if (raw.find_first_not_of(kBlanks) == std::wstring_view::npos) return;
        const std::size_t indent = raw.find_first_not_of(L' ');
        if (raw[indent] == L'\t') Fail(number, L"tab in indentation: indent with spaces");
        if (raw[indent] == L'#') return;
        const std::wstring_view content = TrimRight(raw.substr(indent));
        const std::size_t keywordEnd = std::min(content.find_first_of(kBlanks), content.size());
        Line line{number, indent, std::wstring(content.substr(0, keywordEnd)), {}};
        std::wstring_view argument = Trim(content.substr(keywordEnd));
        if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"') {
            argument = argument.substr(1, argument.size() - 2);
        }
        line.argument = argument;

        while (stack_.size() > 1 && indent <= stack_.back().indent) stack_.pop_back();
        Frame &parent = stack_.back();
        if (parent.context == Context::Leaf) Fail(number, L"unexpected indentation below a value line");
        if (!parent.childIndent) parent.childIndent = indent;
        if (indent != *parent.childIndent) Fail(number, L"indentation does not match the lines above");

        const Keyword &keyword = Find(line, parent.context);
        if (keyword.argument == Argument::None && !line.argument.empty()) {
            Fail(number, Quoted(line.keyword) + L" takes no value");
        }
        if (keyword.argument == Argument::Required && line.argument.empty()) {
            Fail(number, Quoted(line.keyword) + L" needs a value");
        }
        if (!keyword.slot.empty()) {
            const auto [given, inserted] =
                parent.given.try_emplace(std::wstring(keyword.slot), line.keyword, number);
            if (!inserted) {
                const auto &[firstKeyword, firstLine] = given->second;
                Fail(number, firstKeyword == line.keyword
                                 ? Quoted(line.keyword) + L" given twice (first at line " + std::to_wstring(firstLine) + L")"
                                 : Quoted(line.keyword) + L" conflicts with " + Quoted(firstKeyword) + L" at line " +
                                       std::to_wstring(firstLine));
            }
        }
        const std::size_t depth = stack_.size();
        (this->*keyword.handler)(line, parent);
        // Object lines push their own frame; every other line is a leaf.
        if (stack_.size() == depth) stack_.push_back(Frame{indent, Context::Leaf, kNoObject, std::nullopt, {}});
    }

    const Keyword &Find(const Line &line, Context context) {
        const unsigned bit = 1u << static_cast<unsigned>(context);
        const Keyword *named = nullptr;
        for (const Keyword &keyword : kKeywords) {
            if (keyword.name != line.keyword) continue;
            if (keyword.contexts & bit) return keyword;
            if (!named) named = &keyword;
        }
        if (!named) Fail(line.number, L"unknown keyword " + Quoted(line.keyword));
        Fail(line.number, Quoted(line.keyword) + L" does not belong in " + ContextName(context));
    }

    void AddObject(const Line &line, Frame &parent, ObjectType type, Context context) {
        if (line.argument.find(L'\\') != std::wstring::npos) {
            Fail(line.number, L"name " + Quoted(line.argument) + L" holds a backslash");
        }
        const std::wstring parentPath = parent.object == kNoObject ? L"" : Object(parent).path;
        DescribedObject object;
        object.type = type;
        object.path = parentPath + L"\\" + line.argument;
        object.line = line.number;
        const auto [existing, inserted] = lines_.try_emplace(object.path, line.number);
        if (!inserted) {
            Fail(line.number, L"duplicate name " + Quoted(line.argument) + L" (first at line " +
                                  std::to_wstring(existing->second) + L")");
        }
        description_.objects.push_back(std::move(object));
        stack_.push_back(Frame{line.indent, context, description_.objects.size() - 1, std::nullopt, {}});
    }

    void Finish() {
        if (noBulkProperties_) description_.profile.bulkProperties = false;  // whichever line came first
        const PhoneIdentity &identity = description_.identity;
        if (identity.instanceId.empty()) Fail(0, L"missing 'instance-id'");
        if (identity.hardwareIds.empty()) Fail(0, L"missing 'hardware-id'");
        if (identity.instanceId.size() >= MAX_DEVICE_ID_LEN) Fail(instanceIdLine_, L"instance id longer than 199 characters");
        bool anyStorage = false;
        for (const DescribedObject &object : description_.objects) {
            if (object.type != ObjectType::Storage) continue;
            anyStorage = true;
            if (object.capacity == 0) Fail(object.line, L"storage " + Quoted(object.path.substr(1)) + L" has no 'capacity'");
        }
        if (!anyStorage) Fail(0, L"missing 'storage': a phone needs at least one");
        for (const DescribedObject &object : description_.objects) {
            const DescribedObject *storage = ObjectAt(object.path.substr(0, object.path.find(L'\\', 1)));
            if (object.type != ObjectType::Storage && !storage->hostFolder.empty()) {
                Fail(object.line, L"storage " + Quoted(storage->path.substr(1)) +
                                      L" shows its host folder: it holds no folder, file or playlist lines");
            }
        }
        for (const PendingMember &member : pendingMembers_) {
            const auto declared = lines_.find(member.path);
            if (declared == lines_.end()) {
                Fail(member.line, L"playlist item " + Quoted(member.path) + L" is not an object of this phone");
            }
            const DescribedObject *target = ObjectAt(member.path);
            if (target->type == ObjectType::Storage || target->type == ObjectType::Folder) {
                Fail(member.line, L"playlist item " + Quoted(member.path) + L" is a storage or folder");
            }
        }
    }

    const DescribedObject *ObjectAt(const std::wstring &path) const {
        for (const DescribedObject &object : description_.objects) {
            if (object.path == path) return &object;
        }
        return nullptr;
    }

    std::wstring baseFolder_;
    PhoneDescription description_;
    std::vector<Frame> stack_;
    std::map<std::wstring, int> lines_;  // device path -> line that declares it
    std::vector<PendingMember> pendingMembers_;
    int instanceIdLine_ = 0;
    bool noBulkProperties_ = false;
};

std::optional<std::wstring> DecodeUtf8(std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
    if (chars <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), chars);
    return text;
}

// Decoded line by line, so that bad bytes are reported with their line.
std::wstring DecodeDescription(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::wstring text;
    int number = 1;
    for (std::size_t start = 0; start <= bytes.size(); ++number) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const auto line = DecodeUtf8(bytes.substr(start, end - start));
        if (!line) Fail(number, L"not UTF-8 text");
        text += *line;
        if (end < bytes.size()) text += L'\n';
        start = end + 1;
    }
    return text;
}

std::string ReadWholeFile(const std::wstring &path) {
    constexpr LONGLONG kLargest = 16 << 20;
    const win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(0, L"cannot read the description (" + SystemMessage(GetLastError()) + L")");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) Fail(0, L"cannot read the description (" + SystemMessage(GetLastError()) + L")");
    if (size.QuadPart > kLargest) Fail(0, L"description larger than 16 MiB");
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
        Fail(0, L"cannot read the description (" + SystemMessage(GetLastError()) + L")");
    }
    return bytes;
}

std::wstring FolderOf(const std::wstring &file) {
    std::wstring full(MAX_PATH, L'\0');
    wchar_t *name = nullptr;
    const DWORD chars = GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(), &name);
    if (chars == 0 || chars >= full.size() || !name) Fail(0, L"cannot resolve the description's folder");
    full.resize(static_cast<std::size_t>(name - full.data()));
    if (full.size() > 1 && full.back() == L'\\') full.pop_back();
    return full;
}

// Runs parse, turning every failure into *error.
template <class F>
std::optional<PhoneDescription> Guarded(const std::wstring &file, DescriptionError *error, F &&parse) noexcept {
    try {
        return parse();
    } catch (const Failure &failure) {
        if (error) *error = DescriptionError{file, failure.line, failure.message};
    } catch (const std::bad_alloc &) {
        if (error) *error = DescriptionError{file, 0, L"out of memory"};
    }
    return std::nullopt;
}

}  // namespace

std::wstring DescriptionError::Text() const {
    std::wstring text = file.empty() ? L"description" : file;
    if (line > 0) text += L":" + std::to_wstring(line);
    return text + L": " + message;
}

std::optional<PhoneDescription> ParseDescription(std::wstring_view text, const std::wstring &baseFolder,
                                                 DescriptionError *error) noexcept {
    return Guarded({}, error, [&] { return Parser(baseFolder).Parse(text); });
}

std::optional<PhoneDescription> LoadDescription(const std::wstring &file, DescriptionError *error) noexcept {
    return Guarded(file, error, [&] {
        const std::wstring text = DecodeDescription(ReadWholeFile(file));
        return Parser(FolderOf(file)).Parse(text);
    });
}

}  // namespace vphone::description
