// The reference host as a broker: what every host must do for the library
// (interning, counting, the floating-container rule, registration), and the
// books and faults the tests rely on.
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace {

using qeltest::HostTest;

struct Procs final {
    explicit Procs(qelhost::Host& h)
        : newAtom(h.Get<contract::QELStringInterface::NewStringAtom>()),
          deleteAtom(
              h.Get<contract::QELStringInterface::DeleteStringAtom>()),
          text(h.Get<contract::QELStringInterface::GetCString>()),
          newContainer(h.Get<contract::QELContainerInterface::NewFullContainer>()),
          addRef(h.Get<contract::QELContainerInterface::AddRef>()),
          release(h.Get<contract::QELContainerInterface::Release>()),
          decrement(h.Get<contract::QELContainerInterface::DecrementWithoutDelete>()),
          offset(h.Get<contract::QELContainerInterface::GetOffsetToPrimaryInstance>()),
          reg(h.Get<contract::QEL::QELRegisterProcAddress>()) {}
    QELNewStringAtomProc newAtom;
    QELDeleteStringAtomProc deleteAtom;
    QELGetCStringProc text;
    QELNewFullContainerV5Proc newContainer;
    QELAddRefContainerV2Proc addRef;
    QELReleaseContainerProc release;
    QELDecrementWithoutDeleteProc decrement;
    QELGetOffsetToPrimaryInstProc offset;
    QELRegisterProcAddressProc reg;
};

int gDestroyed = 0;
void Destroy(void*) { ++gDestroyed; }

TEST_F(HostTest, AtomsAreInternedWhileAnyReferenceLives) {
    const Procs p(host());
    QELStringAtom a = p.newAtom("interned");
    QELStringAtom b = p.newAtom("interned");
    EXPECT_EQ(p.text(a), p.text(b));
    EXPECT_EQ(host().books().atomRefs, 2);
    p.deleteAtom(a);
    QELStringAtom c = p.newAtom("interned");
    EXPECT_EQ(p.text(c), p.text(b)) << "still interned while b lives";
    p.deleteAtom(b);
    p.deleteAtom(c);
    EXPECT_EQ(host().books().atomRefs, 0);
}

TEST_F(HostTest, AtomsAreThreadSafe) {
    const Procs p(host());
    std::vector<std::thread> threads;
    std::atomic<bool> mismatch{false};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i) {
                const std::string name = "atom" + std::to_string((i * 7 + t) % 97);
                QELStringAtom x = p.newAtom(name.c_str());
                QELStringAtom y = p.newAtom(name.c_str());
                if (p.text(x) != p.text(y) || name != p.text(x)) mismatch = true;
                p.deleteAtom(x);
                p.deleteAtom(y);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(mismatch);
    EXPECT_EQ(host().books().atomRefs, 0);
}

TEST_F(HostTest, ContainersFollowTheFloatingRule) {
    const Procs p(host());
    QELStringAtom impl = p.newAtom("Impl");
    QELStringAtom iface = p.newAtom("SomeInterface");
    static int object;
    QELContainerHandle c = nullptr;
    ASSERT_EQ(p.newContainer(&c, &object, impl, &Destroy, iface, nullptr, nullptr, nullptr), nullptr);
    const auto* record = reinterpret_cast<const QELPrimaryInstanceRecord*>(reinterpret_cast<const char*>(c) +
                                                                            p.offset());
    EXPECT_EQ(record->implementationName, p.text(impl));
    EXPECT_EQ(record->implementationObject, &object);
    ASSERT_NE(record->signature, nullptr);

    gDestroyed = 0;
    EXPECT_NE(p.addRef(c), 0);
    EXPECT_NE(p.addRef(c), 0);
    p.decrement(c);
    p.decrement(c);
    p.decrement(c);  // at zero: nothing happens
    EXPECT_EQ(gDestroyed, 0) << "DecrementWithoutDelete never destroys";
    p.release(c);  // floating: destroyed outright
    EXPECT_EQ(gDestroyed, 1);
    EXPECT_EQ(p.addRef(nullptr), 0);

    // Two containers of one kind share one signature text.
    QELContainerHandle d = nullptr, e = nullptr;
    p.newContainer(&d, &object, impl, nullptr, iface, nullptr, nullptr, nullptr);
    p.newContainer(&e, &object, impl, nullptr, iface, nullptr, nullptr, nullptr);
    auto signature = [&](QELContainerHandle h) {
        return reinterpret_cast<const QELPrimaryInstanceRecord*>(reinterpret_cast<const char*>(h) + p.offset())
            ->signature;
    };
    EXPECT_EQ(signature(d), signature(e));
    p.release(d);
    p.release(e);
    p.deleteAtom(impl);
    p.deleteAtom(iface);
}

TEST_F(HostTest, RegistrationChecksProcTypeNames) {
    const Procs p(host());
    static int a, b;
    EXPECT_EQ(p.reg("TestIface", "M", "TypeA", &a), 1);
    EXPECT_EQ(p.reg("TestIface", "M", "TypeA", &a), 1) << "the very same row again";
    EXPECT_EQ(p.reg("TestIface", "M", "TypeB", &b), 0);
    EXPECT_EQ(host().Resolve("TestIface", "M", "TypeA"), &a);
    EXPECT_EQ(host().Resolve("TestIface", "M", "TypeB"), nullptr);
    const uint32_t count = host().UnregisterCount();
    host().Withdraw("TestIface");
    EXPECT_EQ(host().UnregisterCount(), count + 1);
    EXPECT_EQ(host().Resolve("TestIface", "M", "TypeA"), nullptr);
}

TEST_F(HostTest, AllocationFaultsStrikeTheNthCall) {
    const Procs p(host());
    host().FailAllocation(2);
    QELStringAtom first = p.newAtom("one");
    QELStringAtom second = p.newAtom("two");
    QELStringAtom third = p.newAtom("three");
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr) << "a single fault, not a persistent one";
    p.deleteAtom(first);
    p.deleteAtom(third);
    host().FailAllocation(1, true);
    EXPECT_EQ(p.newAtom("x"), nullptr);
    EXPECT_EQ(p.newAtom("y"), nullptr);
    host().FailAllocation(0);
    QELStringAtom z = p.newAtom("z");
    EXPECT_NE(z, nullptr);
    p.deleteAtom(z);
}

