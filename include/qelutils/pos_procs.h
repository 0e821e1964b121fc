/* QELUtils binary interface: the procedures that the library publishes.
 *
 * Each interface is one list, QEL_ROWS_<interface>(ROW, NAMED), its rows in
 * publication order, written as qelutils/qel_types.h describes:
 * ROW(method, procType, result, (parameters)), procType being both the
 * proc-type name of the row and its C typedef.
 *
 * A handle that a procedure returns carries no reference for the caller: a
 * caller that keeps it takes one (the container AddRef). */
#ifndef QELUTILS_POS_PROCS_H
#define QELUTILS_POS_PROCS_H

#include "qelutils/qel_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define QEL_ROWS_POSObjectInterface(ROW, NAMED)                                            \
    ROW(Clone, POSObjectCloneProc, QELContainerHandle, (QELContainerHandle object))         \
    ROW(IsEqual, POSObjectIsEqualProc, int32_t, (QELContainerHandle object, QELContainerHandle other))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSObjectInterface)

/* The dumps write nothing; their further arguments are never read. */
#define QEL_ROWS_POSObjectStatics(ROW, NAMED)                                                      \
    ROW(DebugDump, POSObjectDebugDumpProc, void, (QELContainerHandle object))                       \
    ROW(DebugDumpWithHeader, POSObjectDebugDumpWithHeaderProc, void,                                \
        (QELContainerHandle object, const void* unused1, const void* unused2))                      \
    ROW(DebugDumpRewind, POSObjectDebugDumpRewindProc, void,                                        \
        (QELContainerHandle object, const void* unused1, const void* unused2))                      \
    ROW(CreateFromText, POSObjectCreateFromTextProc, QELContainerHandle,                            \
        (const char* text, const char** errorPosition)) /* null and the position on a syntax error */
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSObjectStatics)

#define QEL_ROWS_POSNumberInterface(ROW, NAMED)                                      \
    ROW(NewPOSNumber, POSNumberNewPOSNumberProc, QELContainerHandle, (double value))  \
    ROW(IsPOSNumber, POSNumberIsPOSNumberProc, int32_t, (QELContainerHandle object))  \
    ROW(Get, POSNumberGetProc, double, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSNumberInterface)

#define QEL_ROWS_POSStringInterface(ROW, NAMED)                                          \
    ROW(NewPOSString, POSStringNewPOSStringProc, QELContainerHandle, (const char* text))  \
    ROW(IsPOSString, POSStringIsPOSStringProc, int32_t, (QELContainerHandle object))      \
    ROW(Get, POSStringGetProc, const char*, (QELContainerHandle object)) /* "" on failure */
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStringInterface)

#define QEL_ROWS_POSUnicodeStringInterface(ROW, NAMED)                                                   \
    ROW(NewPOSUnicodeString, POSUnicodeStringNewPOSUnicodeStringProc, QELContainerHandle,                 \
        (const uint16_t* text))                                                                           \
    ROW(IsPOSUnicodeString, POSUnicodeStringIsPOSUnicodeStringProc, int32_t, (QELContainerHandle object)) \
    ROW(Get, POSUnicodeStringGetProc, const uint16_t*, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSUnicodeStringInterface)

#define QEL_ROWS_POSBinDataInterface(ROW, NAMED)                                                 \
    ROW(NewPOSBinData, POSBinDataNewPOSBinDataProc, QELContainerHandle,                           \
        (const char* typeName, const void* data, uint32_t size)) /* copies the bytes */            \
    ROW(IsPOSBinData, POSBinDataIsPOSBinDataProc, int32_t, (QELContainerHandle object))           \
    ROW(GetTypeName, POSBinDataGetTypeNameProc, const char*, (QELContainerHandle object))         \
    ROW(GetBinData, POSBinDataGetBinDataProc, const void*, (QELContainerHandle object))           \
    ROW(GetSize, POSBinDataGetSizeProc, uint32_t, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSBinDataInterface)

#define QEL_ROWS_POSRawPointerInterface(ROW, NAMED)                                                     \
    ROW(NewPOSRawPointer, POSRawPointerNewPOSRawPointerProc, QELContainerHandle,                         \
        (void* pointer, QELRawPointerReleaseProc release))                                               \
    ROW(IsPOSRawPointer, POSRawPointerIsPOSRawPointerProc, int32_t, (QELContainerHandle object))         \
    ROW(GetRawPointer, POSRawPointerGetRawPointerProc, void*, (QELContainerHandle object))               \
    ROW(GetReleaseProc, POSRawPointerGetReleaseProcProc, QELRawPointerReleaseProc, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSRawPointerInterface)

#define QEL_ROWS_POSArrayInterface(ROW, NAMED)                                                             \
    ROW(NewPOSArray, POSArrayNewPOSArrayProc, QELContainerHandle, (void))                                   \
    ROW(IsPOSArray, POSArrayIsPOSArrayProc, int32_t, (QELContainerHandle object))                           \
    ROW(GetAt, POSArrayGetAtProc, QELContainerHandle, (QELContainerHandle array, uint32_t index))           \
    ROW(Count, POSArrayCountProc, uint32_t, (QELContainerHandle array))                                     \
    ROW(SetAt, POSArraySetAtProc, void, (QELContainerHandle array, uint32_t index, QELContainerHandle value)) \
    ROW(Append, POSArrayAppendProc, void, (QELContainerHandle array, QELContainerHandle value))             \
    ROW(Remove, POSArrayRemoveProc, void, (QELContainerHandle array, uint32_t index))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSArrayInterface)

