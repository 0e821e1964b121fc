#include "address.h"

#include <limits>

namespace pos {

using qelhost::pos::Client;
using qelhost::pos::Ref;

namespace {

bool IsPlainKeyByte(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '.' && c != '[' && c != ']' && c != '\\' && c != '"';
}

std::string Position(size_t at) { return " at byte " + std::to_string(at + 1); }

class Parser final {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool Run(Address& address, std::string* error) {
        error_ = error;
        if (text_.empty()) return Fail("empty address (\".\" is the whole document)", 0);
        if (text_ == ".") return true;
        if (text_[0] == '.') ++at_;
        bool first = true;
        while (at_ < text_.size() || first) {
            Step step;
            if (At() == '[') {
                if (!Bracket(step)) return false;
            } else {
                if (!first) {
                    if (At() != '.') return Fail("expected . or [", at_);
                    ++at_;
                    if (At() == '[') {
                        if (!Bracket(step)) return false;
                        address.steps.push_back(std::move(step));
                        first = false;
                        continue;
                    }
                }
                if (!Key(step)) return false;
            }
            address.steps.push_back(std::move(step));
            first = false;
        }
        return true;
    }

private:
    char At() const { return at_ < text_.size() ? text_[at_] : '\0'; }

    bool Fail(const std::string& what, size_t at) {
        *error_ = what + Position(at);
        return false;
    }

    bool Key(Step& step) {
        step.kind = Step::Kind::Key;
        const size_t begin = at_;
        while (at_ < text_.size() && text_[at_] != '.' && text_[at_] != '[') {
            if (text_[at_] == '\\') {
                if (++at_ == text_.size()) return Fail("a backslash ends the address", at_ - 1);
            }
            step.key += text_[at_++];
        }
        if (at_ == begin) return Fail("empty key (write [\"\"] for the empty key)", begin);
        return true;
    }

    bool Bracket(Step& step) {
        const size_t open = at_++;
        if (At() == '"') {
            step.kind = Step::Kind::Key;
            ++at_;
            for (;;) {
                if (at_ >= text_.size()) return Fail("unterminated quoted key", open);
                const char c = text_[at_++];
                if (c == '"') break;
                if (c == '\\') {
                    if (at_ >= text_.size()) return Fail("unterminated quoted key", open);
                    step.key += text_[at_++];
                } else {
                    step.key += c;
                }
            }
        } else {
            step.kind = Step::Kind::Index;
            const bool negative = At() == '-';
            if (negative) ++at_;
            const size_t digits = at_;
            int64_t value = 0;
            constexpr int64_t kCap = int64_t{1} << 40;  // past any array; keeps the arithmetic safe
            while (At() >= '0' && At() <= '9') {
                value = value * 10 + (At() - '0');
                if (value > kCap) value = kCap;
                ++at_;
            }
            if (at_ == digits) return Fail("a subscript needs digits", open);
            step.index = negative ? -value : value;
            if (negative && value == 0) return Fail("no member -0", open);
        }
        if (At() != ']') return Fail("expected ]", at_);
        ++at_;
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
    std::string* error_ = nullptr;
};

// The member index a subscript names in an array of count members, or -1.
int64_t Resolve(int64_t index, uint32_t count) {
    const int64_t i = index < 0 ? static_cast<int64_t>(count) + index : index;
    return i >= 0 && i < static_cast<int64_t>(count) ? i : -1;
}

std::string Members(uint32_t count) { return std::to_string(count) + (count == 1 ? " member" : " members"); }

// Walks the steps [0, end) from root; null with *why on the way.
Ref WalkTo(const Client& pos, const Ref& root, const std::vector<Step>& steps, size_t end, std::string* why) {
    Ref current = root;
    for (size_t i = 0; i < end; ++i) {
        const Step& step = steps[i];
        const std::string here = FormatAddress({steps.begin(), steps.begin() + static_cast<long>(i) + 1});
        if (step.kind == Step::Kind::Key) {
            if (!pos.IsDict(current)) {
                *why = here + ": " + (i == 0 ? "the document" : FormatAddress({steps.begin(), steps.begin() + static_cast<long>(i)})) +
                       " is " + KindOf(pos, current) + ", not a dictionary";
                return {};
            }
            Ref next = pos.Get(current, step.key.c_str());
            if (!next) {
                *why = here + ": no such key";
                return {};
            }
            current = std::move(next);
        } else {
            if (!pos.IsArray(current)) {
                *why = here + ": " + (i == 0 ? "the document" : FormatAddress({steps.begin(), steps.begin() + static_cast<long>(i)})) +
                       " is " + KindOf(pos, current) + ", not an array";
                return {};
            }
            const uint32_t count = pos.Count(current);
            const int64_t at = Resolve(step.index, count);
            if (at < 0) {
                *why = here + ": the array has " + Members(count);
                return {};
            }
            current = pos.GetAt(current, static_cast<uint32_t>(at));
        }
    }
    return current;
}

}  // namespace

bool ParseAddress(std::string_view text, Address& address, std::string* error) {
    address.steps.clear();
    return Parser(text).Run(address, error);
}

std::string KeyStep(std::string_view key, bool first) {
    bool plain = !key.empty();
    for (char c : key) plain = plain && IsPlainKeyByte(static_cast<unsigned char>(c));
    if (plain) return (first ? "" : ".") + std::string(key);
    std::string quoted = "[\"";
    for (char c : key) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"]";
}

std::string FormatAddress(const std::vector<Step>& steps) {
    if (steps.empty()) return ".";
    std::string text;
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].kind == Step::Kind::Key)
            text += KeyStep(steps[i].key, i == 0);
        else
            text += "[" + std::to_string(steps[i].index) + "]";
    }
    return text;
}

