#include "extension/channel_responses.h"

#include <chrono>
#include <utility>

void ChannelResponses::SetATResponse(ULONG code) {
    std::lock_guard lock(lock_);
    atResponse_ = code;
}

ULONG ChannelResponses::ATResponse() const {
    std::lock_guard lock(lock_);
    return atResponse_;
}

void ChannelResponses::BeginSyncMLExchange() {
    std::lock_guard lock(lock_);
    awaiting_ = true;
    completion_.reset();
}

bool ChannelResponses::CompleteSyncMLExchange(HRESULT status) {
    {
        std::lock_guard lock(lock_);
        if (!awaiting_ || completion_) return false;
        completion_ = status;
    }
    completed_.notify_all();
    return true;
}

std::optional<HRESULT> ChannelResponses::AwaitSyncMLCompletion(unsigned long timeoutMs) {
    std::unique_lock lock(lock_);
    completed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return completion_.has_value(); });
    awaiting_ = false;
    return std::exchange(completion_, std::nullopt);
}
