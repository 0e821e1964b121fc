// The meta-schema: the schema whose type "StructSchema" accepts exactly the
// schemas that the validator understands.
#pragma once

namespace NPOSValidatorImpl {

// Fixed at build time; parsed anew by every schema check.
extern const char kMetaSchemaText[];

}  // namespace NPOSValidatorImpl
