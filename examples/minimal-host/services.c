/* The host interfaces. Handles are pointers to the structures below;
 * QELUtils sees them only as opaque values, except the primary-instance
 * record of a container, which it reads at the offset this host gives. */
#include "services.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "broker.h"

static Books gBooks;

/* ------------------------------------------------------------ string atoms */

/* Equal texts share one atom, and so one text pointer, while any reference
 * to it lives: QELUtils compares names by these pointers. */
typedef struct Atom {
    struct Atom* next;
    unsigned long references;
    char text[];
} Atom;

static Atom* gAtoms;

static QELStringAtom NewStringAtom(const char* text) {
    Atom* atom;
    size_t size;
    if (text == NULL) return NULL;
    for (atom = gAtoms; atom != NULL; atom = atom->next) {
        if (strcmp(atom->text, text) == 0) {
            ++atom->references;
            ++gBooks.atomReferences;
            return (QELStringAtom)atom;
        }
    }
    size = strlen(text) + 1;
    atom = malloc(sizeof *atom + size);
    if (atom == NULL) return NULL;
    memcpy(atom->text, text, size);
    atom->references = 1;
    atom->next = gAtoms;
    gAtoms = atom;
    ++gBooks.atomReferences;
    return (QELStringAtom)atom;
}

static void DeleteStringAtom(QELStringAtom handle) {
    Atom* atom = (Atom*)handle;
    Atom** link;
    if (atom == NULL) return;
    --gBooks.atomReferences;
    if (--atom->references > 0) return;
    for (link = &gAtoms; *link != atom; link = &(*link)->next) {
    }
    *link = atom->next;
    free(atom);
}

static const char* GetCString(QELStringAtom handle) { return handle != NULL ? ((Atom*)handle)->text : NULL; }

static void AddRefStringAtom(QELStringAtom handle) {
    if (handle == NULL) return;
    ++((Atom*)handle)->references;
    ++gBooks.atomReferences;
}

/* ------------------------------------------------------------ errors */

typedef struct Error {
    unsigned long references;
    QELStringAtom message;
    QELStringAtom component;
    uint32_t id;
    int core; /* the host's own, never freed */
} Error;

/* Core error 0 is the generic error, 1 running out of memory. */
static Error gCoreErrors[2];

static QELErrorHandle NewError(const char* message, const char* component, uint32_t id, uint64_t value1,
                               uint64_t value2) {
    Error* error = calloc(1, sizeof *error);
    (void)value1;
    (void)value2;
    if (error == NULL) return NULL;
    error->message = NewStringAtom(message != NULL ? message : "");
    error->component = NewStringAtom(component != NULL ? component : "");
    if (error->message == NULL || error->component == NULL) {
        DeleteStringAtom(error->message);
        DeleteStringAtom(error->component);
        free(error);
        return NULL;
    }
    error->id = id;
    error->references = 1;
    ++gBooks.errorReferences;
    return (QELErrorHandle)error;
}

/* A counted reference, like any other, to a permanent error. */
static QELErrorHandle GetCoreError(uint32_t code) {
    Error* error;
    if (code >= sizeof gCoreErrors / sizeof gCoreErrors[0]) return NULL;
    error = &gCoreErrors[code];
    ++error->references;
    ++gBooks.errorReferences;
    return (QELErrorHandle)error;
}

static QELErrorHandle ErrorAddRef(QELErrorHandle handle) {
    if (handle != NULL) {
        ++((Error*)handle)->references;
        ++gBooks.errorReferences;
    }
    return handle;
}

static void ErrorRelease(QELErrorHandle handle) {
    Error* error = (Error*)handle;
    if (error == NULL) return;
    --gBooks.errorReferences;
    if (--error->references > 0 || error->core) return;
    DeleteStringAtom(error->message);
    DeleteStringAtom(error->component);
    free(error);
}

/* The caller does not own the atoms returned. */
static QELStringAtom ErrorGetMessage(QELErrorHandle handle) { return handle != NULL ? ((Error*)handle)->message : NULL; }
static QELStringAtom ErrorGetComponent(QELErrorHandle handle) {
    return handle != NULL ? ((Error*)handle)->component : NULL;
}
static uint32_t ErrorGetID(QELErrorHandle handle) { return handle != NULL ? ((Error*)handle)->id : 0; }

static QELErrorHandle OutOfMemory(void) { return GetCoreError(1); }

/* ------------------------------------------------------------ memory */

static void* MemAlloc(uint64_t size) {
    void* block = size <= SIZE_MAX ? malloc(size != 0 ? (size_t)size : 1) : NULL;
    if (block != NULL) ++gBooks.memoryBlocks;
    return block;
}

static void* MemRealloc(void* block, uint64_t size) {
    void* grown;
    if (block == NULL) return MemAlloc(size);
    if (size > SIZE_MAX) return NULL;
    /* On failure the block stays the caller's, as with realloc. */
    grown = realloc(block, size != 0 ? (size_t)size : 1);
    return grown;
}

static void MemFree(void* block) {
    if (block == NULL) return;
    --gBooks.memoryBlocks;
    free(block);
}

/* ------------------------------------------------------------ containers */

