#include "lint.h"

#include <algorithm>
#include <set>

#include "numbers.h"

namespace pos {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool StartsWord(char c) { return IsLetter(c) || c == '_'; }
bool StartsNumber(char c) { return IsDigit(c) || c == '+' || c == '-' || c == '.'; }

std::string Quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

enum class Kind { Word, Number, Paren, Unicode, Open, Close };

struct Token final {
    Kind kind;
    size_t begin;
    size_t end;
};

// One container being read: a dictionary alternates keys and values.
struct Level final {
    bool dict;
    bool expectKey = true;
    std::set<std::string> keys;
};

class Linter final {
public:
    explicit Linter(std::string_view text) : text_(text) {}

    std::vector<Finding> Run() {
        Token previous{Kind::Open, 0, 0};
        bool havePrevious = false;
        while (Skip(), at_ < text_.size()) {
            const Token token = Next();
            if (havePrevious && previous.end == token.begin) RunTogether(previous, token);
            Structure(token);
            previous = token;
            havePrevious = true;
        }
        // A run of tokens is named once, not again for its parts.
        std::vector<Finding> kept;
        for (Finding& f : findings_) {
            const bool insideRun = std::any_of(runs_.begin(), runs_.end(), [&](const auto& run) {
                return f.offset > run.first && f.offset < run.second;
            });
            if (!insideRun) kept.push_back(std::move(f));
        }
        std::stable_sort(kept.begin(), kept.end(), [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
        return kept;
    }

private:
    void Skip() {
        while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
    }
    std::string_view Text(const Token& t) const { return text_.substr(t.begin, t.end - t.begin); }
    void Add(size_t offset, std::string message) { findings_.push_back({offset, std::move(message)}); }

    Token Next() {
        const size_t begin = at_;
        const char c = text_[at_];
        if (c == '<' || c == '[') return {Kind::Open, begin, ++at_};
        if (c == '>' || c == ']') return {Kind::Close, begin, ++at_};
        if (StartsWord(c)) {
            while (at_ < text_.size() && (StartsWord(text_[at_]) || IsDigit(text_[at_]))) ++at_;
            return {Kind::Word, begin, at_};
        }
        if (StartsNumber(c)) {
            ++at_;
            while (at_ < text_.size() && (IsDigit(text_[at_]) || text_[at_] == '.')) ++at_;
            Number({Kind::Number, begin, at_});
            return {Kind::Number, begin, at_};
        }
        const char close = c == '(' ? ')' : '`';
        ++at_;
        while (at_ < text_.size() && text_[at_] != close) {
            if (close == ')' && text_[at_] == '\\') ++at_;
            ++at_;
        }
        if (at_ < text_.size()) ++at_;
        const Token token{c == '(' ? Kind::Paren : Kind::Unicode, begin, at_};
        if (token.kind == Kind::Unicode) Unicode(token);
        return token;
    }

    void Number(const Token& t) {
        const std::string_view token = Text(t);
        size_t used = 0;
        const double value = TokenValue(token, &used);
        if (used == 0) {
            Add(t.begin, "number " + Quoted(token) + " has no digits: it reads as 0");
        } else if (used < token.size()) {
            Add(t.begin, "number " + Quoted(token) + " stops early: it reads as " + ShortestDigits(value));
        } else if (const auto inexact = InexactInteger(token)) {
            Add(t.begin, "integer " + std::string(token) + " is not exact as a double: it reads as " +
                             ShortestDigits(*inexact));
        }
    }

    void Unicode(const Token& t) {
        const std::string_view digits = Text(t).substr(1, t.end - t.begin - 2);
        bool hex = true;
        for (char c : digits) hex = hex && IsHex(c);
        if (!hex)
            Add(t.begin, "Unicode string holds a byte that is no hexadecimal digit");
        else if (digits.size() % 4 != 0)
            Add(t.begin, "Unicode string of " + std::to_string(digits.size()) +
                             " digits: each code unit takes four");
    }

    // Two tokens with no space between them that a reader takes for one.
    void RunTogether(const Token& a, const Token& b) {
        const bool atoms = (a.kind == Kind::Word || a.kind == Kind::Number) &&
                           (b.kind == Kind::Word || b.kind == Kind::Number);
        if (!atoms) return;
        size_t end = b.end;
        std::string parts = Quoted(Text(a)) + ", " + Quoted(Text(b));
        // Name the whole run, as the reader sees it.
        size_t at = b.end;
        while (at < text_.size() && (StartsWord(text_[at]) || StartsNumber(text_[at]))) {
            size_t next = at + 1;
            if (StartsWord(text_[at]))
                while (next < text_.size() && (StartsWord(text_[next]) || IsDigit(text_[next]))) ++next;
            else
                while (next < text_.size() && (IsDigit(text_[next]) || text_[next] == '.')) ++next;
            parts += ", " + Quoted(text_.substr(at, next - at));
            end = at = next;
        }
        if (a.begin < lastRun_) return;  // already named as part of a longer run
        lastRun_ = end;
        runs_.emplace_back(a.begin, end);
        const std::string_view run = text_.substr(a.begin, end - a.begin);
        const std::string_view second = Text(b);
        const bool exponent = a.kind == Kind::Number && end == b.end && second.size() > 1 &&
                              (second[0] == 'e' || second[0] == 'E') &&
                              second.find_first_not_of("0123456789", 1) == std::string_view::npos;
        if (exponent) {
            Add(a.begin, Quoted(run) + " is the number " + std::string(Text(a)) + " and the word " + Quoted(second) +
                             ": numbers take no exponent; write the digits out");
            return;
        }
        Add(a.begin, Quoted(run) + " is read as separate values " + parts + "; write (" + std::string(run) +
                         ") for one string");
    }

    void Structure(const Token& t) {
        if (t.kind == Kind::Close) {
            if (!levels_.empty()) levels_.pop_back();
            Value();
            return;
        }
        if (!levels_.empty() && levels_.back().dict && levels_.back().expectKey) {
            Level& level = levels_.back();
            level.expectKey = false;
            std::string key = Key(t);
            if (!level.keys.insert(key).second)
                Add(t.begin, "key " + Quoted(key) + " is repeated: the last value is kept");
            return;
        }
        if (t.kind == Kind::Open) {
            levels_.push_back(Level{text_[t.begin] == '<', true, {}});
            return;
        }
        Value();
    }

    // A value ended: the dictionary it sits in wants a key next.
    void Value() {
        if (!levels_.empty() && levels_.back().dict) levels_.back().expectKey = true;
    }

    std::string Key(const Token& t) const {
        if (t.kind != Kind::Paren) return std::string(Text(t));
        std::string key;
        for (size_t i = t.begin + 1; i + 1 < t.end; ++i) {
            if (text_[i] == '\\') ++i;
            key += text_[i];
        }
        return key;
    }

    std::string_view text_;
    size_t at_ = 0;
    size_t lastRun_ = 0;
    std::vector<std::pair<size_t, size_t>> runs_;
    std::vector<Level> levels_;
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> Lint(std::string_view text) { return Linter(text).Run(); }

}  // namespace pos
