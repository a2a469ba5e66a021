#include "media/file_type_table.h"

#include <cwchar>

#include "device/wpd_api.h"

namespace {

using wpd::MtpFormatGuid;
constexpr GUID kAudio = wpd::WPD_CONTENT_TYPE_AUDIO;
constexpr GUID kImage = wpd::WPD_CONTENT_TYPE_IMAGE;
constexpr GUID kVideo = wpd::WPD_CONTENT_TYPE_VIDEO;
constexpr GUID kPlaylist = wpd::WPD_CONTENT_TYPE_PLAYLIST;

const FileType *FileTypeOfExtension(const wchar_t *text) {
    const wchar_t *extension = text ? wcsrchr(text, L'.') : nullptr;
    if (!extension) return nullptr;
    for (const FileType &row : FileTypeTable) {
        if (CompareStringOrdinal(extension, -1, row.extension, -1, TRUE) == CSTR_EQUAL) return &row;
    }
    return nullptr;
}

}  // namespace

constinit const std::array<FileType, 41> FileTypeTable = {{
    {L".wav", kAudio, MtpFormatGuid(0x3008)},    {L".mp3", kAudio, MtpFormatGuid(0x3009)},
    {L".wma", kAudio, MtpFormatGuid(0xB901)},    {L".aac", kAudio, MtpFormatGuid(0xB903)},
    {L".aif", kAudio, MtpFormatGuid(0x3007)},    {L".aiff", kAudio, MtpFormatGuid(0x3007)},
    {L".aifc", kAudio, MtpFormatGuid(0x3007)},   {L".ogg", kAudio, MtpFormatGuid(0xB902)},
    {L".flac", kAudio, MtpFormatGuid(0xB906)},   {L".bmp", kImage, MtpFormatGuid(0x3804)},
    {L".png", kImage, MtpFormatGuid(0x380B)},    {L".gif", kImage, MtpFormatGuid(0x3807)},
    {L".ciff", kImage, MtpFormatGuid(0x3805)},   {L".tif", kImage, MtpFormatGuid(0x380D)},
    {L".tiff", kImage, MtpFormatGuid(0x380D)},   {L".pic", kImage, MtpFormatGuid(0x380A)},
    {L".ico", kImage, wpd::WPD_OBJECT_FORMAT_ICON}, {L".jpg", kImage, MtpFormatGuid(0x3808)},
    {L".jpeg", kImage, MtpFormatGuid(0x3808)},   {L".jpe", kImage, MtpFormatGuid(0x3808)},
    {L".pcd", kImage, MtpFormatGuid(0x3809)},    {L".fpix", kImage, MtpFormatGuid(0x3803)},
    {L".jp2", kImage, MtpFormatGuid(0x380F)},    {L".jp2k", kImage, MtpFormatGuid(0x380F)},
    {L".jpx", kImage, MtpFormatGuid(0x3810)},    {L".exf", kImage, MtpFormatGuid(0x3801)},
    {L".mp4", kVideo, MtpFormatGuid(0xB982)},    {L".avi", kVideo, MtpFormatGuid(0x300A)},
    {L".wmv", kVideo, MtpFormatGuid(0xB981)},    {L".3gp", kVideo, MtpFormatGuid(0xB984)},
    {L".mpg", kVideo, MtpFormatGuid(0x300B)},    {L".mpeg", kVideo, MtpFormatGuid(0x300B)},
    {L".mpe", kVideo, MtpFormatGuid(0x300B)},    {L".asf", kVideo, MtpFormatGuid(0x300C)},
    {L".mp2", kVideo, MtpFormatGuid(0xB983)},    {L".wpl", kPlaylist, MtpFormatGuid(0xBA10)},
    {L".m3u", kPlaylist, MtpFormatGuid(0xBA11)}, {L".mpl", kPlaylist, MtpFormatGuid(0xBA12)},
    {L".asx", kPlaylist, MtpFormatGuid(0xBA13)}, {L".pls", kPlaylist, MtpFormatGuid(0xBA14)},
    {L".pla", kPlaylist, MtpFormatGuid(0xBA05)},
}};

void ContentTypeFromExtension(const wchar_t *text, GUID &contentType) {
    const FileType *row = FileTypeOfExtension(text);
    contentType = row ? row->contentType : wpd::WPD_CONTENT_TYPE_UNSPECIFIED;
}

void FormatFromExtension(const wchar_t *text, GUID &format) {
    const FileType *row = FileTypeOfExtension(text);
    format = row ? row->format : wpd::WPD_OBJECT_FORMAT_UNSPECIFIED;
}

const FileType *FileTypeOfFormat(const GUID &format) {
    for (const FileType &row : FileTypeTable) {
        if (IsEqualGUID(row.format, format)) return &row;
    }
    return nullptr;
}
