#include "virtualphone/model/phone_identity.h"

#include <cwctype>

namespace vphone {

std::wstring DeviceInterfacePath(const std::wstring &instanceId) {
    std::wstring path = L"\\\\?\\";
    for (wchar_t c : instanceId) path += c == L'\\' ? L'#' : static_cast<wchar_t>(std::towlower(c));
    return path + L"#{6ac27878-a6fa-4155-ba85-f98f491d4f33}";
}

}  // namespace vphone
