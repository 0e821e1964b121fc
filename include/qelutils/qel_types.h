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
 * tables (qelutils/contract.h).
 *
 * The comments say what the library expects of a host's procedures and what
 * it does with their results, in these words:
 *   reference  atoms, errors and shared buffers are counted from one: a New
 *              procedure gives its caller one reference, which the caller
 *              gives back once (DeleteStringAtom, error Release, buffer
 *              Release);
 *   floating   containers are counted from zero: a new container belongs to
 *              nobody until its first AddRef; Release destroys a container
 *              when its count comes back to 0, and a floating one at once;
 *   borrowed   passed or returned without a reference: valid only while its
 *              owner keeps one;
 *   error      a procedure whose result is a QELErrorHandle returns null on
 *              success, else an error holding one reference, which the
 *              receiver owns and gives back with the error Release. Its out
 *              parameters come first. The library takes over every error that
 *              a host procedure returns and releases it.
 *
 * The container, error, string and memory interfaces are resolved at
 * QELUtilsInitialize, every row including the NAMED ones: one that does not
 * resolve fails it. The shared-buffer and stream-factory interfaces are
 * resolved whole at their first use; a missing row then fails the call that
 * needed it. After the unregister counter has moved
 * (QELGetUnregisterCountAddr), each table is resolved again at its next use. */
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

/* The host's resolver, handed to QELUtilsInitialize: the procedure
 * registered under the three names, or null. The library keeps it until
 * QELUtilsTerminate and resolves every table through it. */
typedef void*   (*QELResolverProc)(const char* interfaceName, const char* methodName,
                                   const char* procTypeName);
/* Handed to NewFullContainer with each object of the library, and to
 * NewClientPositionableStream with each library stream: the host calls it
 * once, with the object, when the container dies. It deletes the object,
 * which releases what the object held: the callback calls back into the host
 * (container Release, DeleteStringAtom, buffer Release, Free; a
 * temporary-file stream also the stream factory and the library's own
 * directory interface), and the host must allow that from inside it. */
typedef void    (*QELDestroyProc)(void* implementationObject);
/* Handed to NewPOSRawPointer: called once with the stored pointer (null too)
 * when the raw-pointer object is destroyed. It may release other property
 * objects; their destruction waits until it has returned. */
typedef void    (*QELRawPointerReleaseProc)(void* pointer);
/* Receives one explanation line of a failed validation, on the validating
 * thread, before Validate or ValidateSchema returns. The text lives only
 * during the call. */
typedef void    (*QELReportProc)(const char* line);
/* A check registered on a validator with RegisterCallbackProc. value and
 * typeName are borrowed for the call. Non-zero accepts the value; to reject
 * it, write a NUL-terminated line of at most 1023 bytes at the start of
 * messageBuffer (1024 bytes, made for this call and released when the check
 * returns) and return 0. clientData is what was registered with the check;
 * the library never reads it. */
typedef int32_t (*QELCheckProc)(QELContainerHandle value, QELStringAtom typeName,
                                QELSharedBuffHandle messageBuffer, void* clientData);

#define QEL_DECLARE_PROC_TYPE(method, procType, result, parameters) typedef result(*procType) parameters;
#define QEL_DECLARE_NO_PROC_TYPE(method, procType)
#define QEL_DECLARE_PROC_TYPES(LIST) LIST(QEL_DECLARE_PROC_TYPE, QEL_DECLARE_NO_PROC_TYPE)

/* Core procedures, resolved as interface "QEL". Each name is both the method
 * and the proc-type name; its typedef adds "Proc". QELUtilsInitialize fails
 * unless all five resolve.
 *   QELRegisterProcAddress     non-zero accepts the row. At the first refusal
 *                              the library stops publishing and
 *                              QELUtilsInitialize returns 0.
 *   QELReportError             one call for each failure of a reporting
 *                              procedure (qelutils/pos_procs.h); the text
 *                              lives only during the call.
 *   QELUnregisterInterface     called by QELUtilsTerminate for each interface
 *                              of the library, published or not.
 *   QELGetUnregisterCountAddr  a counter that must change whenever an
 *                              interface is withdrawn; the library reads it
 *                              before each use of an imported table. */
