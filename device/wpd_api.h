// The Windows Portable Devices client API as far as Orvik and its virtual phone use it: interfaces,
// class ids, property keys, command keys and type GUIDs that the mingw-w64 headers lack.
//
// Vtable order, parameter types and every value follow the platform's IDL exactly: a wrong slot here
// links and runs against our own virtual phone and crashes against the real platform. No virtual
// destructors and no extra virtual members in these declarations.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <propidl.h>
#include <wtypes.h>
#include <portabledevicetypes.h>

// ---------------------------------------------------------------------------------------------------
// Interfaces (IPortableDeviceValues and the three collections come from portabledevicetypes.h)

struct IPortableDeviceContent;
struct IPortableDeviceCapabilities;
struct IPortableDeviceEventCallback;
struct IPortableDeviceProperties;
struct IPortableDeviceResources;
struct IEnumPortableDeviceObjectIDs;

struct IPortableDeviceManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR *pnpDeviceIds, DWORD *count) = 0;
    virtual HRESULT STDMETHODCALLTYPE RefreshDeviceList() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR pnpDeviceId, WCHAR *name, DWORD *chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR pnpDeviceId, WCHAR *description,
                                                           DWORD *chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR pnpDeviceId, WCHAR *manufacturer,
                                                            DWORD *chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR pnpDeviceId, LPCWSTR propertyName, BYTE *data,
                                                        DWORD *dataBytes, DWORD *registryType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR *pnpDeviceIds, DWORD *count) = 0;
};
__CRT_UUID_DECL(IPortableDeviceManager, 0xa1567595, 0x4c2f, 0x4574, 0xa6, 0xfa, 0xec, 0xef, 0x91, 0x7b, 0x9a, 0x40)

struct IPortableDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(LPCWSTR pnpDeviceId, IPortableDeviceValues *clientInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(const DWORD flags, IPortableDeviceValues *parameters,
                                                  IPortableDeviceValues **results) = 0;
    virtual HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent **content) = 0;
    virtual HRESULT STDMETHODCALLTYPE Capabilities(IPortableDeviceCapabilities **capabilities) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(const DWORD flags, IPortableDeviceEventCallback *callback,
                                             IPortableDeviceValues *parameters, LPWSTR *cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPnPDeviceID(LPWSTR *pnpDeviceId) = 0;
};
__CRT_UUID_DECL(IPortableDevice, 0x625e2df8, 0x6392, 0x4cf0, 0x9a, 0xd1, 0x3c, 0xfa, 0x5f, 0x17, 0x77, 0x5c)

struct IPortableDeviceContent : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumObjects(const DWORD flags, LPCWSTR parentObjectId,
                                                  IPortableDeviceValues *filter,
                                                  IEnumPortableDeviceObjectIDs **enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties **properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources **resources) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues *values,
                                                                     LPWSTR *objectId) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesAndData(IPortableDeviceValues *values,
                                                                        IStream **data,
                                                                        DWORD *optimalWriteBufferSize,
                                                                        LPWSTR *cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(const DWORD options, IPortableDevicePropVariantCollection *objectIds,
                                             IPortableDevicePropVariantCollection **results) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectIDsFromPersistentUniqueIDs(
        IPortableDevicePropVariantCollection *persistentUniqueIds,
        IPortableDevicePropVariantCollection **objectIds) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(IPortableDevicePropVariantCollection *objectIds,
                                           LPCWSTR destinationFolderObjectId,
                                           IPortableDevicePropVariantCollection **results) = 0;
    virtual HRESULT STDMETHODCALLTYPE Copy(IPortableDevicePropVariantCollection *objectIds,
                                           LPCWSTR destinationFolderObjectId,
                                           IPortableDevicePropVariantCollection **results) = 0;
};
__CRT_UUID_DECL(IPortableDeviceContent, 0x6a96ed84, 0x7c73, 0x4480, 0x99, 0x38, 0xbf, 0x5a, 0xf4, 0x77, 0xd4, 0x26)

