// The library's subsystems as the lifecycle sees them: each publishes its
// interfaces at start-up and withdraws them at shut-down.
#pragma once

namespace qel {

struct Module final {
    // Publishes the module's tables in order; false at the first refusal.
    bool (*publish)();
    // Withdraws every interface of the module by name, published or not.
    void (*withdraw)() noexcept;
};

// Defined by each subsystem.
extern const Module kObjectsModule;
extern const Module kSerializerModule;
extern const Module kValidatorModule;
extern const Module kFilesModule;

}  // namespace qel