#define QEL_ROWS_QEL(CORE)                                                                  \
    CORE(QELRegisterProcAddress, int32_t, (const char* interfaceName, const char* methodName, \
                                           const char* procTypeName, void* proc))            \
    CORE(QELReportError, void, (const char* message))                                         \
    CORE(QELUnregisterInterface, void, (const char* interfaceName))                           \
    CORE(QELGetUnregisterCountAddr, const volatile uint32_t*, (void))                         \
    CORE(QELIsMultiThreaded, int32_t, (void)) /* resolved, never called by the library */
#define QEL_DECLARE_CORE_PROC_TYPE(name, result, parameters) typedef result(*name##Proc) parameters;
QEL_ROWS_QEL(QEL_DECLARE_CORE_PROC_TYPE)

/* String atoms, counted from one. They must be interned: while a reference
 * lives, equal texts give the same GetCString pointer, and the library
 * compares those pointers instead of the texts (to recognise its own
 * objects, kinds, keywords and equal strings).
 *   NewStringAtom     one reference for the caller; null: out of memory.
 *   DeleteStringAtom  gives one reference back.
 *   GetCString        the text, at one address for the atom's whole life.
 *   AddRef            one more reference; the library takes one to keep an
 *                     atom that it was lent. */
#define QEL_ROWS_QELStringInterface(ROW, NAMED)                                  \
    ROW(NewStringAtom, QELNewStringAtomProc, QELStringAtom, (const char* text))   \
    ROW(DeleteStringAtom, QELDeleteStringAtomProc, void, (QELStringAtom atom))    \
    ROW(GetCString, QELGetCStringProc, const char*, (QELStringAtom atom))         \
    ROW(AddRef, QELAddRefStringAtomProc, void, (QELStringAtom atom))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELStringInterface)

/* Errors, counted from one. Core error 0 is the generic error: the library
 * takes it at QELUtilsInitialize (null fails it), keeps it until
 * QELUtilsTerminate, and hands out references to it for failures it cannot
 * describe. Core error 1 is the out-of-memory error, of component "DWE" and
 * ID 1: the library takes any error of that component and ID, whatever
 * procedure returned it, for running out of memory.
 *   NewError        one reference; the library passes 0 for both values.
 *   GetCoreError    one new reference to the core error of that code.
 *   AddRef          must return its argument (null for null): the library
 *                   uses the result.
 *   GetErrorMessage, GetComponent  atoms that the error keeps; the library
 *                   takes its own reference when it keeps one. */
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

/* The host heap, on which the library allocates its objects and buffers.
 * Alloc and Realloc return null when out of memory; a failed Realloc must
 * leave the block as it was, since the library frees it later. Free must
 * accept null. */
#define QEL_ROWS_QELMemoryInterface(ROW, NAMED)                                  \
    ROW(Alloc, QELMemAllocProc, void*, (uint64_t size))                           \
    ROW(Realloc, QELMemReallocProc, void*, (void* block, uint64_t size))          \
    ROW(Free, QELMemFreeProc, void, (void* block))                                \
    NAMED(GetBlockSize, QELMemGetBlockSizeProc)
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELMemoryInterface)

/* Containers, counted from zero: every object the library hands out is one,
 * and so is every stream.
 *   NewFullContainer  a new floating container in out, holding the object
 *                     as its primary instance; the library passes null for
 *                     the three reserved values. The host calls destroy
 *                     (once) when the container dies.
 *   AddRef            non-zero when the reference is taken; 0 refuses it
 *                     (the library then fails the call with the error
 *                     "invalid container").
 *   Release           one reference less; destroys at 0, and destroys a
 *                     floating container at once.
 *   DecrementWithoutDelete  one reference less, never destroying: how the
 *                     library hands out a container it held (the caller
 *                     receives no reference).
 *   GetMethod         the procedure registered under the container's
 *                     interface name with those method and proc-type names,
 *                     in outProc. The library always passes allowMissing 0;
 *                     a null procedure is a missing method (the call fails
 *                     with "invalid container"), an error fails the call.
 *   NGetInstance      the implementation object of that name in the
 *                     container; asked only when the primary-instance record
 *                     names another implementation, or for a null container.
 *   GetOffsetToPrimaryInstance  read once, at QELUtilsInitialize. */
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

/* Read directly at (const char*)container + GetOffsetToPrimaryInstance()
 * whenever the library looks into a container it was handed. It finds its
 * own objects by comparing implementationName with the text pointers of its
 * own atoms, and it keeps what GetMethod gave per signature pointer: the
 * containers that share a signature text pointer must offer the same
 * methods. A null signature fails the call with "couldn't get signature". */
