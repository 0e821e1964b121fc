// The TypeA writer: exact bytes for every kind and layout.
#include <functional>
#include <string>

#include "streamer_fixture.h"

namespace {

using qeltest::StreamerTest;

TEST_F(StreamerTest, TheDescribedExampleToTheByte) {
    const Ref array = pos().Array();
    const Ref dict = pos().Dict();
    pos().Put(dict, "name", pos().String("Tab\t\"q\" caf\xE9"));
    pos().Put(dict, "size", pos().Number(2.5));
    pos().Append(array, dict);
    pos().Append(array, pos().Number(100));
    pos().Append(array, pos().UnicodeString(u"\u00E9\u4E2D"));
    pos().Append(array, pos().BinData("raw", std::string("\x01\xAB\x7F", 3)));
    pos().Append(array, pos().Array());
    const Written w = Write(array);
    ASSERT_TRUE(w.ok) << (w.reports.empty() ? "" : w.reports[0]);
    EXPECT_EQ(w.bytes,
              "POSStreamerTypeA_Version1.0 [\n"
              "\t<\n"
              "\t\t\"name\" \"Tab\\t\\\"q\\\" caf\\351\"\n"
              "\t\t\"size\" #2.5 \n"
              "\t>\n"
              "\t#100 \n"
              "\t`00e94E2d`\n"
              "\t{\"raw\" #3  \n"
              "\t\t01AB7F\n"
              "\t}\n"
              "\t[\n"
              "\t]\n"
              "]");
}

TEST_F(StreamerTest, NumbersAreWrittenTrimmed) {
    struct Case {
        double value;
        const char* body;
    };
    const Case cases[] = {
        {5, "#5 "},
        {2.5, "#2.5 "},
        {100, "#100 "},
        {-0.5, "#-0.5 "},
        {0, "#0 "},
        {0.1, "#0.10000000000000000555111512312578 "},
        {1e300, "#1.0000000000000000525047602552044e+300 "},
        {1e-7, "#9.9999999999999995474811182588626e-08 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const Written w = Write(pos().Number(c.value));
        EXPECT_EQ(w.bytes, std::string(kHeader) + c.body);
    }
}

TEST_F(StreamerTest, StringEscapes) {
    struct Case {
        std::string text;
        const char* body;
    };
    const Case cases[] = {
        {"\"\\\t\n\r", "\"\\\"\\\\\\t\\n\\r\""},
        {"a b", "\"a b\""},
        {"\x01", "\"\\001\""},
        {"\x7F", "\"\\177\""},
        {"\xFF", "\"\\377\""},
        {"", "\"\""},
        {"#[]<>{}`$", "\"#[]<>{}`$\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(Write(pos().String(c.text.c_str())).bytes, std::string(kHeader) + c.body);
    }
}

TEST_F(StreamerTest, EachRowEscapesItsOwnCloser) {
    EXPECT_EQ(Write(Parse("<(a>b) (c>)>")).bytes, std::string(kHeader) + "<\n\t\"a>b\" \"c>\"\n>");
    const Ref array = pos().Array();
    pos().Append(array, pos().String("]"));
    EXPECT_EQ(Write(array).bytes, std::string(kHeader) + "[\n\t\"]\"\n]");
    EXPECT_EQ(Write(pos().BinData("x}y\\", "")).bytes, std::string(kHeader) + "{\"x}y\\\\\" #0  \n}");
}

TEST_F(StreamerTest, BinaryDataIsFortyBytesALine) {
    const std::string bytes(41, '\xA5');
    const Written w = Write(pos().BinData("t", bytes));
    std::string line;
    for (int i = 0; i < 40; ++i) line += "A5";
    EXPECT_EQ(w.bytes, std::string(kHeader) + "{\"t\" #41  \n\t" + line + "\n\tA5\n}");
}

TEST_F(StreamerTest, NestedCollectionsAreIndentedOneTabPerLevel) {
    EXPECT_EQ(Write(Parse("[[1 []] <>]")).bytes,
              std::string(kHeader) + "[\n\t[\n\t\t#1 \n\t\t[\n\t\t]\n\t]\n\t<\n\t>\n]");
    EXPECT_EQ(Write(Parse("<k [`0041`]>")).bytes, std::string(kHeader) + "<\n\t\"k\" [\n\t\t`0041`\n\t]\n>");
}

TEST_F(StreamerTest, RawPointersAreWrittenForInspection) {
    const Written w = Write(pos().RawPointer(nullptr, nullptr));
    ASSERT_TRUE(w.ok);
    ASSERT_GT(w.bytes.size(), sizeof kHeader);
    EXPECT_EQ(w.bytes.substr(sizeof kHeader - 1, 1), "$");
    EXPECT_EQ(w.bytes.back(), ' ');
}

TEST_F(StreamerTest, VersionNames) {
    EXPECT_TRUE(Write(pos().Number(1), "POSStreamerTypeA_Version1.0").ok);
    for (const char* version : {"POSStreamerTypeA_Version1.1", "posstreamertypea_version1.0", "", "POSStreamerTypeA"}) {
        SCOPED_TRACE(version);
        const Written w = Write(pos().Number(1), version);
        EXPECT_FALSE(w.ok);
        EXPECT_EQ(w.bytes, "") << "nothing is written";
        EXPECT_EQ(w.reports, std::vector<std::string>{"StreamerBase::LookupStreamer unrecognized version"});
    }
}

TEST_F(StreamerTest, AValueOfNoKnownKindFailsAfterItsParentsOpened) {
    // A component's own object that answers POSObjectInterface but is none
    // of the library's kinds.
    static int object;
    auto clone = [](QELContainerHandle h) { return h; };
    auto equal = [](QELContainerHandle, QELContainerHandle) -> int32_t { return 0; };
    using Object = contract::POSObjectInterface;
    qeltest::RegisterRows(host(), "ForeignObjectInterface",
                          contract::Publication(contract::Publish<Object::Clone>(+clone),
                                                contract::Publish<Object::IsEqual>(+equal)));
    auto newContainer = host().Get<contract::QELContainerInterface::NewFullContainer>();
    QELContainerHandle foreign = nullptr;
    {
        const qelhost::pos::Atom impl("ForeignImpl");
        const qelhost::pos::Atom iface("ForeignObjectInterface");
        ASSERT_EQ(newContainer(&foreign, &object, impl.get(), nullptr, iface.get(), nullptr, nullptr, nullptr),
                  nullptr);
    }
    const Ref array = pos().Array();
    pos().Append(array, Ref::Take(foreign));
    TakeReports();
    const Written w = Write(array);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.bytes, std::string(kHeader) + "[\n\t");
    // The first kind test of the foreign object fails in the host's lookup
    // and says why; the whole call then fails with that one report.
    EXPECT_EQ(w.reports.size(), 1u);
    host().Withdraw("ForeignObjectInterface");
}

TEST_F(StreamerTest, AStreamWithoutEveryTableIsRefusedBeforeWriting) {
    host().HideStreamMethods(qelhost::StreamMethod::Rewind);
    const Ref stream = MemoryStream();
    EXPECT_EQ(serialize_(streamer_.get(), stream.get(), pos().Number(1).get(), nullptr), 0);
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"invalid container"});
    EXPECT_EQ(host().MemoryStreamContents(stream.get()), "");
    host().UnhideAll();
}

