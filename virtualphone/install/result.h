// Early returns for the installer's HRESULT and Win32 BOOL calls.
#pragma once

#include "virtualphone/install/registry.h"

// Same meaning as the library's macro of this name, for code that does not log.
#ifndef RETURN_IF_FAILED
#define RETURN_IF_FAILED(expr)                   \
    do {                                         \
        const HRESULT hrFailed_ = (expr);        \
        if (FAILED(hrFailed_)) return hrFailed_; \
    } while (0)
#endif

#define RETURN_LAST_ERROR_IF_FALSE(expr)                               \
    do {                                                               \
        if (!(expr)) return ::vphone::install::LastErrorResult();      \
    } while (0)
