/* QELUtils binary interface: the procedures that the library publishes.
 *
 * Each interface is one list, QEL_ROWS_<interface>(ROW, NAMED), its rows in
 * publication order, written as qelutils/qel_types.h describes:
 * ROW(method, procType, result, (parameters)), procType being both the
 * proc-type name of the row and its C typedef.
 *
 * What holds for every interface here (the words are those of
 * qelutils/qel_types.h):
 *
 * Handles in are borrowed: the caller keeps its reference for the whole
 * call, and the library takes a reference of its own for what it keeps (a
 * collection's member, a dictionary key, a validator's schema or check name).
 * Atoms and texts are borrowed too; a text is copied when it is kept. A
 * floating container may be handed straight to a procedure that keeps it
 * (SetAt, Append, Put, NewPOSStructValidator): its only reference is then the
 * keeper's. Handed to a procedure that holds it only for the call (IsEqual's
 * other, the dumps, Serialize, Deserialize, Validate, ValidateSchema), a
 * floating container is destroyed before the call returns.
 *
 * A handle that a procedure returns carries no reference for the caller:
 *   new      New..., CreateFromText, the Clone of an array or dictionary,
 *            Deserialize: floating. Keep it with the container AddRef and
 *            give it back with Release, or Release it at once when it is not
 *            wanted; a floating object that is never released is never
 *            destroyed.
 *   member   GetAt, Get, DeepGet: borrowed, alive while its collection holds
 *            it; AddRef it to keep it longer.
 * Texts and pointers returned belong to the object they were read from and
 * live as long as it does.
 *
 * Failure. The property-object, serializer and validator procedures report:
 * a failure makes one QELReportError call with its message and returns the
 * row's failure value (0 or null unless a row says otherwise; nothing for a
 * void row); they never return an error handle. The directory and
 * temporary-file procedures (at the end) return errors instead. Nothing is
 * thrown across the boundary.
 *
 * Objects. Every object handed out is a container whose destroy callback is
 * code of this library: release them all before the library is unloaded.
 * Objects carry no lock: a scalar object may be read from any thread, but an
 * array, dictionary, iterator or validator that one thread changes must not
 * be used by another at the same time. */
#ifndef QELUTILS_POS_PROCS_H
#define QELUTILS_POS_PROCS_H

#include "qelutils/qel_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Every property object is a container of this interface: GetMethod on it
 * finds these two rows. Clone: the same handle, no reference added, for
 * numbers, strings, Unicode strings, binary data and raw pointers (they never
 * change); a new copy of an array or dictionary, its scalars shared. IsEqual:
 * 1 or 0; it holds other for the call. */
#define QEL_ROWS_POSObjectInterface(ROW, NAMED)                                            \
    ROW(Clone, POSObjectCloneProc, QELContainerHandle, (QELContainerHandle object))         \
    ROW(IsEqual, POSObjectIsEqualProc, int32_t, (QELContainerHandle object, QELContainerHandle other))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSObjectInterface)

/* The dumps write nothing; their further arguments are never read. Each
 * holds object for the call and reports a handle that is no property object.
 * CreateFromText returns a new object. It first sets *errorPosition (when
 * errorPosition is not null) to null; a syntax error returns null without a
 * report and points *errorPosition at the place in text where parsing
 * stopped. Other failures (no text, out of memory) are reported. */
#define QEL_ROWS_POSObjectStatics(ROW, NAMED)                                                      \
    ROW(DebugDump, POSObjectDebugDumpProc, void, (QELContainerHandle object))                       \
    ROW(DebugDumpWithHeader, POSObjectDebugDumpWithHeaderProc, void,                                \
        (QELContainerHandle object, const void* unused1, const void* unused2))                      \
    ROW(DebugDumpRewind, POSObjectDebugDumpRewindProc, void,                                        \
        (QELContainerHandle object, const void* unused1, const void* unused2))                      \
    ROW(CreateFromText, POSObjectCreateFromTextProc, QELContainerHandle,                            \
        (const char* text, const char** errorPosition)) /* null and the position on a syntax error */
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSObjectStatics)

