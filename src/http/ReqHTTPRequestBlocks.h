#pragma once

#include "http/ReqHTTPRequest.h"

#include <mutex>

// The blocks of one request. They are read at call time on the main thread, so a block cleared in between
// is not called.
struct ReqHTTPRequest::Blocks {
    struct Set {
        ReqBasicBlock startedBlock;
        ReqHeadersBlock headersReceivedBlock;
        ReqBasicBlock completionBlock;
        ReqBasicBlock failureBlock;
        ReqProgressBlock bytesReceivedBlock;
        ReqProgressBlock bytesSentBlock;
        ReqSizeBlock downloadSizeIncrementedBlock;
        ReqSizeBlock uploadSizeIncrementedBlock;
        ReqDataBlock dataReceivedBlock;
        ReqBasicBlock authenticationNeededBlock;
        ReqBasicBlock proxyAuthenticationNeededBlock;
        ReqBasicBlock requestRedirectedBlock;
    };

    template <typename B> void set(B Set::*slot, B block) {
        B replaced;
        {
            std::lock_guard lock(mutex);
            replaced = std::exchange(blocks.*slot, std::move(block));
        }
    }
    template <typename B> B get(B Set::*slot) const {
        std::lock_guard lock(mutex);
        return blocks.*slot;
    }
    template <typename B> bool has(B Set::*slot) const {
        std::lock_guard lock(mutex);
        return bool(blocks.*slot);
    }
    Set takeAll() {
        std::lock_guard lock(mutex);
        return std::exchange(blocks, Set());
    }

private:
    mutable std::mutex mutex;
    Set blocks;
};
