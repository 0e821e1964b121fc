// The library's client classes on its own objects: they work on the objects
// directly, and must answer and fail exactly as the published procedures do.
#include <functional>
#include <string>
#include <vector>

#include "../frame/linked_library.h"
#include "frame/guards.h"
#include "objects/pos_client.h"
#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSDict;
using QEL_T_MT::CPOSDictIterator;
using QEL_T_MT::CPOSObject;
using QEL_T_MT::Lookup;

CPOSObject Client(const Ref& value) { return CPOSObject(value.get()); }

class ClientTest : public qeltest::WithPOS<qeltest::LinkedLibraryTest> {
protected:
    // The reports of one client call, run as a published procedure runs it.
    template <class Call>
    std::vector<std::string> ReportsOf(Call call) {
        QEL_T_MT::Reporting([&] { call(); });
        return TakeReports();
    }
};

TEST_F(ClientTest, AnEmptyMemberIsRefusedAsThePublishedProceduresRefuseANullOne) {
    using Arrays = contract::POSArrayInterface;
    using Dicts = contract::POSDictInterface;
    const qelhost::pos::Atom key("k");
    struct Case {
        const char* name;
        const char* text;
        std::function<void(const Ref&)> published;
        std::function<void(const CPOSObject&)> client;
    };
    const Case cases[] = {
        {"Append", "[1 2]", [&](const Ref& a) { pos().Proc<Arrays::Append>()(a.get(), nullptr); },
         [](const CPOSObject& a) { CPOSArray(a, Lookup::Strict).Append(CPOSObject()); }},
        {"SetAt inside", "[1 2]", [&](const Ref& a) { pos().Proc<Arrays::SetAt>()(a.get(), 0, nullptr); },
         [](const CPOSObject& a) { CPOSArray(a, Lookup::Strict).SetAt(0, CPOSObject()); }},
        {"SetAt past the end", "[1 2]", [&](const Ref& a) { pos().Proc<Arrays::SetAt>()(a.get(), 5, nullptr); },
         [](const CPOSObject& a) { CPOSArray(a, Lookup::Strict).SetAt(5, CPOSObject()); }},
        {"Put a new key by atom", "<j 1>", [&](const Ref& d) { pos().Proc<Dicts::Put>()(d.get(), key.get(), nullptr); },
         [&](const CPOSObject& d) { CPOSDict(d, Lookup::Strict).Put(key.get(), CPOSObject()); }},
        {"Put a new key by text", "<j 1>", [&](const Ref& d) { pos().Proc<Dicts::Put>()(d.get(), key.get(), nullptr); },
         [](const CPOSObject& d) { CPOSDict(d, Lookup::Strict).Put("k", CPOSObject()); }},
        {"Put an existing key", "<k 1>", [&](const Ref& d) { pos().Proc<Dicts::Put>()(d.get(), key.get(), nullptr); },
         [](const CPOSObject& d) { CPOSDict(d, Lookup::Strict).Put("k", CPOSObject()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Ref viaTable = Parse(c.text);
        const Ref viaClient = Parse(c.text);
        c.published(viaTable);
        const std::vector<std::string> expected = TakeReports();
        ASSERT_EQ(expected.size(), 1u) << "the published procedure refuses a null member";
        EXPECT_EQ(ReportsOf([&] { c.client(Client(viaClient)); }), expected);
        EXPECT_EQ(Text(viaTable), c.text) << "nothing stored";
        EXPECT_EQ(Text(viaClient), c.text) << "nothing stored";
    }
}

TEST_F(ClientTest, ReadsOfOwnObjectsHandOutWhatThePublishedProceduresHandOut) {
    const Ref doc = Parse("<a [1 (two) <x 3>] b <c 3.5 d [x <e y>]> empty <>>");
    const CPOSDict dict(Client(doc), Lookup::Strict);

    for (const char* key : {"a", "b", "empty", "", "c", "a.b", "zz"}) {
        SCOPED_TRACE(key);
        const Ref expected = pos().Get(doc, key);
        const qelhost::pos::Atom atom(key);
        EXPECT_EQ(dict.Get(key, Lookup::Quiet).handle(), expected.get()) << "by text";
        EXPECT_EQ(dict.Get(atom.get(), Lookup::Quiet).handle(), expected.get()) << "by atom";
    }
    for (const char* address : {"a[0]", "a[2].x", ".b.d[1].e", "b.d[1]", "b.d[2]", "a[", "a.x", "b[0]", "", "empty"}) {
        SCOPED_TRACE(address);
        const qelhost::pos::Atom atom(address);
        EXPECT_EQ(dict.DeepGet(atom.get()).handle(), pos().DeepGet(doc, address).get());
    }
    const CPOSArray array(dict.Get("a", Lookup::Strict), Lookup::Strict);
    const Ref published = pos().Get(doc, "a");
    ASSERT_EQ(array.Count(), pos().Count(published));
    for (uint32_t i = 0; i <= array.Count(); ++i)
        EXPECT_EQ(array.GetAt(i, Lookup::Quiet).handle(), pos().GetAt(published, i).get()) << i;

    std::vector<std::string> keys;
    CPOSDictIterator entries(dict);
    for (entries.Begin(); !entries.IsDone(); entries.Next()) keys.emplace_back(entries.CurKey());
    EXPECT_EQ(keys, pos().Keys(doc));
    entries.Begin();
    EXPECT_EQ(std::string(entries.CurKey()), "a") << "Begin starts again";

    EXPECT_EQ(ReportsOf([&] { (void)dict.Get("zz", Lookup::Strict); }),
              std::vector<std::string>{"CPOSDict::Get failed"});
    EXPECT_EQ(ReportsOf([&] { (void)array.GetAt(9, Lookup::Strict); }),
              std::vector<std::string>{"CPOSArray::GetAt subscript failed"});
    EXPECT_EQ(TakeReports(), std::vector<std::string>{});
}

}  // namespace
