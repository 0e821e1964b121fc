// The structural validator: one schema, the interned keyword vocabulary and
// the check procedures registered by the client.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>

#include "frame/atom_ref.h"
#include "frame/client_base.h"
#include "objects/pos_client.h"
#include "qelutils/qel_types.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::QELStringAtomRef;

// The words the validator recognises, in the order they are interned.
enum class Keyword : uint8_t {
    Any, Bool, Int, Real, String, UnicodeString, BinData, QelErrorObjRef, ZuBaseObjRef, QelObjRef, RawPtr,
    Category, Dict, Array, Union, Intersection, True, False,
    Set, Required, Optional, Min, MinExcl, Max, MaxExcl, MinLen, MaxLen, IllegalChars, OneOf,
    MemberType, ValueType, KeyType,
};
inline constexpr unsigned kKeywordCount = 32;

class BaseValidator : public QEL_T_MT::CQELClientBase {
public:
    virtual ~BaseValidator() = default;
    // True when the value satisfies the type; otherwise the explanation lines
    // go to report, one call each (or nowhere when report is null).
    virtual bool Validate(const CPOSObject& value, const QELStringAtomRef& typeName, QELReportProc report) = 0;
};

// Who registered a check procedure. The library's own procedures change
// nothing that a walk reads; a client's may change anything.
enum class CheckOrigin : uint8_t { Client, Library };

class StructValidator final : public BaseValidator {
public:
    struct CheckEntry final {
        QELCheckProc proc = nullptr;
        void* clientData = nullptr;
        CheckOrigin origin = CheckOrigin::Client;
    };

    // Shares the schema (one reference for the validator's life); examines
    // nothing of it.
    explicit StructValidator(const CPOSObject& schema);
    ~StructValidator() override = default;
    StructValidator(const StructValidator&) = delete;
    StructValidator& operator=(const StructValidator&) = delete;

    bool Validate(const CPOSObject& value, const QELStringAtomRef& typeName, QELReportProc report) override;

    // A later registration for an equal name replaces the earlier one.
    void RegisterCheck(const QELStringAtomRef& typeName, QELCheckProc proc, void* clientData,
                       CheckOrigin origin);
    // The entry for the name, or null.
    const CheckEntry* FindCheck(const QELStringAtomRef& typeName) const;

    // The meta-schema check of a schema, with the check that every type name
    // it uses is built in or its own.
    static bool ValidateSchema(const CPOSObject& schema, QELReportProc report);

    const CPOSObject& schema() const noexcept { return schema_; }
    const QELStringAtomRef& keyword(Keyword k) const noexcept { return keywords_[static_cast<unsigned>(k)]; }

private:
    // Names are ordered by their bytes as unsigned values (what strcmp does).
    struct NameLess final {
        bool operator()(const QELStringAtomRef& a, const QELStringAtomRef& b) const noexcept {
            return std::strcmp(a.text(), b.text()) < 0;
        }
    };

    // Members go in reverse order: keywords (the last listed first), the
    // schema, then the registry.
    std::map<QELStringAtomRef, CheckEntry, NameLess> checks_;
    CPOSObject schema_;
    QELStringAtomRef keywords_[kKeywordCount];
};

}  // namespace NPOSValidatorImpl
