// The TypeA reader and the header: what each body gives, what each bad one
// reports, and where the stream stands afterwards.
#include <string>

#include "streamer_fixture.h"

namespace {

using qeltest::StreamerTest;

TEST_F(StreamerTest, BodiesAndWhatTheyRead) {
    struct Case {
        std::string body;
        const char* value;  // in notation
    };
    const Case cases[] = {
        {"#5 ", "5"},
        {"#1e3 ", "1000"},
        {"#-2.5\t", "-2.5"},
        {"#+ ", "0"},
        {"\"a\\nb\"", "(a\nb)"},
        {"\"a\nb\"", "(a b)"},
        {"\"\\101\"", "A"},
        {"\"\\\"q\\\"\"", "(\"q\")"},
        {"\"x\\000y\"", "x"},
        {"`00E9`", "`00e9`"},
        {"`00e94E2D`", "`00e94E2d`"},
        {"``", "``"},
        {"[]", "[]"},
        {"<>", "<>"},
        {"  \n\t [ #1  #2 \n\"x\" ]", "[1 2 x]"},
        {"<\"b\" #1 \"a\" #2 \"b\" #3 >", "<a 2 b 3>"},
        {"<\"k\" [#1 <\"j\" \"v\">]>", "<k [1 <j v>]>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const Read r = ReadBack(kHeader + c.body);
        ASSERT_TRUE(r.value) << (r.reports.empty() ? "" : r.reports[0]);
        EXPECT_EQ(Text(r.value), c.value);
        EXPECT_TRUE(r.reports.empty());
    }
}

TEST_F(StreamerTest, BinaryDataBodies) {
    const Read ok = ReadBack(std::string(kHeader) + "{\"t\" #3  \n\t01 A\nb7f \n}");
    ASSERT_TRUE(ok.value);
    EXPECT_EQ(pos().GetBinData(ok.value), std::string("\x01\xAB\x7F", 3));
    EXPECT_STREQ(pos().Proc<contract::POSBinDataInterface::GetTypeName>()(ok.value.get()), "t");
    const Read empty = ReadBack(std::string(kHeader) + "{\"none\" #0  }");
    ASSERT_TRUE(empty.value);
    EXPECT_EQ(pos().Proc<contract::POSBinDataInterface::GetSize>()(empty.value.get()), 0u);
}

TEST_F(StreamerTest, EveryReaderFailure) {
    struct Case {
        std::string body;
        const char* report;
    };
    const Case cases[] = {
        {"#5", "unexpected EOF"},
        {"", "unexpected EOF"},
        {"#0x10 ", "malformed number"},
        {"# ", "malformed number"},
        {"#" + std::string(63, '1') + " ", "malformed number"},
        {"#1,5 ", "malformed number"},
        {"\"a\\xb\"", "Unexpected escape sequence"},
        {"[\\q]", "Unexpected escape sequence"},
        {"x", "Cannot determine streaming params"},
        {"[#1 x]", "Cannot determine streaming params"},
        {"`00410`", "malformed Unicode string"},
        {"<\"k\">", "missing dictionary value"},
        {"<#1 #2>", "downcast from CPOSObject to CPOSString failed"},
        {"{#1 #2 }", "downcast from CPOSObject to CPOSString failed"},
        {"{\"t\" \"u\" }", "downcast from CPOSObject to CPOSNumber failed"},
        {"{\"t\" #3  0102}", "GetChars ran out of input"},
        {"{\"t\" #3  01020304}", "Unexpected chars after binary data"},
        {"$0x1234 ", "Cannot meaningfully read in a raw pointer (write is for debugging only)"},
        {std::string(1, '\0'), "POSObjectStreamerImpl::Deserialize failure"},
        {" \n\t" + std::string(1, '\0'), "POSObjectStreamerImpl::Deserialize failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const Read r = ReadBack(kHeader + c.body);
        EXPECT_FALSE(r.value);
        EXPECT_EQ(r.reports, std::vector<std::string>{c.report});
    }
}

TEST_F(StreamerTest, HeaderTokens) {
    struct Case {
        std::string bytes;
        const char* report;  // null: reads the number 1
    };
    const Case cases[] = {
        {"   POSStreamerTypeA_Version1.0 #1 ", nullptr},
        {"POSStreamerTypeA_Version1.0 #1 ", nullptr},
        {"\nPOSStreamerTypeA_Version1.0 #1 ", "StreamerBase::LookupStreamer unrecognized version"},
        {"POSStreamerTypeA_Version1.1 #1 ", "StreamerBase::LookupStreamer unrecognized version"},
        {"", "getNextChar unexpected EOF"},
        {"POSStreamerTypeA_Version1.0", "getNextChar unexpected EOF"},
        {std::string(63, 'x') + "POSStreamerTypeA_Version1.0 #1 ",
         "StreamerBase::LookupStreamer unrecognized version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 30));
        const Read r = ReadBack(c.bytes);
        if (c.report == nullptr) {
            ASSERT_TRUE(r.value);
            EXPECT_EQ(pos().GetNumber(r.value), 1);
        } else {
            EXPECT_FALSE(r.value);
            EXPECT_EQ(r.reports, std::vector<std::string>{c.report});
        }
    }
}

TEST_F(StreamerTest, TheStreamStandsRightAfterTheValue) {
    struct Case {
        std::string body;
        size_t consumed;  // bytes of the body the reader keeps
    };
    const Case cases[] = {
        {"#5 more bytes", 3},
        {"\"s\"tail", 3},
        {"[#1 ]]]", 5},
        {"<>" + std::string(2000, 'z'), 2},
        // Failures stand after the last byte consumed.
        {"[#1 x yz", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 20));
        const Read r = ReadBack(kHeader + c.body);
        EXPECT_EQ(r.position, sizeof kHeader - 1 + c.consumed);
    }
}

TEST_F(StreamerTest, TwoObjectsBackToBack) {
    const Ref stream = MemoryStream();
    const Ref first = Parse("<a [1 2] b (x y)>");
    const Ref second = Parse("[`0041` 3.25]");
    ASSERT_EQ(serialize_(streamer_.get(), stream.get(), first.get(), nullptr), 1);
    ASSERT_EQ(serialize_(streamer_.get(), stream.get(), second.get(), nullptr), 1);
    host().SetMemoryStreamContents(stream.get(), host().MemoryStreamContents(stream.get()));
    const Ref a = Ref::Take(deserialize_(streamer_.get(), stream.get()));
    const Ref b = Ref::Take(deserialize_(streamer_.get(), stream.get()));
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(pos().IsEqual(a, first));
    EXPECT_TRUE(pos().IsEqual(b, second));
    EXPECT_FALSE(Ref::Take(deserialize_(streamer_.get(), stream.get())));
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"getNextChar unexpected EOF"});
}

TEST_F(StreamerTest, HostileNestingFailsCleanly) {
    for (const char unit : {'[', '<'}) {
        std::string body(10 << 20, unit);
        if (unit == '<')
            for (size_t i = 0; i + 4 < body.size(); i += 4) body.replace(i, 4, "<\"k\"");
        const Read r = ReadBack(kHeader + body);
        EXPECT_FALSE(r.value);
        EXPECT_EQ(r.reports, std::vector<std::string>{"Nesting of arrays and dictionaries is too deep"});
    }
}

}  // namespace
