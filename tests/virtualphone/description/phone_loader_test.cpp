// Building phones from descriptions: the sample phone as shipped, and failures the builder reports.
#include "device/wpd_api.h"
#include "virtualphone/description/description_parser.h"
#include "virtualphone/description/phone_loader.h"
#include "virtualphone/description/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace vphone::description {
namespace {

const std::wstring kSample = vphone_test::WinePath(VPHONE_SAMPLE_PHONE);
const std::wstring kSampleFolder = kSample.substr(0, kSample.rfind(L'\\'));

std::vector<std::uint8_t> FileBytes(const std::wstring &path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class SamplePhone : public testing::Test {
protected:
    static void SetUpTestSuite() {
        DescriptionError error;
        phone_ = LoadPhone(kSample, {}, &error);
        ASSERT_TRUE(phone_) << error.Text();
    }
    static void TearDownTestSuite() { phone_.reset(); }

    // The object at path; fails the test when there is none.
    static PhoneObject At(const std::wstring &path) {
        const auto id = phone_->FindPath(path);
        if (!id) {
            ADD_FAILURE() << "no object at " << testing::PrintToString(path);
            return {};
        }
        return *phone_->Find(*id);
    }

    static std::shared_ptr<Phone> phone_;
};
std::shared_ptr<Phone> SamplePhone::phone_;

TEST_F(SamplePhone, HasItsIdentity) {
    const PhoneIdentity identity = phone_->Identity();
    EXPECT_EQ(identity.manufacturer, L"Nordvik Telecom");
    EXPECT_EQ(identity.model, L"NV-7 Aurora");
    EXPECT_EQ(identity.friendlyName, L"Aurora");
    EXPECT_EQ(identity.instanceId, L"USB\\VID_0FCE&PID_0176\\SIM0001");
    EXPECT_EQ(identity.hardwareIds.back(), L"USB\\VID_0FCE&PID_0176");
    EXPECT_EQ(phone_->InterfacePath(), L"\\\\?\\usb#vid_0fce&pid_0176#sim0001#{6ac27878-a6fa-4155-ba85-f98f491d4f33}");
}

TEST_F(SamplePhone, HasTwoStoragesWithTheirTrees) {
    const auto storages = phone_->StorageIds();
    ASSERT_EQ(storages.size(), 2u);
    EXPECT_EQ(phone_->Find(storages[0])->name, L"Card");
    EXPECT_EQ(phone_->Find(storages[1])->name, L"Phone memory");
    EXPECT_EQ(At(L"\\Card").capacity, 16ull << 30);

    for (const wchar_t *path : {L"\\Card\\Music\\Café del Mar.mp3", L"\\Card\\Music\\Mötley Blues.mp3",
                                L"\\Card\\Music\\Кино - Группа крови.mp3", L"\\Card\\Music\\夜空のムコウ.mp3",
                                L"\\Card\\Music\\Albums\\Mötley\\Live 1987\\02 Encore.mp3",
                                L"\\Phone memory\\Sounds\\Chime.mp3"}) {
        EXPECT_EQ(At(path).kind, ObjectKind::File) << testing::PrintToString(std::wstring(path));
    }
    EXPECT_EQ(At(L"\\Card\\Music\\Albums\\Mötley").kind, ObjectKind::Folder);
    EXPECT_EQ(At(L"\\Card\\Music\\Café del Mar.mp3").contentType, wpd::WPD_CONTENT_TYPE_AUDIO);
    // Generated data costs no disk, whatever its size.
    EXPECT_EQ(At(L"\\Card\\Video\\Holiday 2009.mp4").Size(), 3ull << 30);
}

TEST_F(SamplePhone, HasPlaylistsByReferenceAndByData) {
    const PhoneObject roadTrip = At(L"\\Card\\Music\\Road trip.pla");
    EXPECT_EQ(roadTrip.kind, ObjectKind::Playlist);
    ASSERT_TRUE(roadTrip.references);
    std::vector<std::wstring> expected;
    for (const wchar_t *member : {L"\\Card\\Music\\Café del Mar.mp3", L"\\Card\\Music\\Кино - Группа крови.mp3",
                                  L"\\Card\\Music\\Albums\\Mötley\\Live 1987\\01 Opening.mp3",
                                  L"\\Phone memory\\Sounds\\Chime.mp3"}) {
        expected.push_back(phone_->FindPath(member).value_or(L"missing"));
    }
    EXPECT_EQ(*roadTrip.references, expected);

    const PhoneObject evening = At(L"\\Card\\Music\\Evening.m3u");
    EXPECT_EQ(evening.kind, ObjectKind::Playlist);
    EXPECT_FALSE(evening.references);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(phone_->ReadData(evening.id, false, &data), S_OK);
    EXPECT_EQ(data, FileBytes(kSampleFolder + L"\\media\\Evening.m3u"));
}

TEST_F(SamplePhone, HasThumbnailsAndAttributes) {
    std::vector<std::uint8_t> thumbnail;
    ASSERT_EQ(phone_->ReadData(At(L"\\Card\\Pictures\\Camera\\IMG_0001.jpg").id, true, &thumbnail), S_OK);
    EXPECT_EQ(thumbnail, FileBytes(kSampleFolder + L"\\media\\thumb-sunset.png"));
    EXPECT_TRUE(At(L"\\Phone memory\\System\\settings.dat").hidden);
    EXPECT_FALSE(At(L"\\Phone memory\\System\\Firmware notes.txt").canDelete);
    EXPECT_FALSE(At(L"\\Phone memory\\System\\Firmware notes.txt").hidden);
    EXPECT_DOUBLE_EQ(At(L"\\Card\\Music\\Harbour Lights.mp3").dateModified, 39947.0 + 21.5 / 24);
    EXPECT_DOUBLE_EQ(At(L"\\Card\\Music\\Café del Mar.mp3").dateModified, 39965.5);  // the phone's default
}

TEST(PhoneLoader, NamesTheLineOfAnObjectTheBuilderRefuses) {
    const auto description = ParseDescription(
        L"instance-id USB\\V\\1\nhardware-id USB\\V\nstorage Card\n  capacity 1 KiB\n  file big.bin\n    generate 2 KiB\n",
        L"C:\\", nullptr);
    ASSERT_TRUE(description);
    PhoneBuilder builder;
    DescriptionError error;
    EXPECT_FALSE(BuildPhone(*description, builder, &error));
    EXPECT_EQ(error.line, 5);
    EXPECT_EQ(error.message.find(L"cannot add \\Card\\big.bin: "), 0u) << error.Text();
}

}  // namespace
}  // namespace vphone::description
