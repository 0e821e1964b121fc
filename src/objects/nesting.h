// Bounds the depth of recursive walks over nested values on one thread.
#pragma once

#include "frame/errors.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

inline constexpr const char kTooDeep[] = "Nesting of arrays and dictionaries is too deep";

class NestingGuard final {
public:
    NestingGuard() {
        if (depth_ >= kMaxNesting) throw QEL_T_MT::POSException(kTooDeep);
        ++depth_;
    }
    ~NestingGuard() { --depth_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    static inline thread_local unsigned depth_ = 0;
};

}  // namespace NPOSObjectImpl
