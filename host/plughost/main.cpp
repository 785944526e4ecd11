// plughost: the stand-in host on the command line. It loads the plug-in modules and exports
// scenes to MD3, imports MD3 and MD2 files, and lists the modules.
#include <cstdio>
#include <string>
#include <vector>

#include "command_guard.h"
#include "session.h"

namespace {

const char kUsage[] =
    "usage: plughost [--plugins DIR] <command> [options]\n"
    "\n"
    "commands:\n"
    "  export [OUT.md3]   export the demo scene through the exporter plug-in\n"
    "  import FILE        import an MD3 or MD2 file through the importer plug-in\n"
    "  check FILE         report an MD3 or MD2 file's structure and what it breaks\n"
    "  plugins            list the loaded plug-in modules\n"
    "\n"
    "Each command has --help. The plug-in modules are loaded from DIR, else from the folder\n"
    "named by PLUGHOST_PLUGINS, else from plughost's own folder.\n"
    "\n"
    "examples:\n"
    "  plughost export demo.md3 --from 0 --to 39\n"
    "  plughost import models/players/sarge/upper.md3\n"
    "  plughost check demo.md3\n"
    "  plughost plugins --json\n";

int dispatch(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    host::CommonOptions common;
    while (!args.empty() && args.front() == "--plugins") {
        if (args.size() < 2) {
            std::fputs("plughost: --plugins needs a folder\n", stderr);
            return host::kExitUsage;
        }
        common.pluginFolder = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return host::kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return host::kExitOk;
    }
    if (command == "export") {
        return host::runExport(common, args);
    }
    if (command == "import") {
        return host::runImport(common, args);
    }
    if (command == "check") {
        return host::runCheck(common, args);
    }
    if (command == "plugins") {
        return host::runPlugins(common, args);
    }
    std::fprintf(stderr, "plughost: unknown command '%s' (try 'plughost --help')\n", command.c_str());
    return host::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    return host::runGuarded([&] { return dispatch(argc, argv); }, host::kExitFailed);
}
