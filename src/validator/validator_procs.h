// The two validator interfaces with their procedures.
#pragma once

#include "frame/proc_table.h"

namespace NPOSValidatorImpl {

QEL_T_MT::Publication<qelutils::contract::POSValidatorInterface> ValidatorTable() noexcept;
QEL_T_MT::Publication<qelutils::contract::POSStructValidatorInterface> StructValidatorTable() noexcept;

}  // namespace NPOSValidatorImpl
