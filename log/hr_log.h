// Early returns on failing HRESULTs that log the line the call site defines, once.
#pragma once

#include "log/log_line.h"

// format takes the HRESULT as its one argument ("Getting device content failed, hr = %08x").
#define RETURN_IF_FAILED_LOG(expr, format)                \
    do {                                                  \
        const HRESULT hrFailed_ = (expr);                 \
        if (FAILED(hrFailed_)) {                          \
            LogLine(1, format, static_cast<unsigned>(hrFailed_)); \
            return hrFailed_;                             \
        }                                                 \
    } while (0)

#define RETURN_IF_FAILED(expr)                \
    do {                                      \
        const HRESULT hrFailed_ = (expr);     \
        if (FAILED(hrFailed_)) return hrFailed_; \
    } while (0)
