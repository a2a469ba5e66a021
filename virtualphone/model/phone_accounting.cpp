#include "virtualphone/model/phone_accounting.h"

namespace vphone {
namespace {
thread_local int methodDepth = 0;
}

PhoneMethodScope::PhoneMethodScope() noexcept { ++methodDepth; }
PhoneMethodScope::~PhoneMethodScope() { --methodDepth; }
bool PhoneMethodScope::Active() noexcept { return methodDepth > 0; }

PhoneOwnMemoryScope::PhoneOwnMemoryScope() noexcept : saved_(methodDepth) { methodDepth = 0; }
PhoneOwnMemoryScope::~PhoneOwnMemoryScope() { methodDepth = saved_; }

}  // namespace vphone
