#include "objects/text_parser.h"

#include <cstring>

#include "objects/characters.h"
#include "objects/decimal_parse.h"
#include "objects/heap_stack.h"
#include "objects/nesting.h"
#include "objects/pos_client.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSDict;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSObject;
using QEL_T_MT::CPOSString;
using QEL_T_MT::CPOSUnicodeString;

namespace {

bool IsLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordByte(char c) noexcept { return IsLetter(c) || IsDecimalDigit(c) || c == '_'; }

int HexValue(char c) noexcept {
    const int value = HexDigitValue(c);
    return value < 0 ? 0 : value;  // a bad digit counts as 0
}

[[noreturn]] void Fail(const char* message, const char* at) { throw CFTParseError(message, at); }

// Token conversions keep their fixed buffers out of the recursive frames, so
// that nesting costs as little stack as possible.

// Bytes [begin, end) with each escaping backslash dropped.
[[gnu::noinline]] CPOSObject StringToken(const char* begin, const char* end, const char* after) {
    if (end - begin > static_cast<long>(kMaxStringBytes)) Fail("Exceeded max string length", after);
    char buffer[kMaxStringBytes + 1];
    size_t n = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '\\' && p + 1 < end) ++p;
        buffer[n++] = *p;
    }
    buffer[n] = '\0';
    return CPOSString(buffer);
}

[[gnu::noinline]] CPOSObject NumberToken(const char* begin, const char* end) {
    if (end - begin > static_cast<long>(kMaxNumberChars)) Fail("Exceeded max number length", end);
    return CPOSNumber::New(ParseDecimal(begin, end));
}

[[gnu::noinline]] CPOSObject UnicodeToken(const char* begin, const char* end, const char* after) {
    if (end - begin > static_cast<long>(kMaxUnicodeDigits)) Fail("Exceeded max string length", after);
    uint16_t units[kMaxUnicodeDigits / 4 + 1];
    size_t n = 0;
    for (const char* p = begin; end - p >= 4; p += 4) {
        const int high = HexValue(p[0]) * 16 + HexValue(p[1]);
        const int low = HexValue(p[2]) * 16 + HexValue(p[3]);
        units[n++] = static_cast<uint16_t>(high << 8 | low);
    }
    units[n] = 0;  // an incomplete last group is dropped
    return CPOSUnicodeString::New(units);
}

class Parser final {
public:
    explicit Parser(const char* text) noexcept : cursor_(text) {}

    CPOSObject Document() {
        CPOSObject value = Value();
        while (IsWhiteSpace(*cursor_)) ++cursor_;
        if (*cursor_ != '\0') Fail("Unexpected characters after object", cursor_);
        return value;
    }

private:
    enum class Kind { Array, Dict };

    // A container whose closing bracket is still ahead.
    struct Open final {
        // Refused past the nesting bound before the container is made.
        Open(unsigned& depth, const char* at, bool dict)
            : level(depth, CFTParseError(kTooDeep, at)),
              container(dict ? CPOSObject(CPOSDict::New()) : CPOSObject(CPOSArray::New())) {}
        NestingGuard level;
        CPOSObject container;
        Kind kind = Kind::Array;
        CPOSString key;  // a dictionary's key whose value is being parsed
    };

    // One value with everything in it. The containers still open are kept on
    // the heap, so that nesting costs no stack.
    CPOSObject Value() {
        HeapStack<Open> open;
        for (;;) {
            // A key's value stands on its own, like the top-level value: a
            // closing bracket there closes nothing.
            Open* context = open.empty() ? nullptr : &open.Top();
            if (context != nullptr && context->kind == Kind::Dict && !context->key.empty()) context = nullptr;

            CPOSObject value;
            switch (Token(context, value)) {
                case Got::Value:
                    break;
                case Got::Opening: {
                    Open& opened = open.Push(depth_, cursor_, *cursor_ == '<');
                    ++cursor_;
                    opened.kind = KindOf(opened.container);
                    continue;
                }
                case Got::Closing:
                    value = context->container;
                    open.Pop();
                    break;
            }
            if (open.empty()) return value;
            Open& enclosing = open.Top();
            if (enclosing.kind == Kind::Array) {
                CPOSArray(enclosing.container, Lookup::Strict).Append(value);
            } else if (enclosing.key.empty()) {
                enclosing.key = CPOSString(value, Lookup::Quiet);
                if (enclosing.key.empty()) Fail("Expected dictionary key string", cursor_);
            } else {
                CPOSDict(enclosing.container, Lookup::Strict).Put(enclosing.key.Get(), value);
                enclosing.key.Reset();
            }
        }
    }

