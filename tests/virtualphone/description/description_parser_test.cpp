// The description parser: what a good description declares, and a line-numbered error for every kind
// of mistake.
#include "device/wpd_api.h"
#include "virtualphone/description/control_keywords.h"
#include "virtualphone/description/description_parser.h"
#include "virtualphone/description/test_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

namespace vphone::description {
namespace {

// A folder of its own with two small data files, for descriptions that refer to local files.
class DescriptionParser : public testing::Test {
protected:
    void SetUp() override {
        folder_ = vphone_test::MakeScratchFolder(L"vphone-parser-");
        CreateDirectoryW((folder_ + L"\\media").c_str(), nullptr);
        Write(L"media\\tone.mp3", "ID3 tone");
        Write(L"thumb.png", "PNG");
    }
    void TearDown() override {
        for (const wchar_t *file : {L"media\\tone.mp3", L"thumb.png", L"phone.phone"}) DeleteFileW((folder_ + L"\\" + file).c_str());
        RemoveDirectoryW((folder_ + L"\\media").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    void Write(const std::wstring &name, const std::string &bytes) {
        std::ofstream((folder_ + L"\\" + name).c_str(), std::ios::binary) << bytes;
    }
    std::optional<PhoneDescription> Parse(std::wstring_view text) { return ParseDescription(text, folder_, &error_); }

    std::wstring folder_;
    DescriptionError error_;
};

constexpr wchar_t kIdentity[] =
    L"instance-id USB\\VID_0FCE&PID_0176\\T1\n"
    L"hardware-id USB\\VID_0FCE&PID_0176\n";

constexpr wchar_t kCard[] = L"storage Card\n  capacity 1 GiB\n";  // lines 3 and 4

const DescribedObject *At(const PhoneDescription &phone, std::wstring_view path) {
    for (const DescribedObject &object : phone.objects) {
        if (object.path == path) return &object;
    }
    return nullptr;
}

TEST_F(DescriptionParser, ReadsIdentityAndObjectTree) {
    const auto phone = Parse(
        L"# a comment, then a blank line\r\n"
        L"\r\n"
        L"manufacturer  Nordvik Telecom\r\n"
        L"model NV-7\r\n"
        L"serial S-1\r\n"
        L"friendly-name \"  Aurora  \"\r\n"
        L"instance-id USB\\VID_0FCE&PID_0176\\T1\r\n"
        L"hardware-id USB\\VID_0FCE&PID_0176&REV_0100\r\n"
        L"hardware-id USB\\VID_0FCE&PID_0176\r\n"
        L"modified 2009-06-01 12:00\r\n"
        L"profile android\r\n"
        L"storage Card\r\n"
        L"    capacity 2 GiB\r\n"
        L"    folder Mötley Café\r\n"
        L"        # comments may sit at any depth\r\n"
        L"        file Группа.mp3\r\n"
        L"            data media/tone.mp3\r\n"
        L"            thumbnail thumb.png\r\n"
        L"            modified 2008-12-31 23:59:58\r\n"
        L"            hidden\r\n"
        L"            protected\r\n"
        L"        file 夜空.bin\r\n"
        L"            generate 3 MiB seed 7\r\n"
        L"            format 0xB901\r\n"
        L"            content-type audio\r\n"
        L"            title Night Sky\r\n"
        L"        playlist Mix.pla\r\n"
        L"            item Группа.mp3\r\n"
        L"            item \\Phone\\ring.mp3\r\n"
        L"storage Phone\r\n"
        L"  capacity 1536\r\n"
        L"  file ring.mp3\r\n"
        L"no-bulk-properties\r\n");
    ASSERT_TRUE(phone) << error_.Text();

    EXPECT_EQ(phone->identity.manufacturer, L"Nordvik Telecom");
    EXPECT_EQ(phone->profile.name, L"android");
    EXPECT_FALSE(phone->profile.bulkProperties) << "a switch of the profile given before it";
    EXPECT_EQ(phone->identity.model, L"NV-7");
    EXPECT_EQ(phone->identity.serialNumber, L"S-1");
    EXPECT_EQ(phone->identity.friendlyName, L"  Aurora  ");
    EXPECT_EQ(phone->identity.instanceId, L"USB\\VID_0FCE&PID_0176\\T1");
    EXPECT_EQ(phone->identity.hardwareIds,
              (std::vector<std::wstring>{L"USB\\VID_0FCE&PID_0176&REV_0100", L"USB\\VID_0FCE&PID_0176"}));
    ASSERT_TRUE(phone->defaultDate);
    EXPECT_DOUBLE_EQ(*phone->defaultDate, 39965.5);

    std::vector<std::wstring> paths;
    for (const DescribedObject &object : phone->objects) paths.push_back(object.path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"\\Card", L"\\Card\\Mötley Café", L"\\Card\\Mötley Café\\Группа.mp3",
                                                L"\\Card\\Mötley Café\\夜空.bin", L"\\Card\\Mötley Café\\Mix.pla",
                                                L"\\Phone", L"\\Phone\\ring.mp3"}));