const char* KindOf(const Client& pos, const Ref& value) {
    if (pos.IsNumber(value)) return "a number";
    if (pos.IsString(value)) return "a string";
    if (pos.IsUnicodeString(value)) return "a Unicode string";
    if (pos.IsBinData(value)) return "binary data";
    if (pos.IsRawPointer(value)) return "a raw pointer";
    if (pos.IsArray(value)) return "an array";
    if (pos.IsDict(value)) return "a dictionary";
    return "a value of no known kind";
}

Ref Walk(const Client& pos, const Ref& root, const Address& address, std::string* why) {
    return WalkTo(pos, root, address.steps, address.steps.size(), why);
}

Ref Set(const Client& pos, const Ref& root, const Address& address, const Ref& value, std::string* why) {
    if (address.IsRoot()) return value;
    const Ref parent = WalkTo(pos, root, address.steps, address.steps.size() - 1, why);
    if (!parent) return {};
    const Step& last = address.steps.back();
    const std::string here = FormatAddress(address.steps);
    if (last.kind == Step::Kind::Key) {
        if (!pos.IsDict(parent)) {
            *why = here + ": the parent is " + std::string(KindOf(pos, parent)) + ", not a dictionary";
            return {};
        }
        pos.Put(parent, last.key.c_str(), value);
        return root;
    }
    if (!pos.IsArray(parent)) {
        *why = here + ": the parent is " + std::string(KindOf(pos, parent)) + ", not an array";
        return {};
    }
    const uint32_t count = pos.Count(parent);
    if (last.index == static_cast<int64_t>(count)) {
        pos.Append(parent, value);
        return root;
    }
    const int64_t at = Resolve(last.index, count);
    if (at < 0) {
        *why = here + ": the array has " + Members(count) + " (a subscript of " + std::to_string(count) +
               " appends)";
        return {};
    }
    pos.SetAt(parent, static_cast<uint32_t>(at), value);
    return root;
}

bool Delete(const Client& pos, const Ref& root, const Address& address, std::string* why) {
    if (address.IsRoot()) {
        *why = ".: the whole document cannot be deleted";
        return false;
    }
    if (!Walk(pos, root, address, why)) return false;
    const Ref parent = WalkTo(pos, root, address.steps, address.steps.size() - 1, why);
    const Step& last = address.steps.back();
    if (last.kind == Step::Kind::Key)
        pos.Remove(parent, last.key.c_str());
    else
        pos.RemoveAt(parent, static_cast<uint32_t>(Resolve(last.index, pos.Count(parent))));
    return true;
}

}  // namespace pos
