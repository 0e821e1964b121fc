/* QELUtils: the three exports of the library, which a host finds by name
 * after loading it (on Windows also at ordinals 2, 3 and 4). The binary
 * interface and its ownership rules are in qelutils/qel_types.h and
 * qelutils/pos_procs.h. */
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

/* QELUtilsGetVersion: QELUTILS_INTERFACE_VERSION, at any time, also before
 * QELUtilsInitialize and after QELUtilsTerminate.
 *
 * QELUtilsInitialize: binds the host through the resolver, then publishes
 * every interface of qelutils/pos_procs.h. 1 on success; 0, with no report,
 * when the resolver is null, a required host procedure does not resolve, a
 * registration is refused or memory runs out. Only the first call does
 * anything: later calls return 0 until QELUtilsTerminate. A failed call keeps
 * what it had done, so call QELUtilsTerminate after it too.
 *
 * QELUtilsTerminate: withdraws every interface of the library, published or
 * not (when QELUnregisterInterface was bound), gives back what the library
 * held of the host and forgets the resolver; QELUtilsInitialize may then be
 * called again. It does nothing unless QELUtilsInitialize was called since
 * the library was loaded or last terminated. Call both with no other call
 * into the library under way, and release every object that the library made
 * before unloading it. */
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
