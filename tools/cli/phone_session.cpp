#include "phone_session.h"

#include "device_list.h"
#include "text.h"

namespace {

// The id to connect by: --device as given, or the instance id of the only phone present.
bool ChooseDevice(Context &context, std::string *id, bool *byInstance) {
    if (!context.arguments.device.empty()) {
        *id = ToAnsi(context.arguments.device);
        *byInstance = context.arguments.instance;
        return true;
    }
    const std::vector<PortableDeviceEntry> devices = ListPortableDevices();
    if (devices.empty()) {
        context.out.PrintError("orvik-cli: no phone is present\n");
        return false;
    }
    if (devices.size() > 1) {
        context.out.PrintError("orvik-cli: %zu phones are present; choose one with --device ID (see orvik-cli devices)\n",
                               devices.size());
        return false;
    }
    *id = ToAnsi(devices.front().instanceId);
    *byInstance = true;
    return true;
}

}  // namespace

PhoneSession::PhoneSession(Context &context) : orvik_(context.orvik) {
    std::string id;
    bool byInstance = false;
    if (!ChooseDevice(context, &id, &byInstance)) return;
    handle_ = orvik_.WPD_InitializeEx(WPD_METHOD_ZEPH, 0);
    if (!handle_) {
        context.out.PrintError("orvik-cli: the library gave no handle\n");
        return;
    }
    const WPD_ERROR result = orvik_.WPD_ConnectDevice(handle_, id.data(), byInstance, 0);
    connected_ = result == WPD_ERROR_OK;
    status_ = Outcome(context, "connect " + ToUtf8(FromAnsi(id)), result);
}

PhoneSession::~PhoneSession() {
    if (connected_) orvik_.WPD_DisconnectDevice(handle_);
    if (handle_) orvik_.WPD_Uninitialize(handle_);
}