TEST_F(StreamerTest, TheStreamerHandleMustBeAStreamer) {
    const Ref stream = MemoryStream();
    const Ref number = pos().Number(1);
    EXPECT_EQ(serialize_(number.get(), stream.get(), number.get(), nullptr), 0);
    EXPECT_EQ(TakeReports().size(), 1u);
    EXPECT_EQ(host().MemoryStreamContents(stream.get()), "");
}

TEST_F(StreamerTest, TooDeepAValueFailsCleanly) {
    Ref outer = pos().Array();
    Ref inner = outer;
    for (int i = 0; i < 3000; ++i) {
        Ref next = pos().Array();
        pos().Append(inner, next);
        inner = next;
    }
    const Written w = Write(outer);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.reports, std::vector<std::string>{"Nesting of arrays and dictionaries is too deep"});
}

// A stream of the test's own whose first full buffer runs a change to the
// document being written, as a host stream's Write may: whatever that change
// releases must not be destroyed under the writer.
struct ChangingStream final {
    std::string bytes;
    std::function<void()> change;
};
QELErrorHandle ChangingWrite(void* object, const void* data, uint64_t size) {
    auto* s = static_cast<ChangingStream*>(object);
    s->bytes.append(static_cast<const char*>(data), static_cast<size_t>(size));
    if (size == 512 && s->change) std::exchange(s->change, nullptr)();
    return nullptr;
}
QELErrorHandle NoRead(void*, uint64_t* count, void*, uint64_t) { return *count = 0, nullptr; }
QELErrorHandle NoCopy(void*, void** out) { return *out = nullptr, nullptr; }
QELErrorHandle NoRewind(void*) { return nullptr; }
QELErrorHandle NoMark(void*, int64_t* position) { return *position = 0, nullptr; }
QELErrorHandle NoSeek(void*, int64_t, int64_t) { return nullptr; }
void KeepObject(void*) {}