/* In the seven value interfaces: New... returns a new object. Is... answers
 * 1 or 0, and 0 without a report for another kind of property object or a
 * null handle (a container that is no property object is reported). Another
 * procedure given a property object of another kind reports "instance was
 * not an POS<kind>" and returns its failure value. */
#define QEL_ROWS_POSNumberInterface(ROW, NAMED)                                      \
    ROW(NewPOSNumber, POSNumberNewPOSNumberProc, QELContainerHandle, (double value))  \
    ROW(IsPOSNumber, POSNumberIsPOSNumberProc, int32_t, (QELContainerHandle object))  \
    ROW(Get, POSNumberGetProc, double, (QELContainerHandle object)) /* 0.0 on failure */
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSNumberInterface)

/* NewPOSString copies the text. Get: the object's text. */
#define QEL_ROWS_POSStringInterface(ROW, NAMED)                                          \
    ROW(NewPOSString, POSStringNewPOSStringProc, QELContainerHandle, (const char* text))  \
    ROW(IsPOSString, POSStringIsPOSStringProc, int32_t, (QELContainerHandle object))      \
    ROW(Get, POSStringGetProc, const char*, (QELContainerHandle object)) /* "" on failure */
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStringInterface)

/* NewPOSUnicodeString copies the units up to the terminating 0. Get: the
 * object's units, 0-terminated. */
#define QEL_ROWS_POSUnicodeStringInterface(ROW, NAMED)                                                   \
    ROW(NewPOSUnicodeString, POSUnicodeStringNewPOSUnicodeStringProc, QELContainerHandle,                 \
        (const uint16_t* text))                                                                           \
    ROW(IsPOSUnicodeString, POSUnicodeStringIsPOSUnicodeStringProc, int32_t, (QELContainerHandle object)) \
    ROW(Get, POSUnicodeStringGetProc, const uint16_t*, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSUnicodeStringInterface)

/* NewPOSBinData copies the type name and the size bytes (data may be null
 * when size is 0). GetTypeName and GetBinData: the object's; GetSize 0 on
 * failure. */
#define QEL_ROWS_POSBinDataInterface(ROW, NAMED)                                                 \
    ROW(NewPOSBinData, POSBinDataNewPOSBinDataProc, QELContainerHandle,                           \
        (const char* typeName, const void* data, uint32_t size)) /* copies the bytes */            \
    ROW(IsPOSBinData, POSBinDataIsPOSBinDataProc, int32_t, (QELContainerHandle object))           \
    ROW(GetTypeName, POSBinDataGetTypeNameProc, const char*, (QELContainerHandle object))         \
    ROW(GetBinData, POSBinDataGetBinDataProc, const void*, (QELContainerHandle object))           \
    ROW(GetSize, POSBinDataGetSizeProc, uint32_t, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSBinDataInterface)

/* NewPOSRawPointer keeps the pointer, which the library never reads, and
 * the release procedure (may be null), called once with the pointer when the
 * object is destroyed (see QELRawPointerReleaseProc). Any two raw pointers
 * are equal to IsEqual. */
#define QEL_ROWS_POSRawPointerInterface(ROW, NAMED)                                                     \
    ROW(NewPOSRawPointer, POSRawPointerNewPOSRawPointerProc, QELContainerHandle,                         \
        (void* pointer, QELRawPointerReleaseProc release))                                               \
    ROW(IsPOSRawPointer, POSRawPointerIsPOSRawPointerProc, int32_t, (QELContainerHandle object))         \
    ROW(GetRawPointer, POSRawPointerGetRawPointerProc, void*, (QELContainerHandle object))               \
    ROW(GetReleaseProc, POSRawPointerGetReleaseProcProc, QELRawPointerReleaseProc, (QELContainerHandle object))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSRawPointerInterface)

/* GetAt: the member, borrowed; null without a report at or beyond Count and
 * for an empty slot. SetAt and Append keep a reference to value, which must
 * be a property object (else the failure is reported and nothing stored);
 * SetAt beyond the end leaves empty slots between. Remove releases the
 * member and moves the later ones down; beyond Count it does nothing. */