struct IPortableDeviceProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSupportedProperties(LPCWSTR objectId,
                                                             IPortableDeviceKeyCollection **keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                            IPortableDeviceValues **attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection *keys,
                                                IPortableDeviceValues **values) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR objectId, IPortableDeviceValues *values,
                                                IPortableDeviceValues **results) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};
__CRT_UUID_DECL(IPortableDeviceProperties, 0x7f6d695c, 0x03df, 0x4439, 0xa8, 0x09, 0x59, 0x26, 0x6b, 0xee, 0xe3,
                0xa6)

struct IPortableDeviceResources : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSupportedResources(LPCWSTR objectId,
                                                            IPortableDeviceKeyCollection **keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResourceAttributes(LPCWSTR objectId, REFPROPERTYKEY key,
                                                            IPortableDeviceValues **attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStream(LPCWSTR objectId, REFPROPERTYKEY key, const DWORD mode,
                                                DWORD *optimalBufferSize, IStream **stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR objectId, IPortableDeviceKeyCollection *keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateResource(IPortableDeviceValues *resourceAttributes, IStream **data,
                                                     DWORD *optimalWriteBufferSize, LPWSTR *cookie) = 0;
};
__CRT_UUID_DECL(IPortableDeviceResources, 0xfd8878ac, 0xd841, 0x4d17, 0x89, 0x1c, 0xe6, 0x82, 0x9c, 0xdb, 0x69,
                0x34)

struct IPortableDeviceCapabilities : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSupportedCommands(IPortableDeviceKeyCollection **commands) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCommandOptions(REFPROPERTYKEY command,
                                                        IPortableDeviceValues **options) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFunctionalCategories(IPortableDevicePropVariantCollection **categories) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFunctionalObjects(REFGUID category,
                                                           IPortableDevicePropVariantCollection **objectIds) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedContentTypes(REFGUID category,
                                                               IPortableDevicePropVariantCollection **types) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedFormats(REFGUID contentType,
                                                          IPortableDevicePropVariantCollection **formats) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedFormatProperties(REFGUID format,
                                                                   IPortableDeviceKeyCollection **keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFixedPropertyAttributes(REFGUID format, REFPROPERTYKEY key,
                                                                 IPortableDeviceValues **attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedEvents(IPortableDevicePropVariantCollection **events) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEventOptions(REFGUID event, IPortableDeviceValues **options) = 0;
};
__CRT_UUID_DECL(IPortableDeviceCapabilities, 0x2c8c6dbf, 0xe3dc, 0x4061, 0xbe, 0xcc, 0x85, 0x42, 0xe8, 0x10, 0xd1,
                0x26)

struct IEnumPortableDeviceObjectIDs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG requested, LPWSTR *objectIds, ULONG *fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPortableDeviceObjectIDs **enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};
__CRT_UUID_DECL(IEnumPortableDeviceObjectIDs, 0x10ece955, 0xcf41, 0x4728, 0xbf, 0xa0, 0x41, 0xee, 0xdf, 0x1b, 0xbf,
                0x19)

// Derives from IStream: slots 3-13 are IStream's, then these two.
struct IPortableDeviceDataStream : public IStream {
    virtual HRESULT STDMETHODCALLTYPE GetObjectID(LPWSTR *objectId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};
__CRT_UUID_DECL(IPortableDeviceDataStream, 0x88e04db3, 0x1012, 0x4d64, 0x99, 0x96, 0xf7, 0x03, 0xa9, 0x50, 0xd3,
                0xf4)

// Implemented by clients; the platform calls OnEvent on a thread of its own.
struct IPortableDeviceEventCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnEvent(IPortableDeviceValues *eventParameters) = 0;
};
__CRT_UUID_DECL(IPortableDeviceEventCallback, 0xa8792a31, 0xf385, 0x493c, 0xa8, 0x93, 0x40, 0xf6, 0x4e, 0xb4, 0x5f,
                0x6e)

// Implemented by clients; the platform calls it on a thread of its own while a bulk request runs:
// OnStart, then OnProgress with batches of results, then OnEnd whatever happened.
struct IPortableDevicePropertiesBulkCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnStart(REFGUID context) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnProgress(REFGUID context, IPortableDeviceValuesCollection *results) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnEnd(REFGUID context, HRESULT status) = 0;
};
__CRT_UUID_DECL(IPortableDevicePropertiesBulkCallback, 0x9deacb80, 0x11e8, 0x40e3, 0xa9, 0xf3, 0xf5, 0x57, 0x98,
                0x6a, 0x78, 0x45)

// QueryInterface on IPortableDeviceProperties; E_NOINTERFACE where the device has no bulk support.
struct IPortableDevicePropertiesBulk : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueueGetValuesByObjectList(IPortableDevicePropVariantCollection *objectIds,
                                                                 IPortableDeviceKeyCollection *keys,
                                                                 IPortableDevicePropertiesBulkCallback *callback,
                                                                 GUID *context) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueGetValuesByObjectFormat(REFGUID format, LPCWSTR parentObjectId,
                                                                   const DWORD depth, IPortableDeviceKeyCollection *keys,
                                                                   IPortableDevicePropertiesBulkCallback *callback,
                                                                   GUID *context) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueSetValuesByObjectList(IPortableDeviceValuesCollection *objectValues,
                                                                 IPortableDevicePropertiesBulkCallback *callback,
                                                                 GUID *context) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start(REFGUID context) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel(REFGUID context) = 0;
};
__CRT_UUID_DECL(IPortableDevicePropertiesBulk, 0x482b05c0, 0x4056, 0x44ed, 0x9e, 0x0f, 0x5e, 0x23, 0xb0, 0x09, 0xda,
                0x93)

