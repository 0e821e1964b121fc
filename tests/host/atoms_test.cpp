// Interning under pressure: a table that grows and shrinks while it is read,
// texts that differ only in their last byte or beyond the first word, and
// threads that give back the last reference to a text while others intern
// it. And the kinds of containers: one signature per pair of names, each
// container destroyed by its own procedure.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace {

using qeltest::HostTest;

struct AtomProcs final {
    explicit AtomProcs(const qelhost::Host& h)
        : newAtom(h.Get<contract::QELStringInterface::NewStringAtom>()),
          deleteAtom(h.Get<contract::QELStringInterface::DeleteStringAtom>()),
          addRef(h.Get<contract::QELStringInterface::AddRef>()),
          text(h.Get<contract::QELStringInterface::GetCString>()) {}
    QELNewStringAtomProc newAtom;
    QELDeleteStringAtomProc deleteAtom;
    QELAddRefStringAtomProc addRef;
    QELGetCStringProc text;
};

// Texts that a hash, a word-wise comparison or a length check could confuse.
std::vector<std::string> NearTexts() {
    std::vector<std::string> texts{"", "a", "b", "ab", "ba", "abcdefg", "abcdefgh", "abcdefgi", "abcdefghi",
                                   "abcdefghj", std::string(15, 'x'), std::string(16, 'x'), std::string(17, 'x')};
    // The same first words, different in the last byte; and long texts that
    // take the locked path, alike but for one byte deep inside.
    for (size_t n : {23u, 24u, 25u, 500u, 503u, 504u, 600u, 5000u}) {
        std::string base(n, 'q');
        texts.push_back(base);
        base.back() = 'r';
        texts.push_back(base);
        if (n > 100) {
            base[n / 2] = 's';
            texts.push_back(base);
        }
    }
    return texts;
}

TEST_F(HostTest, EqualTextsShareOneAtomAndDifferentTextsNever) {
    const AtomProcs p(host());
    const std::vector<std::string> texts = NearTexts();
    std::vector<QELStringAtom> first, second;
    for (const std::string& t : texts) first.push_back(p.newAtom(t.c_str()));
    for (const std::string& t : texts) second.push_back(p.newAtom(t.c_str()));
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("text of " + std::to_string(texts[i].size()) + " bytes");
        ASSERT_NE(first[i], nullptr);
        EXPECT_EQ(first[i], second[i]);
        EXPECT_EQ(p.text(first[i]), texts[i]);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(first[i], first[j]) << "same atom as text " << j;
    }
    EXPECT_EQ(host().books().atomRefs, static_cast<int64_t>(2 * texts.size()));
    for (QELStringAtom a : first) p.deleteAtom(a);
    for (QELStringAtom a : second) p.deleteAtom(a);
}

