// The entries of dictionaries still being read, kept aside until each one's
// closing bracket: then the dictionary takes them in the order read, with
// its nodes made at once in one block of the right size. A dictionary being
// read is the reader's own until it is complete, so nothing of this is
// visible to a host; entries of a read that fails are released with it.
#pragma once

#include <cstddef>
#include <vector>

#include "objects/pos_model.h"

namespace NPOSObjectImpl {

class PendingEntries final {
public:
    // Where the entries of a dictionary that opens now begin.
    size_t Mark() const noexcept { return entries_.size(); }

    void Add(QELStringAtomRef key, QELContainerRef value) {
        entries_.push_back(Entry{std::move(key), std::move(value)});
    }

    // Puts the entries from mark on into dict, as Put would one by one (a
    // key read again takes the later value).
    void MoveInto(Dict& dict, size_t mark) {
        dict.tree.Reserve(static_cast<uint32_t>(entries_.size() - mark));
        for (size_t i = mark; i < entries_.size(); ++i)
            dict.Put(std::move(entries_[i].key), std::move(entries_[i].value));
        entries_.resize(mark);
    }

private:
    struct Entry final {
        QELStringAtomRef key;
        QELContainerRef value;
    };
    std::vector<Entry> entries_;
};

}  // namespace NPOSObjectImpl