    const DescribedObject *card = At(*phone, L"\\Card");
    EXPECT_EQ(card->type, ObjectType::Storage);
    EXPECT_EQ(card->capacity, 2ull << 30);
    EXPECT_EQ(card->line, 12);
    EXPECT_EQ(At(*phone, L"\\Phone")->capacity, 1536u);

    const DescribedObject *song = At(*phone, L"\\Card\\Mötley Café\\Группа.mp3");
    EXPECT_EQ(song->type, ObjectType::File);
    EXPECT_EQ(song->line, 16);
    EXPECT_EQ(song->data.kind, DataOrigin::Kind::LocalFile);
    EXPECT_EQ(song->data.file, folder_ + L"\\media\\tone.mp3");
    EXPECT_EQ(song->thumbnailFile, folder_ + L"\\thumb.png");
    EXPECT_EQ(song->attributes.hidden, true);
    EXPECT_EQ(song->attributes.canDelete, false);
    ASSERT_TRUE(song->attributes.dateModified);
    EXPECT_NEAR(*song->attributes.dateModified, 39813.0 + (23 * 3600 + 59 * 60 + 58) / 86400.0, 1e-9);

    const DescribedObject *generated = At(*phone, L"\\Card\\Mötley Café\\夜空.bin");
    EXPECT_EQ(generated->data.kind, DataOrigin::Kind::Pattern);
    EXPECT_EQ(generated->data.size, 3u << 20);
    EXPECT_EQ(generated->data.seed, 7);
    EXPECT_EQ(generated->attributes.format, wpd::MtpFormatGuid(0xB901));
    EXPECT_EQ(generated->attributes.contentType, wpd::WPD_CONTENT_TYPE_AUDIO);
    EXPECT_EQ(generated->attributes.name, L"Night Sky");
    EXPECT_FALSE(generated->attributes.hidden);

    // Entries are relative to the playlist's folder unless they start at the root.
    const DescribedObject *playlist = At(*phone, L"\\Card\\Mötley Café\\Mix.pla");
    EXPECT_EQ(playlist->type, ObjectType::Playlist);
    EXPECT_EQ(playlist->members,
              (std::vector<std::wstring>{L"\\Card\\Mötley Café\\Группа.mp3", L"\\Phone\\ring.mp3"}));

