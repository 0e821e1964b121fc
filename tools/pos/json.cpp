#include "json.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "address.h"
#include "numbers.h"

namespace pos {

using qelhost::pos::Client;
using qelhost::pos::Ref;

namespace {

constexpr char kUtf16Tag[] = "$utf16";
constexpr char kBytesTag[] = "$bytes";
constexpr char kBinDataTag[] = "$bindata";

std::string Join(const std::string& path, const std::string& step) { return path == "." ? step : path + step; }
std::string KeyPath(const std::string& path, std::string_view key) {
    return path == "." ? KeyStep(key, true) : path + KeyStep(key, false);
}

// ------------------------------------------------------------ JSON to objects

class Builder final : public nlohmann::json_sax<nlohmann::json> {
public:
    Builder(const Client& pos, const JsonOptions& options, std::vector<JsonNote>& notes, JsonError& error)
        : pos_(pos), options_(options), notes_(notes), error_(error) {}

    Ref result;

    bool null() override {
        if (options_.nulls == JsonOptions::Nulls::Drop) {
            DropValue();
            return true;
        }
        return Fail(Here(), "null has no counterpart (--null drop leaves it out)");
    }
    bool boolean(bool value) override {
        switch (options_.bools) {
            case JsonOptions::Bools::Numbers: return Value(pos_.Number(value ? 1 : 0));
            case JsonOptions::Bools::Strings: return Value(pos_.String(value ? "true" : "false"));
            case JsonOptions::Bools::Refuse: break;
        }
        return Fail(Here(), std::string(value ? "true" : "false") +
                                " has no counterpart (--bool number gives 1 or 0, --bool string true or false)");
    }
    bool number_integer(number_integer_t value) override { return Integer(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Integer(std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) override {
        const std::optional<double> inexact = InexactDecimal(text);
        const double value = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(value)) return Fail(Here(), "number " + text + " is beyond the range of a double");
        if (inexact) Note(Here(), "number " + text + " is not exact as a double: it reads as " + ShortestDigits(*inexact));
        return Value(pos_.Number(value));
    }
    bool string(string_t& text) override {
        if (text.find('\0') != std::string::npos) return Fail(Here(), "a string cannot hold the character U+0000");
        return Value(pos_.String(text.c_str()));
    }
    bool binary(binary_t&) override { return Fail(Here(), "binary values are not JSON"); }

    bool start_object(std::size_t) override {
        if (!Deeper()) return false;
        frames_.push_back({pos_.Dict(), true, Here(), {}, 0, {}});
        return true;
    }
    bool key(string_t& key) override {
        if (key.find('\0') != std::string::npos)
            return Fail(frames_.back().path, "a key cannot hold the character U+0000");
        Frame& frame = frames_.back();
        if (frame.count == 0) frame.firstKey = key;
        if (frame.count > 0 && pos_.Get(frame.value, key.c_str()))
            Note(KeyPath(frame.path, key), "key \"" + key + "\" is repeated: the last value is kept");
        frame.key = key;
        ++frame.count;
        return true;
    }
    bool end_object() override {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        Ref value = frame.value;
        if (frame.count == 1 && frame.firstKey.size() > 1 && frame.firstKey[0] == '$') {
            value = Tagged(frame);
            if (!value) return false;
        }
        return Value(value);
    }
    bool start_array(std::size_t) override {
        if (!Deeper()) return false;
        frames_.push_back({pos_.Array(), false, Here(), {}, 0, {}});
        return true;
    }
    bool end_array() override {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        return Value(frame.value);
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) override {
        error_.syntax = true;
        error_.offset = position > 0 ? position - 1 : 0;
        std::string message = e.what();
        // "[json.exception.parse_error.101] parse error at line 1, column 2: why": the place is printed apart.
        if (message.rfind("[json.exception.", 0) == 0 && message.find("] ") != std::string::npos)
            message = message.substr(message.find("] ") + 2);
        if (message.rfind("parse error at line ", 0) == 0 && message.find(": ") != std::string::npos)
            message = message.substr(message.find(": ") + 2);
        error_.message = message;
        return false;
    }

private:
    struct Frame final {
        Ref value;
        bool dict;
        std::string path;
        std::string key;  // of the member being read
        size_t count;
        std::string firstKey;
    };

    // Where the value being read goes.
    std::string Here() const {
        if (frames_.empty()) return ".";
        const Frame& f = frames_.back();
        if (f.dict) return KeyPath(f.path, f.key);
        return Join(f.path, "[" + std::to_string(pos_.Count(f.value)) + "]");
    }

    bool Deeper() {
        if (frames_.size() < kMaxJsonNesting) return true;
        return Fail(Here(), "nesting deeper than " + std::to_string(kMaxJsonNesting) + " levels");
    }

    bool Fail(const std::string& path, const std::string& message) {
        error_.path = path;
        error_.message = message;
        return false;
    }
    void Note(const std::string& path, const std::string& message) { notes_.push_back({path, message}); }

    bool Integer(const std::string& text) {
        const double value = std::strtod(text.c_str(), nullptr);
        if (const auto inexact = InexactInteger(text))
            Note(Here(), "integer " + text + " is not exact as a double: it reads as " + ShortestDigits(*inexact));
        return Value(pos_.Number(value));
    }

    bool Value(const Ref& value) {
        if (!value) return Fail(Here(), "the library could not make the value");
        if (frames_.empty()) {
            result = value;
            return true;
        }
        Frame& f = frames_.back();
        if (f.dict)
            pos_.Put(f.value, f.key.c_str(), value);
        else
            pos_.Append(f.value, value);
        return true;
    }
    void DropValue() {
        if (!frames_.empty() && frames_.back().dict && frames_.back().count == 1) frames_.back().firstKey.clear();
        if (!frames_.empty() && frames_.back().dict) --frames_.back().count;
    }

    // A one-member object whose key begins with "$".
    Ref Tagged(const Frame& frame) {
        const std::string& tag = frame.firstKey;
        const Ref inner = pos_.Get(frame.value, tag.c_str());
        const std::string path = KeyPath(frame.path, tag);
        if (tag[1] == '$') {  // an escaped key: "$$x" is the key "$x"
            const Ref dict = pos_.Dict();
            pos_.Put(dict, tag.c_str() + 1, inner);
            return dict;
        }
        if (tag == kUtf16Tag) return Utf16(inner, path);
        if (tag == kBytesTag) {
            std::string bytes;
            if (!pos_.IsString(inner) || !FromBase64(pos_.GetString(inner), bytes))
                return Refuse(path, "$bytes takes a string of base64");
            if (bytes.find('\0') != std::string::npos) return Refuse(path, "a string cannot hold a zero byte");
            return pos_.String(bytes.c_str());
        }
        if (tag == kBinDataTag) {
            std::string bytes;
            const bool shape = pos_.IsDict(inner) && pos_.Keys(inner) == std::vector<std::string>{"base64", "type"};
            const Ref type = shape ? pos_.Get(inner, "type") : Ref();
            const Ref data = shape ? pos_.Get(inner, "base64") : Ref();
            if (!shape || !pos_.IsString(type) || !pos_.IsString(data) || !FromBase64(pos_.GetString(data), bytes))
                return Refuse(path, "$bindata takes an object of two strings, type and base64");
            return pos_.BinData(pos_.GetString(type).c_str(), bytes);
        }
        return Refuse(frame.path, "unknown tag " + tag + " (write $" + tag + " for a key that begins with $)");
    }

    Ref Utf16(const Ref& inner, const std::string& path) {
        std::u16string units;
        if (pos_.IsString(inner)) {
            units = Utf8ToUtf16(pos_.GetString(inner));
        } else if (pos_.IsArray(inner)) {
            for (uint32_t i = 0, n = pos_.Count(inner); i < n; ++i) {
                const Ref unit = pos_.GetAt(inner, i);
                const double u = pos_.IsNumber(unit) ? pos_.GetNumber(unit) : -1;
                if (!(u >= 1 && u <= 0xFFFF && u == std::floor(u)))
                    return Refuse(path, "$utf16 takes a string, or an array of code units from 1 to 65535");
                units += static_cast<char16_t>(u);
            }
        } else {
            return Refuse(path, "$utf16 takes a string, or an array of code units from 1 to 65535");
        }
        if (units.find(u'\0') != std::u16string::npos) return Refuse(path, "a string cannot hold the character U+0000");
        return pos_.UnicodeString(units);
    }

    Ref Refuse(const std::string& path, const std::string& message) {
        Fail(path, message);
        return {};
    }

    const Client& pos_;
    const JsonOptions& options_;
    std::vector<JsonNote>& notes_;
    JsonError& error_;
    std::vector<Frame> frames_;
};

// ------------------------------------------------------------ objects to JSON

using Json = nlohmann::json;

// Writes JSON as nlohmann's dump(2) lays it out, but numbers in the
// shortest digits that read back to the same double: what this writes must
// read back without a warning.
class Writer final {
public:
    explicit Writer(const Client& pos) : pos_(pos) {}

