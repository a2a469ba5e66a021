// The host records' sizes and offsets, checked for every target the library is built for.
#include <cstddef>

#include "orvik.h"

static_assert(sizeof(WPD_ERROR) == 4 && sizeof(WPD_METHOD) == 4 && sizeof(WPD_MONITORED_EVENT) == 4 &&
              sizeof(WPD_SYNCML_SERVICE) == 4 && sizeof(WPD_SYNCML_MIME) == 4);
static_assert(sizeof(bool) == 1 && sizeof(unsigned long) == 4 && sizeof(wchar_t) == 2);

static_assert(sizeof(WPD_DEVICE_INFO) == 708);
static_assert(offsetof(WPD_DEVICE_INFO, cbSize) == 0);
static_assert(offsetof(WPD_DEVICE_INFO, reserved1) == 4);
static_assert(offsetof(WPD_DEVICE_INFO, szSerialNumber) == 68);
static_assert(offsetof(WPD_DEVICE_INFO, reserved2) == 132);
static_assert(offsetof(WPD_DEVICE_INFO, wszManufacturer) == 196);
static_assert(offsetof(WPD_DEVICE_INFO, wszModel) == 452);

static_assert(sizeof(WPD_DEVICE_TIME) == 20);
static_assert(offsetof(WPD_DEVICE_TIME, time) == 4);
static_assert(offsetof(WPD_DEVICE_TIME, timeZone) == 12);
static_assert(offsetof(WPD_DEVICE_TIME, dst) == 16);

static_assert(sizeof(TransferProgress) == 88);
static_assert(offsetof(TransferProgress, totalSize) == 8);
static_assert(offsetof(TransferProgress, percent) == 16);
static_assert(offsetof(TransferProgress, cancel) == 20);
static_assert(offsetof(TransferProgress, reserved) == 24);
