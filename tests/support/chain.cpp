#include "chain.h"

namespace qeltest {

using qelhost::pos::Ref;

Ref Chain(const qelhost::pos::Client& pos, int containers, Nest kind) {
    const bool dicts = kind == Nest::Dictionaries;
    const Ref outer = dicts ? pos.Dict() : pos.Array();
    Ref inner = outer;
    for (int i = 1; i < containers; ++i) {
        Ref next = dicts ? pos.Dict() : pos.Array();
        if (dicts)
            pos.Put(inner, "k", next);
        else
            pos.Append(inner, next);
        inner = next;
    }
    return outer;
}

Ref Inner(const qelhost::pos::Client& pos, const Ref& level, Nest kind) {
    return kind == Nest::Dictionaries ? pos.Get(level, "k") : pos.GetAt(level, 0);
}

}  // namespace qeltest
