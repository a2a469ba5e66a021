// One connected handle for the length of a command: the phone chosen by --device, or the only one.
#pragma once

#include "commands.h"

class PhoneSession {
public:
    explicit PhoneSession(Context &context);
    ~PhoneSession();
    PhoneSession(const PhoneSession &) = delete;
    PhoneSession &operator=(const PhoneSession &) = delete;

    // kExitOk when the phone is connected; the failure has been shown otherwise.
    int status() const { return status_; }
    void *handle() const { return handle_; }

private:
    OrvikLibrary &orvik_;
    void *handle_ = nullptr;
    bool connected_ = false;
    int status_ = kExitFailed;
};
