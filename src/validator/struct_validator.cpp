#include "validator/struct_validator.h"

#include <iterator>

#include "frame/guards.h"
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
    const CPOSArray lines = CPOSArray::New();
    if (Walk(*this).CheckByName(typeName, value, lines) == 0) return true;
    if (report == nullptr) {
        // Through the host like any client: the lines reach no one.
        const auto dump = QEL_T_MT::POSClientProc<qelutils::contract::POSObjectStatics::DebugDump>();
        QEL_T_MT::Checked([&] { dump(lines.handle()); });
        return false;
    }
    const uint32_t count = lines.Count();
    for (uint32_t i = 0; i < count; ++i) report(CPOSString(lines.GetAt(i, Lookup::Strict), Lookup::Strict).Get());
    return false;
}

}  // namespace NPOSValidatorImpl
