/* QELUtils binary interface: handles, the core procedures of the host broker
 * and the host interfaces that the library imports.
 *
 * Every procedure that crosses the boundary between a host and QELUtils is a
 * plain C function pointer with the platform's default calling convention.
 *
 * Each table is one list, QEL_ROWS_<name>(ROW, NAMED), its rows in table
 * order:
 *   ROW(method, procType, result, (parameters))
 *       a procedure; procType is the proc-type name under which the broker
 *       registers and resolves it, and the name of its C typedef;
 *   NAMED(method, procType)
 *       a row that a host publishes but the library never calls: its C type
 *       is the host's business, so no typedef is declared for it.
 * The typedefs follow each list. C++ code expands the same lists into
 * tables (qelutils/contract.h). */
#ifndef QELUTILS_QEL_TYPES_H
#define QELUTILS_QEL_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque host handles; null means none. */
typedef struct QELStringAtom_*      QELStringAtom;
typedef struct QELErrorObject_*     QELErrorHandle;
typedef struct QELContainerObject_* QELContainerHandle;
typedef struct QELSharedBuff_*      QELSharedBuffHandle;

typedef void*   (*QELResolverProc)(const char* interfaceName, const char* methodName,
                                   const char* procTypeName);
typedef void    (*QELDestroyProc)(void* implementationObject);
typedef void    (*QELRawPointerReleaseProc)(void* pointer);
typedef void    (*QELReportProc)(const char* line);
typedef int32_t (*QELCheckProc)(QELContainerHandle value, QELStringAtom typeName,
                                QELSharedBuffHandle messageBuffer, void* clientData);

#define QEL_DECLARE_PROC_TYPE(method, procType, result, parameters) typedef result(*procType) parameters;
#define QEL_DECLARE_NO_PROC_TYPE(method, procType)
#define QEL_DECLARE_PROC_TYPES(LIST) LIST(QEL_DECLARE_PROC_TYPE, QEL_DECLARE_NO_PROC_TYPE)

/* Core procedures, resolved as interface "QEL". Each name is both the method
 * and the proc-type name; its typedef adds "Proc". */
#define QEL_ROWS_QEL(CORE)                                                                  \
    CORE(QELRegisterProcAddress, int32_t, (const char* interfaceName, const char* methodName, \
                                           const char* procTypeName, void* proc))            \
    CORE(QELReportError, void, (const char* message))                                         \
    CORE(QELUnregisterInterface, void, (const char* interfaceName))                           \
    CORE(QELGetUnregisterCountAddr, const volatile uint32_t*, (void))                         \
    CORE(QELIsMultiThreaded, int32_t, (void)) /* resolved, never called by the library */
#define QEL_DECLARE_CORE_PROC_TYPE(name, result, parameters) typedef result(*name##Proc) parameters;
QEL_ROWS_QEL(QEL_DECLARE_CORE_PROC_TYPE)

#define QEL_ROWS_QELStringInterface(ROW, NAMED)                                  \
    ROW(NewStringAtom, QELNewStringAtomProc, QELStringAtom, (const char* text))   \
    ROW(DeleteStringAtom, QELDeleteStringAtomProc, void, (QELStringAtom atom))    \
    ROW(GetCString, QELGetCStringProc, const char*, (QELStringAtom atom))         \
    ROW(AddRef, QELAddRefStringAtomProc, void, (QELStringAtom atom))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELStringInterface)

#define QEL_ROWS_QELErrorInterface(ROW, NAMED)                                                       \
    ROW(NewError, QELNewErrorProc, QELErrorHandle,                                                    \
        (const char* message, const char* component, uint32_t id, uint64_t value1, uint64_t value2)) \
    ROW(GetCoreError, QELGetCoreErrorProc, QELErrorHandle, (uint32_t code))                           \
    ROW(AddRef, QELErrorAddRefProcV2, QELErrorHandle, (QELErrorHandle error)) /* returns error */     \
    ROW(Release, QELErrorReleaseProc, void, (QELErrorHandle error))                                   \
    ROW(GetErrorMessage, QELErrorGetMessageProc, QELStringAtom, (QELErrorHandle error)) /* borrowed */ \
    ROW(GetComponent, QELErrorGetComponentProc, QELStringAtom, (QELErrorHandle error)) /* borrowed */  \
    ROW(GetID, QELErrorGetIDProc, uint32_t, (QELErrorHandle error))                                   \
    NAMED(GetErrorInfo, QELGetErrorInfoProc)
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELErrorInterface)

#define QEL_ROWS_QELMemoryInterface(ROW, NAMED)                                  \
    ROW(Alloc, QELMemAllocProc, void*, (uint64_t size))                           \
    ROW(Realloc, QELMemReallocProc, void*, (void* block, uint64_t size))          \
    ROW(Free, QELMemFreeProc, void, (void* block))                                \
    NAMED(GetBlockSize, QELMemGetBlockSizeProc)
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELMemoryInterface)

