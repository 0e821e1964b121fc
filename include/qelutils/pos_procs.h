/* QELUtils binary interface: the procedures that the library publishes.
 * Typedef names are the proc-type names under which each row is registered. */
#ifndef QELUTILS_POS_PROCS_H
#define QELUTILS_POS_PROCS_H

#include "qelutils/qel_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* POSObjectInterface */
typedef QELContainerHandle (*POSObjectCloneProc)(QELContainerHandle object);
typedef int32_t (*POSObjectIsEqualProc)(QELContainerHandle object, QELContainerHandle other);

/* POSObjectStatics */
typedef void (*POSObjectDebugDumpProc)(QELContainerHandle object);
typedef void (*POSObjectDebugDumpWithHeaderProc)(QELContainerHandle object, const void* unused1,
                                                 const void* unused2);
typedef void (*POSObjectDebugDumpRewindProc)(QELContainerHandle object, const void* unused1,
                                             const void* unused2);
typedef QELContainerHandle (*POSObjectCreateFromTextProc)(const char* text, const char** errorPosition);

/* POSNumberInterface */
typedef QELContainerHandle (*POSNumberNewPOSNumberProc)(double value);
typedef int32_t (*POSNumberIsPOSNumberProc)(QELContainerHandle object);
typedef double  (*POSNumberGetProc)(QELContainerHandle object);

/* POSStringInterface */
typedef QELContainerHandle (*POSStringNewPOSStringProc)(const char* text);
typedef int32_t     (*POSStringIsPOSStringProc)(QELContainerHandle object);
typedef const char* (*POSStringGetProc)(QELContainerHandle object);

/* POSUnicodeStringInterface */
typedef QELContainerHandle (*POSUnicodeStringNewPOSUnicodeStringProc)(const uint16_t* text);
typedef int32_t         (*POSUnicodeStringIsPOSUnicodeStringProc)(QELContainerHandle object);
typedef const uint16_t* (*POSUnicodeStringGetProc)(QELContainerHandle object);

/* POSBinDataInterface */
typedef QELContainerHandle (*POSBinDataNewPOSBinDataProc)(const char* typeName, const void* data,
                                                          uint32_t size);
typedef int32_t     (*POSBinDataIsPOSBinDataProc)(QELContainerHandle object);
typedef const char* (*POSBinDataGetTypeNameProc)(QELContainerHandle object);
typedef const void* (*POSBinDataGetBinDataProc)(QELContainerHandle object);
typedef uint32_t    (*POSBinDataGetSizeProc)(QELContainerHandle object);

/* POSRawPointerInterface */
typedef QELContainerHandle (*POSRawPointerNewPOSRawPointerProc)(void* pointer,
                                                                QELRawPointerReleaseProc release);
typedef int32_t (*POSRawPointerIsPOSRawPointerProc)(QELContainerHandle object);
typedef void*   (*POSRawPointerGetRawPointerProc)(QELContainerHandle object);
typedef QELRawPointerReleaseProc (*POSRawPointerGetReleaseProcProc)(QELContainerHandle object);

/* POSArrayInterface */
typedef QELContainerHandle (*POSArrayNewPOSArrayProc)(void);
typedef int32_t  (*POSArrayIsPOSArrayProc)(QELContainerHandle object);
typedef QELContainerHandle (*POSArrayGetAtProc)(QELContainerHandle array, uint32_t index);
typedef uint32_t (*POSArrayCountProc)(QELContainerHandle array);
typedef void     (*POSArraySetAtProc)(QELContainerHandle array, uint32_t index, QELContainerHandle value);
typedef void     (*POSArrayAppendProc)(QELContainerHandle array, QELContainerHandle value);
typedef void     (*POSArrayRemoveProc)(QELContainerHandle array, uint32_t index);

/* POSDictInterface */
typedef QELContainerHandle (*POSDictNewPOSDictProc)(void);
typedef int32_t (*POSDictIsPOSDictProc)(QELContainerHandle object);
typedef QELContainerHandle (*POSDictGetProc)(QELContainerHandle dict, QELStringAtom key);
typedef QELContainerHandle (*POSDictDeepGetProc)(QELContainerHandle dict, QELStringAtom address);
typedef void (*POSDictPutProc)(QELContainerHandle dict, QELStringAtom key, QELContainerHandle value);
typedef void (*POSDictRemoveProc)(QELContainerHandle dict, QELStringAtom key);

/* POSDictIteratorInterface */
typedef QELContainerHandle (*POSDictIteratorNewPOSDictIteratorProc)(QELContainerHandle dict);
typedef void        (*POSDictIteratorBeginProc)(QELContainerHandle iterator);
typedef void        (*POSDictIteratorNextProc)(QELContainerHandle iterator);
typedef int32_t     (*POSDictIteratorIsDoneProc)(QELContainerHandle iterator);
typedef const char* (*POSDictIteratorCurKeyProc)(QELContainerHandle iterator);

/* POSStreamerInterface */
typedef QELContainerHandle (*POSStreamerNewPOSStreamerProc)(void);
typedef int32_t (*POSStreamerSerializeProc)(QELContainerHandle streamer, QELContainerHandle stream,
                                            QELContainerHandle object, const char* version);
typedef QELContainerHandle (*POSStreamerDeserializeProc)(QELContainerHandle streamer,
                                                         QELContainerHandle stream);

/* POSValidatorInterface */
typedef int32_t (*POSValidatorValidateProc)(QELContainerHandle validator, QELContainerHandle value,
                                            QELStringAtom typeName, QELReportProc report);

/* POSStructValidatorInterface */
typedef QELContainerHandle (*POSStructValidatorNewStructValidatorProc)(QELContainerHandle schema);
typedef void    (*POSStructValidatorRegisterCallbackProc)(QELContainerHandle validator,
                                                          QELStringAtom typeName, QELCheckProc check,
                                                          void* clientData);
typedef int32_t (*POSStructValidatorValidateSchemaProc)(QELContainerHandle schema, QELReportProc report);

/* QELUtilsTempFileStreamFactory */
typedef QELErrorHandle (*_QELUtilsNewTempFileStreamProc_NewTempFileStream)(QELContainerHandle* out,
                                                                           const char* prefix,
                                                                           const char* extension,
                                                                           const char* mode);

/* QELUtilsDirInterface: every procedure returns an error handle, out arguments first. */
typedef QELErrorHandle (*QELUtilsDirGetTempDir)(QELContainerHandle* out);
typedef QELErrorHandle (*QELUtilsDirGetCurrent)(QELContainerHandle* out);
typedef QELErrorHandle (*QELUtilsDirNewQELUtilsDir)(QELContainerHandle* out, QELStringAtom path);
typedef QELErrorHandle (*QELUtilsDirFileExists)(uint8_t* out, QELContainerHandle dir, QELStringAtom name);
typedef QELErrorHandle (*QELUtilsDirDelete)(QELContainerHandle dir, QELStringAtom name);
typedef QELErrorHandle (*QELUtilsDirRename)(QELContainerHandle dir, QELStringAtom oldName,
                                            QELStringAtom newName);
typedef QELErrorHandle (*QELUtilsDirGetFilePathSpec)(QELStringAtom* out, QELContainerHandle dir,
                                                     QELStringAtom name);
typedef QELErrorHandle (*QELUtilsDirCreateUniqueFilename)(QELStringAtom* out, QELContainerHandle dir,
                                                          QELStringAtom prefix, QELStringAtom extension);

#ifdef __cplusplus
}
#endif

#endif
