// Another component's object inside the values that the library walks: it
// answers the object interface but is none of the library's kinds, so the
// first kind test the library makes of it fails. Every procedure that meets
// it fails once, with one report, and says nothing else.
#include <functional>
#include <string>
#include <vector>

#include "validator_fixture.h"

namespace {

using qelhost::pos::Atom;
using qelhost::pos::Ref;

class ForeignTest : public qeltest::ValidatorTest {
protected:
    void SetUp() override {
        ValidatorTest::SetUp();
        if (HasFatalFailure()) return;
        auto clone = [](QELContainerHandle h) { return h; };
        auto equal = [](QELContainerHandle, QELContainerHandle) -> int32_t { return 0; };
        host().Register("ForeignObjectInterface", "Clone", "POSObjectCloneProc",
                        reinterpret_cast<void*>(static_cast<POSObjectCloneProc>(clone)));
        host().Register("ForeignObjectInterface", "IsEqual", "POSObjectIsEqualProc",
                        reinterpret_cast<void*>(static_cast<POSObjectIsEqualProc>(equal)));
        auto newContainer = host().Get<contract::QELContainerInterface::NewFullContainer>();
        const Atom impl("ForeignImpl");
        const Atom iface("ForeignObjectInterface");
        QELContainerHandle h = nullptr;
        ASSERT_EQ(newContainer(&h, &object_, impl.get(), nullptr, iface.get(), nullptr, nullptr, nullptr), nullptr);
        foreign_ = Ref::Take(h);
        serialize_ =
            host().Get<contract::POSStreamerInterface::Serialize>();
        auto make = host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
        streamer_ = Ref::Take(make());
    }
    void TearDown() override {
        foreign_.reset();
        streamer_.reset();
        host().Withdraw("ForeignObjectInterface");
        ValidatorTest::TearDown();
    }

    // A value text with the foreign object put in place of the word F.
    Ref With(const char* text) {
        const Ref value = Parse(text);
        if (pos().IsArray(value)) {
            for (uint32_t i = 0; i < pos().Count(value); ++i)
                if (pos().IsString(pos().GetAt(value, i)) && pos().GetString(pos().GetAt(value, i)) == "F")
                    pos().SetAt(value, i, foreign_);
        } else {
            for (const std::string& key : pos().Keys(value))
                if (pos().IsString(pos().Get(value, key.c_str())) &&
                    pos().GetString(pos().Get(value, key.c_str())) == "F")
                    pos().Put(value, key.c_str(), foreign_);
        }
        return value;
    }
    // A value text with the foreign object put in place of the word F
    // wherever it stands, however deep.
    Ref Everywhere(const char* text) {
        const Ref value = Parse(text);
        Replace(value);
        return value;
    }
    void Replace(const Ref& value) {
        const auto isF = [&](const Ref& v) { return pos().IsString(v) && pos().GetString(v) == "F"; };
        if (pos().IsArray(value)) {
            for (uint32_t i = 0; i < pos().Count(value); ++i) {
                const Ref member = pos().GetAt(value, i);
                if (isF(member))
                    pos().SetAt(value, i, foreign_);
                else
                    Replace(member);
            }
        } else if (pos().IsDict(value)) {
            for (const std::string& key : pos().Keys(value)) {
                const Ref member = pos().Get(value, key.c_str());
                if (isF(member))
                    pos().Put(value, key.c_str(), foreign_);
                else
                    Replace(member);
            }
        }
    }
    Outcome Serialize(const Ref& value) {
        const Ref stream = Ref::Take(host().NewMemoryStream());
        Outcome o;
        o.result = serialize_(streamer_.get(), stream.get(), value.get(), nullptr);
        o.reports = TakeReports();
        return o;
    }

