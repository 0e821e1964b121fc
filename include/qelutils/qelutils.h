/* QELUtils: the three exports of the library. */
#ifndef QELUTILS_QELUTILS_H
#define QELUTILS_QELUTILS_H

#include "qelutils/pos_procs.h"
#include "qelutils/qel_types.h"

#if defined(_WIN32)
#  if defined(QELUTILS_BUILDING)
#    define QELUTILS_API __declspec(dllexport)
#  else
#    define QELUTILS_API __declspec(dllimport)
#  endif
#elif defined(QELUTILS_BUILDING)
#  define QELUTILS_API __attribute__((visibility("default")))
#else
#  define QELUTILS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Interface version of this library: 0x00010101. */
#define QELUTILS_INTERFACE_VERSION 65793u

typedef uint32_t (*QELUtilsGetVersionProc)(void);
typedef int32_t  (*QELUtilsInitializeProc)(QELResolverProc resolver);
typedef void     (*QELUtilsTerminateProc)(void);

QELUTILS_API uint32_t QELUtilsGetVersion(void);
QELUTILS_API int32_t  QELUtilsInitialize(QELResolverProc resolver);
QELUTILS_API void     QELUtilsTerminate(void);

#ifdef __cplusplus
}
#endif

#endif
