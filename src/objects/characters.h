// The byte classes that the text notation and the TypeA form share: plain
// ASCII tests, the same whatever the locale.
#pragma once

namespace NPOSObjectImpl {

// Space, tab, carriage return and line feed; nothing else.
constexpr bool IsWhiteSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr bool IsDecimalDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit of either case, or -1 for any other byte.
constexpr int HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace NPOSObjectImpl
