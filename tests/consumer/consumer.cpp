// A tool of another project built on the installed reference host: loads the
// installed library from the path its package gives (or the one named on
// the command line), drives it through the published tables, and checks
// that every object came back.
//   consumer [LIBRARY]     exit status 0 when every check passed
#include <cstdio>
#include <string>

#include "qelhost/host.h"
#include "qelhost/pos.h"
#include "qelutils/qelutils.h"

namespace {

int failures = 0;

void Check(bool passed, const std::string& what) {
    if (passed) return;
    ++failures;
    std::fprintf(stderr, "consumer: %s\n", what.c_str());
}

// Parses a catalogue entry and reads it back by deep addresses.
void UseLibrary(qelhost::Host& host) {
    const qelhost::pos::Client pos(host);
    long errorOffset = 0;
    const qelhost::pos::Ref entry =
        pos.FromText("<name (Cordless drill) dims <w 7.5 h 24> tags [power drill]>", &errorOffset);
    Check(static_cast<bool>(entry), "the entry does not parse (offset " + std::to_string(errorOffset) + ")");
    if (!entry) return;

    const qelhost::pos::Ref width = pos.DeepGet(entry, "dims.w");
    Check(width && pos.IsNumber(width) && pos.GetNumber(width) == 7.5, "dims.w is not the number 7.5");
    const qelhost::pos::Ref tag = pos.DeepGet(entry, "tags[1]");
    Check(tag && pos.IsString(tag) && pos.GetString(tag) == "drill", "tags[1] is not the string drill");
    Check(!pos.DeepGet(entry, "tags[2]"), "tags[2] has a value");

    const qelhost::pos::Ref broken = pos.FromText("<name (unterminated>", &errorOffset);
    Check(!broken && errorOffset > 0, "a broken text parses, or its error has no position");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : QELUTILS_LIBRARY_PATH;
    qelhost::Books books;
    {
        qelhost::Host host;
        std::string error;
        if (!host.Load(path, &error)) {
            std::fprintf(stderr, "consumer: %s\n", error.c_str());
            return 1;
        }
        Check(host.LibraryVersion() == QELUTILS_INTERFACE_VERSION,
              "interface version " + std::to_string(host.LibraryVersion()));
        const bool initialized = host.InitializeLibrary() == 1;
        Check(initialized, "the library does not initialise");
        if (initialized) {
            for (const char* name : {"POSDictInterface", "POSStreamerInterface", "POSValidatorInterface",
                                     "QELUtilsDirInterface"})
                Check(host.HasInterface(name), std::string(name) + " is not published");
            UseLibrary(host);
        }
        host.TerminateLibrary();
        host.Unload();
        books = host.books();
        for (const std::string& report : host.Reports()) Check(false, "reported: " + report);
    }
    Check(books.AllZero(), "left alive: " + books.ToString());
    if (failures == 0) std::printf("consumer: %s passed\n", path.c_str());
    return failures == 0 ? 0 : 1;
}