// Many texts held at once make every shard grow; releasing them in a random
// order closes the gaps they leave. Every text still held must keep its atom
// throughout, and every atom's record must go with its last reference.
TEST_F(HostTest, AtomsSurviveGrowthAndTheRemovalOfTheirNeighbours) {
    const AtomProcs p(host());
    const int64_t atomsBefore = host().Memory().atoms;
    constexpr size_t kTexts = 40000;
    std::vector<std::string> texts;
    std::vector<QELStringAtom> atoms;
    for (size_t i = 0; i < kTexts; ++i) {
        texts.push_back("key" + std::to_string(i * 7919 % 100003) + (i % 3 == 0 ? "-with-a-longer-tail" : ""));
        atoms.push_back(p.newAtom(texts.back().c_str()));
        ASSERT_NE(atoms.back(), nullptr);
    }
    EXPECT_EQ(host().Memory().atoms - atomsBefore, static_cast<int64_t>(kTexts));

    std::vector<size_t> order(kTexts);
    for (size_t i = 0; i < kTexts; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<bool> released(kTexts, false);
    for (size_t k = 0; k < kTexts; ++k) {
        const size_t gone = order[k];
        p.deleteAtom(atoms[gone]);
        released[gone] = true;
        // Now and then, every text still held must be found as it was.
        if (k % 5000 != 4999) continue;
        for (size_t i = 0; i < kTexts; ++i) {
            if (released[i]) continue;
            QELStringAtom again = p.newAtom(texts[i].c_str());
            ASSERT_EQ(again, atoms[i]) << texts[i] << " after " << k + 1 << " removals";
            p.deleteAtom(again);
        }
    }
    EXPECT_EQ(host().Memory().atoms, atomsBefore) << "records left behind";
    EXPECT_EQ(host().books().atomRefs, 0);
}

// Threads intern and give back a few texts as fast as they can, so that the
// last reference of a text often goes while another thread interns it. Who
// holds an atom registers it: an atom obtained while another holder is
// registered must be that holder's.
TEST_F(HostTest, TheLastReleaseNeverRacesAnInternOfTheSameText) {
    const AtomProcs p(host());
    std::vector<std::string> texts{"k", "key", "keyword", "keywords", "a text of thirty-one bytes long",
                                   std::string(700, 'z')};
    for (int i = 0; i < 10; ++i) texts.push_back("t" + std::to_string(i));
    struct Holders final {
        std::mutex lock;
        int count = 0;
        QELStringAtom atom = nullptr;
    };
    std::vector<Holders> holders(texts.size());
    std::atomic<int> wrongAtom{0}, wrongText{0};
    const int64_t atomsBefore = host().Memory().atoms;

    auto churn = [&](unsigned seed) {
        std::mt19937 random(seed);
        for (int i = 0; i < 40000; ++i) {
            const size_t t = random() % texts.size();
            QELStringAtom atom = p.newAtom(texts[t].c_str());
            if (atom == nullptr || p.text(atom) != texts[t]) {
                ++wrongText;
                if (atom != nullptr) p.deleteAtom(atom);
                continue;
            }
            {
                std::lock_guard hold(holders[t].lock);
                if (holders[t].count > 0 && holders[t].atom != atom) ++wrongAtom;
                if (holders[t].count++ == 0) holders[t].atom = atom;
            }
            if (random() % 4 == 0) std::this_thread::yield();
            {
                std::lock_guard hold(holders[t].lock);
                --holders[t].count;
            }
            p.deleteAtom(atom);
        }
    };
    // Meanwhile one thread interns texts never seen before, so that shards
    // grow under the readers.
    auto grow = [&] {
        for (int i = 0; i < 30000; ++i) {
            const std::string text = "fresh" + std::to_string(i);
            QELStringAtom atom = p.newAtom(text.c_str());
            if (atom == nullptr || p.text(atom) != text) ++wrongText;
            if (atom != nullptr && i % 2 == 0) p.deleteAtom(atom);
            if (atom != nullptr && i % 2 == 1) {
                p.addRef(atom);
                p.deleteAtom(atom);
                p.deleteAtom(atom);
            }
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(churn, t + 1);
    threads.emplace_back(grow);
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrongAtom.load(), 0) << "two live atoms of one text";
    EXPECT_EQ(wrongText.load(), 0);
    EXPECT_EQ(host().books().atomRefs, 0);
    EXPECT_EQ(host().Memory().atoms, atomsBefore) << "records left behind";
}

// ------------------------------------------------------------------ kinds

int gDestroyedA = 0, gDestroyedB = 0;
void DestroyA(void*) { ++gDestroyedA; }
void DestroyB(void*) { ++gDestroyedB; }

struct ContainerProcs final {
    explicit ContainerProcs(const qelhost::Host& h)
        : newContainer(h.Get<contract::QELContainerInterface::NewFullContainer>()),
          release(h.Get<contract::QELContainerInterface::Release>()),
          offset(h.Get<contract::QELContainerInterface::GetOffsetToPrimaryInstance>()()) {}
    const QELPrimaryInstanceRecord& Record(QELContainerHandle c) const {
        return *reinterpret_cast<const QELPrimaryInstanceRecord*>(reinterpret_cast<const char*>(c) + offset);
    }
    QELNewFullContainerV5Proc newContainer;
    QELReleaseContainerProc release;
    int32_t offset;
};

TEST_F(HostTest, EachPairOfNamesHasOneSignatureAndEachContainerItsOwnDestroy) {
    const AtomProcs a(host());
    const ContainerProcs c(host());
    QELStringAtom impl1 = a.newAtom("Impl1"), impl2 = a.newAtom("Impl2");
    QELStringAtom iface1 = a.newAtom("Iface1"), iface2 = a.newAtom("Iface2");
    int object = 0;
    struct Made final {
        QELStringAtom impl, iface;
        QELDestroyProc destroy;
        QELContainerHandle handle = nullptr;
    };
    std::vector<Made> made{{impl1, iface1, &DestroyA}, {impl1, iface1, &DestroyB}, {impl1, iface2, &DestroyA},
                           {impl2, iface1, &DestroyA}, {impl2, iface2, nullptr},    {impl1, iface1, &DestroyA}};
    for (Made& m : made)
        ASSERT_EQ(c.newContainer(&m.handle, &object, m.impl, m.destroy, m.iface, nullptr, nullptr, nullptr), nullptr);
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(c.Record(made[i].handle).implementationName, a.text(made[i].impl));
        EXPECT_EQ(c.Record(made[i].handle).implementationObject, &object);
        for (size_t j = 0; j < i; ++j) {
            const bool samePair = made[i].impl == made[j].impl && made[i].iface == made[j].iface;
            EXPECT_EQ(c.Record(made[i].handle).signature == c.Record(made[j].handle).signature, samePair)
                << "containers " << j << " and " << i;
        }
    }
    gDestroyedA = gDestroyedB = 0;
    for (Made& m : made) c.release(m.handle);
    EXPECT_EQ(gDestroyedA, 4);
    EXPECT_EQ(gDestroyedB, 1);
    for (QELStringAtom atom : {impl1, impl2, iface1, iface2}) a.deleteAtom(atom);
}

// More kinds than the first table of kinds holds and than fill one block of
// them: each container must still find its own kind, by name and by destroy
// procedure, and a name that is not its own must be refused.
TEST_F(HostTest, ManyKindsEachKeepTheirNamesSignatureAndDestroy) {
    const AtomProcs a(host());
    const ContainerProcs c(host());
    const auto instance = host().Get<contract::QELContainerInterface::NGetInstance>();
    const auto releaseError = host().Get<contract::QELErrorInterface::Release>();
    QELStringAtom ifaces[2] = {a.newAtom("ManyIface0"), a.newAtom("ManyIface1")};
    constexpr int kNames = 350;
    std::vector<QELStringAtom> impls;
    for (int i = 0; i < kNames; ++i) impls.push_back(a.newAtom(("ManyImpl" + std::to_string(i)).c_str()));
    struct Made final {
        int impl, iface;
        QELContainerHandle handle;
    };
    std::vector<Made> made;
    std::vector<int> objects(2 * kNames);
    for (int i = 0; i < kNames; ++i)
        for (int f = 0; f < 2; ++f) {
            QELContainerHandle h = nullptr;
            ASSERT_EQ(c.newContainer(&h, &objects[2 * i + f], impls[i], (i + f) % 2 == 0 ? &DestroyA : &DestroyB,
                                     ifaces[f], nullptr, nullptr, nullptr),
                      nullptr);
            made.push_back({i, f, h});
        }
    std::vector<const char*> signatures;
    for (const Made& m : made) {
        SCOPED_TRACE("kind " + std::to_string(m.impl) + "/" + std::to_string(m.iface));
        EXPECT_EQ(c.Record(m.handle).implementationName, a.text(impls[m.impl]));
        void* object = nullptr;
        ASSERT_EQ(instance(&object, m.handle, impls[m.impl]), nullptr);
        EXPECT_EQ(object, &objects[2 * m.impl + m.iface]);
        const QELErrorHandle refused = instance(&object, m.handle, impls[(m.impl + 1) % kNames]);
        EXPECT_NE(refused, nullptr) << "another kind's name accepted";
        if (refused != nullptr) releaseError(refused);
        signatures.push_back(c.Record(m.handle).signature);
    }
    std::sort(signatures.begin(), signatures.end());
    EXPECT_EQ(std::unique(signatures.begin(), signatures.end()) - signatures.begin(), 2 * kNames)
        << "pairs of names share a signature";
    gDestroyedA = gDestroyedB = 0;
    for (const Made& m : made) c.release(m.handle);
    EXPECT_EQ(gDestroyedA, kNames);
    EXPECT_EQ(gDestroyedB, kNames);
    for (QELStringAtom atom : impls) a.deleteAtom(atom);
    for (QELStringAtom atom : ifaces) a.deleteAtom(atom);
}

}  // namespace
