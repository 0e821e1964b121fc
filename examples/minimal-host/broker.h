/* The broker of the minimal host: rows of procedures, each found by
 * interface name, method name and proc-type name, the resolver that hands
 * them out and the five core procedures that QELUtils binds first.
 *
 * This host serves one thread: QELUtils starts none of its own, and the
 * program calls it from its main thread only. */
#ifndef MINIMAL_HOST_BROKER_H
#define MINIMAL_HOST_BROKER_H

#include "qelutils/qel_types.h"

/* Adds a row. Refuses (0) a row whose interface and method are registered
 * already with another proc-type name; the very same row again is accepted
 * (1). Also 0 when memory runs out. */
int32_t BrokerAdd(const char* interfaceName, const char* methodName, const char* procTypeName, void* proc);

/* The procedure of a row, or null. */
void* BrokerFind(const char* interfaceName, const char* methodName, const char* procTypeName);

/* The resolver given to QELUtilsInitialize. */
void* BrokerResolve(const char* interfaceName, const char* methodName, const char* procTypeName);

/* Registers the core procedures under the interface "QEL". 0 on failure. */
int BrokerStart(void);

/* Forgets every row. */
void BrokerStop(void);

/* Reports that the library made through QELReportError so far. */
unsigned BrokerReportCount(void);

#endif
