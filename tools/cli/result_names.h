#pragma once

#include "orvik.h"

// "WPD_ERROR_BUSY (4): the phone is busy" and the like, for every result code.
const char *ResultName(WPD_ERROR result);
const char *ResultMeaning(WPD_ERROR result);
