// The text notation of property objects, parsed into new objects through
// the published procedures.
#pragma once

#include "frame/errors.h"
#include "qelutils/qel_types.h"

namespace NPOSObjectImpl {

// A syntax error, with where the parser stopped.
class CFTParseError final : public DWEException {
public:
    CFTParseError(const char* message, const char* position) noexcept
        : DWEException(message), position(position) {}
    const char* position;
};

// The object written in text, handed out without a reference (as
// CreateFromText returns it); on a syntax error null, with the place where
// parsing stopped stored in errorPosition when given. Other failures throw.
QELContainerHandle ParseText(const char* text, const char** errorPosition);

// The same, also giving the syntax error's message (null on success).
QELContainerHandle ParseText(const char* text, const char** errorPosition, const char** errorMessage);

// Lengths of the notation's tokens.
inline constexpr unsigned kMaxStringBytes = 100;
inline constexpr unsigned kMaxNumberChars = 100;
inline constexpr unsigned kMaxUnicodeDigits = 401;

}  // namespace NPOSObjectImpl