    int object_ = 0;
    Ref foreign_;
    Ref streamer_;
    POSStreamerSerializeProc serialize_ = nullptr;
};

constexpr const char kForeignSchema[] =
    "<Small <category int max 9> List <category array membertype Small>"
    " Holder <category dict required <n Small> optional <m List>> Either <category union set [Small List]>>";

TEST_F(ForeignTest, EveryWalkFailsOnceWithOneReport) {
    const Ref validator = NewValidator(kForeignSchema);
    struct Case {
        const char* name;
        std::function<Outcome()> call;
    };
    const std::vector<Case> cases = {
        {"Serialize the object", [&] { return Serialize(foreign_); }},
        {"Serialize an array holding it", [&] { return Serialize(With("[1 F 2]")); }},
        {"Serialize a dictionary holding it", [&] { return Serialize(With("<a 1 b F>")); }},
        {"Validate it as a built-in type", [&] { return Validate(validator, foreign_, "int"); }},
        {"Validate it as an array type", [&] { return Validate(validator, foreign_, "List"); }},
        {"Validate an array member", [&] { return Validate(validator, With("[1 F]"), "List"); }},
        {"Validate a dictionary member", [&] { return Validate(validator, With("<n F>"), "Holder"); }},
        {"Validate it as a union", [&] { return Validate(validator, foreign_, "Either"); }},
        {"Check it as a schema", [&] { return CheckSchema(foreign_); }},
        {"Check a schema with it as a definition", [&] { return CheckSchema(With("<A <category int> B F>")); }},
        {"Compare a number with it",
         [&] {
             return Outcome{pos().Proc<contract::POSObjectInterface::IsEqual>()(pos().Number(1).get(), foreign_.get()), {}, TakeReports()};
         }},
        {"Compare it with a number",
         [&] {
             return Outcome{pos().Proc<contract::POSObjectInterface::IsEqual>()(foreign_.get(), pos().Number(1).get()), {}, TakeReports()};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TakeReports();
        const Outcome o = c.call();
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.lines.empty()) << o.lines.front();
        EXPECT_EQ(o.reports.size(), 1u);
    }
}

// In a schema, the object fails the walk where the walk reads it, and
// nowhere else: a part of a definition that the value never leads to is
// never read, whatever it holds.
TEST_F(ForeignTest, InASchemaItFailsWhereTheWalkReadsIt) {
    struct Case {
        const char* schema;  // F: the foreign object
        const char* type;
        const char* value;
        std::vector<std::string> lines;  // with no report
        bool reported;                   // one report, no line
    };
    const std::vector<Case> cases = {
        // A bound is read once the value is a number.
        {"<T <category int min F>>", "T", "x", {"Expected INT was of invalid type"}, false},
        {"<T <category int min F>>", "T", "5", {}, true},
        // Choices are read from the first until one is equal.
        {"<T <category string oneof [a F]>>", "T", "a", {}, false},
        {"<T <category string oneof [a F]>>", "T", "b", {}, true},
        // A definition is read when a value meets its name.
        {"<A <category int> B F>", "A", "1", {}, false},
        {"<A <category int> B F>", "B", "1", {}, true},
        {"<A <category array membertype B> B F>", "A", "[]", {}, false},
        {"<A <category array membertype B> B F>", "A", "[1]", {}, true},
        // A listed type is read when the value has the member; missing
        // members hide the others.
        {"<T <category dict required <n int m F>>>", "T", "<n 1>", {"Missing required member m"}, false},
        {"<T <category dict required <n int m F>>>", "T", "<n 1 m 2>", {}, true},
        {"<T <category dict optional <n int m F>>>", "T", "<n 1>", {}, false},
        // A union's alternatives are read until one accepts.
        {"<T <category union set [int F]>>", "T", "1", {}, false},
        {"<T <category union set [int F]>>", "T", "x", {}, true},
        {"<T <category array membertype [int F]>>", "T", "[1]",
         {"Heterogenous array object size did not match type array size"}, false},
        {"<T <category array membertype [int F]>>", "T", "[1 2]", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.schema) + " " + c.type + " " + c.value);
        const Outcome o = Check(Everywhere(c.schema), c.type, Parse(c.value));
        if (c.reported) {
            EXPECT_EQ(o.result, 0);
            EXPECT_TRUE(o.lines.empty());
            EXPECT_EQ(o.reports.size(), 1u);
        } else if (c.lines.empty()) {
            EXPECT_TRUE(qeltest::Accepted(o));
        } else {
            EXPECT_TRUE(qeltest::Rejected(o, c.lines));
        }
    }
}

TEST_F(ForeignTest, ComparedOnlyThroughItsOwnInterfaceItIsNoFailure) {
    // Inside two arrays the members are compared by the first one's IsEqual:
    // the foreign answer is taken as it stands.
    EXPECT_FALSE(pos().IsEqual(With("[1 F]"), With("[1 F]")));
    EXPECT_TRUE(TakeReports().empty());
}

}  // namespace