    const DescribedObject *empty = At(*phone, L"\\Phone\\ring.mp3");
    EXPECT_EQ(empty->data.kind, DataOrigin::Kind::None);
    EXPECT_FALSE(empty->members);
}

TEST_F(DescriptionParser, PlaylistWithoutItemsHasNoReferences) {
    const auto phone = Parse(std::wstring(kIdentity) + L"storage Card\n capacity 1 MiB\n playlist a.m3u\n  data media/tone.mp3\n");
    ASSERT_TRUE(phone) << error_.Text();
    EXPECT_FALSE(phone->objects.back().members);
    EXPECT_EQ(phone->objects.back().data.kind, DataOrigin::Kind::LocalFile);
}

TEST_F(DescriptionParser, HostFolderIsTakenAsAFullPath) {
    const auto phone = Parse(std::wstring(kIdentity) + L"storage Disk\n capacity 1 GiB\n host-folder ./media/\n");
    ASSERT_TRUE(phone) << error_.Text();
    EXPECT_EQ(phone->objects.back().hostFolder, folder_ + L"\\media");
}

TEST_F(DescriptionParser, ReadsControlsAndWritesThemBack) {
    const auto phone = Parse(std::wstring(kIdentity) +
                             L"link 1500 us 20 MB/s\n"
                             L"unplugged\n"
                             L"refuse-full-access\n"
                             L"transfer-size 64 KiB, 4096\n"
                             L"fail IPortableDevice::Open call 2 hr 0x80070005\n"
                             L"fail IPortableDeviceContent::EnumObjects\n"
                             L"unreadable WPD_OBJECT_NAME hr 0x80004005\n"
                             L"unreadable {EF6B490D-5CD8-437A-AFFC-DA8B60EE4A3C}/11\n"
                             L"record 100\n" +
                             kCard);
    ASSERT_TRUE(phone) << error_.Text();
    ControlSettings expected;
    expected.link = {1500, 20'000'000};
    expected.unplugged = true;
    expected.refuseFullAccess = true;
    expected.readTransferSize = 64 * 1024;
    expected.writeTransferSize = 4096;
    expected.faults = {{"IPortableDevice::Open", 2, E_ACCESSDENIED}, {"IPortableDeviceContent::EnumObjects", 0, E_FAIL}};
    expected.unreadable = {{wpd::WPD_OBJECT_NAME, E_FAIL}, {wpd::WPD_OBJECT_SIZE, E_ACCESSDENIED}};
    expected.recordLimit = 100;
    EXPECT_EQ(phone->controls, expected);

    for (const ControlSettings &settings : {expected, ControlSettings{}}) {
        std::wstring lines;
        for (const std::wstring &line : ControlLines(settings)) lines += line + L"\n";
        const auto again = Parse(std::wstring(kIdentity) + lines + kCard);
        ASSERT_TRUE(again) << error_.Text();
        EXPECT_EQ(again->controls, settings) << testing::PrintToString(lines);
    }
    for (const auto &[name, speed] : {std::pair{L"usb2", LinkSpeed::Usb2()}, std::pair{L"usb3", LinkSpeed::Usb3()}}) {
        const auto preset = Parse(std::wstring(kIdentity) + L"link " + name + L"\n" + kCard);
        ASSERT_TRUE(preset) << error_.Text();
        EXPECT_EQ(preset->controls.link, speed);
    }
}

struct BadDescription {
    const char *what;
    const wchar_t *text;  // kIdentity goes first: its two lines shift every line number by 2
    int line;
    const wchar_t *message;
};

class BadDescriptions : public DescriptionParser, public testing::WithParamInterface<BadDescription> {};

TEST_P(BadDescriptions, FailWithLineAndReason) {
    const BadDescription &bad = GetParam();
    error_ = DescriptionError{L"unchanged", -1, L"unchanged"};
    const auto phone = Parse(std::wstring(kIdentity) + bad.text);
    ASSERT_FALSE(phone);
    EXPECT_EQ(error_.line, bad.line) << error_.Text();
    EXPECT_NE(error_.message.find(bad.message), std::wstring::npos) << error_.Text();
}


INSTANTIATE_TEST_SUITE_P(
    Table, BadDescriptions,
    testing::Values(
        BadDescription{"UnknownKeyword", L"storage Card\n  capacity 1 GiB\n  flder Music\n", 5, L"unknown keyword 'flder'"},
        BadDescription{"KeywordInWrongPlace", L"storage Card\n  capacity 1 GiB\n  folder A\n    capacity 1\n", 6,
                       L"'capacity' does not belong in a folder"},
        BadDescription{"TopLevelKeywordInStorage", L"storage Card\n  capacity 1 GiB\n  model X\n", 5,
                       L"'model' does not belong in a storage"},
        BadDescription{"BadSizeUnit", L"storage Card\n  capacity 12 GB\n", 4, L"bad size '12 GB'"},
        BadDescription{"SizeTooLarge", L"storage Card\n  capacity 16777216 TiB\n", 4, L"bad size"},
        BadDescription{"NegativeSize", L"storage Card\n  capacity -1\n", 4, L"bad size '-1'"},
        BadDescription{"MissingStorage", L"model X\n", 0, L"missing 'storage'"},
        BadDescription{"StorageWithoutCapacity", L"storage Card\n  folder A\n", 3, L"storage 'Card' has no 'capacity'"},
        BadDescription{"DuplicateSibling", L"storage Card\n  capacity 1 GiB\n  folder A\n  file A\n", 6,
                       L"duplicate name 'A' (first at line 5)"},
        BadDescription{"DuplicateStorage", L"storage Card\n  capacity 1 GiB\nstorage Card\n", 5,
                       L"duplicate name 'Card' (first at line 3)"},
        BadDescription{"UnreadableDataFile", L"storage Card\n  capacity 1 GiB\n  file a.mp3\n    data media/nope.mp3\n", 6,
                       L"cannot read data file 'media/nope.mp3'"},
        BadDescription{"UnreadableThumbnail", L"storage Card\n  capacity 1 GiB\n  file a.jpg\n    thumbnail nope.png\n", 6,
                       L"cannot read data file 'nope.png'"},
        BadDescription{"SingleValueTwice", L"model X\nmodel Y\n", 4, L"'model' given twice (first at line 3)"},
        BadDescription{"DataAndGenerate",
                       L"storage Card\n  capacity 1 GiB\n  file a\n    generate 1\n    data media/tone.mp3\n", 7,
                       L"'data' conflicts with 'generate' at line 6"},
        BadDescription{"FlagWithValue", L"storage Card\n  capacity 1 GiB\n  file a\n    hidden yes\n", 6,
                       L"'hidden' takes no value"},
        BadDescription{"NameMissing", L"storage Card\n  capacity 1 GiB\n  file\n", 5, L"'file' needs a value"},
        BadDescription{"NameWithBackslash", L"storage Card\n  capacity 1 GiB\n  folder a\\b\n", 5, L"holds a backslash"},
        BadDescription{"ImpossibleDate", L"modified 2009-02-30\n", 3, L"bad date '2009-02-30'"},
        BadDescription{"BadDateLayout", L"modified 30.06.2009\n", 3, L"bad date"},
        BadDescription{"UnknownProfile", L"profile ios\n", 3, L"unknown profile 'ios'"},
        BadDescription{"BadFormat", L"storage Card\n  capacity 1 GiB\n  file a\n    format 0x12345\n", 6, L"bad format"},
        BadDescription{"BadContentType", L"storage Card\n  capacity 1 GiB\n  file a\n    content-type sound\n", 6,
                       L"bad content type 'sound'"},
        BadDescription{"BadSeed", L"storage Card\n  capacity 1 GiB\n  file a\n    generate 1 KiB seed 256\n", 6,
                       L"bad seed '256'"},
        BadDescription{"TabIndentation", L"storage Card\n\tcapacity 1 GiB\n", 4, L"tab in indentation"},
        BadDescription{"InconsistentIndentation", L"storage Card\n    capacity 1 GiB\n  folder A\n", 5,
                       L"indentation does not match"},
        BadDescription{"IndentedTopLevel", L"  model X\n", 3, L"unexpected indentation"},
        BadDescription{"IndentedBelowValue", L"storage Card\n  capacity 1 GiB\n    folder A\n", 5,
                       L"unexpected indentation"},
        BadDescription{"PlaylistItemMissing", L"storage Card\n  capacity 1 GiB\n  playlist p.pla\n    item nope.mp3\n", 6,
                       L"'\\Card\\nope.mp3' is not an object of this phone"},
        BadDescription{"HostFolderMissing", L"storage Card\n  capacity 1 GiB\n  host-folder nowhere\n", 5,
                       L"cannot open host folder 'nowhere'"},
        BadDescription{"HostFolderIsAFile", L"storage Card\n  capacity 1 GiB\n  host-folder thumb.png\n", 5,
                       L"host folder 'thumb.png' is a file"},
        BadDescription{"ObjectsInAHostFolderStorage",
                       L"storage Card\n  capacity 1 GiB\n  host-folder media\n  file a.mp3\n", 6,
                       L"storage 'Card' shows its host folder"},
        BadDescription{"UnknownLink", L"link usb4\n", 3, L"bad link 'usb4'"},
        BadDescription{"LinkWithoutBandwidth", L"link 1 ms\n", 3, L"bad link '1 ms'"},
        BadDescription{"LinkRoundTripOverTenSeconds", L"link 10001 ms 1 MB/s\n", 3, L"bad link"},
        BadDescription{"LinkTwice", L"link usb2\nlink none\n", 4, L"'link' given twice (first at line 3)"},
        BadDescription{"ControlInStorage", L"storage Card\n  capacity 1 GiB\n  link usb2\n", 5,
                       L"'link' does not belong in a storage"},
        BadDescription{"FailWithoutInterface", L"fail Open\n", 3, L"bad method 'Open'"},
        BadDescription{"FailWithSuccess", L"fail IPortableDevice::Open hr 0x00000000\n", 3, L"bad hr '0x00000000'"},
        BadDescription{"FailAtCallZero", L"fail IPortableDevice::Open call 0\n", 3, L"bad call '0'"},
        BadDescription{"FailWithStrayWord", L"fail IPortableDevice::Open twice\n", 3, L"'twice' needs a value"},
        BadDescription{"UnknownProperty", L"unreadable WPD_OBJECT_COLOUR\n", 3, L"bad property 'WPD_OBJECT_COLOUR'"},
        BadDescription{"UnpluggedWithValue", L"unplugged yes\n", 3, L"'unplugged' takes no value"},
        BadDescription{"TransferSizeOf4GiB", L"transfer-size 4 GiB\n", 3, L"bad transfer size '4 GiB'"},
        BadDescription{"RecordTooMany", L"record 1000001\n", 3, L"bad record '1000001'"},
        BadDescription{"PlaylistItemIsFolder",
                       L"storage Card\n  capacity 1 GiB\n  folder A\n  playlist p.pla\n    item \\Card\\A\n", 7,
                       L"is a storage or folder"}),
    [](const testing::TestParamInfo<BadDescription> &info) { return std::string(info.param.what); });

TEST_F(DescriptionParser, RequiresInstanceAndHardwareIds) {
    ASSERT_FALSE(Parse(std::wstring(L"hardware-id USB\\X\n") + kCard));
    EXPECT_EQ(error_.line, 0);
    EXPECT_EQ(error_.message, L"missing 'instance-id'");
    ASSERT_FALSE(Parse(std::wstring(L"instance-id USB\\X\\1\n") + kCard));
    EXPECT_EQ(error_.message, L"missing 'hardware-id'");
}

TEST_F(DescriptionParser, LoadsFileWithByteOrderMarkAndNamesItInErrors) {
    const std::wstring file = folder_ + L"\\phone.phone";
    Write(L"phone.phone", "\xEF\xBB\xBFinstance-id USB\\V\\1\nhardware-id USB\\V\nstorage Caf\xC3\xA9\n  capacity 1 KiB\n");
    DescriptionError error;
    const auto phone = LoadDescription(file, &error);
    ASSERT_TRUE(phone) << error.Text();
    EXPECT_EQ(phone->objects.at(0).path, L"\\Café");

    Write(L"phone.phone", "instance-id USB\\V\\1\nhardware-id USB\\V\nstorage Caf\xE9\n  capacity 1 KiB\n");
    ASSERT_FALSE(LoadDescription(file, &error));
    EXPECT_EQ(error.Text(), file + L":3: not UTF-8 text");

    ASSERT_FALSE(LoadDescription(folder_ + L"\\missing.phone", &error));
    EXPECT_EQ(error.line, 0);
    EXPECT_EQ(error.Text().find(folder_ + L"\\missing.phone: cannot read the description"), 0u) << error.Text();
}

}  // namespace
}  // namespace vphone::description
