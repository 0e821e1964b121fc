// The direct walk: the validation walk over the library's own objects, read
// in place, with each of the schema's definitions read once per validation.
// It visits, decides, counts and explains exactly as the reference walk
// (walk.h) does, and leaves every call it cannot make so to that walk.
//
// It makes fewer host calls than that walk, all of them for the walk's own
// transient work: no working reference on a member, a definition or a
// keyword's value (nothing runs that could release them; see
// definitions.h); no downcast through a published procedure (the kind is
// read from the object); no atom made to compare a text with a keyword or
// with "true" and "false" (strings hold atoms already); no buffer for a type
// without a check procedure. The lines it reports, the values and texts it
// hands to a check procedure, and its behaviour under an injected fault
// (one report, nothing leaked), are the same.
#pragma once

#include <cstdint>
#include <optional>

#include "validator/messages.h"
#include "validator/struct_validator.h"

namespace NPOSValidatorImpl {

// The number of broken rules of the value against the type, their lines
// added to lines. Empty when the walk met something it does not read in
// place (the schema, a part of a definition or of the value that is not the
// library's own, a client's check procedure): then nothing a caller can see
// has happened, lines are as they were, and the reference walk must run.
std::optional<int32_t> DirectWalk(const StructValidator& validator, const QELStringAtomRef& type,
                                  const CPOSObject& value, LineList& lines);

}  // namespace NPOSValidatorImpl