/* A container is born floating (no reference); AddRef and Release count,
 * and the last Release, or a Release of a floating container, destroys it
 * through the destroy procedure its maker gave. */
typedef struct Container {
    unsigned long references;
    QELDestroyProc destroy;
    QELStringAtom interfaceName;
    QELStringAtom implementationName;
    QELStringAtom signature; /* one per kind: implementation and interface */
    QELPrimaryInstanceRecord record;
} Container;

static QELErrorHandle NewFullContainer(QELContainerHandle* out, void* implementationObject,
                                       QELStringAtom implementationName, QELDestroyProc destroy,
                                       QELStringAtom interfaceName, void* reserved1, void* reserved2,
                                       void* reserved3) {
    Container* container;
    char* kind;
    size_t implementationSize, interfaceSize;
    (void)reserved1;
    (void)reserved2;
    (void)reserved3;
    if (out == NULL) return NewError("NewFullContainer: no out argument", "minimal-host", 1, 0, 0);
    *out = NULL;
    if (implementationName == NULL || interfaceName == NULL)
        return NewError("NewFullContainer: a name is missing", "minimal-host", 1, 0, 0);

    implementationSize = strlen(GetCString(implementationName));
    interfaceSize = strlen(GetCString(interfaceName));
    kind = malloc(implementationSize + interfaceSize + 2);
    container = calloc(1, sizeof *container);
    if (kind == NULL || container == NULL) {
        free(kind);
        free(container);
        return OutOfMemory();
    }
    memcpy(kind, GetCString(implementationName), implementationSize);
    kind[implementationSize] = '@';
    memcpy(kind + implementationSize + 1, GetCString(interfaceName), interfaceSize + 1);
    container->signature = NewStringAtom(kind);
    free(kind);
    if (container->signature == NULL) {
        free(container);
        return OutOfMemory();
    }
    AddRefStringAtom(implementationName);
    AddRefStringAtom(interfaceName);
    container->implementationName = implementationName;
    container->interfaceName = interfaceName;
    container->destroy = destroy;
    container->record.implementationName = GetCString(implementationName);
    container->record.signature = GetCString(container->signature);
    container->record.implementationObject = implementationObject;
    ++gBooks.containers;
    *out = (QELContainerHandle)container;
    return NULL;
}

static int32_t ContainerAddRef(QELContainerHandle handle) {
    if (handle == NULL) return 0;
    ++((Container*)handle)->references;
    return 1;
}

static void ContainerRelease(QELContainerHandle handle) {
    Container* container = (Container*)handle;
    if (container == NULL) return;
    if (container->references > 1) {
        --container->references;
        return;
    }
    /* The destroy procedure may release further containers: this one is
     * complete until it returns. */
    if (container->destroy != NULL) container->destroy(container->record.implementationObject);
    DeleteStringAtom(container->signature);
    DeleteStringAtom(container->implementationName);
    DeleteStringAtom(container->interfaceName);
    --gBooks.containers;
    free(container);
}

static void DecrementWithoutDelete(QELContainerHandle handle) {
    Container* container = (Container*)handle;
    if (container != NULL && container->references > 0) --container->references;
}

/* A container's methods are the rows published under its interface name. A
 * missing one leaves the out argument null; the caller decides what that
 * means. */
static QELErrorHandle GetMethod(void** out, QELContainerHandle handle, QELStringAtom methodName,
                                QELStringAtom procTypeName, int32_t allowMissing) {
    const Container* container = (const Container*)handle;
    (void)allowMissing;
    if (out == NULL) return NewError("GetMethod: no out argument", "minimal-host", 1, 0, 0);
    *out = NULL;
    if (container == NULL || methodName == NULL || procTypeName == NULL)
        return NewError("GetMethod: an argument is missing", "minimal-host", 1, 0, 0);
    *out = BrokerFind(GetCString(container->interfaceName), GetCString(methodName), GetCString(procTypeName));
    return NULL;
}

static QELErrorHandle NGetInstance(void** out, QELContainerHandle handle, QELStringAtom implementationName) {
    const Container* container = (const Container*)handle;
    if (out == NULL) return NewError("NGetInstance: no out argument", "minimal-host", 1, 0, 0);
    *out = NULL;
    if (container == NULL) return NewError("NGetInstance: no container", "minimal-host", 1, 0, 0);
    if (implementationName != container->implementationName)
        return NewError("NGetInstance: no instance of that name", "minimal-host", 2, 0, 0);
    *out = container->record.implementationObject;
    return NULL;
}

static int32_t GetOffsetToPrimaryInstance(void) { return (int32_t)offsetof(Container, record); }

/* ------------------------------------------------------------ registration */

/* The rows that QELUtils resolves when it binds but never calls. Their
 * absence would make binding fail; a call would be a fault of the library. */
static void NeverCalled(void) {
    fputs("minimal-host: QELUtils called a host procedure it never uses\n", stderr);
    abort();
}

#define ROW(interfaceName, methodName, procTypeName, proc) {interfaceName, methodName, procTypeName, (void*)&proc}

