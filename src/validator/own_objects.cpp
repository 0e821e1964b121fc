#include "validator/own_objects.h"

#include "frame/own_names.h"

namespace NPOSValidatorImpl {

OwnObjects::OwnObjects() : implementation_(QEL_T_MT::ImplementationName(QEL_T_MT::OwnKind::POSObject).text()) {}

}  // namespace NPOSValidatorImpl