namespace wpd {

// ---------------------------------------------------------------------------------------------------
// Class ids. CLSID_PortableDeviceValues comes from mingw (libportabledeviceguids).

inline constexpr CLSID CLSID_PortableDeviceManager = {
    0x0af10cec, 0x2ecd, 0x4b92, {0x95, 0x81, 0x34, 0xf6, 0xae, 0x06, 0x37, 0xf3}};
inline constexpr CLSID CLSID_PortableDevice = {
    0x728a21c5, 0x3d9e, 0x48d7, {0x98, 0x10, 0x86, 0x48, 0x48, 0xf0, 0xf4, 0x04}};
inline constexpr CLSID CLSID_PortableDeviceValues = {
    0x0c15d503, 0xd017, 0x47ce, {0x90, 0x16, 0x7b, 0x3f, 0x97, 0x87, 0x21, 0xcc}};
inline constexpr CLSID CLSID_PortableDeviceKeyCollection = {
    0xde2d022d, 0x2480, 0x43be, {0x97, 0xf0, 0xd1, 0xfa, 0x2c, 0xf9, 0x8f, 0x4f}};
inline constexpr CLSID CLSID_PortableDevicePropVariantCollection = {
    0x08a99e2f, 0x6d6d, 0x4b80, {0xaf, 0x5a, 0xba, 0xf2, 0xbc, 0xbe, 0x4c, 0xb9}};

// ---------------------------------------------------------------------------------------------------
// Property keys

inline constexpr GUID WPD_CLIENT_INFORMATION_PROPERTIES_V1 = {
    0x204d9f0c, 0x2292, 0x4080, {0x9f, 0x42, 0x40, 0x66, 0x4e, 0x70, 0xf8, 0x59}};
inline constexpr PROPERTYKEY WPD_CLIENT_NAME = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 2};
inline constexpr PROPERTYKEY WPD_CLIENT_MAJOR_VERSION = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 3};
inline constexpr PROPERTYKEY WPD_CLIENT_MINOR_VERSION = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 4};
inline constexpr PROPERTYKEY WPD_CLIENT_REVISION = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 5};
inline constexpr PROPERTYKEY WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 8};
inline constexpr PROPERTYKEY WPD_CLIENT_DESIRED_ACCESS = {WPD_CLIENT_INFORMATION_PROPERTIES_V1, 9};

