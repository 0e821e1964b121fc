#include "objects/text_parser.h"

#include <cstring>
#include <vector>

#include "objects/characters.h"
#include "objects/decimal_parse.h"
#include "objects/nesting.h"
#include "objects/pending_entries.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

namespace {

bool IsLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordByte(char c) noexcept { return IsLetter(c) || IsDecimalDigit(c) || c == '_'; }

int HexValue(char c) noexcept {
    const int value = HexDigitValue(c);
    return value < 0 ? 0 : value;  // a bad digit counts as 0
}

[[noreturn]] void Fail(const char* message, const char* at) { throw CFTParseError(message, at); }

// Token conversions keep their fixed buffers out of the parser's frames.

// Bytes [begin, end) with each escaping backslash dropped.
[[gnu::noinline]] NewValue StringToken(const char* begin, const char* end, const char* after) {
    if (end - begin > static_cast<long>(kMaxStringBytes)) Fail("Exceeded max string length", after);
    char buffer[kMaxStringBytes + 1];
    size_t n = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '\\' && p + 1 < end) ++p;
        buffer[n++] = *p;
    }
    buffer[n] = '\0';
    return NewValue{nullptr, QELStringAtomRef(buffer)};
}

[[gnu::noinline]] NewValue NumberToken(const char* begin, const char* end) {
    if (end - begin > static_cast<long>(kMaxNumberChars)) Fail("Exceeded max number length", end);
    return NewValue{MakeObject<Number>(ParseDecimal(begin, end)), {}};
}

[[gnu::noinline]] NewValue UnicodeToken(const char* begin, const char* end, const char* after) {
    if (end - begin > static_cast<long>(kMaxUnicodeDigits)) Fail("Exceeded max string length", after);
    uint16_t units[kMaxUnicodeDigits / 4 + 1];
    size_t n = 0;
    for (const char* p = begin; end - p >= 4; p += 4) {
        const int high = HexValue(p[0]) * 16 + HexValue(p[1]);
        const int low = HexValue(p[2]) * 16 + HexValue(p[3]);
        units[n++] = static_cast<uint16_t>(high << 8 | low);
    }
    units[n] = 0;  // an incomplete last group is dropped
    return NewValue{MakeObject<UnicodeString>(units), {}};
}

// The parser builds its own objects directly, as the published procedures
// would build them (NewPOSDict, Append, Put and the rest): only the finished
// value's container is handed out, and the working reference that the
// published CreateFromText would take on it and drop again is not taken.
class Parser final {
public:
    explicit Parser(const char* text) noexcept : cursor_(text) {}

    QELContainerHandle Document() {
        NewValue value = Value();
        while (IsWhiteSpace(*cursor_)) ++cursor_;
        if (*cursor_ != '\0') Fail("Unexpected characters after object", cursor_);
        return ContainerOf(std::move(value));
    }

private:
    // A container whose closing bracket is still ahead.
    struct Open final {
        Owned<BaseObject> container;
        bool dict;
        bool keyRead = false;   // a dictionary's key whose value is being parsed
        QELStringAtomRef key;
        size_t entries = 0;     // a dictionary's first pending entry
    };

    // One value with everything in it. The containers still open are kept on
    // the heap, so that nesting costs no stack.
    NewValue Value() {
        std::vector<Open> open;
        PendingEntries pending;
        for (;;) {
            // A key's value stands on its own, like the top-level value: a
            // closing bracket there closes nothing.
            Open* context = open.empty() ? nullptr : &open.back();
            if (context != nullptr && context->dict && context->keyRead) context = nullptr;

            NewValue value;
            const char c = NextToken();
            if (c == '<' || c == '[') {
                if (open.size() >= kMaxNesting) Fail(kTooDeep, cursor_);
                const bool dict = c == '<';
                open.push_back(Open{dict ? Owned<BaseObject>(MakeObject<Dict>()) : MakeObject<Array>(), dict, false,
                                    {}, pending.Mark()});
                ++cursor_;
                continue;
            }
            if (c == '>' || c == ']') {
                ++cursor_;
                if (context == nullptr || context->dict != (c == '>'))
                    Fail(c == '>' ? "Unexpected >" : "Unexpected ]", cursor_);
                if (context->dict) pending.MoveInto(static_cast<Dict&>(*context->container), context->entries);
                value.object = std::move(context->container);
                open.pop_back();
            } else {
                value = Scalar(c);
            }
            if (open.empty()) return value;
            Open& enclosing = open.back();
            if (!enclosing.dict) {
                static_cast<Array&>(*enclosing.container).Append(QELContainerRef(ContainerOf(std::move(value))));
            } else if (!enclosing.keyRead) {
                if (!value.text) Fail("Expected dictionary key string", cursor_);
                enclosing.key = std::move(value.text);
                enclosing.keyRead = true;
            } else {
                pending.Add(std::move(enclosing.key), QELContainerRef(ContainerOf(std::move(value))));
                enclosing.keyRead = false;
            }
        }
    }

    // The first byte of the next token; the cursor stays on it.
    char NextToken() {
        for (;;) {
            const char c = *cursor_;
            if (c == '\0') Fail("Empty text string", cursor_);
            if (!IsWhiteSpace(c)) return c;
            ++cursor_;
        }
    }

    // A word, number, parenthesised or Unicode string starting at c.
    NewValue Scalar(char c) {
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
};

}  // namespace

QELContainerHandle ParseText(const char* text, const char** errorPosition, const char** errorMessage) {
    if (errorMessage != nullptr) *errorMessage = nullptr;
    if (text == nullptr) throw QEL_T_MT::POSException("CreateFromText: no text");
    try {
        return Parser(text).Document();
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
