#include "validator/struct_validator.h"

#include <iterator>
#include <optional>

#include "frame/guards.h"
#include "validator/direct_walk.h"
#include "validator/messages.h"
#include "validator/walk.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::Lookup;

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSString;

namespace {

// The interning order of the vocabulary; Keyword indexes it.
constexpr const char* kKeywordTexts[] = {
    // built-in type names
    "any", "bool", "int", "real", "string", "unicodestring", "bindata", "qelerrorobjref", "zubaseobjref",
    "qelobjref", "rawptr",
    // the member name and the categories that are no type names
    "category", "dict", "array", "union", "intersection",
    // the texts of "bool"
    "true", "false",
    // keywords
    "set", "required", "optional", "min", "minexcl", "max", "maxexcl", "minlen", "maxlen", "illegalchars",
    "oneof", "membertype", "valuetype", "keytype",
};
static_assert(std::size(kKeywordTexts) == kKeywordCount);

}  // namespace

StructValidator::StructValidator(const CPOSObject& schema) : schema_(schema) {
    for (unsigned k = 0; k < kKeywordCount; ++k) keywords_[k] = QELStringAtomRef(kKeywordTexts[k]);
}

void StructValidator::RegisterCheck(const QELStringAtomRef& typeName, QELCheckProc proc, void* clientData,
                                    CheckOrigin origin) {
    // Assigning over an existing entry keeps its key: the new name's atom
    // would equal it anyway, and the reference taken here is dropped with it.
    checks_.insert_or_assign(typeName, CheckEntry{proc, clientData, origin});
}

const StructValidator::CheckEntry* StructValidator::FindCheck(const QELStringAtomRef& typeName) const {
    const auto found = checks_.find(typeName);
    return found == checks_.end() ? nullptr : &found->second;
}

bool StructValidator::Validate(const CPOSObject& value, const QELStringAtomRef& typeName, QELReportProc report) {
    LineList lines;
    int32_t failures = 0;
    if (const std::optional<int32_t> direct = DirectWalk(*this, typeName, value, lines))
        failures = *direct;
    else
        failures = Walk(*this).CheckByName(typeName, value, lines.Array());
    if (failures == 0) return true;
    if (report == nullptr) {
        // Through the host like any client: the lines reach no one.
        const auto dump = QEL_T_MT::POSClientProc<qelutils::contract::POSObjectStatics::DebugDump>();
        const CPOSArray& all = lines.Array();
        QEL_T_MT::Checked([&] { dump(all.handle()); });
        return false;
    }
    if (lines.empty()) return false;
    const CPOSArray& all = lines.Array();
    const uint32_t count = all.Count();
    for (uint32_t i = 0; i < count; ++i) report(CPOSString(all.GetAt(i, Lookup::Strict), Lookup::Strict).Get());
    return false;
}

}  // namespace NPOSValidatorImpl
