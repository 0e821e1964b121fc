// The lists of the binary interface (qelutils/qel_types.h, qelutils/pos_procs.h)
// expanded for C++. Each table becomes one descriptor: its name, a slot enum
// in row order, the row count, the rows, and the C type of each slot; and a
// table is published through Publish<slot>(&procedure), which does not
// compile when the procedure's type differs from its row's.
//
// The library and the reference host both expand these lists, so a method
// is added, renamed or moved in one line, and neither side can disagree
// with the other about a row. A C++ host may use it too; the ownership rules
// of each row are in the comments of the C headers.
#pragma once

#ifndef __cplusplus
#error "qelutils/contract.h is C++; C code uses the typedefs of qelutils/pos_procs.h"
#endif

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "qelutils/pos_procs.h"
#include "qelutils/qel_types.h"

namespace qelutils::contract {

// One row of a table, as the broker knows it.
struct Row final {
    const char* methodName;
    const char* procTypeName;
};

// One row with its procedure, as a component publishes it.
struct Registration final {
    const char* methodName;
    const char* procTypeName;
    void* proc;
};

// The C type of a row that is published but never called: the host's
// business, so nothing can be called through it.
struct Unspecified final {
    Unspecified() = delete;
};

// A slot's C type and its table are found from the slot alone (through the
// declarations each descriptor makes for its own slots).
template <auto S>
using ProcType = decltype(SlotType(std::integral_constant<decltype(S), S>{}));
template <auto S>
using TableOf = decltype(SlotTable(S));

}  // namespace qelutils::contract

#define QELUTILS_SLOT_ROW_(method, procType, result, parameters) method,
#define QELUTILS_SLOT_NAMED_(method, procType) method,
#define QELUTILS_ONE_ROW_(method, procType, result, parameters) +1
#define QELUTILS_ONE_NAMED_(method, procType) +1
#define QELUTILS_NAMES_ROW_(method, procType, result, parameters) Row{#method, #procType},
#define QELUTILS_NAMES_NAMED_(method, procType) Row{#method, #procType},
#define QELUTILS_TYPE_ROW_(method, procType, result, parameters) \
    friend procType SlotType(std::integral_constant<Slot, method>);
#define QELUTILS_TYPE_NAMED_(method, procType) friend Unspecified SlotType(std::integral_constant<Slot, method>);

// The rows are followed by one row of empty names that is not counted.
#define QELUTILS_TABLE_(Name, MEMBERS)                                                                   \
    struct Name final {                                                                                  \
        MEMBERS                                                                                          \
        enum Slot : uint32_t { QEL_ROWS_##Name(QELUTILS_SLOT_ROW_, QELUTILS_SLOT_NAMED_) };              \
        static constexpr uint32_t kCount = 0 QEL_ROWS_##Name(QELUTILS_ONE_ROW_, QELUTILS_ONE_NAMED_);    \
        static constexpr Row kRows[kCount + 1] = {                                                       \
            QEL_ROWS_##Name(QELUTILS_NAMES_ROW_, QELUTILS_NAMES_NAMED_) Row{"", ""}};                    \
        QEL_ROWS_##Name(QELUTILS_TYPE_ROW_, QELUTILS_TYPE_NAMED_)                                        \
        friend Name SlotTable(Slot);                                                                     \
    };
// Interfaces are found by name; the stream and data-store tables are fetched
// per container and have none.
#define QELUTILS_DESCRIBE_INTERFACE_(Name) QELUTILS_TABLE_(Name, static constexpr const char* kName = #Name;)
#define QELUTILS_DESCRIBE_METHOD_TABLE_(Name) QELUTILS_TABLE_(Name, )

#define QELUTILS_CORE_SLOT_(name, result, parameters) name,
#define QELUTILS_CORE_ONE_(name, result, parameters) +1
#define QELUTILS_CORE_NAMES_(name, result, parameters) Row{#name, #name},
#define QELUTILS_CORE_TYPE_(name, result, parameters) friend name##Proc SlotType(std::integral_constant<Slot, name>);

namespace qelutils::contract {

// The core procedures: method and proc-type name are the procedure's name.
struct QEL final {
    static constexpr const char* kName = "QEL";
    enum Slot : uint32_t { QEL_ROWS_QEL(QELUTILS_CORE_SLOT_) };
    static constexpr uint32_t kCount = 0 QEL_ROWS_QEL(QELUTILS_CORE_ONE_);
    static constexpr Row kRows[kCount + 1] = {QEL_ROWS_QEL(QELUTILS_CORE_NAMES_) Row{"", ""}};
    QEL_ROWS_QEL(QELUTILS_CORE_TYPE_)
    friend QEL SlotTable(Slot);
};

QELUTILS_DESCRIBE_INTERFACE_(QELStringInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELErrorInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELMemoryInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELContainerInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELSharedBuffInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELStreamFactoryInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELCacheInterface)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELSimpleStream)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELRewindableStream)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELPositionableStream)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELDataStore)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELSizedDataStore)
QELUTILS_DESCRIBE_METHOD_TABLE_(QELDataBlockStream)

