// Deep values for the tests that go to the nesting bound and past it.
#pragma once

#include "qelhost/pos.h"

namespace qeltest {

enum class Nest { Arrays, Dictionaries };

// `containers` nested containers, each the only member of the one before
// (dictionaries under the key "k"), the innermost empty. Built without
// recursion, so any depth can be made.
qelhost::pos::Ref Chain(const qelhost::pos::Client& pos, int containers, Nest kind);

// The member one level down in such a chain.
qelhost::pos::Ref Inner(const qelhost::pos::Client& pos, const qelhost::pos::Ref& level, Nest kind);

}  // namespace qeltest
