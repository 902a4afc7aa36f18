#pragma once

#include "MessageDlg.h"

#include <utility>

// Puts a message handler in place for one scope and restores the previous one when it ends, so a
// test sees every message text without a dialog blocking it.
class TMessageHandlerScope {
public:
    explicit TMessageHandlerScope(TMessageHandler handler)
        : Previous(SetMessageHandler(std::move(handler))) {}
    ~TMessageHandlerScope() { SetMessageHandler(std::move(Previous)); }
    TMessageHandlerScope(const TMessageHandlerScope&) = delete;
    TMessageHandlerScope& operator=(const TMessageHandlerScope&) = delete;

private:
    TMessageHandler Previous;
};
