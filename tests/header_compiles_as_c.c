/* The public header serves C hosts as well: this file only has to compile, for every target. */
#include "orvik.h"

_Static_assert(sizeof(WPD_DEVICE_INFO) == 708, "WPD_DEVICE_INFO");
_Static_assert(sizeof(WPD_DEVICE_TIME) == 20, "WPD_DEVICE_TIME");
_Static_assert(sizeof(TransferProgress) == 88, "TransferProgress");
_Static_assert(sizeof(WPD_ERROR) == 4, "WPD_ERROR");

WPD_ERROR ORVIK_CALL HeaderProbe(void *handle, WPD_MONITOR_CALLBACK callback);
WPD_ERROR ORVIK_CALL HeaderProbe(void *handle, WPD_MONITOR_CALLBACK callback) {
    return WPD_Monitor_Set(handle, callback);
}