TEST_F(StreamerTest, AWriteThatChangesTheDocumentBeingWritten) {
    const std::string longText(700, 'x');  // more than the writer's 512-byte buffer
    const char* const text = longText.c_str();
    struct Case {
        const char* what;
        std::function<Ref()> make;
        // Runs during the first full Write; may drop the test's references.
        std::function<void(Ref& doc)> change;
        bool completes;  // else it fails with one report
    };
    const Case cases[] = {
        {"the value being written is removed",
         [&] {
             Ref doc = pos().Dict();
             pos().Put(doc, "k", pos().String(text));
             return doc;
         },
         [&](Ref& doc) { pos().Remove(doc, "k"); }, true},
        {"the collection being written is removed from its parent",
         [&] {
             Ref doc = pos().Dict();
             const Ref inner = pos().Dict();
             pos().Put(inner, "b", pos().String(text));
             pos().Put(doc, "a", inner);
             pos().Put(doc, "z", pos().Number(1));
             return doc;
         },
         [&](Ref& doc) { pos().Remove(doc, "a"); }, true},
        {"the member being written is replaced",
         [&] {
             Ref doc = pos().Array();
             pos().Append(doc, pos().String(text));
             pos().Append(doc, pos().Number(2));
             return doc;
         },
         [&](Ref& doc) { pos().SetAt(doc, 0, pos().Number(1)); }, true},
        {"the caller lets the whole document go",
         [&] {
             Ref doc = pos().Dict();
             const Ref array = pos().Array();
             pos().Append(array, pos().String(text));
             pos().Put(doc, "a", array);
             return doc;
         },
         [&](Ref& doc) { doc.reset(); }, true},
        {"the entry whose key is being written is removed",
         [&] {
             Ref doc = pos().Dict();
             pos().Put(doc, text, pos().Number(1));
             return doc;
         },
         [&](Ref& doc) { pos().Remove(doc, text); }, false},
    };
    const auto newClient = host().Get<contract::QELStreamFactoryInterface::NewClientPositionableStream>();
    ASSERT_NE(newClient, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ref doc = c.make();
        ASSERT_TRUE(doc);
        const Written expected = Write(pos().Clone(doc));
        ASSERT_TRUE(expected.ok);
        ChangingStream target;
        target.change = [&] { c.change(doc); };
        QELContainerHandle handle = nullptr;
        ASSERT_EQ(newClient(&handle, &target, &NoRead, &ChangingWrite, &NoCopy, &NoRewind, &NoCopy, &NoMark, &NoSeek,
                            &KeepObject),
                  nullptr);
        const Ref stream = Ref::Take(handle);
        const QELContainerHandle value = doc.get();
        const int32_t ok = serialize_(streamer_.get(), stream.get(), value, nullptr);
        EXPECT_EQ(ok, c.completes ? 1 : 0);
        if (c.completes) {
            EXPECT_EQ(target.bytes, expected.bytes);
            EXPECT_TRUE(TakeReports().empty());
        } else {
            EXPECT_EQ(TakeReports().size(), 1u);
        }
        EXPECT_FALSE(target.change) << "the change ran";
    }
}

}  // namespace
