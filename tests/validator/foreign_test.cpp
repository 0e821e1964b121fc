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

constexpr const char kSchema[] =
    "<Small <category int max 9> List <category array membertype Small>"
    " Holder <category dict required <n Small> optional <m List>> Either <category union set [Small List]>>";

TEST_F(ForeignTest, EveryWalkFailsOnceWithOneReport) {
    const Ref validator = NewValidator(kSchema);
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

TEST_F(ForeignTest, ComparedOnlyThroughItsOwnInterfaceItIsNoFailure) {
    // Inside two arrays the members are compared by the first one's IsEqual:
    // the foreign answer is taken as it stands.
    EXPECT_FALSE(pos().IsEqual(With("[1 F]"), With("[1 F]")));
    EXPECT_TRUE(TakeReports().empty());
}

}  // namespace