TEST_F(HostTest, ContainerLookupFaultsStrikeTheNthLookup) {
    const Procs p(host());
    auto getMethod = host().Get<contract::QELContainerInterface::GetMethod>();
    auto getInstance =
        host().Get<contract::QELContainerInterface::NGetInstance>();
    auto releaseError = host().Get<contract::QELErrorInterface::Release>();
    static int proc;
    ASSERT_TRUE(host().Register("TestIface", "M", "TypeM", &proc));
    QELStringAtom impl = p.newAtom("TestImpl");
    QELStringAtom iface = p.newAtom("TestIface");
    QELStringAtom method = p.newAtom("M");
    QELStringAtom type = p.newAtom("TypeM");
    int object = 0;
    QELContainerHandle c = nullptr;
    ASSERT_EQ(p.newContainer(&c, &object, impl, nullptr, iface, nullptr, nullptr, nullptr), nullptr);

    host().FailContainerLookup(2);
    const uint64_t before = host().ContainerLookups();
    void* found = nullptr;
    EXPECT_EQ(getMethod(&found, c, method, type, 0), nullptr);
    EXPECT_EQ(found, &proc);
    const QELErrorHandle failed = getInstance(&found, c, impl);
    EXPECT_NE(failed, nullptr);
    EXPECT_EQ(found, nullptr) << "a failed lookup finds nothing";
    releaseError(failed);
    EXPECT_EQ(getInstance(&found, c, impl), nullptr) << "a single fault";
    EXPECT_EQ(found, &object);
    EXPECT_EQ(host().ContainerLookups() - before, 3u);

    p.release(c);
    for (QELStringAtom a : {impl, iface, method, type}) p.deleteAtom(a);
    host().Withdraw("TestIface");
}

TEST(HostConfigurations, DifferInWhatTheLibraryMustNotRelyOn) {
    std::set<int32_t> offsets;
    std::set<std::string> genericTexts;
    for (const qelhost::HostConfig config : {qelhost::HostConfig::Reference(), qelhost::HostConfig::Alternate()}) {
        qelhost::Host host(config);
        const Procs p(host);
        offsets.insert(p.offset());
        auto core = host.Get<contract::QELErrorInterface::GetCoreError>();
        auto message =
            host.Get<contract::QELErrorInterface::GetErrorMessage>();
        auto release = host.Get<contract::QELErrorInterface::Release>();
        QELErrorHandle e = core(0);
        genericTexts.insert(p.text(message(e)));
        release(e);
    }
    EXPECT_EQ(offsets.size(), 2u);
    EXPECT_EQ(genericTexts.size(), 2u);
}

}  // namespace