#define QEL_ROWS_POSArrayInterface(ROW, NAMED)                                                             \
    ROW(NewPOSArray, POSArrayNewPOSArrayProc, QELContainerHandle, (void))                                   \
    ROW(IsPOSArray, POSArrayIsPOSArrayProc, int32_t, (QELContainerHandle object))                           \
    ROW(GetAt, POSArrayGetAtProc, QELContainerHandle, (QELContainerHandle array, uint32_t index))           \
    ROW(Count, POSArrayCountProc, uint32_t, (QELContainerHandle array))                                     \
    ROW(SetAt, POSArraySetAtProc, void, (QELContainerHandle array, uint32_t index, QELContainerHandle value)) \
    ROW(Append, POSArrayAppendProc, void, (QELContainerHandle array, QELContainerHandle value))             \
    ROW(Remove, POSArrayRemoveProc, void, (QELContainerHandle array, uint32_t index))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSArrayInterface)

/* Keys and addresses are atoms, borrowed. Get and DeepGet: the value,
 * borrowed; null without a report when there is none (DeepGet walks an
 * address such as a.b[2].k through dictionaries and arrays). Put keeps a
 * reference to value, which must be a property object, and for a new key one
 * to the key atom; an existing key keeps its atom and gets the new value (the
 * old one is released). Remove releases the value and the key; an absent key
 * is no failure. */
#define QEL_ROWS_POSDictInterface(ROW, NAMED)                                                              \
    ROW(NewPOSDict, POSDictNewPOSDictProc, QELContainerHandle, (void))                                      \
    ROW(IsPOSDict, POSDictIsPOSDictProc, int32_t, (QELContainerHandle object))                              \
    ROW(Get, POSDictGetProc, QELContainerHandle, (QELContainerHandle dict, QELStringAtom key))              \
    ROW(DeepGet, POSDictDeepGetProc, QELContainerHandle, (QELContainerHandle dict, QELStringAtom address))  \
    ROW(Put, POSDictPutProc, void, (QELContainerHandle dict, QELStringAtom key, QELContainerHandle value))  \
    ROW(Remove, POSDictRemoveProc, void, (QELContainerHandle dict, QELStringAtom key))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSDictInterface)

/* NewPOSDictIterator: a new iterator standing on the smallest key; keys come
 * in the order of their unsigned bytes. The iterator holds no reference to
 * its dictionary: keep the dictionary alive and unchanged while iterating.
 * IsDone is 1 at the end and on failure. CurKey: the current key's text,
 * alive while the key stays in the dictionary; null without a report at the
 * end. The value under the key is the dictionary's Get. */
#define QEL_ROWS_POSDictIteratorInterface(ROW, NAMED)                                                   \
    ROW(NewPOSDictIterator, POSDictIteratorNewPOSDictIteratorProc, QELContainerHandle,                   \
        (QELContainerHandle dict))                                                                       \
    ROW(Begin, POSDictIteratorBeginProc, void, (QELContainerHandle iterator))                            \
    ROW(Next, POSDictIteratorNextProc, void, (QELContainerHandle iterator))                              \
    ROW(IsDone, POSDictIteratorIsDoneProc, int32_t, (QELContainerHandle iterator))                       \
    ROW(CurKey, POSDictIteratorCurKeyProc, const char*, (QELContainerHandle iterator))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSDictIteratorInterface)

/* NewPOSStreamer: a new streamer; it holds no state, so one serves any
 * number of calls. The stream must offer all three stream tables; it and
 * object are held for the call. Serialize writes the version name, a space
 * and the object: 1, or 0 with a report, the bytes already written staying
 * written. Deserialize reads one object and returns it new, leaving the
 * stream right after it. */
