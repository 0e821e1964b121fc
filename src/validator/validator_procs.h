// The rows of the two validator interfaces, in publication order.
#pragma once

#include "frame/proc_table.h"

namespace NPOSValidatorImpl {

extern const QEL_T_MT::ProcRegistration kValidatorRows[2];
extern const QEL_T_MT::ProcRegistration kStructValidatorRows[4];

}  // namespace NPOSValidatorImpl