static const struct {
    const char* interfaceName;
    const char* methodName;
    const char* procTypeName;
    void* proc;
} kRows[] = {
    ROW("QELStringInterface", "NewStringAtom", "QELNewStringAtomProc", NewStringAtom),
    ROW("QELStringInterface", "DeleteStringAtom", "QELDeleteStringAtomProc", DeleteStringAtom),
    ROW("QELStringInterface", "GetCString", "QELGetCStringProc", GetCString),
    ROW("QELStringInterface", "AddRef", "QELAddRefStringAtomProc", AddRefStringAtom),

    ROW("QELErrorInterface", "NewError", "QELNewErrorProc", NewError),
    ROW("QELErrorInterface", "GetCoreError", "QELGetCoreErrorProc", GetCoreError),
    ROW("QELErrorInterface", "AddRef", "QELErrorAddRefProcV2", ErrorAddRef),
    ROW("QELErrorInterface", "Release", "QELErrorReleaseProc", ErrorRelease),
    ROW("QELErrorInterface", "GetErrorMessage", "QELErrorGetMessageProc", ErrorGetMessage),
    ROW("QELErrorInterface", "GetComponent", "QELErrorGetComponentProc", ErrorGetComponent),
    ROW("QELErrorInterface", "GetID", "QELErrorGetIDProc", ErrorGetID),
    ROW("QELErrorInterface", "GetErrorInfo", "QELGetErrorInfoProc", NeverCalled),

    ROW("QELMemoryInterface", "Alloc", "QELMemAllocProc", MemAlloc),
    ROW("QELMemoryInterface", "Realloc", "QELMemReallocProc", MemRealloc),
    ROW("QELMemoryInterface", "Free", "QELMemFreeProc", MemFree),
    ROW("QELMemoryInterface", "GetBlockSize", "QELMemGetBlockSizeProc", NeverCalled),

    ROW("QELContainerInterface", "NewFullContainer", "QELNewFullContainerV5Proc", NewFullContainer),
    ROW("QELContainerInterface", "NewContainer", "QELNewContainerV2Proc", NeverCalled),
    ROW("QELContainerInterface", "CloneContainer", "QELCloneContainerProc", NeverCalled),
    ROW("QELContainerInterface", "AddRef", "QELAddRefContainerV2Proc", ContainerAddRef),
    ROW("QELContainerInterface", "Release", "QELReleaseContainerProc", ContainerRelease),
    ROW("QELContainerInterface", "DecrementWithoutDelete", "QELDecrementWithoutDeleteProc", DecrementWithoutDelete),
    ROW("QELContainerInterface", "DeleteUnownedContainer", "QELDeleteUnownedContainerProc", NeverCalled),
    ROW("QELContainerInterface", "RegisterInterface", "QELRegisterInterfaceV2Proc", NeverCalled),
    ROW("QELContainerInterface", "RegisterInstance", "QELRegisterInstanceV2Proc", NeverCalled),
    ROW("QELContainerInterface", "GetMethod", "QELGetMethodV3Proc", GetMethod),
    ROW("QELContainerInterface", "GetParentMethod", "QELGetParentMethodV2Proc", NeverCalled),
    ROW("QELContainerInterface", "GetInstance", "QELGetInstanceProc", NeverCalled),
    ROW("QELContainerInterface", "NGetInstance", "QELNGetInstanceProc", NGetInstance),
    ROW("QELContainerInterface", "GetSignature", "QELGetSignatureProc", NeverCalled),
    ROW("QELContainerInterface", "DebugGetRefCountAddr", "QELGetRefCountAddrProc", NeverCalled),
    ROW("QELContainerInterface", "GetOffsetToPrimaryInstance", "QELGetOffsetToPrimaryInstProc",
        GetOffsetToPrimaryInstance),
};

static int MakeCoreError(Error* error, const char* message, const char* component, uint32_t id) {
    error->message = NewStringAtom(message);
    error->component = NewStringAtom(component);
    error->id = id;
    error->core = 1;
    return error->message != NULL && error->component != NULL;
}

int ServicesStart(void) {
    size_t i;
    if (!MakeCoreError(&gCoreErrors[0], "generic error", "QEL", 0) ||
        !MakeCoreError(&gCoreErrors[1], "out of memory", "DWE", 1))
        return 0;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; ++i)
        if (!BrokerAdd(kRows[i].interfaceName, kRows[i].methodName, kRows[i].procTypeName, kRows[i].proc))
            return 0;
    return 1;
}

void ServicesStop(void) {
    size_t i;
    for (i = 0; i < sizeof gCoreErrors / sizeof gCoreErrors[0]; ++i) {
        DeleteStringAtom(gCoreErrors[i].message);
        DeleteStringAtom(gCoreErrors[i].component);
        gCoreErrors[i].message = gCoreErrors[i].component = NULL;
    }
}

Books ServicesBooks(void) {
    /* The core errors' atoms are the host's own. */
    Books books = gBooks;
    size_t i;
    for (i = 0; i < sizeof gCoreErrors / sizeof gCoreErrors[0]; ++i)
        books.atomReferences -= (gCoreErrors[i].message != NULL) + (gCoreErrors[i].component != NULL);
    return books;
}