    std::string text;

    void Value(const Ref& value, const std::string& path, unsigned depth) {
        if (depth > kMaxJsonNesting)
            throw Unmappable(path, "nesting deeper than " + std::to_string(kMaxJsonNesting) + " levels");
        if (pos_.IsNumber(value)) return Number(pos_.GetNumber(value), path);
        if (pos_.IsString(value)) {
            const std::string bytes = pos_.GetString(value);
            if (IsUtf8(bytes)) return String(bytes);
            return Tag(kBytesTag, depth, [&] { String(Base64(bytes)); });
        }
        if (pos_.IsUnicodeString(value)) {
            const std::u16string units = pos_.GetUnicodeString(value);
            std::string utf8;
            if (Utf16ToUtf8(units, utf8)) return Tag(kUtf16Tag, depth, [&] { String(utf8); });
            return Tag(kUtf16Tag, depth, [&] {
                Open('[', depth + 1);
                for (size_t i = 0; i < units.size(); ++i) {
                    Item(i, depth + 2);
                    text += std::to_string(static_cast<unsigned>(units[i]));
                }
                Close(']', depth + 1, !units.empty());
            });
        }
        if (pos_.IsBinData(value)) {
            return Tag(kBinDataTag, depth, [&] {
                Open('{', depth + 1);
                Item(0, depth + 2);
                String("type");
                text += ": ";
                String(pos_.Proc<qelutils::contract::POSBinDataInterface::GetTypeName>()(value.get()));
                Item(1, depth + 2);
                String("base64");
                text += ": ";
                String(Base64(pos_.GetBinData(value)));
                Close('}', depth + 1, true);
            });
        }
        if (pos_.IsArray(value)) {
            const uint32_t n = pos_.Count(value);
            Open('[', depth);
            for (uint32_t i = 0; i < n; ++i) {
                Item(i, depth + 1);
                Value(pos_.GetAt(value, i), Join(path, "[" + std::to_string(i) + "]"), depth + 1);
            }
            return Close(']', depth, n > 0);
        }
        if (pos_.IsDict(value)) {
            const std::vector<std::string> keys = pos_.Keys(value);
            Open('{', depth);
            for (size_t i = 0; i < keys.size(); ++i) {
                const std::string& key = keys[i];
                const std::string where = KeyPath(path, key);
                if (!IsUtf8(key)) throw Unmappable(where, "a key that is not UTF-8 has no JSON form");
                Item(i, depth + 1);
                // A lone "$" key would read back as a tag: it gets one more "$".
                String(keys.size() == 1 && !key.empty() && key[0] == '$' ? "$" + key : key);
                text += ": ";
                Value(pos_.Get(value, key.c_str()), where, depth + 1);
            }
            return Close('}', depth, !keys.empty());
        }
        if (pos_.IsRawPointer(value)) throw Unmappable(path, "a raw pointer has no JSON form");
        throw Unmappable(path, "a value of no known kind");
    }

private:
    void Number(double n, const std::string& path) {
        if (!std::isfinite(n)) throw Unmappable(path, "a number that is not finite has no JSON form");
        if (n == 0 && std::signbit(n)) {
            text += "-0.0";  // "-0" would read back as the integer 0
            return;
        }
        char digits[64];
        const auto r = std::to_chars(digits, digits + sizeof digits, n, std::chars_format::general);
        text.append(digits, r.ptr);
    }
    void String(const std::string& s) { text += Json(s).dump(-1, ' ', false, Json::error_handler_t::strict); }
    void Open(char bracket, unsigned) { text += bracket; }
    void Item(size_t index, unsigned depth) {
        if (index > 0) text += ',';
        text += '\n';
        text.append(2 * depth, ' ');
    }
    void Close(char bracket, unsigned depth, bool any) {
        if (any) {
            text += '\n';
            text.append(2 * depth, ' ');
        }
        text += bracket;
    }
    template <class Inner>
    void Tag(const char* tag, unsigned depth, Inner inner) {
        Open('{', depth);
        Item(0, depth + 1);
        String(tag);
        text += ": ";
        inner();
        Close('}', depth, true);
    }

