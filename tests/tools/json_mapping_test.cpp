// The JSON mapping as a property: every value the notation or TypeA can
// hold comes back equal from JSON, for the examples and for random values.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "host_fixture.h"
#include "json.h"
#include "qelhost/notation.h"
#include "qelhost/pos.h"

namespace {

using qelhost::pos::Ref;

class JsonMapping : public qeltest::LibraryTest {
protected:
    Ref RoundTrip(const qelhost::pos::Client& pos, const Ref& value) {
        const std::string json = pos::ToJson(pos, value);
        std::vector<pos::JsonNote> notes;
        pos::JsonError error;
        Ref back = pos::FromJson(pos, json, {}, notes, error);
        EXPECT_TRUE(notes.empty()) << notes.front().path << ": " << notes.front().message;
        EXPECT_TRUE(back) << error.path << ": " << error.message << "\n" << json;
        return back;
    }
};

// Random values of every kind JSON must carry, with the awkward cases
// (keys beginning with $, lone surrogates, bytes that are not UTF-8,
// numbers at the edges of a double) drawn often.
class Generator final {
public:
    Generator(const qelhost::pos::Client& pos, uint32_t seed) : pos_(pos), random_(seed) {}

    Ref Value(int depth) {
        switch (Below(depth > 4 ? 5 : 7)) {
            case 0: return pos_.Number(Number());
            case 1: return pos_.String(Bytes().c_str());
            case 2: return pos_.UnicodeString(Units());
            case 3: return pos_.BinData(Below(2) ? "raw" : "", Bytes() + std::string(Below(3), '\0'));
            case 4: return pos_.String(Below(2) ? "$utf16" : "true");
            case 5: {
                const Ref array = pos_.Array();
                for (uint32_t i = Below(5); i > 0; --i) pos_.Append(array, Value(depth + 1));
                return array;
            }
            default: {
                const Ref dict = pos_.Dict();
                for (uint32_t i = Below(5); i > 0; --i) {
                    std::string key = Below(3) == 0 ? "$" + Word() : Word();
                    pos_.Put(dict, key.c_str(), Value(depth + 1));
                }
                return dict;
            }
        }
    }

private:
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(random_() % n); }
    double Number() {
        static const double kEdges[] = {0.0, -0.0, 0.1, -2.5, 1e300, 5e-324, 9007199254740993.0, 1.7976931348623157e308,
                                        123456789012345678.0, 4294967296.0};
        if (Below(2)) return kEdges[Below(std::size(kEdges))];
        uint64_t bits = random_();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return std::isfinite(d) ? d : 1.5;
    }
    std::string Word() {
        std::string w;
        for (uint32_t i = Below(6); i > 0; --i) w += static_cast<char>('a' + Below(26));
        return w;
    }
    std::string Bytes() {
        std::string s;
        for (uint32_t i = Below(8); i > 0; --i) s += static_cast<char>(1 + Below(255));
        if (Below(3) == 0) s += "\xC3\xA9\"\\\n";
        return s;
    }
    std::u16string Units() {
        std::u16string u;
        for (uint32_t i = Below(6); i > 0; --i) u += static_cast<char16_t>(1 + Below(0xFFFF));
        return u;
    }

    const qelhost::pos::Client& pos_;
    std::mt19937_64 random_;
};

TEST_F(JsonMapping, RandomValuesComeBackEqual) {
    const qelhost::pos::Client pos(host());
    for (uint32_t seed = 1; seed <= 2000; ++seed) {
        SCOPED_TRACE(seed);
        Generator generate(pos, seed);
        const Ref value = generate.Value(0);
        const Ref back = RoundTrip(pos, value);
        ASSERT_TRUE(back && pos.IsEqual(value, back)) << pos::ToJson(pos, value);
    }
}

TEST_F(JsonMapping, TheExamplesComeBackEqualThroughNotationAndJson) {
    const qelhost::pos::Client pos(host());
    for (const char* name : {"catalog.pos", "broken-catalog.pos", "catalog.schema"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(EXAMPLES_DIR) + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        const Ref value = pos.FromText(text.str().c_str());
        ASSERT_TRUE(value);
        const Ref back = RoundTrip(pos, value);
        ASSERT_TRUE(back);
        // notation -> JSON -> notation: the same text.
        EXPECT_EQ(qelhost::notation::Write(pos, back), qelhost::notation::Write(pos, value));
    }
}

TEST_F(JsonMapping, EncodingsHelpersAgreeWithEachOther) {
    for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"), std::string("foo"),
                                    std::string("\0\xFF\x80", 3)}) {
        std::string back;
        ASSERT_TRUE(pos::FromBase64(pos::Base64(bytes), back));
        EXPECT_EQ(back, bytes);
    }
    std::string ignored;
    for (const char* bad : {"A", "A===", "AB=C", "!!!!"}) EXPECT_FALSE(pos::FromBase64(bad, ignored)) << bad;
    struct Case {
        std::string bytes;
        bool utf8;
    };
    const Case cases[] = {{"plain", true},           {"\xC3\xA9", true},      {"\xF0\x9F\x98\x80", true},
                          {"\xC3", false},            {"\xE9", false},         {"\xC0\xAF", false},
                          {"\xED\xA0\x80", false},    {"\xF4\x90\x80\x80", false}, {"\xE0\x80\x80", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(pos::IsUtf8(c.bytes), c.utf8) << c.bytes;
        if (c.utf8) {
            std::string back;
            ASSERT_TRUE(pos::Utf16ToUtf8(pos::Utf8ToUtf16(c.bytes), back));
            EXPECT_EQ(back, c.bytes);
        }
    }
    EXPECT_FALSE(pos::Utf16ToUtf8(u"\xD800", ignored));
    EXPECT_FALSE(pos::Utf16ToUtf8(u"\xDC00\xD800", ignored));
}

}  // namespace