QELUTILS_DESCRIBE_INTERFACE_(POSObjectInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSObjectStatics)
QELUTILS_DESCRIBE_INTERFACE_(POSNumberInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSStringInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSUnicodeStringInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSBinDataInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSRawPointerInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSArrayInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSDictInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSDictIteratorInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSStreamerInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSValidatorInterface)
QELUTILS_DESCRIBE_INTERFACE_(POSStructValidatorInterface)
QELUTILS_DESCRIBE_INTERFACE_(QELUtilsTempFileStreamFactory)
QELUTILS_DESCRIBE_INTERFACE_(QELUtilsDirInterface)

#undef QELUTILS_DESCRIBE_METHOD_TABLE_
#undef QELUTILS_DESCRIBE_INTERFACE_
#undef QELUTILS_TABLE_
#undef QELUTILS_CORE_TYPE_
#undef QELUTILS_CORE_NAMES_
#undef QELUTILS_CORE_ONE_
#undef QELUTILS_CORE_SLOT_
#undef QELUTILS_TYPE_NAMED_
#undef QELUTILS_TYPE_ROW_
#undef QELUTILS_NAMES_NAMED_
#undef QELUTILS_NAMES_ROW_
#undef QELUTILS_ONE_NAMED_
#undef QELUTILS_ONE_ROW_
#undef QELUTILS_SLOT_NAMED_
#undef QELUTILS_SLOT_ROW_

// ------------------------------------------------------------------ publication

// A procedure for the row S. It becomes an untyped address only once its
// type has been found to be exactly the row's (a noexcept procedure is
// accepted too): a procedure of another signature does not compile, even
// where a compiler would otherwise convert it.
template <auto S>
struct Published final {
    void* proc;
};

namespace detail {
template <class Proc>
struct WithNoexcept;
template <class R, class... Args>
struct WithNoexcept<R (*)(Args...)> {
    using type = R (*)(Args...) noexcept;
};
}  // namespace detail

template <auto S, class F>
Published<S> Publish(F proc) noexcept {
    static_assert(!std::is_same_v<ProcType<S>, Unspecified>, "this row has no C type: use PublishUnspecified");
    if constexpr (!std::is_same_v<ProcType<S>, Unspecified>) {
        using Exact = ProcType<S>;
        static_assert(std::is_same_v<F, Exact> || std::is_same_v<F, typename detail::WithNoexcept<Exact>::type>,
                      "the procedure's type differs from its row's");
    }
    return {reinterpret_cast<void*>(proc)};
}

// A row without a C type (published, never called): any procedure of the
// publisher's choosing.
template <auto S, class R, class... Args>
Published<S> PublishUnspecified(R (*proc)(Args...)) noexcept {
    static_assert(std::is_same_v<ProcType<S>, Unspecified>, "this row has a C type: use Publish");
    return {reinterpret_cast<void*>(proc)};
}

namespace detail {
template <uint32_t Count, std::size_t N>
constexpr bool NoRowTwice(const uint32_t (&slots)[N]) {
    bool seen[Count] = {};
    for (uint32_t slot : slots) {
        if (slot >= Count || seen[slot]) return false;
        seen[slot] = true;
    }
    return true;
}
}  // namespace detail

// A table's rows with their procedures, in row order whatever the order the
// procedures are given in; it compiles only with one procedure for each row.
template <class Table>
class Publication final {
public:
    template <auto... S>
    explicit Publication(Published<S>... procs) noexcept {
        static_assert((std::is_same_v<decltype(S), typename Table::Slot> && ...), "a row of another table");
        static_assert(sizeof...(S) == Table::kCount, "one procedure for each row of the table");
        static_assert(detail::NoRowTwice<Table::kCount>({static_cast<uint32_t>(S)...}), "a row given twice");
        ((rows_[S] = Registration{Table::kRows[S].methodName, Table::kRows[S].procTypeName, procs.proc}), ...);
        rows_[Table::kCount] = Registration{"", "", nullptr};
    }

    static constexpr const char* name() noexcept { return Table::kName; }
    static constexpr uint32_t count() noexcept { return Table::kCount; }
    const Registration* rows() const noexcept { return rows_; }
    const Registration* begin() const noexcept { return rows_; }
    const Registration* end() const noexcept { return rows_ + Table::kCount; }

private:
    Registration rows_[Table::kCount + 1];
};

// The table is the one of the rows given.
template <auto S, auto... More>
Publication(Published<S>, Published<More>...) -> Publication<TableOf<S>>;

}  // namespace qelutils::contract
