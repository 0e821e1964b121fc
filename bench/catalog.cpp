#include "catalog.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "random.h"

namespace qelbench {

namespace {

const char* const kAdjectives[] = {"Cordless", "Wooden", "Compact", "Deluxe", "Classic", "Folding", "Steel",
                                   "Bamboo", "Electric", "Mini", "Heavy duty", "Portable", "Ceramic", "Solar",
                                   "Vintage", "Smart", "Rugged", "Soft", "Glass", "Magnetic"};
const char* const kNouns[] = {"drill", "train set", "lamp", "kettle", "notebook", "hammer", "planter", "desk",
                              "chair", "puzzle", "saw", "teapot", "stapler", "hose", "blender", "atlas",
                              "shelf", "kite", "knife block", "wrench"};
const char* const kSuffixes[] = {"XL", "Pro", "2", "Kit", "Plus", "for kids", "with case", "Set of 4", "Mk II"};
const char* const kTags[] = {"power", "drill", "wood", "kids", "garden", "sale", "new", "eco", "steel",
                             "gift", "outdoor", "indoor", "kitchen", "office", "craft", "classic", "light",
                             "heavy", "compact", "premium", "budget", "toy", "book", "paper", "tool"};
const char* const kCategories[] = {"tools", "toys", "books", "garden", "kitchen", "office"};
const char* const kNoteWords[] = {"two", "batteries", "and", "a", "case", "ships", "in", "days", "assembly",
                                  "required", "not", "for", "children", "under", "three", "years", "hand",
                                  "wash", "only", "spare", "parts", "available", "on", "request", "the",
                                  "colour", "may", "vary", "limited", "stock", "returns", "within", "30"};
// Fragments that put quotes, backslashes, parentheses and tabs in notes.
const char* const kNoteSpecials[] = {"\"as seen on TV\"", "it's", "(18 V)", "C:\\manuals", "size:\tM",
                                     "'boxed'", "a\\b", "\tsee below", "(approx.)", "\"new\" model"};

std::string Decimal2(int64_t hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(hundredths / 100),
                  static_cast<long long>(hundredths % 100));
    return text;
}

// The shortest text that reads back to the same double, without exponent.
std::string Shortest(double value) {
    char text[128];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (result.ec != std::errc()) throw std::runtime_error("number does not fit");
    return std::string(text, result.ptr);
}

std::string Name(Random& r) {
    std::string name = std::string(r.Pick(kAdjectives)) + " " + r.Pick(kNouns);
    if (r.Chance(40)) name += std::string(" ") + r.Pick(kSuffixes);
    if (name.size() > 30) name.resize(30);
    return name;
}

std::string Notes(Random& r) {
    if (r.Chance(20)) return {};
    const size_t length = static_cast<size_t>(r.Between(1, 90));
    std::string notes;
    // At most two special fragments: at most 8 bytes that need a backslash,
    // so that 90 bytes stay within the 100-byte string token.
    int specials = 0;
    while (notes.size() < length) {
        if (!notes.empty()) notes += ' ';
        if (specials < 2 && r.Chance(12)) {
            notes += r.Pick(kNoteSpecials);
            ++specials;
        } else {
            notes += r.Pick(kNoteWords);
        }
    }
    notes.resize(length);
    return notes;
}

std::string Dimension(Random& r) {
    // Half measured in millimetres to one decimal, half converted from
    // inches: the full-precision doubles a converted unit gives.
    if (r.Chance(50)) {
        const int tenths = r.Between(5, 2500);
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }
    const double inches = static_cast<double>(r.Between(1, 4000)) / 16.0 + static_cast<double>(r.Below(1000)) / 7919.0;
    return Shortest(inches * 2.54);
}

Record MakeRecord(Random& r, size_t index) {
    Record rec;
    rec.id = 1000 + static_cast<int64_t>(index) * 7 + static_cast<int64_t>(r.Below(7));
    rec.name = Name(r);
    rec.price = Decimal2(r.Between(99, 999999));
    const int tags = r.Between(0, 5);
    for (int i = 0; i < tags; ++i) rec.tags.emplace_back(r.Pick(kTags));
    rec.w = Dimension(r);
    rec.h = Dimension(r);
    rec.d = Dimension(r);
    rec.active = r.Chance(80) ? 1 : 0;
    rec.notes = Notes(r);
    const int parts = r.Between(0, 4);
    for (int i = 0; i < parts; ++i) {
        std::string sku;
        sku += static_cast<char>('A' + r.Below(26));
        sku += static_cast<char>('A' + r.Below(26));
        sku += '-';
        sku += std::to_string(r.Between(1000, 9999));
        rec.parts.push_back({sku, r.Between(1, 24)});
    }
    if (r.Chance(60)) rec.rating = r.Between(1, 5);
    if (r.Chance(85)) rec.category = r.Pick(kCategories);
    if (r.Chance(70)) rec.stock = r.Between(0, 500);
    if (r.Chance(25)) rec.discount = Decimal2(r.Between(5, 50));
    return rec;
}

// ------------------------------------------------------------------ writers

bool IsWord(const std::string& s) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (s.empty() || !letter(s[0])) return false;
    for (char c : s)
        if (!letter(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

// One writer for both forms: the same events, spelled as notation or JSON.
// Layout as a person writes a catalogue: one entry a line, indented with
// tabs, down to the record's members; containers inside a record (tags,
// dims, parts) on the member's line.
class Out final {
public:
    explicit Out(bool json) : json_(json) {}

    void BeginDict() { Open(json_ ? '{' : '<'); }
    void EndDict() { Close(json_ ? '}' : '>'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(const std::string& key) {
        Separate();
        Token(key);
        text += json_ ? ": " : " ";
        afterKey_ = true;
    }
    void String(const std::string& s) {
        Item();
        Token(s);
    }
    void Number(const std::string& n) {
        if (n.size() > 100) throw std::runtime_error("number token over 100 characters: " + n);
        Item();
        text += n;
    }
    void Number(int64_t n) { Number(std::to_string(n)); }

    std::string text;

private:
    static constexpr unsigned kInlineDepth = 4;  // document 1, items 2, record 3
    bool Inline() const { return depth_ >= kInlineDepth; }

    void Line() {
        text += '\n';
        text.append(depth_, '\t');
    }
    // Before a key, or before a value that has no key (an array member).
    void Separate() {
        if (!first_ && json_) text += ',';
        if (!Inline())
            Line();
        else if (!first_)
            text += ' ';
        first_ = false;
    }
    void Item() {
        if (!afterKey_ && depth_ > 0) Separate();
        afterKey_ = false;
    }
    void Open(char bracket) {
        Item();
        text += bracket;
        ++depth_;
        first_ = true;
    }
    void Close(char bracket) {
        const bool lines = !Inline() && !first_;
        --depth_;
        if (lines) Line();
        text += bracket;
        first_ = false;
    }
    void Token(const std::string& s) {
        if (json_) return Quoted(s);
        if (s.size() <= 100 && IsWord(s)) {
            text += s;
            return;
        }
        // A backslash makes the next byte literal; both parentheses get one,
        // so that no reader has to count nesting.
        std::string raw;
        for (char c : s) {
            if (c == '(' || c == ')' || c == '\\') raw += '\\';
            raw += c;
        }
        if (raw.size() > 100) throw std::runtime_error("string token over 100 bytes: " + s);
        text += '(';
        text += raw;
        text += ')';
    }
    void Quoted(const std::string& s) {
        text += '"';
        for (char c : s) {
            switch (c) {
                case '"': text += "\\\""; break;
                case '\\': text += "\\\\"; break;
                case '\t': text += "\\t"; break;
                case '\n': text += "\\n"; break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        char esc[8];
                        std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(c));
                        text += esc;
                    } else {
                        text += c;
                    }
            }
        }
        text += '"';
    }

    bool json_;
    unsigned depth_ = 0;
    bool afterKey_ = false;
    bool first_ = true;
};

void Emit(const Catalog& catalog, Out& out) {
    out.BeginDict();
    out.Key("title");
    out.String(catalog.title);
    out.Key("items");
    out.BeginArray();
    for (const Record& rec : catalog.items) {
        out.BeginDict();
        out.Key("id");
        out.Number(rec.id);
        out.Key("name");
        out.String(rec.name);
        out.Key("price");
        out.Number(rec.price);
        out.Key("tags");
        out.BeginArray();
        for (const std::string& tag : rec.tags) out.String(tag);
        out.EndArray();
        out.Key("dims");
        out.BeginDict();
        out.Key("w");
        out.Number(rec.w);
        out.Key("h");
        out.Number(rec.h);
        out.Key("d");
        out.Number(rec.d);
        out.EndDict();
        out.Key("active");
        out.Number(rec.active);
        out.Key("notes");
        out.String(rec.notes);
        out.Key("parts");
        out.BeginArray();
        for (const Part& part : rec.parts) {
            out.BeginDict();
            out.Key("sku");
            out.String(part.sku);
            out.Key("qty");
            out.Number(part.qty);
            out.EndDict();
        }
        out.EndArray();
        if (rec.rating) {
            out.Key("rating");
            out.Number(*rec.rating);
        }
        if (rec.category) {
            out.Key("category");
            out.String(*rec.category);
        }
        if (rec.stock) {
            out.Key("stock");
            out.Number(*rec.stock);
        }
        if (rec.discount) {
            out.Key("discount");
            out.Number(*rec.discount);
        }
        out.EndDict();
    }
    out.EndArray();
    out.EndDict();
    out.text += '\n';
}

}  // namespace

Catalog Generate(uint64_t seed, size_t records) {
    Random r(seed);
    Catalog catalog;
    catalog.title = "Benchmark catalogue, seed " + std::to_string(seed);
    catalog.items.reserve(records);
    for (size_t i = 0; i < records; ++i) catalog.items.push_back(MakeRecord(r, i));
    return catalog;
}

uint64_t CountValues(const Catalog& catalog) {
    uint64_t n = 3;  // the document, its title and its items array
    for (const Record& rec : catalog.items) {
        // the record, id, name, price, tags, dims with w h d, active, notes, parts
        n += 12 + rec.tags.size() + 3 * rec.parts.size();
        n += (rec.rating ? 1 : 0) + (rec.category ? 1 : 0) + (rec.stock ? 1 : 0) + (rec.discount ? 1 : 0);
    }
    return n;
}

std::string WriteNotation(const Catalog& catalog) {
    Out out(false);
    Emit(catalog, out);
    return std::move(out.text);
}

std::string WriteJson(const Catalog& catalog) {
    Out out(true);
    Emit(catalog, out);
    return std::move(out.text);
}

}  // namespace qelbench