inline constexpr GUID WPD_OBJECT_PROPERTIES_V1 = {
    0xef6b490d, 0x5cd8, 0x437a, {0xaf, 0xfc, 0xda, 0x8b, 0x60, 0xee, 0x4a, 0x3c}};
inline constexpr PROPERTYKEY WPD_OBJECT_ID = {WPD_OBJECT_PROPERTIES_V1, 2};
inline constexpr PROPERTYKEY WPD_OBJECT_PARENT_ID = {WPD_OBJECT_PROPERTIES_V1, 3};
inline constexpr PROPERTYKEY WPD_OBJECT_NAME = {WPD_OBJECT_PROPERTIES_V1, 4};
inline constexpr PROPERTYKEY WPD_OBJECT_PERSISTENT_UNIQUE_ID = {WPD_OBJECT_PROPERTIES_V1, 5};
inline constexpr PROPERTYKEY WPD_OBJECT_FORMAT = {WPD_OBJECT_PROPERTIES_V1, 6};
inline constexpr PROPERTYKEY WPD_OBJECT_CONTENT_TYPE = {WPD_OBJECT_PROPERTIES_V1, 7};
inline constexpr PROPERTYKEY WPD_OBJECT_ISHIDDEN = {WPD_OBJECT_PROPERTIES_V1, 9};
inline constexpr PROPERTYKEY WPD_OBJECT_SIZE = {WPD_OBJECT_PROPERTIES_V1, 11};
inline constexpr PROPERTYKEY WPD_OBJECT_ORIGINAL_FILE_NAME = {WPD_OBJECT_PROPERTIES_V1, 12};
inline constexpr PROPERTYKEY WPD_OBJECT_REFERENCES = {WPD_OBJECT_PROPERTIES_V1, 14};
inline constexpr PROPERTYKEY WPD_OBJECT_DATE_MODIFIED = {WPD_OBJECT_PROPERTIES_V1, 19};
inline constexpr PROPERTYKEY WPD_OBJECT_CAN_DELETE = {WPD_OBJECT_PROPERTIES_V1, 26};

inline constexpr GUID WPD_STORAGE_OBJECT_PROPERTIES_V1 = {
    0x01a3057a, 0x74d6, 0x4e80, {0xbe, 0xa7, 0xdc, 0x4c, 0x21, 0x2c, 0xe5, 0x0a}};
inline constexpr PROPERTYKEY WPD_STORAGE_CAPACITY = {WPD_STORAGE_OBJECT_PROPERTIES_V1, 4};
inline constexpr PROPERTYKEY WPD_STORAGE_FREE_SPACE_IN_BYTES = {WPD_STORAGE_OBJECT_PROPERTIES_V1, 5};

inline constexpr GUID WPD_DEVICE_PROPERTIES_V1 = {
    0x26d4979a, 0xe643, 0x4626, {0x9e, 0x2b, 0x73, 0x6d, 0xc0, 0xc9, 0x2f, 0xdc}};
inline constexpr PROPERTYKEY WPD_DEVICE_MANUFACTURER = {WPD_DEVICE_PROPERTIES_V1, 7};
inline constexpr PROPERTYKEY WPD_DEVICE_MODEL = {WPD_DEVICE_PROPERTIES_V1, 8};
inline constexpr PROPERTYKEY WPD_DEVICE_SERIAL_NUMBER = {WPD_DEVICE_PROPERTIES_V1, 9};
inline constexpr PROPERTYKEY WPD_DEVICE_DATETIME = {WPD_DEVICE_PROPERTIES_V1, 11};
inline constexpr PROPERTYKEY WPD_DEVICE_FRIENDLY_NAME = {WPD_DEVICE_PROPERTIES_V1, 12};

