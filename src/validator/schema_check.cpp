// The schema check: a schema validated as "StructSchema" of the meta-schema,
// with a check procedure that knows which type names the schema may use.
#include <cstdio>
#include <cstring>
#include <exception>

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/shared_buffer_ref.h"
#include "validator/meta_schema.h"
#include "validator/struct_validator.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::Lookup;

using QEL_T_MT::CPOSDict;
using QEL_T_MT::CPOSDictIterator;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSString;
using QEL_T_MT::POSException;
using QEL_T_MT::QELSharedBuffRef;

namespace {

constexpr const char kCannotLocate[] = "Cannot locate definition of type ";
constexpr const char kCaught[] = "Caught exception: ";
constexpr const char kCaughtUnknown[] = "Caught unknown exception: ";

constexpr const char* kBuiltInNames[] = {
    "any", "bool", "int", "real", "string", "unicodestring", "bindata", "rawptr", "qelobjref", "zubaseobjref",
    "qelerrorobjref",
};

// What a failed check leaves in a buffer that it could not fill as planned:
// the text when it fits with its NUL, else an empty text.
void WriteOrEmpty(QELSharedBuffHandle buffer, const char* prefix, const char* message) noexcept {
    if (buffer == nullptr) return;
    try {
        const QELSharedBuffRef own = QELSharedBuffRef::Borrow(buffer);
        char* data = own.Data();
        const uint64_t size = own.Size();
        if (data == nullptr || size == 0) return;
        if (std::strlen(prefix) + std::strlen(message) < size)
            std::snprintf(data, size, "%s%s", prefix, message);
        else
            data[0] = '\0';
    } catch (...) {
        // The buffer could not even be read: there is nowhere to say so.
    }
}

// Accepts a type name that is built in or defined by the schema.
int32_t TypeNameCheck(QELContainerHandle value, QELStringAtom, QELSharedBuffHandle buffer,
                      void* clientData) noexcept {
    try {
        const CPOSString name(CPOSObject(value), Lookup::Strict);
        const char* text = name.Get();
        const CPOSDict& known = *static_cast<const CPOSDict*>(clientData);
        if (!known.Get(text, Lookup::Quiet).empty()) return 1;
        if (buffer == nullptr) return 0;
        const QELSharedBuffRef own = QELSharedBuffRef::Borrow(buffer);
        const uint64_t size = own.Size();
        if (std::strlen(kCannotLocate) + std::strlen(text) >= size)
            throw ::DWEException("Error buffer too small");
        std::snprintf(own.Data(), size, "%s%s", kCannotLocate, text);
        return 0;
    } catch (const QEL_T_MT::CReportedFailure&) {
        // Its message went to the host, not here.
        WriteOrEmpty(buffer, kCaughtUnknown, "");
    } catch (const std::exception& e) {
        WriteOrEmpty(buffer, kCaught, e.what());
    } catch (...) {
        WriteOrEmpty(buffer, kCaughtUnknown, "");
    }
    return 0;
}

// Every name the schema may use as a type: the built-ins and its own keys.
CPOSDict KnownTypeNames(const CPOSObject& schema) {
    const CPOSDict known = CPOSDict::New();
    for (const char* name : kBuiltInNames) known.Put(name, CPOSNumber::New(1.0));
    const CPOSDictIterator keys(schema);
    for (keys.Begin(); !keys.IsDone(); keys.Next()) known.Put(keys.CurKey(), CPOSNumber::New(1.0));
    return known;
}

// Parsed anew for every check: nothing is shared between calls.
CPOSDict NewMetaSchema() {
    const auto create = QEL_T_MT::POSClientProc<qelutils::contract::POSObjectStatics::CreateFromText>();
    const QELContainerHandle made = QEL_T_MT::Checked([&] { return create(kMetaSchemaText, nullptr); });
    if (made == nullptr) throw POSException("CreateFromText failed");
    return CPOSDict(CPOSObject(made), Lookup::Strict);
}

}  // namespace

bool StructValidator::ValidateSchema(const CPOSObject& schema, QELReportProc report) {
    const CPOSDict meta = NewMetaSchema();
    const CPOSDict known = KnownTypeNames(schema);
    StructValidator checker(meta);
    // Reads the table and writes its buffer, nothing else.
    checker.RegisterCheck(QELStringAtomRef("TypeName"), &TypeNameCheck, const_cast<CPOSDict*>(&known),
                          CheckOrigin::Library);
    return checker.Validate(schema, QELStringAtomRef("StructSchema"), report);
}

}  // namespace NPOSValidatorImpl
