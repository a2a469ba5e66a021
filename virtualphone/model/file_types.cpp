#include "virtualphone/model/file_types.h"

#include "device/wpd_api.h"

#include <shlwapi.h>

#include <iterator>

namespace vphone {
namespace {

struct Row {
    const wchar_t *extension;
    const GUID *contentType;
    unsigned short mtpFormat;
};

constexpr Row kRows[] = {
    {L".mp3", &wpd::WPD_CONTENT_TYPE_AUDIO, 0x3009},    {L".wav", &wpd::WPD_CONTENT_TYPE_AUDIO, 0x3008},
    {L".wma", &wpd::WPD_CONTENT_TYPE_AUDIO, 0xB901},    {L".aac", &wpd::WPD_CONTENT_TYPE_AUDIO, 0xB903},
    {L".ogg", &wpd::WPD_CONTENT_TYPE_AUDIO, 0xB902},    {L".flac", &wpd::WPD_CONTENT_TYPE_AUDIO, 0xB906},
    {L".jpg", &wpd::WPD_CONTENT_TYPE_IMAGE, 0x3808},    {L".jpeg", &wpd::WPD_CONTENT_TYPE_IMAGE, 0x3808},
    {L".png", &wpd::WPD_CONTENT_TYPE_IMAGE, 0x380B},    {L".gif", &wpd::WPD_CONTENT_TYPE_IMAGE, 0x3807},
    {L".bmp", &wpd::WPD_CONTENT_TYPE_IMAGE, 0x3804},    {L".mp4", &wpd::WPD_CONTENT_TYPE_VIDEO, 0xB982},
    {L".avi", &wpd::WPD_CONTENT_TYPE_VIDEO, 0x300A},    {L".wmv", &wpd::WPD_CONTENT_TYPE_VIDEO, 0xB981},
    {L".3gp", &wpd::WPD_CONTENT_TYPE_VIDEO, 0xB984},    {L".m3u", &wpd::WPD_CONTENT_TYPE_PLAYLIST, 0xBA11},
    {L".wpl", &wpd::WPD_CONTENT_TYPE_PLAYLIST, 0xBA10}, {L".pla", &wpd::WPD_CONTENT_TYPE_PLAYLIST, 0xBA05},
    {L".m3u8", &wpd::WPD_CONTENT_TYPE_PLAYLIST, 0xBA11},
};

}  // namespace

FileType FileTypeOf(const std::wstring &fileName) {
    const wchar_t *extension = PathFindExtensionW(fileName.c_str());
    for (const Row &row : kRows) {
        if (lstrcmpiW(extension, row.extension) == 0) return {*row.contentType, wpd::MtpFormatGuid(row.mtpFormat)};
    }
    return {wpd::WPD_CONTENT_TYPE_UNSPECIFIED, wpd::WPD_OBJECT_FORMAT_UNSPECIFIED};
}

}  // namespace vphone
