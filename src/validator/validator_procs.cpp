// POSValidatorInterface and POSStructValidatorInterface: validator handles,
// check-procedure registration and the schema check, each an exception
// boundary.
#include "validator/validator_procs.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_services.h"
#include "frame/method_tables.h"
#include "frame/process_wide.h"
#include "validator/struct_validator.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::OwnKind;

namespace {

// The library never imports POSValidatorInterface for itself: the list stays
// empty, and is terminated like the others.
class CPOSValidatorTerminate final : public QEL_T_MT::VTabListTerminate {
public:
    CPOSValidatorTerminate() noexcept : VTabListTerminate(1, false) {}
};
QEL_PROCESS_WIDE CPOSValidatorTerminate gValidatorTables;

QELStringAtomRef TypeNameRef(QELStringAtom typeName) {
    if (typeName == nullptr) throw ::DWEException("No type name given");
    return QELStringAtomRef(typeName, false);
}

BaseValidator& ValidatorOf(QELContainerHandle validator) {
    void* object = QEL_T_MT::FindOwnInstance(validator, OwnKind::POSValidator);
    if (object == nullptr) QEL_T_MT::ThrowQELError("invalid container", "", 0);
    return *static_cast<BaseValidator*>(object);
}

void DestroyValidator(void* object) { delete static_cast<BaseValidator*>(object); }

int32_t Validate(QELContainerHandle validator, QELContainerHandle value, QELStringAtom typeName,
                 QELReportProc report) {
    return QEL_T_MT::Reporting<int32_t>(0, [&] {
        const QELStringAtomRef type = TypeNameRef(typeName);
        const CPOSObject object(value);
        return ValidatorOf(validator).Validate(object, type, report) ? 1 : 0;
    });
}

QELContainerHandle NewPOSStructValidator(QELContainerHandle schema) {
    return QEL_T_MT::Reporting<QELContainerHandle>(nullptr, [&] {
        auto* impl = new StructValidator(CPOSObject(schema));
        try {
            return QEL_T_MT::NewOwnContainer(impl, OwnKind::POSValidator, &DestroyValidator);
        } catch (...) {
            delete impl;
            throw;
        }
    });
}

void RegisterCallbackProc(QELContainerHandle validator, QELStringAtom typeName, QELCheckProc check,
                          void* clientData) {
    QEL_T_MT::Reporting([&] {
        const QELStringAtomRef type = TypeNameRef(typeName);
        auto* structural = dynamic_cast<StructValidator*>(&ValidatorOf(validator));
        if (structural == nullptr) throw ::DWEException("Not a structural validator");
        structural->RegisterCheck(type, check, clientData, CheckOrigin::Client);
    });
}

int32_t ValidateSchema(QELContainerHandle schema, QELReportProc report) {
    return QEL_T_MT::Reporting<int32_t>(0, [&] {
        return StructValidator::ValidateSchema(CPOSObject(schema), report) ? 1 : 0;
    });
}

}  // namespace

QEL_T_MT::Publication<qelutils::contract::POSValidatorInterface> ValidatorTable() noexcept {
    using QEL_T_MT::Publish;
    return QEL_T_MT::Publication(Publish<qelutils::contract::POSValidatorInterface::Validate>(&Validate));
}

QEL_T_MT::Publication<qelutils::contract::POSStructValidatorInterface> StructValidatorTable() noexcept {
    using StructValidatorInterface = qelutils::contract::POSStructValidatorInterface;
    using QEL_T_MT::Publish;
    return QEL_T_MT::Publication(Publish<StructValidatorInterface::NewPOSStructValidator>(&NewPOSStructValidator),
                                 Publish<StructValidatorInterface::RegisterCallbackProc>(&RegisterCallbackProc),
                                 Publish<StructValidatorInterface::ValidateSchema>(&ValidateSchema));
}

}  // namespace NPOSValidatorImpl
