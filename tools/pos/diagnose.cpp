#include "diagnose.h"

namespace pos {

namespace {

constexpr size_t kMaxToken = 100;
constexpr size_t kMaxUnicodeDigits = 401;
constexpr unsigned kMaxNesting = 1000;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Stop final {
    const char* message;
    size_t offset;
};

class Scanner final {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void Document() {
        Value(Kind::None, 0);
        while (At() != '\0' && IsSpace(At())) ++pos_;
        if (At() != '\0') throw Stop{"Unexpected characters after object", pos_};
    }

private:
    enum class Kind { None, Array, Dict };
    enum class Token { Closer, String, Other };

    char At() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    void Value(Kind container, unsigned depth) {
        for (;;) {
            const Token token = Next(container, depth);
            if (token == Token::Closer) return;
            if (container == Kind::None) return;
            if (container == Kind::Dict) {
                if (token != Token::String) throw Stop{"Expected dictionary key string", pos_};
                Value(Kind::None, depth);
            }
        }
    }

    Token Next(Kind container, unsigned depth) {
        for (;;) {
            const char c = At();
            if (c == '\0') throw Stop{"Empty text string", pos_};
            if (IsSpace(c)) {
                ++pos_;
                continue;
            }
            if (c == '<' || c == '[') {
                if (depth + 1 > kMaxNesting) throw Stop{"Nesting of arrays and dictionaries is too deep", pos_};
                ++pos_;
                Value(c == '<' ? Kind::Dict : Kind::Array, depth + 1);
                return Token::Other;
            }
            if (c == '>' || c == ']') {
                ++pos_;
                if (container != (c == '>' ? Kind::Dict : Kind::Array))
                    throw Stop{c == '>' ? "Unexpected >" : "Unexpected ]", pos_};
                return Token::Closer;
            }
            if (IsLetter(c) || c == '_') {
                const size_t begin = pos_;
                while (IsLetter(At()) || IsDigit(At()) || At() == '_') ++pos_;
                if (pos_ - begin > kMaxToken) throw Stop{"Exceeded max string length", pos_};
                return Token::String;
            }
            if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
                const size_t begin = pos_++;
                while (IsDigit(At()) || At() == '.') ++pos_;
                if (pos_ - begin > kMaxToken) throw Stop{"Exceeded max number length", pos_};
                return Token::Other;
            }
            if (c == '(' || c == '`') {
                const char close = c == '(' ? ')' : '`';
                const size_t begin = ++pos_;
                while (At() != close) {
                    if (At() == '\0') throw Stop{"Unterminated string", pos_};
                    if (close == ')' && At() == '\\' && pos_ + 1 < text_.size()) ++pos_;
                    ++pos_;
                }
                const size_t length = pos_++ - begin;
                if (length > (close == ')' ? kMaxToken : kMaxUnicodeDigits))
                    throw Stop{"Exceeded max string length", pos_};
                return close == ')' ? Token::String : Token::Other;
            }
            throw Stop{"Unexpected character", pos_};
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

SyntaxError Diagnose(std::string_view text) {
    try {
        Scanner(text).Document();
        return {};
    } catch (const Stop& stop) {
        return {stop.message, stop.offset};
    }
}

}  // namespace pos