// What IPortableDeviceProperties::GetPropertyAttributes answers about one property of one object.
inline constexpr GUID WPD_PROPERTY_ATTRIBUTES_V1 = {
    0xab7943d8, 0x6332, 0x445f, {0xa0, 0x0d, 0x8d, 0x5e, 0xf1, 0xe9, 0x6f, 0x37}};
inline constexpr PROPERTYKEY WPD_PROPERTY_ATTRIBUTE_CAN_READ = {WPD_PROPERTY_ATTRIBUTES_V1, 3};
inline constexpr PROPERTYKEY WPD_PROPERTY_ATTRIBUTE_CAN_WRITE = {WPD_PROPERTY_ATTRIBUTES_V1, 4};
inline constexpr PROPERTYKEY WPD_PROPERTY_ATTRIBUTE_CAN_DELETE = {WPD_PROPERTY_ATTRIBUTES_V1, 5};

inline constexpr PROPERTYKEY WPD_RESOURCE_DEFAULT = {
    {0xe81e79be, 0x34f0, 0x41bf, {0xb5, 0x3f, 0xf1, 0xa0, 0x6a, 0xe8, 0x78, 0x42}}, 0};
inline constexpr PROPERTYKEY WPD_RESOURCE_THUMBNAIL = {
    {0xc7c407ba, 0x98fa, 0x46b5, {0x99, 0x60, 0x23, 0xfe, 0xc1, 0x24, 0xcf, 0xde}}, 0};

// Command sets: the common keys of every SendCommand, and the MTP vendor extension.
inline constexpr GUID WPD_CATEGORY_COMMON = {
    0xf0422a9c, 0x5dc8, 0x4440, {0xb5, 0xbd, 0x5d, 0xf2, 0x88, 0x35, 0x65, 0x8a}};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_COMMAND_CATEGORY = {WPD_CATEGORY_COMMON, 1001};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_COMMAND_ID = {WPD_CATEGORY_COMMON, 1002};
inline constexpr PROPERTYKEY WPD_PROPERTY_COMMON_HRESULT = {WPD_CATEGORY_COMMON, 1003};

inline constexpr GUID WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS = {
    0x4d545058, 0x1a2e, 0x4106, {0xa3, 0x57, 0x77, 0x1e, 0x08, 0x19, 0xfc, 0x56}};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITHOUT_DATA_PHASE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 12};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_READ = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 13};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_EXECUTE_COMMAND_WITH_DATA_TO_WRITE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 14};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_READ_DATA = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 15};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_WRITE_DATA = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 16};
inline constexpr PROPERTYKEY WPD_COMMAND_MTP_EXT_END_DATA_TRANSFER = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 17};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_OPERATION_CODE = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1001};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_OPERATION_PARAMS = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1002};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_RESPONSE_CODE = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1003};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1004};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1006};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1007};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_READ = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1008};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_READ = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1009};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_TO_WRITE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1010};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1011};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_TRANSFER_DATA = {WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1012};
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_OPTIMAL_TRANSFER_BUFFER_SIZE = {
    WPD_CATEGORY_MTP_EXT_VENDOR_OPERATIONS, 1013};
// Same pid as TRANSFER_NUM_BYTES_WRITTEN, other format id.
inline constexpr PROPERTYKEY WPD_PROPERTY_MTP_EXT_EVENT_PARAMS = {
    {0x4d545058, 0xef88, 0x4e4d, {0x95, 0xc3, 0x4f, 0x32, 0x7f, 0x72, 0x8a, 0x96}}, 1011};

// Events
inline constexpr GUID WPD_EVENT_PROPERTIES_V1 = {
    0x15ab1953, 0xf817, 0x4fef, {0xa9, 0x21, 0x56, 0x76, 0xe8, 0x38, 0xf6, 0xe0}};
