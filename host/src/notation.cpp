#include "qelhost/notation.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace qelhost::notation {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWord(const std::string& s) {
    if (s.empty() || !(IsLetter(s[0]) || s[0] == '_')) return false;
    for (char c : s)
        if (!(IsLetter(c) || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

class Writer final {
public:
    Writer(const pos::Client& client, Style style) : c_(client), style_(style) {}

    std::string Take() { return std::move(out_); }

    void Value(const pos::Ref& v, const std::string& path, unsigned depth) {
        // The library reads no deeper nesting back.
        if (depth >= kMaxNesting) throw Inexpressible(path, "nesting deeper than " + std::to_string(kMaxNesting) + " levels");
        if (c_.IsDict(v)) return Dict(v, path, depth);
        if (c_.IsArray(v)) return Array(v, path, depth);
        if (c_.IsString(v)) return String(c_.GetString(v), path);
        if (c_.IsNumber(v)) return Number(c_.GetNumber(v), path);
        if (c_.IsUnicodeString(v)) return Unicode(c_.GetUnicodeString(v), path);
        if (c_.IsBinData(v)) throw Inexpressible(path, "binary data has no text notation");
        if (c_.IsRawPointer(v)) throw Inexpressible(path, "a raw pointer has no text notation");
        throw Inexpressible(path, "a value of no known kind");
    }

private:
    void Break(unsigned depth) {
        out_ += '\n';
        out_.append(depth, '\t');
    }

    void Dict(const pos::Ref& d, const std::string& path, unsigned depth) {
        const std::vector<std::string> keys = c_.Keys(d);
        out_ += '<';
        bool first = true;
        for (const std::string& key : keys) {
            const std::string at = path.empty() ? key : path + "." + key;
            if (style_.pretty)
                Break(depth + 1);
            else if (!first)
                out_ += ' ';
            first = false;
            String(key, at);
            out_ += ' ';
            Value(c_.Get(d, key.c_str()), at, depth + 1);
        }
        if (style_.pretty && !keys.empty()) Break(depth);
        out_ += '>';
    }

    void Array(const pos::Ref& a, const std::string& path, unsigned depth) {
        const uint32_t n = c_.Count(a);
        out_ += '[';
        for (uint32_t i = 0; i < n; ++i) {
            const std::string at = path + "[" + std::to_string(i) + "]";
            if (style_.pretty)
                Break(depth + 1);
            else if (i != 0)
                out_ += ' ';
            const pos::Ref member = c_.GetAt(a, i);
            if (!member) throw Inexpressible(at, "an empty array slot has no text notation");
            Value(member, at, depth + 1);
        }
        if (style_.pretty && n != 0) Break(depth);
        out_ += ']';
    }

    void String(const std::string& s, const std::string& path) {
        if (s.size() <= kMaxTokenBytes && IsWord(s)) {
            out_ += s;
            return;
        }
        std::string raw;
        for (char ch : s) {
            if (ch == ')' || ch == '\\') raw += '\\';
            raw += ch;
        }
        if (raw.size() > kMaxTokenBytes)
            throw Inexpressible(path, "a string longer than the notation's " + std::to_string(kMaxTokenBytes) +
                                          "-byte tokens");
        out_ += '(';
        out_ += raw;
        out_ += ')';
    }

    void Number(double value, const std::string& path) {
        if (!std::isfinite(value)) throw Inexpressible(path, "a number that is not finite");
        char buffer[400];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        const size_t n = static_cast<size_t>(result.ptr - buffer);
        if (result.ec != std::errc() || n > kMaxTokenBytes)
            throw Inexpressible(path, "a number whose digits exceed the notation's " +
                                          std::to_string(kMaxTokenBytes) + "-character tokens");
        out_.append(buffer, n);
    }

    void Unicode(const std::u16string& units, const std::string& path) {
        if (units.size() > kMaxUnicodeUnits)
            throw Inexpressible(path, "a Unicode string longer than " + std::to_string(kMaxUnicodeUnits) + " units");
        static const char kUpper[] = "0123456789ABCDEF";
        static const char kLower[] = "0123456789abcdef";
        out_ += '`';
        for (char16_t u : units) {
            out_ += kUpper[(u >> 12) & 15];
            out_ += kUpper[(u >> 8) & 15];
            out_ += kLower[(u >> 4) & 15];
            out_ += kLower[u & 15];
        }
        out_ += '`';
    }

    const pos::Client& c_;
    Style style_;
    std::string out_;
};

}  // namespace

std::string Write(const pos::Client& client, const pos::Ref& value, Style style) {
    Writer writer(client, style);
    writer.Value(value, "", 0);
    return writer.Take();
}

}  // namespace qelhost::notation
