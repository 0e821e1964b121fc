// qelinfo: loads QELUtils through the reference host, initialises it, lists
// what it published and terminates it again.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "qelhost/host.h"

int main(int argc, char** argv) {
    qelhost::Host host;
    std::string error;
    const std::string path = argc > 1 ? argv[1] : qelhost::Host::DefaultLibraryPath();
    if (!host.Load(path, &error)) {
        std::fprintf(stderr, "qelinfo: %s\n", error.c_str());
        return 2;
    }
    std::printf("QELUtils %s\ninterface version %u\n", path.c_str(), host.LibraryVersion());
    const int32_t ok = host.InitializeLibrary();
    std::printf("initialize: %s\n", ok != 0 ? "ok" : "failed");

    // Interfaces in the order of their first row, with their rows.
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::string>> rows;
    for (const qelhost::RegistryEvent& e : host.RegistryLog()) {
        if (e.kind != qelhost::RegistryEvent::Kind::Registered) continue;
        if (rows.find(e.interfaceName) == rows.end()) order.push_back(e.interfaceName);
        rows[e.interfaceName].push_back(e.methodName + " (" + e.procTypeName + ")");
    }
    std::printf("published %zu interface(s)\n", order.size());
    for (const std::string& name : order) {
        std::printf("  %s\n", name.c_str());
        for (const std::string& row : rows[name]) std::printf("    %s\n", row.c_str());
    }

    host.TerminateLibrary();
    host.Unload();
    const qelhost::Books books = host.books();
    std::printf("terminated; host books: %s\n", books.ToString().c_str());
    return ok != 0 && books.AllZero() ? 0 : 1;
}
