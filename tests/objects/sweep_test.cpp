// Every property-object procedure under host allocation faults: each failed
// call is reported exactly once (DeepGet: not at all) and gives back every
// reference it took; a mutator that fails leaves its collection as it was.
#include <memory>
#include <string>

#include "fault_sweep.h"
#include "pos_fixture.h"

namespace {

using qelhost::pos::Atom;
using qelhost::pos::Ref;
using qeltest::Failure;
using qeltest::Outcome;
using qeltest::SweepCase;
using qeltest::SweepRow;
using qeltest::Trial;

class ObjectSweep : public qeltest::POSTest, public ::testing::WithParamInterface<SweepCase<ObjectSweep>> {
public:
    using qeltest::POSTest::host;
    using qeltest::POSTest::Parse;
    using qeltest::POSTest::pos;
    using qeltest::POSTest::Text;

    // A procedure without a result failed when it reported.
    Outcome ReportedIfFailed() { return Outcome::Value(host().Reports().empty()); }

    // A handle handed out, kept for the checks after the call.
    using Kept = std::shared_ptr<Ref>;
    static Kept Keep() { return std::make_shared<Ref>(); }
    static std::shared_ptr<Atom> MakeAtom(const char* text) { return std::make_shared<Atom>(text); }

    // A call whose result is a handle: on success it must read as text.
    Trial Handing(std::function<QELContainerHandle()> call, std::string text) {
        const Kept out = Keep();
        return {[call, out] {
                    *out = Ref::Take(call());
                    return Outcome::Value(bool(*out));
                },
                [this, out, text] { EXPECT_EQ(Text(*out), text); }};
    }