inline constexpr PROPERTYKEY WPD_EVENT_PARAMETER_PNP_DEVICE_ID = {WPD_EVENT_PROPERTIES_V1, 2};
inline constexpr PROPERTYKEY WPD_EVENT_PARAMETER_EVENT_ID = {WPD_EVENT_PROPERTIES_V1, 3};
// Data1 carries the vendor event code in its upper 16 bits.
inline constexpr GUID WPD_EVENT_MTP_VENDOR_EXTENDED_EVENTS = {
    0x00000000, 0x5738, 0x4ff2, {0x84, 0x45, 0xbe, 0x31, 0x26, 0x69, 0x10, 0x59}};
inline constexpr GUID WPD_EVENT_OBJECT_ADDED = {
    0xa726da95, 0xe207, 0x4b02, {0x8d, 0x44, 0xbe, 0xf2, 0xe8, 0x6c, 0xbf, 0xfc}};
// The property id of a key in this set is the MTP device property code.
inline constexpr GUID WPD_PROPERTIES_MTP_VENDOR_EXTENDED_DEVICE_PROPS = {
    0x4d545058, 0x8900, 0x40b3, {0x8f, 0x1d, 0xdc, 0x24, 0x6e, 0x1e, 0x83, 0x70}};

// ---------------------------------------------------------------------------------------------------
// Content types, functional categories and object formats

inline constexpr GUID WPD_CONTENT_TYPE_UNSPECIFIED = {
    0x28d8d31e, 0x249c, 0x454e, {0xaa, 0xbc, 0x34, 0x88, 0x31, 0x68, 0xe6, 0x34}};
inline constexpr GUID WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT = {
    0x99ed0160, 0x17ff, 0x4c44, {0x9d, 0x98, 0x1d, 0x7a, 0x6f, 0x94, 0x19, 0x21}};
inline constexpr GUID WPD_CONTENT_TYPE_FOLDER = {
    0x27e2e392, 0xa111, 0x48e0, {0xab, 0x0c, 0xe1, 0x77, 0x05, 0xa0, 0x5f, 0x85}};
inline constexpr GUID WPD_CONTENT_TYPE_PLAYLIST = {
    0x1a33f7e4, 0xaf13, 0x48f5, {0x99, 0x4e, 0x77, 0x36, 0x9d, 0xfe, 0x04, 0xa3}};
inline constexpr GUID WPD_CONTENT_TYPE_AUDIO = {
    0x4ad2c85e, 0x5e2d, 0x45e5, {0x88, 0x64, 0x4f, 0x22, 0x9e, 0x3c, 0x6c, 0xf0}};
inline constexpr GUID WPD_CONTENT_TYPE_IMAGE = {
    0xef2107d5, 0xa52a, 0x4243, {0xa2, 0x6b, 0x62, 0xd4, 0x17, 0x6d, 0x76, 0x03}};
inline constexpr GUID WPD_CONTENT_TYPE_GENERIC_FILE = {
    0x0085e0a6, 0x8d34, 0x45d7, {0xbc, 0x5c, 0x44, 0x7e, 0x59, 0xc7, 0x3d, 0x48}};
inline constexpr GUID WPD_CONTENT_TYPE_VIDEO = {
    0x9261b03c, 0x3d78, 0x4519, {0x85, 0xe3, 0x02, 0xc5, 0xe1, 0xf5, 0x0b, 0xb9}};

inline constexpr GUID WPD_FUNCTIONAL_CATEGORY_STORAGE = {
    0x23f05bbc, 0x15de, 0x4c2a, {0xa5, 0x5b, 0xa9, 0xaf, 0x5c, 0xe4, 0x12, 0xef}};

// MTP object format code 0xCCCC is {CCCC0000-AE6C-4804-98BA-C57B46965FE7}.
constexpr GUID MtpFormatGuid(unsigned short mtpFormatCode) {
    return {static_cast<unsigned long>(mtpFormatCode) << 16, 0xae6c, 0x4804,
            {0x98, 0xba, 0xc5, 0x7b, 0x46, 0x96, 0x5f, 0xe7}};
}
inline constexpr GUID WPD_OBJECT_FORMAT_UNSPECIFIED = MtpFormatGuid(0x3000);
inline constexpr GUID WPD_OBJECT_FORMAT_ALL = {
    0xc1f62eb2, 0x4bb3, 0x479c, {0x9c, 0xfa, 0x05, 0xb5, 0xf3, 0xa5, 0x7b, 0x22}};
