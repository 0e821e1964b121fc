/* The host interfaces that QELUtils binds when it starts: interned string
 * atoms, counted error objects, memory and counted containers. Each object
 * handed out is counted, so that the program can tell whether everything
 * came back. */
#ifndef MINIMAL_HOST_SERVICES_H
#define MINIMAL_HOST_SERVICES_H

#include "qelutils/qel_types.h"

/* Registers the rows of QELStringInterface, QELErrorInterface,
 * QELMemoryInterface and QELContainerInterface with the broker. 0 on
 * failure. */
int ServicesStart(void);

/* Gives back what the host made for itself. */
void ServicesStop(void);

typedef struct Books {
    long containers;
    long atomReferences;
    long errorReferences;
    long memoryBlocks;
} Books;

/* What is alive now, beside the host's own objects. */
Books ServicesBooks(void);

#endif
