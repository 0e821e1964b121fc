#include "platform/decimal_point.h"

#include <clocale>

namespace qel::platform {

// The runtime's printf takes its separator from the same record.
bool DecimalPointIsDot() noexcept {
    const char* point = std::localeconv()->decimal_point;
    return point[0] == '.' && point[1] == '\0';
}

}  // namespace qel::platform
