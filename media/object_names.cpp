// The names under which an object is shown and found, and its kind, from its properties.
#include <cwchar>

#include "device/wpd_api.h"
#include "media/bounded_text.h"
#include "media/file_type_table.h"
#include "media/folder_list.h"

void CFolderList::FillObjectNames(ObjectRecord &record, IPortableDeviceValues *values, BOOL &known) {
    GetStringProperty(values, wpd::WPD_OBJECT_NAME, record.name);
    GetStringProperty(values, wpd::WPD_OBJECT_ORIGINAL_FILE_NAME, record.originalFileName);
    if (!record.name[0]) {
        CopyBounded(record.name, record.originalFileName);
        if (wchar_t *dot = wcsrchr(record.name, L'.')) *dot = L'\0';
    }

    GUID type;
    GetGuidProperty(values, wpd::WPD_OBJECT_CONTENT_TYPE, type);
    if (IsEqualGUID(type, wpd::WPD_CONTENT_TYPE_UNSPECIFIED)) ContentTypeFromExtension(record.originalFileName, type);
    // An unreadable (all-zero) type counts as known: such an object is listed as a file.
    if (!IsEqualGUID(type, wpd::WPD_CONTENT_TYPE_UNSPECIFIED)) known = TRUE;
    record.isFolder = IsEqualGUID(type, wpd::WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT) ||
                      IsEqualGUID(type, wpd::WPD_CONTENT_TYPE_FOLDER);
    record.isPlaylist = IsEqualGUID(type, wpd::WPD_CONTENT_TYPE_PLAYLIST);

    if (!record.isFolder) GetGuidProperty(values, wpd::WPD_OBJECT_FORMAT, record.format);
    if (IsEqualGUID(record.format, wpd::WPD_OBJECT_FORMAT_UNSPECIFIED)) {
        FormatFromExtension(record.originalFileName, record.format);
    }

    // Files of a known format are shown with that format's extension, unless their name ends in one of
    // its extensions already, as phones that name files with their extension do (IMG_0001.JPG);
    // everything else by its original file name when it has one.
    CopyBounded(record.listingName, record.name);
    if (const FileType *row = FileTypeOfFormat(record.format)) {
        GUID named;
        FormatFromExtension(record.listingName, named);
        if (!IsEqualGUID(named, record.format)) AppendBounded(record.listingName, row->extension);
    } else if (record.originalFileName[0]) {
        CopyBounded(record.listingName, record.originalFileName);
    }
}
