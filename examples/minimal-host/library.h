/* Loading QELUtils from a file: the only part of the minimal host that
 * knows the operating system. */
#ifndef MINIMAL_HOST_LIBRARY_H
#define MINIMAL_HOST_LIBRARY_H

#include "qelutils/qelutils.h"

typedef struct Library {
    void* handle;
    QELUtilsGetVersionProc getVersion;
    QELUtilsInitializeProc initialize;
    QELUtilsTerminateProc terminate;
} Library;

/* Loads the library and finds its three exports. 0, with a message on
 * standard error, on failure. */
int LibraryOpen(Library* library, const char* path);

void LibraryClose(Library* library);

#endif