typedef struct QELPrimaryInstanceRecord {
    const char* implementationName; /* text pointer of the implementation-name atom */
    const char* signature;          /* text pointer of the container's signature atom */
    void*       implementationObject;
} QELPrimaryInstanceRecord;

/* Shared buffers, counted from one. The library always calls NewBuffer with
 * null data, releaseData and further: the buffer then owns size bytes of its
 * own, at GetBuffer, for its whole life. NewBuffer returns null when out of
 * memory. */
#define QEL_ROWS_QELSharedBuffInterface(ROW, NAMED)                                                  \
    ROW(NewBuffer, QELSharedBuffNewBufferV2Proc, QELSharedBuffHandle,                                 \
        (uint64_t size, void* data, QELRawPointerReleaseProc releaseData, void* further))             \
    NAMED(DeleteUnowned, QELSharedBuffDelUnownedProc)                                                 \
    ROW(AddRef, QELSharedBuffAddRefProc, void, (QELSharedBuffHandle buffer))                          \
    ROW(Release, QELSharedBuffReleaseProc, void, (QELSharedBuffHandle buffer))                        \
    ROW(GetBuffer, QELSharedBuffGetBufferProc, void*, (QELSharedBuffHandle buffer))                   \
    ROW(GetSize, QELSharedBuffGetSizeProc, uint64_t, (QELSharedBuffHandle buffer))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELSharedBuffInterface)

/* Callbacks of a library stream, handed to NewClientPositionableStream; the
 * first argument is the library's stream object. Each returns null or an
 * error holding one reference for the host. Read and Mark write 0 to their
 * out value before anything else. The two Create callbacks give, in
 * outObject, a new library stream object that is the host's from then on:
 * the host wraps it in a stream of its own with the same callbacks, and
 * calls destroy with it when that stream dies (or at once, when it cannot
 * wrap it). */
typedef QELErrorHandle (*QELClientReadProc)(void* object, uint64_t* outCount, void* buffer, uint64_t size);
typedef QELErrorHandle (*QELClientWriteProc)(void* object, const void* data, uint64_t size);
typedef QELErrorHandle (*QELClientCreateRewindableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientRewindProc)(void* object);
typedef QELErrorHandle (*QELClientCreatePositionableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientMarkProc)(void* object, int64_t* outPosition);
typedef QELErrorHandle (*QELClientSeekProc)(void* object, int64_t position, int64_t origin);

/* The host's stream factory. A new stream arrives in out, floating like
 * every new container, and must offer all three stream tables below.
 *   NewPositionableFileStream  path is a file of the library's directory
 *                     interface: its separators are backslashes on every
 *                     platform; mode is as fopen takes it.
 *   NewClientPositionableStream  on success the library's streamObject is
 *                     the host's: the host calls destroy with it, once,
 *                     when the stream dies. On an error the host must not
 *                     call destroy: the library deletes the object itself. */
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

/* No procedure of the library resolves or calls a row of this interface. */
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
 * GetMethod; the first argument is the stream, borrowed. Every procedure
 * returns an error or null. A stream handed to the library must offer all
 * seven methods, or the call fails with "invalid container"; the library
 * holds a reference to it while it works. Read stores the count actually
 * read: fewer than size is no error, the library reads again, and a count of
 * 0 is the end of the data. */
#define QEL_ROWS_QELSimpleStream(ROW, NAMED)                                                          \
    ROW(Read, QELSimpleStreamReadProc, QELErrorHandle,                                                 \
        (QELContainerHandle stream, uint64_t* outCount, void* buffer, uint64_t size)) /* may read less */ \
    ROW(Write, QELSimpleStreamWriteProc, QELErrorHandle, (QELContainerHandle stream, const void* data, uint64_t size))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELSimpleStream)

/* The Create methods give in out a new stream over the same data, with a
 * position of its own. */
#define QEL_ROWS_QELRewindableStream(ROW, NAMED)                                                      \
    ROW(CreateIndependentlyRewindableStream, QELRewindableStreamCreateIndependentlyRewindableStreamProc, \
        QELErrorHandle, (QELContainerHandle stream, QELContainerHandle* out))                          \
    ROW(Rewind, QELRewindableStreamRewindProc, QELErrorHandle, (QELContainerHandle stream))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELRewindableStream)

/* Seek origins: 0 from the start, 1 from the current position, 2 from the
 * end. The serializer seeks with origin 0 only; a temporary-file stream
 * passes its own caller's origin on to its file stream. */
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
