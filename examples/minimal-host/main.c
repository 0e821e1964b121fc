/* minimal-host: a host of QELUtils in C. It starts a small broker, loads the
 * library, hands it the broker's resolver, parses a text in the property
 * objects' notation, looks up a value by its address, prints it, and gives
 * everything back: its exit status says whether every object it or the
 * library made was released.
 *
 *   minimal-host [--library PATH] TEXT ADDRESS
 *   minimal-host '<name (drill) dims <w 7.5 h 24>>' dims.w      prints 7.5
 *
 * Exit status: 0 printed, 1 no value at the address, 2 an error. */
#include <stdio.h>
#include <string.h>

#include "broker.h"
#include "library.h"
#include "qelutils/pos_procs.h"
#include "services.h"

/* Procedures of the host and of the library, fetched by their three names as
 * any component of the broker would. */
typedef struct Procs {
    QELNewStringAtomProc newAtom;
    QELDeleteStringAtomProc deleteAtom;
    QELAddRefContainerV2Proc addRef;
    QELReleaseContainerProc release;
    POSObjectCreateFromTextProc createFromText;
    POSDictIsPOSDictProc isDict;
    POSDictDeepGetProc deepGet;
    POSNumberIsPOSNumberProc isNumber;
    POSNumberGetProc getNumber;
    POSStringIsPOSStringProc isString;
    POSStringGetProc getString;
    POSArrayIsPOSArrayProc isArray;
    POSArrayCountProc count;
} Procs;

#define FIND(field, type, interfaceName, methodName) \
    (procs->field = (type)BrokerFind(interfaceName, methodName, #type)) != NULL

static int FindProcs(Procs* procs) {
    return FIND(newAtom, QELNewStringAtomProc, "QELStringInterface", "NewStringAtom") &&
           FIND(deleteAtom, QELDeleteStringAtomProc, "QELStringInterface", "DeleteStringAtom") &&
           FIND(addRef, QELAddRefContainerV2Proc, "QELContainerInterface", "AddRef") &&
           FIND(release, QELReleaseContainerProc, "QELContainerInterface", "Release") &&
           FIND(createFromText, POSObjectCreateFromTextProc, "POSObjectStatics", "CreateFromText") &&
           FIND(isDict, POSDictIsPOSDictProc, "POSDictInterface", "IsPOSDict") &&
           FIND(deepGet, POSDictDeepGetProc, "POSDictInterface", "DeepGet") &&
           FIND(isNumber, POSNumberIsPOSNumberProc, "POSNumberInterface", "IsPOSNumber") &&
           FIND(getNumber, POSNumberGetProc, "POSNumberInterface", "Get") &&
           FIND(isString, POSStringIsPOSStringProc, "POSStringInterface", "IsPOSString") &&
           FIND(getString, POSStringGetProc, "POSStringInterface", "Get") &&
           FIND(isArray, POSArrayIsPOSArrayProc, "POSArrayInterface", "IsPOSArray") &&
           FIND(count, POSArrayCountProc, "POSArrayInterface", "Count");
}

static void Print(const Procs* procs, QELContainerHandle value) {
    if (procs->isNumber(value))
        printf("%.15g\n", procs->getNumber(value));
    else if (procs->isString(value))
        printf("%s\n", procs->getString(value));
    else if (procs->isDict(value))
        printf("(a dictionary)\n");
    else if (procs->isArray(value))
        printf("(an array of %lu values)\n", (unsigned long)procs->count(value));
    else
        printf("(a value of another kind)\n");
}

/* Parses the text and prints the value at the address: 0, 1 or 2 as the
 * program's status. Every reference taken here is given back here. */
static int LookUp(const Procs* procs, const char* text, const char* address) {
    const char* errorPosition = NULL;
    QELContainerHandle root, value;
    QELStringAtom addressAtom;
    int status = 1;

    /* A new object comes back floating: the reference taken here is its
     * only one, and releasing it frees the whole tree. */
    root = procs->createFromText(text, &errorPosition);
    if (root == NULL || !procs->addRef(root)) {
        if (errorPosition != NULL)
            fprintf(stderr, "minimal-host: the text does not parse at offset %ld\n", (long)(errorPosition - text));
        else
            fprintf(stderr, "minimal-host: the text does not parse\n");
        procs->release(root);
        return 2;
    }
    if (!procs->isDict(root)) {
        fprintf(stderr, "minimal-host: the text is not a dictionary\n");
        procs->release(root);
        return 2;
    }

    addressAtom = procs->newAtom(address);
    if (addressAtom == NULL) {
        procs->release(root);
        return 2;
    }
    /* A member of the tree: held while it is printed, in case the library
     * made it for this call. */
    value = procs->deepGet(root, addressAtom);
    procs->deleteAtom(addressAtom);
    if (value != NULL && procs->addRef(value)) {
        Print(procs, value);
        procs->release(value);
        status = 0;
    } else {
        fprintf(stderr, "minimal-host: no value at %s\n", address);
    }
    procs->release(root);
    return status;
}

static int Leaked(void) {
    const Books books = ServicesBooks();
    if (books.containers == 0 && books.atomReferences == 0 && books.errorReferences == 0 && books.memoryBlocks == 0)
        return 0;
    fprintf(stderr,
            "minimal-host: left alive: %ld containers, %ld atom references, %ld error references, "
            "%ld memory blocks\n",
            books.containers, books.atomReferences, books.errorReferences, books.memoryBlocks);
    return 1;
}

int main(int argc, char** argv) {
#if defined(QELUTILS_LIBRARY_PATH)
    const char* path = QELUTILS_LIBRARY_PATH;
#else
    const char* path = NULL;
#endif
    Library library = {0};
    Procs procs;
    int status = 2, argi = 1;

    if (argc > 2 && strcmp(argv[1], "--library") == 0) {
        path = argv[2];
        argi = 3;
    }
    if (argc - argi != 2 || path == NULL) {
        fprintf(stderr, "usage: minimal-host [--library PATH] TEXT ADDRESS\n");
        return 2;
    }

    if (!BrokerStart() || !ServicesStart()) {
        fprintf(stderr, "minimal-host: out of memory\n");
    } else if (LibraryOpen(&library, path)) {
        if (library.getVersion() != QELUTILS_INTERFACE_VERSION)
            fprintf(stderr, "minimal-host: %s has interface version %lu, not %lu\n", path,
                    (unsigned long)library.getVersion(), (unsigned long)QELUTILS_INTERFACE_VERSION);
        else if (library.initialize(&BrokerResolve) != 1)
            fprintf(stderr, "minimal-host: %s failed to initialise\n", path);
        else if (!FindProcs(&procs))
            fprintf(stderr, "minimal-host: %s did not publish the property-object interfaces\n", path);
        else
            status = LookUp(&procs, argv[argi], argv[argi + 1]);
        /* Also after a failed start: it undoes whatever was done. */
        library.terminate();
        LibraryClose(&library);
    }
    ServicesStop();
    BrokerStop();
    if (BrokerReportCount() > 0 || Leaked()) status = 2;
    return status;
}
