// Copying files between the host and the phone: an object's data or thumbnail into a local file, and
// a local file into a new object.
#include "device/cwpd.h"
#include "log/hr_log.h"
#include "media/folder_list.h"
#include "media/local_file.h"
#include "media/stream_copy.h"

using Microsoft::WRL::ComPtr;

WPD_ERROR CFolderList::GetFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags,
                               const PROPERTYKEY &resourceKey) {
    const std::lock_guard lock(mediaLock_);
    Target source;
    const HRESULT hr = FindTarget(remotePath, FALSE, flags, source);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (!source.found) {
        LogLine(1, "File %S not found on the device for copy", remotePath);
        return WPD_ERROR_FAILED;
    }
    return device_->TranslateError(ReceiveFile(source, localPath, resourceKey));
}

HRESULT CFolderList::ReceiveFile(const Target &source, const wchar_t *localPath, const PROPERTYKEY &resourceKey) {
    ComPtr<IPortableDeviceResources> resources;
    RETURN_IF_FAILED_LOG(source.content->Transfer(&resources), "Getting content resource interface failed, hr = %08x");
    ComPtr<IStream> stream;
    DWORD optimalSize = 0;
    RETURN_IF_FAILED_LOG(resources->GetStream(source.record.objectId, resourceKey, STGM_READ, &optimalSize, &stream),
                         "Getting resource stream failed, hr = %08x");
    LocalDownload file(localPath);
    RETURN_IF_FAILED(file.Create());
    // A thumbnail is measured against its object's size too.
    unsigned long long received = 0;
    const HRESULT copied = StreamCopy(file.Stream(), stream.Get(), LocalEnd::Destination, optimalSize,
                                      source.record.size, &received);
    RETURN_IF_FAILED_LOG(copied, "Copying the file failed, hr = %08x");
    // Cancelled by the host: the partial file goes, and the host's earlier file stays.
    if (copied == S_FALSE) return S_OK;
    // Less data than the object's size announced is not the object (more is: a growing file's size
    // may lag behind it).
    const bool wholeObject = IsEqualGUID(resourceKey.fmtid, wpd::WPD_RESOURCE_DEFAULT.fmtid) &&
                             resourceKey.pid == wpd::WPD_RESOURCE_DEFAULT.pid;
    if (wholeObject && received < source.record.size) {
        constexpr HRESULT kShortData = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
        LogLine(1, "The phone sent %s of the %s bytes of the file, hr = %08x", DecimalText(received).text,
                DecimalText(source.record.size).text, static_cast<unsigned>(kShortData));
        return kShortData;
    }
    return file.Finish();
}

WPD_ERROR CFolderList::PutFile(const wchar_t *remotePath, const wchar_t *localPath, unsigned long flags) {
    const std::lock_guard lock(mediaLock_);
    Target existing;
    const HRESULT hr = FindTarget(remotePath, FALSE, flags, existing);
    if (FAILED(hr)) return device_->TranslateError(hr);
    if (existing.found && !(flags & kReplaceExisting)) return WPD_ERROR_ALREADY_EXISTS;
    return device_->TranslateError(SendFile(existing, remotePath, localPath));
}

HRESULT CFolderList::SendFile(const Target &existing, const wchar_t *remotePath, const wchar_t *localPath) {
    // The local file is opened before anything on the phone changes: a file that cannot be read must
    // not cost the object it was to replace.
    ComPtr<IStream> local;
    unsigned long long size = 0;
    RETURN_IF_FAILED(OpenLocalSource(localPath, local, size));
    // Named and typed by the device path, never by the local file.
    ObjectRecord record = {};
    PrepareNewObject(record, FALSE, remotePath);
    RETURN_IF_FAILED(CreateInPlaceOf(existing, record, [&](NewObject &object) {
        return UploadFile(existing.content.Get(), local.Get(), size, object);
    }));
    RefreshFolderList();
    return S_OK;
}

HRESULT CFolderList::UploadFile(IPortableDeviceContent *content, IStream *local, unsigned long long size,
                                NewObject &object) {
    ComPtr<IPortableDeviceValues> values;
    RETURN_IF_FAILED_LOG(CreateObjectValues(object.names, values), "CreateObjectValues failed, hr = %08x");
    RETURN_IF_FAILED_LOG(values->SetUnsignedLargeIntegerValue(wpd::WPD_OBJECT_SIZE, size),
                         "SetUnsignedLargeIntegerValue failed, hr = %08x");
    ComPtr<IStream> created;
    DWORD optimalSize = 0;
    const HRESULT hr = content->CreateObjectWithPropertiesAndData(values.Get(), &created, &optimalSize, nullptr);
    object.refused = FAILED(hr);
    RETURN_IF_FAILED_LOG(hr, "CreateObjectWithPropertiesAndData failed, hr = %08x");
    ComPtr<IPortableDeviceDataStream> data;
    RETURN_IF_FAILED_LOG(created.As(&data), "QueryInterface on IPortableDeviceDataStream failed, hr = %08x");
    const HRESULT copied = StreamCopy(data.Get(), local, LocalEnd::Source, optimalSize, size);
    if (FAILED(copied)) LogLine(1, "StreamCopy failed, hr = %08x", static_cast<unsigned>(copied));
    return FinishUpload(content, data.Get(), copied, object);
}