    Kind KindOf(const CPOSObject& container) const {
        if (!CPOSDict(container, Lookup::Quiet).empty()) return Kind::Dict;
        if (!CPOSArray(container, Lookup::Quiet).empty()) return Kind::Array;
        Fail("Bad parser state", cursor_);
    }

    enum class Got { Value, Opening, Closing };

    // The next token in the context of the innermost open container (none
    // for a value of its own): a value, the opening bracket of a container
    // (the cursor stays on it), or the context's closing bracket.
    Got Token(const Open* context, CPOSObject& value) {
        for (;;) {
            const char c = *cursor_;
            if (c == '\0') Fail("Empty text string", cursor_);
            if (IsWhiteSpace(c)) {
                ++cursor_;
                continue;
            }
            if (c == '<' || c == '[') return Got::Opening;
            if (c == '>' || c == ']') {
                ++cursor_;
                if (context == nullptr || context->kind != (c == '>' ? Kind::Dict : Kind::Array))
                    Fail(c == '>' ? "Unexpected >" : "Unexpected ]", cursor_);
                return Got::Closing;
            }
            value = Scalar(c);
            return Got::Value;
        }
    }

    // A word, number, parenthesised or Unicode string starting at c.
    CPOSObject Scalar(char c) {
        if (IsLetter(c) || c == '_') {
            const char* begin = cursor_;
            while (IsWordByte(*cursor_)) ++cursor_;
            return StringToken(begin, cursor_, cursor_);
        }
        if (IsDecimalDigit(c) || c == '+' || c == '-' || c == '.') {
            const char* begin = cursor_++;
            while (IsDecimalDigit(*cursor_) || *cursor_ == '.') ++cursor_;
            return NumberToken(begin, cursor_);
        }
        if (c == '(') {
            const char* begin = ++cursor_;
            while (*cursor_ != ')') {
                if (*cursor_ == '\0') Fail("Unterminated string", cursor_);
                if (*cursor_ == '\\' && cursor_[1] != '\0') ++cursor_;
                ++cursor_;
            }
            const char* end = cursor_++;
            return StringToken(begin, end, cursor_);
        }
        if (c == '`') {
            const char* begin = ++cursor_;
            while (*cursor_ != '`') {
                if (*cursor_ == '\0') Fail("Unterminated string", cursor_);
                ++cursor_;
            }
            const char* end = cursor_++;
            return UnicodeToken(begin, end, cursor_);
        }
        Fail("Unexpected character", cursor_);
    }

    const char* cursor_;
    unsigned depth_ = 0;  // containers open at the cursor
};

}  // namespace

QELContainerHandle ParseText(const char* text, const char** errorPosition, const char** errorMessage) {
    if (errorMessage != nullptr) *errorMessage = nullptr;
    if (text == nullptr) throw QEL_T_MT::POSException("CreateFromText: no text");
    try {
        CPOSObject value = Parser(text).Document();
        return value.ReleaseForReturn();
    } catch (const CFTParseError& e) {
        if (errorPosition != nullptr) *errorPosition = e.position;
        if (errorMessage != nullptr) *errorMessage = e.what();
        return nullptr;
    }
}

QELContainerHandle ParseText(const char* text, const char** errorPosition) {
    return ParseText(text, errorPosition, nullptr);
}

}  // namespace NPOSObjectImpl
