/* The broker: a list of rows, searched in order. A host with many
 * components would index them; QELUtils publishes about seventy. */
#include "broker.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct Row {
    struct Row* next;
    char* interfaceName;
    char* methodName;
    char* procTypeName;
    void* proc;
} Row;

static Row* gRows;
/* Moves whenever an interface is withdrawn, so that the library refreshes
 * the procedures it keeps. */
static uint32_t gUnregisterCount;
static unsigned gReports;

static char* Copy(const char* text) {
    size_t size = strlen(text) + 1;
    char* copy = malloc(size);
    if (copy != NULL) memcpy(copy, text, size);
    return copy;
}

static void FreeRow(Row* row) {
    free(row->interfaceName);
    free(row->methodName);
    free(row->procTypeName);
    free(row);
}

int32_t BrokerAdd(const char* interfaceName, const char* methodName, const char* procTypeName, void* proc) {
    Row* row;
    if (interfaceName == NULL || methodName == NULL || procTypeName == NULL || proc == NULL) return 0;
    for (row = gRows; row != NULL; row = row->next) {
        if (strcmp(row->interfaceName, interfaceName) != 0 || strcmp(row->methodName, methodName) != 0)
            continue;
        if (strcmp(row->procTypeName, procTypeName) != 0) return 0;
        row->proc = proc;
        return 1;
    }
    row = calloc(1, sizeof *row);
    if (row == NULL) return 0;
    row->interfaceName = Copy(interfaceName);
    row->methodName = Copy(methodName);
    row->procTypeName = Copy(procTypeName);
    row->proc = proc;
    if (row->interfaceName == NULL || row->methodName == NULL || row->procTypeName == NULL) {
        FreeRow(row);
        return 0;
    }
    row->next = gRows;
    gRows = row;
    return 1;
}

void* BrokerFind(const char* interfaceName, const char* methodName, const char* procTypeName) {
    const Row* row;
    if (interfaceName == NULL || methodName == NULL || procTypeName == NULL) return NULL;
    for (row = gRows; row != NULL; row = row->next) {
        /* The proc-type name is the signature: a caller that expects
         * another one gets nothing rather than a procedure it would call
         * wrongly. */
        if (strcmp(row->interfaceName, interfaceName) == 0 && strcmp(row->methodName, methodName) == 0 &&
            strcmp(row->procTypeName, procTypeName) == 0)
            return row->proc;
    }
    return NULL;
}

void* BrokerResolve(const char* interfaceName, const char* methodName, const char* procTypeName) {
    return BrokerFind(interfaceName, methodName, procTypeName);
}

/* ------------------------------------------------------------ core procedures */

static int32_t RegisterProcAddress(const char* interfaceName, const char* methodName, const char* procTypeName,
                                   void* proc) {
    return BrokerAdd(interfaceName, methodName, procTypeName, proc);
}

static void ReportError(const char* message) {
    ++gReports;
    fprintf(stderr, "minimal-host: QELUtils reports: %s\n", message != NULL ? message : "(no message)");
}

static void UnregisterInterface(const char* interfaceName) {
    Row** link = &gRows;
    if (interfaceName == NULL) return;
    while (*link != NULL) {
        Row* row = *link;
        if (strcmp(row->interfaceName, interfaceName) == 0) {
            *link = row->next;
            FreeRow(row);
        } else {
            link = &row->next;
        }
    }
    ++gUnregisterCount;
}

static const volatile uint32_t* GetUnregisterCountAddr(void) { return &gUnregisterCount; }

static int32_t IsMultiThreaded(void) { return 0; }

int BrokerStart(void) {
    /* Procedure addresses travel as data pointers, as on every platform
     * that QELUtils supports. */
    static const struct {
        const char* name;
        void* proc;
    } core[] = {
        {"QELRegisterProcAddress", (void*)&RegisterProcAddress},
        {"QELReportError", (void*)&ReportError},
        {"QELUnregisterInterface", (void*)&UnregisterInterface},
        {"QELGetUnregisterCountAddr", (void*)&GetUnregisterCountAddr},
        {"QELIsMultiThreaded", (void*)&IsMultiThreaded},
    };
    size_t i;
    for (i = 0; i < sizeof core / sizeof core[0]; ++i)
        if (!BrokerAdd("QEL", core[i].name, core[i].name, core[i].proc)) return 0;
    return 1;
}

void BrokerStop(void) {
    while (gRows != NULL) {
        Row* row = gRows;
        gRows = row->next;
        FreeRow(row);
    }
}

unsigned BrokerReportCount(void) { return gReports; }