    // A mutator of the collection written as before: on success it reads as
    // after, on failure still as before.
    Trial Mutating(const char* before, std::function<void(const Ref&)> call, std::string after) {
        const Ref collection = Parse(before);
        const std::string original = Text(collection);
        return {[this, collection, call] {
                    call(collection);
                    return ReportedIfFailed();
                },
                [this, collection, after] { EXPECT_EQ(Text(collection), after); },
                [this, collection, original] { EXPECT_EQ(Text(collection), original) << "changed by a failed call"; }};
    }
};

void Release(void*) {}
int gPointee = 0;

const SweepRow<ObjectSweep> kRows[] = {
    // Creation
    {"NewPOSNumber", Failure::Reported,
     [](ObjectSweep& t) { return t.Handing([&t] { return t.pos().Proc<contract::POSNumberInterface::NewPOSNumber>()(2.5); }, "2.5"); }},
    {"NewPOSString", Failure::Reported,
     [](ObjectSweep& t) { return t.Handing([&t] { return t.pos().Proc<contract::POSStringInterface::NewPOSString>()("two words"); }, "(two words)"); }},
    {"NewPOSUnicodeString", Failure::Reported,
     [](ObjectSweep& t) {
         const ObjectSweep::Kept out = ObjectSweep::Keep();
         return Trial{[&t, out] {
                          *out =
                              Ref::Take(t.pos().Proc<contract::POSUnicodeStringInterface::NewPOSUnicodeString>()(reinterpret_cast<const uint16_t*>(u"\u00e9t\u00e9")));
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] { EXPECT_EQ(t.pos().GetUnicodeString(*out), u"\u00e9t\u00e9"); }};
     }},
    {"NewPOSBinData", Failure::Reported,
     [](ObjectSweep& t) {
         const ObjectSweep::Kept out = ObjectSweep::Keep();
         return Trial{[&t, out] {
                          *out = Ref::Take(t.pos().Proc<contract::POSBinDataInterface::NewPOSBinData>()("blob", "\x01\x00\x03", 3));
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] {
                          EXPECT_EQ(t.pos().GetBinData(*out), std::string("\x01\x00\x03", 3));
                          EXPECT_EQ(std::string(t.pos().Proc<contract::POSBinDataInterface::GetTypeName>()(out->get())), "blob");
                      }};
     }},
    {"NewPOSRawPointer", Failure::Reported,
     [](ObjectSweep& t) {
         const ObjectSweep::Kept out = ObjectSweep::Keep();
         return Trial{[&t, out] {
                          *out = Ref::Take(t.pos().Proc<contract::POSRawPointerInterface::NewPOSRawPointer>()(&gPointee, &Release));
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] {
                          EXPECT_EQ(t.pos().Proc<contract::POSRawPointerInterface::GetRawPointer>()(out->get()), &gPointee);
                          EXPECT_EQ(t.pos().Proc<contract::POSRawPointerInterface::GetReleaseProc>()(out->get()), &Release);
                      }};
     }},
    {"NewPOSArray", Failure::Reported,
     [](ObjectSweep& t) { return t.Handing([&t] { return t.pos().Proc<contract::POSArrayInterface::NewPOSArray>()(); }, "[]"); }},
    {"NewPOSDict", Failure::Reported,
     [](ObjectSweep& t) { return t.Handing([&t] { return t.pos().Proc<contract::POSDictInterface::NewPOSDict>()(); }, "<>"); }},
    {"CreateFromText", Failure::Reported,
     [](ObjectSweep& t) {
         const char* text = "<a [1 (two) `0041`] b <c 3.5> (d e) []>";
         return t.Handing([&t, text] { return t.pos().Proc<contract::POSObjectStatics::CreateFromText>()(text, nullptr); }, t.Text(t.Parse(text)));
     }},
    {"IsEqual", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref a = t.Parse("<a [1 (two) `0041`] b <c 3.5>>");
         const Ref b = t.Parse("<b <c 3.5> a [1 (two) `0041`]>");
         return Trial{[&t, a, b] { return Outcome::Value(t.pos().Proc<contract::POSObjectInterface::IsEqual>()(a.get(), b.get()) == 1); }};
     }},
    {"DebugDump", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.Parse("<a [1]>");
         return Trial{[&t, v] {
             t.pos().Proc<contract::POSObjectStatics::DebugDump>()(v.get());
             return t.ReportedIfFailed();
         }};
     }},
    {"DebugDumpWithHeader", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.Parse("[1 2]");
         return Trial{[&t, v] {
             t.pos().Proc<contract::POSObjectStatics::DebugDumpWithHeader>()(v.get(), "header", nullptr);
             return t.ReportedIfFailed();
         }};
     }},
    {"DebugDumpRewind", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.Parse("(text)");
         return Trial{[&t, v] {
             t.pos().Proc<contract::POSObjectStatics::DebugDumpRewind>()(v.get(), nullptr, nullptr);
             return t.ReportedIfFailed();
         }};
     }},

    // Reading scalars
    {"GetNumber", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.Parse("4.25");
         return Trial{[&t, v] { return Outcome::Value(t.pos().Proc<contract::POSNumberInterface::Get>()(v.get()) == 4.25); }};
     }},
    {"GetString", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.Parse("(some text)");
         return Trial{[&t, v] { return Outcome::Value(std::string(t.pos().Proc<contract::POSStringInterface::Get>()(v.get())) == "some text"); }};
     }},
    {"GetBinData", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref v = t.pos().BinData("blob", "xyz");
         return Trial{[&t, v] {
             return Outcome::Value(t.pos().Proc<contract::POSBinDataInterface::GetBinData>()(v.get()) != nullptr && t.pos().Proc<contract::POSBinDataInterface::GetSize>()(v.get()) == 3 &&
                                   std::string(t.pos().Proc<contract::POSBinDataInterface::GetTypeName>()(v.get())) == "blob");
         }};
     }},
    {"IsPOSKinds", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref d = t.Parse("<k 1>");
         return Trial{[&t, d] {
             return Outcome::Value(t.pos().Proc<contract::POSDictInterface::IsPOSDict>()(d.get()) == 1 && t.pos().Proc<contract::POSArrayInterface::IsPOSArray>()(d.get()) == 0 &&
                                   t.pos().Proc<contract::POSNumberInterface::IsPOSNumber>()(d.get()) == 0 && t.pos().Proc<contract::POSStringInterface::IsPOSString>()(d.get()) == 0);
         }};
     }},

    // Arrays
    {"ArrayGetAt", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref array = t.Parse("[1 (x) [2]]");
         return t.Handing([&t, array] { return t.pos().Proc<contract::POSArrayInterface::GetAt>()(array.get(), 2); }, "[2]");
     }},
    {"ArrayCount", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref array = t.Parse("[1 2 3]");
         return Trial{[&t, array] { return Outcome::Value(t.pos().Proc<contract::POSArrayInterface::Count>()(array.get()) == 3); }};
     }},
    {"ArrayAppend", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref value = t.Parse("<k (v)>");
         return t.Mutating(
             "[1 2 3 4 5 6 7 8]", [&t, value](const Ref& a) { t.pos().Proc<contract::POSArrayInterface::Append>()(a.get(), value.get()); },
             "[1 2 3 4 5 6 7 8 <k v>]");
     }},
    {"ArrayAppendToEmpty", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref value = t.Parse("7");
         return t.Mutating(
             "[]", [&t, value](const Ref& a) { t.pos().Proc<contract::POSArrayInterface::Append>()(a.get(), value.get()); }, "[7]");
     }},
    {"ArraySetAt", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref value = t.Parse("(new)");
         return t.Mutating(
             "[1 2 3]", [&t, value](const Ref& a) { t.pos().Proc<contract::POSArrayInterface::SetAt>()(a.get(), 1, value.get()); }, "[1 new 3]");
     }},
    {"ArraySetAtBeyondTheEnd", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref array = t.Parse("[1]");
         const Ref value = t.Parse("9");
         return Trial{[&t, array, value] {
                          t.pos().Proc<contract::POSArrayInterface::SetAt>()(array.get(), 3, value.get());
                          return t.ReportedIfFailed();
                      },
                      [&t, array] {
                          ASSERT_EQ(t.pos().Count(array), 4u);
                          EXPECT_FALSE(t.pos().GetAt(array, 1)) << "the slots between stay empty";
                          EXPECT_EQ(t.pos().GetNumber(t.pos().GetAt(array, 3)), 9);
                      },
                      [&t, array] { EXPECT_EQ(t.Text(array), "[1]") << "changed by a failed call"; }};
     }},
    {"ArrayRemove", Failure::Reported,
     [](ObjectSweep& t) {
         return t.Mutating(
             "[1 2 3]", [&t](const Ref& a) { t.pos().Proc<contract::POSArrayInterface::Remove>()(a.get(), 0); }, "[2 3]");
     }},

    // Dictionaries
    {"DictGet", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref dict = t.Parse("<a 1 b [2]>");
         const auto key = ObjectSweep::MakeAtom("b");
         return t.Handing([&t, dict, key] { return t.pos().Proc<contract::POSDictInterface::Get>()(dict.get(), key->get()); }, "[2]");
     }},
    {"DictPutNewKey", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref value = t.Parse("[x]");
         const auto key = ObjectSweep::MakeAtom("fresh key");
         return t.Mutating(
             "<a 1 z 2>", [&t, value, key](const Ref& d) { t.pos().Proc<contract::POSDictInterface::Put>()(d.get(), key->get(), value.get()); },
             "<a 1 (fresh key) [x] z 2>");
     }},
    {"DictPutExistingKey", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref value = t.Parse("3");
         const auto key = ObjectSweep::MakeAtom("a");
         return t.Mutating(
             "<a 1 z 2>", [&t, value, key](const Ref& d) { t.pos().Proc<contract::POSDictInterface::Put>()(d.get(), key->get(), value.get()); },
             "<a 3 z 2>");
     }},
    {"DictRemove", Failure::Reported,
     [](ObjectSweep& t) {
         const auto key = ObjectSweep::MakeAtom("a");
         return t.Mutating(
             "<a 1 z 2>", [&t, key](const Ref& d) { t.pos().Proc<contract::POSDictInterface::Remove>()(d.get(), key->get()); }, "<z 2>");
     }},
    // Every failure inside the walk gives no object and reports nothing.
    {"DeepGet", Failure::Silent,
     [](ObjectSweep& t) {
         const Ref dict = t.Parse("<a <b [10 20 <k 7>]>>");
         const auto address = ObjectSweep::MakeAtom("a.b[2].k");
         return t.Handing([&t, dict, address] { return t.pos().Proc<contract::POSDictInterface::DeepGet>()(dict.get(), address->get()); }, "7");
     }},

    // Iterators
    {"NewPOSDictIterator", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref dict = t.Parse("<b 2 a 1>");
         const ObjectSweep::Kept out = ObjectSweep::Keep();
         return Trial{[&t, dict, out] {
                          *out = Ref::Take(t.pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict.get()));
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] {
                          EXPECT_EQ(std::string(t.pos().Proc<contract::POSDictIteratorInterface::CurKey>()(out->get())), "a");
                          t.pos().Proc<contract::POSDictIteratorInterface::Next>()(out->get());
                          EXPECT_EQ(std::string(t.pos().Proc<contract::POSDictIteratorInterface::CurKey>()(out->get())), "b");
                      }};
     }},
    {"IteratorWalk", Failure::Reported,
     [](ObjectSweep& t) {
         const Ref dict = t.Parse("<b 2 a 1>");
         const Ref it = Ref::Take(t.pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict.get()));
         return Trial{[&t, dict, it] {
             t.pos().Proc<contract::POSDictIteratorInterface::Next>()(it.get());
             const char* key = t.pos().Proc<contract::POSDictIteratorInterface::CurKey>()(it.get());
             const bool ok = key != nullptr && std::string(key) == "b" && t.pos().Proc<contract::POSDictIteratorInterface::IsDone>()(it.get()) == 0;
             t.pos().Proc<contract::POSDictIteratorInterface::Next>()(it.get());
             t.pos().Proc<contract::POSDictIteratorInterface::Begin>()(it.get());
             return Outcome::Value(ok && t.host().Reports().empty() && t.pos().Proc<contract::POSDictIteratorInterface::IsDone>()(it.get()) == 0);
         }};
     }},
};

TEST_P(ObjectSweep, FailsCleanly) {
    qeltest::RunSweepCase(*this, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Procedures, ObjectSweep,
                         ::testing::ValuesIn(qeltest::SweepCases(kRows, {qeltest::Fault::Allocation,
                                                                         qeltest::Fault::ContainerLookup})),
                         qeltest::SweepCaseName<ObjectSweep>);

}  // namespace