#define QEL_ROWS_POSStreamerInterface(ROW, NAMED)                                                     \
    ROW(NewPOSStreamer, POSStreamerNewPOSStreamerProc, QELContainerHandle, (void))                     \
    ROW(Serialize, POSStreamerSerializeProc, int32_t,                                                  \
        (QELContainerHandle streamer, QELContainerHandle stream, QELContainerHandle object,            \
         const char* version)) /* null version: the newest */                                          \
    ROW(Deserialize, POSStreamerDeserializeProc, QELContainerHandle,                                   \
        (QELContainerHandle streamer, QELContainerHandle stream))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStreamerInterface)

/* Validate: 1 when value (held for the call) satisfies the type named by
 * typeName (borrowed). 0 when it does not: the explanation goes to report,
 * one call per line, or nowhere when report is null. 0 also when the
 * validation could not run to its end: then QELReportError says why. */
#define QEL_ROWS_POSValidatorInterface(ROW, NAMED)                                              \
    ROW(Validate, POSValidatorValidateProc, int32_t,                                             \
        (QELContainerHandle validator, QELContainerHandle value, QELStringAtom typeName,         \
         QELReportProc report))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSValidatorInterface)

/* NewPOSStructValidator: a new validator, which keeps a reference to schema
 * and examines it only when validating. RegisterCallbackProc keeps its own
 * reference to typeName and replaces an earlier check of an equal name; a
 * null check counts as none. It must not overlap any other call on the same
 * validator. ValidateSchema: Validate of schema (held for the call) against
 * the stored meta-schema, every type name it uses being built in or defined
 * by it. */
#define QEL_ROWS_POSStructValidatorInterface(ROW, NAMED)                                                  \
    ROW(NewPOSStructValidator, POSStructValidatorNewStructValidatorProc, QELContainerHandle,              \
        (QELContainerHandle schema))                                                                       \
    ROW(RegisterCallbackProc, POSStructValidatorRegisterCallbackProc, void,                                \
        (QELContainerHandle validator, QELStringAtom typeName, QELCheckProc check, void* clientData))      \
    ROW(ValidateSchema, POSStructValidatorValidateSchemaProc, int32_t,                                     \
        (QELContainerHandle schema, QELReportProc report))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_POSStructValidatorInterface)

/* The directory and temporary-file procedures return null on success, or an
 * error holding one reference for the caller, who gives it back with the
 * error Release. Out arguments come first and are written only on success;
 * they must not be null. The directory procedures' own errors have the
 * component "QELUtilsDir" and, for a failed system call, the system's error
 * number (errno) as ID. An error that a host procedure returned is passed on
 * as it is; running out of memory gives core error 1.
 *
 * NewTempFileStream makes an empty file of a new name (prefix, eight hex
 * digits, ".", extension) in the temporary directory, opens it in mode with
 * the host's NewPositionableFileStream, and gives a new stream over it. The
 * file is deleted when that stream dies. Its independent copies read the
 * same file and delete nothing; after the first copy, the stream itself
 * reads on through the file opened read-only, and its writes fail. A failure
 * after the file was made leaves the empty file. */
#define QEL_ROWS_QELUtilsTempFileStreamFactory(ROW, NAMED)                                          \
    ROW(NewTempFileStream, _QELUtilsNewTempFileStreamProc_NewTempFileStream, QELErrorHandle,          \
        (QELContainerHandle* out, const char* prefix, const char* extension, const char* mode))
QEL_DECLARE_PROC_TYPES(QEL_ROWS_QELUtilsTempFileStreamFactory)

/* Every procedure returns an error handle (null on success), out arguments
 * first, written only on success. A directory handed out is new; its path
 * is kept as given, unchecked. Names and paths are atoms, borrowed. A path is
 * joined as the directory's path, a backslash (unless the path ends with
 * one) and the name, on every platform. An atom returned in out holds one
 * reference for the caller (DeleteStringAtom).
 *   FileExists            1 for an existing file or directory; 0 for a name
 *                         holding '*' or '?'.
 *   Delete                files only.
 *   Rename                within the directory; never replaces its target.
 *   GetFilePathSpec       the joined path.
 *   CreateUniqueFilename  makes an empty file named as NewTempFileStream's,
 *                         counting up from 0, and gives its name without the
 *                         directory; the file is the caller's. */
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
