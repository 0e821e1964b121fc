// The decimal separator that the C runtime's printf writes in the calling
// thread's locale at this moment.
#pragma once

namespace qel::platform {

// True when it is ".", one byte.
bool DecimalPointIsDot() noexcept;

}  // namespace qel::platform