inline constexpr GUID WPD_OBJECT_FORMAT_ICON = {
    0x077232ed, 0x102c, 0x4638, {0x9c, 0x22, 0x83, 0xf1, 0x42, 0xbf, 0xc8, 0x22}};

inline constexpr GUID GUID_DEVINTERFACE_WPD = {
    0x6ac27878, 0xa6fa, 0x4155, {0xba, 0x85, 0xf9, 0x8f, 0x49, 0x1d, 0x4f, 0x33}};

// ---------------------------------------------------------------------------------------------------
// Constants

inline constexpr wchar_t WPD_DEVICE_OBJECT_ID[] = L"DEVICE";
inline constexpr DWORD PORTABLE_DEVICE_DELETE_NO_RECURSION = 0;
inline constexpr DWORD PORTABLE_DEVICE_DELETE_WITH_RECURSION = 1;

// The platform's own failures (facility FACILITY_WPD).
inline constexpr HRESULT E_WPD_DEVICE_ALREADY_OPENED = static_cast<HRESULT>(0x802A0001);
inline constexpr HRESULT E_WPD_DEVICE_NOT_OPEN = static_cast<HRESULT>(0x802A0002);
inline constexpr HRESULT E_WPD_OBJECT_NOT_COMMITED = static_cast<HRESULT>(0x802A0005);  // the platform's spelling

// ---------------------------------------------------------------------------------------------------
// MTP codes carried through the extension commands, under the protocol's own names: operations
// (PTP_OC_), responses (PTP_RC_), object properties (PTP_OPC_).

inline constexpr WORD PTP_OC_OpenSession = 0x1002;
inline constexpr WORD PTP_OC_CloseSession = 0x1003;
inline constexpr WORD PTP_OC_GetObjectHandles = 0x1007;
inline constexpr WORD PTP_OC_MTP_GetObjectPropValue = 0x9803;
inline constexpr WORD PTP_OC_MTP_GetObjPropList = 0x9805;
inline constexpr ULONG PTP_OPC_PersistantUniqueObjectIdentifier = 0xDC41;  // the protocol's spelling
inline constexpr ULONG PTP_GOH_ALL_STORAGE = 0xFFFFFFFF;                   // GetObjectHandles: every storage
inline constexpr WORD PTP_DTC_UINT128 = 0x000A;                             // a property value's data type

inline constexpr ULONG PTP_RC_OK = 0x2001;
inline constexpr ULONG PTP_RC_GeneralError = 0x2002;
inline constexpr ULONG PTP_RC_SessionNotOpen = 0x2003;
inline constexpr ULONG PTP_RC_OperationNotSupported = 0x2005;
inline constexpr ULONG PTP_RC_ParameterNotSupported = 0x2006;
inline constexpr ULONG PTP_RC_InvalidObjectHandle = 0x2009;
inline constexpr ULONG PTP_RC_StoreFull = 0x200C;
inline constexpr ULONG PTP_RC_AccessDenied = 0x200F;
inline constexpr ULONG PTP_RC_SpecificationByFormatUnsupported = 0x2014;
inline constexpr ULONG PTP_RC_DeviceBusy = 0x2019;
inline constexpr ULONG PTP_RC_InvalidParameter = 0x201D;
inline constexpr ULONG PTP_RC_SessionAlreadyOpened = 0x201E;
inline constexpr ULONG PTP_RC_MTP_Invalid_ObjectPropCode = 0xA801;
inline constexpr ULONG PTP_RC_MTP_Specification_By_Group_Unsupported = 0xA807;
inline constexpr ULONG PTP_RC_MTP_Specification_By_Depth_Unsupported = 0xA808;

}  // namespace wpd
