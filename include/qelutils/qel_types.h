/* QELUtils binary interface: handles and the procedures of the host broker.
 *
 * Every procedure that crosses the boundary between a host and QELUtils is a
 * plain C function pointer with the platform's default calling convention.
 * Typedef names are the proc-type names under which the broker registers and
 * resolves each procedure. */
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

/* Core procedures, resolved as interface "QEL" with method = proc type = name. */
typedef int32_t (*QELRegisterProcAddressProc)(const char* interfaceName, const char* methodName,
                                              const char* procTypeName, void* proc);
typedef void    (*QELReportErrorProc)(const char* message);
typedef void    (*QELUnregisterInterfaceProc)(const char* interfaceName);
typedef const volatile uint32_t* (*QELGetUnregisterCountAddrProc)(void);
typedef int32_t (*QELIsMultiThreadedProc)(void);

/* QELStringInterface */
typedef QELStringAtom (*QELNewStringAtomProc)(const char* text);
typedef void          (*QELDeleteStringAtomProc)(QELStringAtom atom);
typedef const char*   (*QELGetCStringProc)(QELStringAtom atom);
typedef void          (*QELAddRefStringAtomProc)(QELStringAtom atom);

/* QELErrorInterface */
typedef QELErrorHandle (*QELNewErrorProc)(const char* message, const char* component, uint32_t id,
                                          uint64_t value1, uint64_t value2);
typedef QELErrorHandle (*QELGetCoreErrorProc)(uint32_t code);
typedef QELErrorHandle (*QELErrorAddRefProcV2)(QELErrorHandle error);
typedef void           (*QELErrorReleaseProc)(QELErrorHandle error);
typedef QELStringAtom  (*QELErrorGetMessageProc)(QELErrorHandle error);
typedef QELStringAtom  (*QELErrorGetComponentProc)(QELErrorHandle error);
typedef uint32_t       (*QELErrorGetIDProc)(QELErrorHandle error);

/* QELMemoryInterface */
typedef void* (*QELMemAllocProc)(uint64_t size);
typedef void* (*QELMemReallocProc)(void* block, uint64_t size);
typedef void  (*QELMemFreeProc)(void* block);

/* QELContainerInterface (the rows the library calls) */
typedef QELErrorHandle (*QELNewFullContainerV5Proc)(QELContainerHandle* out, void* implementationObject,
                                                    QELStringAtom implementationName, QELDestroyProc destroy,
                                                    QELStringAtom interfaceName, void* reserved1,
                                                    void* reserved2, void* reserved3);
typedef int32_t        (*QELAddRefContainerV2Proc)(QELContainerHandle container);
typedef void           (*QELReleaseContainerProc)(QELContainerHandle container);
typedef void           (*QELDecrementWithoutDeleteProc)(QELContainerHandle container);
typedef QELErrorHandle (*QELGetMethodV3Proc)(void** outProc, QELContainerHandle container,
                                             QELStringAtom methodName, QELStringAtom procTypeName,
                                             int32_t allowMissing);
typedef QELErrorHandle (*QELNGetInstanceProc)(void** outImplementationObject, QELContainerHandle container,
                                              QELStringAtom implementationName);
typedef int32_t        (*QELGetOffsetToPrimaryInstProc)(void);

/* Read directly at (const char*)container + GetOffsetToPrimaryInstance(). */
typedef struct QELPrimaryInstanceRecord {
    const char* implementationName; /* text pointer of the implementation-name atom */
    const char* signature;          /* text pointer of the container's signature atom */
    void*       implementationObject;
} QELPrimaryInstanceRecord;

/* QELSharedBuffInterface */
typedef QELSharedBuffHandle (*QELSharedBuffNewBufferV2Proc)(uint64_t size, void* data,
                                                            QELRawPointerReleaseProc releaseData,
                                                            void* further);
typedef void     (*QELSharedBuffAddRefProc)(QELSharedBuffHandle buffer);
typedef void     (*QELSharedBuffReleaseProc)(QELSharedBuffHandle buffer);
typedef void*    (*QELSharedBuffGetBufferProc)(QELSharedBuffHandle buffer);
typedef uint64_t (*QELSharedBuffGetSizeProc)(QELSharedBuffHandle buffer);

/* Callbacks of a library-implemented stream; the first argument is the library's stream object. */
typedef QELErrorHandle (*QELClientReadProc)(void* object, uint64_t* outCount, void* buffer, uint64_t size);
typedef QELErrorHandle (*QELClientWriteProc)(void* object, const void* data, uint64_t size);
typedef QELErrorHandle (*QELClientCreateRewindableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientRewindProc)(void* object);
typedef QELErrorHandle (*QELClientCreatePositionableProc)(void* object, void** outObject);
typedef QELErrorHandle (*QELClientMarkProc)(void* object, int64_t* outPosition);
typedef QELErrorHandle (*QELClientSeekProc)(void* object, int64_t position, int64_t origin);

/* QELStreamFactoryInterface (the rows the library calls) */
typedef QELErrorHandle (*QELNewPositionableMemoryStreamProc)(QELContainerHandle* out);
typedef QELErrorHandle (*QELNewPositionableFileStreamProc)(QELContainerHandle* out, const char* path,
                                                           const char* mode);
typedef QELErrorHandle (*QELNewClientPositionableStreamProc)(
    QELContainerHandle* out, void* streamObject, QELClientReadProc read, QELClientWriteProc write,
    QELClientCreateRewindableProc createRewindable, QELClientRewindProc rewind,
    QELClientCreatePositionableProc createPositionable, QELClientMarkProc mark, QELClientSeekProc seek,
    QELDestroyProc destroy);

/* Stream methods, fetched per stream container with GetMethod. */
typedef QELErrorHandle (*QELSimpleStreamReadProc)(QELContainerHandle stream, uint64_t* outCount,
                                                  void* buffer, uint64_t size);
typedef QELErrorHandle (*QELSimpleStreamWriteProc)(QELContainerHandle stream, const void* data,
                                                   uint64_t size);
typedef QELErrorHandle (*QELRewindableStreamCreateIndependentlyRewindableStreamProc)(
    QELContainerHandle stream, QELContainerHandle* out);
typedef QELErrorHandle (*QELRewindableStreamRewindProc)(QELContainerHandle stream);
typedef QELErrorHandle (*QELPositionableStreamCreateIndependentlyPositionableStreamProc)(
    QELContainerHandle stream, QELContainerHandle* out);
typedef QELErrorHandle (*QELPositionableStreamMarkProc)(QELContainerHandle stream, int64_t* outPosition);
typedef QELErrorHandle (*QELPositionableStreamSeekProc)(QELContainerHandle stream, int64_t position,
                                                        int64_t origin);

#ifdef __cplusplus
}
#endif

#endif
