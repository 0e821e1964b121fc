/* The public headers as a C99 host includes them: every typedef expanded
 * from the lists, none of them C++. */
#include "qelutils/qelutils.h"

QELRegisterProcAddressProc qelCheckCore;
QELNewFullContainerV5Proc qelCheckContainer;
POSDictIteratorCurKeyProc qelCheckPublished;
QELUtilsDirCreateUniqueFilename qelCheckDirectory;
_QELUtilsNewTempFileStreamProc_NewTempFileStream qelCheckTempFile;
QELPositionableStreamSeekProc qelCheckStream;