/* A new container is floating (count 0); AddRef answers 0 when it refuses. */
#define QEL_ROWS_QELContainerInterface(ROW, NAMED)                                                     \
    ROW(NewFullContainer, QELNewFullContainerV5Proc, QELErrorHandle,                                    \
        (QELContainerHandle* out, void* implementationObject, QELStringAtom implementationName,        \
         QELDestroyProc destroy, QELStringAtom interfaceName, void* reserved1, void* reserved2,         \
         void* reserved3))                                                                              \
    NAMED(NewContainer, QELNewContainerV2Proc)                                                          \
    NAMED(CloneContainer, QELCloneContainerProc)                                                        \
    ROW(AddRef, QELAddRefContainerV2Proc, int32_t, (QELContainerHandle container))                      \
    ROW(Release, QELReleaseContainerProc, void, (QELContainerHandle container))                         \
    ROW(DecrementWithoutDelete, QELDecrementWithoutDeleteProc, void, (QELContainerHandle container))    \
    NAMED(DeleteUnownedContainer, QELDeleteUnownedContainerProc)                                        \
    NAMED(RegisterInterface, QELRegisterInterfaceV2Proc)                                                \
    NAMED(RegisterInstance, QELRegisterInstanceV2Proc)                                                  \
    ROW(GetMethod, QELGetMethodV3Proc, QELErrorHandle,                                                  \
        (void** outProc, QELContainerHandle container, QELStringAtom methodName,                        \
         QELStringAtom procTypeName, int32_t allowMissing))                                             \
    NAMED(GetParentMethod, QELGetParentMethodV2Proc)                                                    \
    NAMED(GetInstance, QELGetInstanceProc)                                                              \
    ROW(NGetInstance, QELNGetInstanceProc, QELErrorHandle,                                              \
        (void** outImplementationObject, QELContainerHandle container, QELStringAtom implementationName)) \
    NAMED(GetSignature, QELGetSignatureProc)                                                            \
    NAMED(DebugGetRefCountAddr, QELGetRefCountAddrProc)                                                 \
    ROW(GetOffsetToPrimaryInstance, QELGetOffsetToPrimaryInstProc, int32_t, (void))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELContainerInterface)

/* Read directly at (const char*)container + GetOffsetToPrimaryInstance(). */
typedef struct QELPrimaryInstanceRecord {
    const char* implementationName; /* text pointer of the implementation-name atom */
    const char* signature;          /* text pointer of the container's signature atom */
    void*       implementationObject;
} QELPrimaryInstanceRecord;

/* NewBuffer with null data allocates size bytes owned by the buffer. */
#define QEL_ROWS_QELSharedBuffInterface(ROW, NAMED)                                                  \
    ROW(NewBuffer, QELSharedBuffNewBufferV2Proc, QELSharedBuffHandle,                                 \
        (uint64_t size, void* data, QELRawPointerReleaseProc releaseData, void* further))             \
    NAMED(DeleteUnowned, QELSharedBuffDelUnownedProc)                                                 \
    ROW(AddRef, QELSharedBuffAddRefProc, void, (QELSharedBuffHandle buffer))                          \
    ROW(Release, QELSharedBuffReleaseProc, void, (QELSharedBuffHandle buffer))                        \
    ROW(GetBuffer, QELSharedBuffGetBufferProc, void*, (QELSharedBuffHandle buffer))                   \
    ROW(GetSize, QELSharedBuffGetSizeProc, uint64_t, (QELSharedBuffHandle buffer))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELSharedBuffInterface)

/* Callbacks of a library-implemented stream; the first argument is the library's stream object. */
typedef QELErrorHandle (*QELClientReadProc)(void* object, uint64_t* outCount, void* buffer, uint64_t size);
typedef QELErrorHandle (*QELClientWriteProc)(void* object, const void* data, uint64_t size);
typedef QELErrorHandle (*QELClientCreateRewindableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientRewindProc)(void* object);
typedef QELErrorHandle (*QELClientCreatePositionableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientMarkProc)(void* object, int64_t* outPosition);
typedef QELErrorHandle (*QELClientSeekProc)(void* object, int64_t position, int64_t origin);

/* New streams arrive in out, floating like every new container. */
#define QEL_ROWS_QELStreamFactoryInterface(ROW, NAMED)                                               \
    ROW(NewPositionableMemoryStream, QELNewPositionableMemoryStreamProc, QELErrorHandle,              \
        (QELContainerHandle* out))                                                                    \
    NAMED(NewPositionableBufferStream, QELNewPositionableBufferStreamProc)                            \
    ROW(NewPositionableFileStream, QELNewPositionableFileStreamProc, QELErrorHandle,                  \
        (QELContainerHandle* out, const char* path, const char* mode))                                \
    NAMED(NewClientSimpleStream, QELNewClientSimpleStreamProc)                                        \
    NAMED(NewClientRewindableStream, QELNewClientRewindableStreamProc)                                \
    ROW(NewClientPositionableStream, QELNewClientPositionableStreamProc, QELErrorHandle,              \
        (QELContainerHandle* out, void* streamObject, QELClientReadProc read, QELClientWriteProc write, \
         QELClientCreateRewindableProc createRewindable, QELClientRewindProc rewind,                  \
         QELClientCreatePositionableProc createPositionable, QELClientMarkProc mark,                  \
         QELClientSeekProc seek, QELDestroyProc destroy))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELStreamFactoryInterface)

