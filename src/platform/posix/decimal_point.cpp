#include "platform/decimal_point.h"

#include <langinfo.h>

namespace qel::platform {

// The thread's locale item that printf reads, without the copy of every
// numeric and monetary field that localeconv makes.
bool DecimalPointIsDot() noexcept {
    const char* point = nl_langinfo(RADIXCHAR);
    return point[0] == '.' && point[1] == '\0';
}

}  // namespace qel::platform