#define QEL_ROWS_POSDictInterface(ROW, NAMED)                                                              \
    ROW(NewPOSDict, POSDictNewPOSDictProc, QELContainerHandle, (void))                                      \
    ROW(IsPOSDict, POSDictIsPOSDictProc, int32_t, (QELContainerHandle object))                              \
    ROW(Get, POSDictGetProc, QELContainerHandle, (QELContainerHandle dict, QELStringAtom key))              \
    ROW(DeepGet, POSDictDeepGetProc, QELContainerHandle, (QELContainerHandle dict, QELStringAtom address))  \
    ROW(Put, POSDictPutProc, void, (QELContainerHandle dict, QELStringAtom key, QELContainerHandle value))  \
    ROW(Remove, POSDictRemoveProc, void, (QELContainerHandle dict, QELStringAtom key))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSDictInterface)

#define QEL_ROWS_POSDictIteratorInterface(ROW, NAMED)                                                   \
    ROW(NewPOSDictIterator, POSDictIteratorNewPOSDictIteratorProc, QELContainerHandle,                   \
        (QELContainerHandle dict))                                                                       \
    ROW(Begin, POSDictIteratorBeginProc, void, (QELContainerHandle iterator))                            \
    ROW(Next, POSDictIteratorNextProc, void, (QELContainerHandle iterator))                              \
    ROW(IsDone, POSDictIteratorIsDoneProc, int32_t, (QELContainerHandle iterator))                       \
    ROW(CurKey, POSDictIteratorCurKeyProc, const char*, (QELContainerHandle iterator))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSDictIteratorInterface)

#define QEL_ROWS_POSStreamerInterface(ROW, NAMED)                                                     \
    ROW(NewPOSStreamer, POSStreamerNewPOSStreamerProc, QELContainerHandle, (void))                     \
    ROW(Serialize, POSStreamerSerializeProc, int32_t,                                                  \
        (QELContainerHandle streamer, QELContainerHandle stream, QELContainerHandle object,            \
         const char* version)) /* null version: the newest */                                          \
    ROW(Deserialize, POSStreamerDeserializeProc, QELContainerHandle,                                   \
        (QELContainerHandle streamer, QELContainerHandle stream))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStreamerInterface)

#define QEL_ROWS_POSValidatorInterface(ROW, NAMED)                                              \
    ROW(Validate, POSValidatorValidateProc, int32_t,                                             \
        (QELContainerHandle validator, QELContainerHandle value, QELStringAtom typeName,         \
         QELReportProc report))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSValidatorInterface)

#define QEL_ROWS_POSStructValidatorInterface(ROW, NAMED)                                                  \
    ROW(NewPOSStructValidator, POSStructValidatorNewStructValidatorProc, QELContainerHandle,              \
        (QELContainerHandle schema))                                                                       \
    ROW(RegisterCallbackProc, POSStructValidatorRegisterCallbackProc, void,                                \
        (QELContainerHandle validator, QELStringAtom typeName, QELCheckProc check, void* clientData))      \
    ROW(ValidateSchema, POSStructValidatorValidateSchemaProc, int32_t,                                     \
        (QELContainerHandle schema, QELReportProc report))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStructValidatorInterface)

#define QEL_ROWS_QELUtilsTempFileStreamFactory(ROW, NAMED)                                          \
    ROW(NewTempFileStream, _QELUtilsNewTempFileStreamProc_NewTempFileStream, QELErrorHandle,          \
        (QELContainerHandle* out, const char* prefix, const char* extension, const char* mode))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELUtilsTempFileStreamFactory)

/* Every procedure returns an error handle (null on success), out arguments
 * first, written only on success. */
#define QEL_ROWS_QELUtilsDirInterface(ROW, NAMED)                                                     \
    ROW(GetTempDir, QELUtilsDirGetTempDir, QELErrorHandle, (QELContainerHandle* out))                  \
    ROW(GetCurrent, QELUtilsDirGetCurrent, QELErrorHandle, (QELContainerHandle* out))                  \
    ROW(NewQELUtilsDir, QELUtilsDirNewQELUtilsDir, QELErrorHandle, (QELContainerHandle* out, QELStringAtom path)) \
    ROW(FileExists, QELUtilsDirFileExists, QELErrorHandle,                                             \
        (uint8_t* out, QELContainerHandle dir, QELStringAtom name))                                    \
    ROW(Delete, QELUtilsDirDelete, QELErrorHandle, (QELContainerHandle dir, QELStringAtom name))      \
    ROW(Rename, QELUtilsDirRename, QELErrorHandle,                                                     \
        (QELContainerHandle dir, QELStringAtom oldName, QELStringAtom newName))                        \
    ROW(GetFilePathSpec, QELUtilsDirGetFilePathSpec, QELErrorHandle,                                   \
        (QELStringAtom* out, QELContainerHandle dir, QELStringAtom name))                              \
    ROW(CreateUniqueFilename, QELUtilsDirCreateUniqueFilename, QELErrorHandle,                         \
        (QELStringAtom* out, QELContainerHandle dir, QELStringAtom prefix, QELStringAtom extension))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELUtilsDirInterface)

#ifdef __cplusplus
}
#endif

#endif
