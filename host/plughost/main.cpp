// plughost: the stand-in host on the command line. It exports scenes to MD3 through the
// exporter and reports what was written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace {

void printUsage(std::FILE* out) {
    std::fputs(
        "usage: plughost <command> [options]\n"
        "\n"
        "commands:\n"
        "  export [OUT.md3]   export the demo scene to an MD3 file (run 'plughost export --help')\n"
        "\n"
        "options:\n"
        "  -h, --help         show this help\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printUsage(stderr);
        return host::kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "-h" || command == "--help" || command == "help") {
        printUsage(stdout);
        return host::kExitOk;
    }
    if (command == "export") {
        return host::runExport(args);
    }
    std::fprintf(stderr, "plughost: unknown command '%s' (try 'plughost --help')\n", command.c_str());
    return host::kExitUsage;
}