    const Client& pos_;
};

}  // namespace

Ref FromJson(const Client& pos, std::string_view text, const JsonOptions& options, std::vector<JsonNote>& notes,
             JsonError& error) {
    Builder builder(pos, options, notes, error);
    const bool ok = nlohmann::json::sax_parse(text.begin(), text.end(), &builder);
    if (!ok) {
        if (error.message.empty()) error.message = "cannot read the JSON text";
        return {};
    }
    return builder.result;
}

std::string ToJson(const Client& pos, const Ref& value) {
    Writer writer(pos);
    writer.Value(value, ".", 0);
    return writer.text + "\n";
}

// ------------------------------------------------------------ helpers

std::string Base64(std::string_view bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) | uint8_t(bytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], '='};
    }
    return out;
}

bool FromBase64(std::string_view text, std::string& bytes) {
    auto digit = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (text.size() % 4 != 0) return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') return false;
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const int d = k >= 4 - pad ? 0 : digit(text[i + k]);
            if (d < 0) return false;
            v = (v << 6) | static_cast<uint32_t>(d);
        }
        bytes += static_cast<char>(v >> 16);
        if (pad < 2) bytes += static_cast<char>((v >> 8) & 0xFF);
        if (pad < 1) bytes += static_cast<char>(v & 0xFF);
    }
    return true;
}

bool IsUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

bool Utf16ToUtf8(const std::u16string& units, std::string& out) {
    out.clear();
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        uint32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k <= n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

}  // namespace pos