/* Bound with the others; no procedure of the library calls one of them. */
#define QEL_ROWS_QELCacheInterface(ROW, NAMED)                         \
    NAMED(NewCacheID, QELCacheNewCacheIDProc)                           \
    NAMED(AddRef, QELCacheAddRefProc)                                   \
    NAMED(Release, QELCacheReleaseProc)                                 \
    NAMED(Attach, QELCacheAttachProcV2)                                 \
    NAMED(Add, QELCacheAddProc)                                         \
    NAMED(UpdateCost, QELCacheUpdateCostProc)                           \
    NAMED(ReturnCost, QELCacheReturnCostProc)                           \
    NAMED(MarkNoPurge, QELCacheMarkNoPurgeProcV2)                       \
    NAMED(MarkPurge, QELCacheMarkPurgeProc)                             \
    NAMED(GetCacheTime, QELCacheGetCacheTimeProc)                       \
    NAMED(CurrentCacheSize, QELCurrentCacheSizeProc)                    \
    NAMED(NewCachePurge, QELCacheNewCachePurgeProc)                     \
    NAMED(PurgeNextBlock, QELCachePurgeNextBlockProc)                   \
    NAMED(DeleteCachePurge, QELCacheDeleteCachePurgeProc)               \
    NAMED(PurgeAllStaticCaches, QELCachePurgeAllStaticCachesProc)       \
    NAMED(AddClientPurge, QELCacheAddRemoveClientPurgeProcV2)           \
    NAMED(RemoveClientPurge, QELCacheAddRemoveClientPurgeProcV2) /* the same proc type as the row before */ \
    NAMED(NewCacheSet, QELCacheNewCacheSetProc)                         \
    NAMED(AddRefCacheSet, QELCacheAddRefCacheSetProc)                   \
    NAMED(DeleteCacheSet, QELCacheDeleteCacheSetProc)                   \
    NAMED(SearchForID, QELCacheSearchForIDProc)                         \
    NAMED(RemoveID, QELCacheRemoveIDProc)                               \
    NAMED(RemoveIDs, QELCacheRemoveIDsProc)

/* The three method tables of a stream, fetched per stream container with
 * GetMethod; the first argument is the stream. */
#define QEL_ROWS_QELSimpleStream(ROW, NAMED)                                                          \
    ROW(Read, QELSimpleStreamReadProc, QELErrorHandle,                                                 \
        (QELContainerHandle stream, uint64_t* outCount, void* buffer, uint64_t size)) /* may read less */ \
    ROW(Write, QELSimpleStreamWriteProc, QELErrorHandle, (QELContainerHandle stream, const void* data, uint64_t size))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELSimpleStream)

#define QEL_ROWS_QELRewindableStream(ROW, NAMED)                                                      \
    ROW(CreateIndependentlyRewindableStream, QELRewindableStreamCreateIndependentlyRewindableStreamProc, \
        QELErrorHandle, (QELContainerHandle stream, QELContainerHandle* out))                          \
    ROW(Rewind, QELRewindableStreamRewindProc, QELErrorHandle, (QELContainerHandle stream))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELRewindableStream)

/* Seek origins: 0 from the start, 1 from the current position, 2 from the end. */
#define QEL_ROWS_QELPositionableStream(ROW, NAMED)                                                         \
    ROW(CreateIndependentlyPositionableStream, QELPositionableStreamCreateIndependentlyPositionableStreamProc, \
        QELErrorHandle, (QELContainerHandle stream, QELContainerHandle* out))                               \
    ROW(Mark, QELPositionableStreamMarkProc, QELErrorHandle, (QELContainerHandle stream, int64_t* outPosition)) \
    ROW(Seek, QELPositionableStreamSeekProc, QELErrorHandle,                                                \
        (QELContainerHandle stream, int64_t position, int64_t origin))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELPositionableStream)

/* Data-store tables, fetched like the stream tables; the library keeps
 * their lists but never looks one up. */
#define QEL_ROWS_QELDataStore(ROW, NAMED) NAMED(GetBlock, QELDataStoreGetBlockProcV2)
#define QEL_ROWS_QELSizedDataStore(ROW, NAMED) NAMED(GetSize, QELSizedDataStoreGetSizeProc)
#define QEL_ROWS_QELDataBlockStream(ROW, NAMED)          \
    NAMED(GetNextBlock, QELDataBlockStreamGetNextBlockProc) \
    NAMED(Rewind, QELDataBlockStreamRewindProc)

#ifdef __cplusplus
}
#endif

#endif
