// plughost: the stand-in host on the command line. It loads the plug-in modules and exports
// scenes to MD3, imports MD3 and MD2 files, checks them, and lists the modules.
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "command_guard.h"
#include "command_line.h"
#include "session.h"

namespace {

int dispatch(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const host::ParsedArgs<host::CommandLine> parsed = host::parseCommandLine(args);
    if (!parsed.request) {
        return parsed.status;
    }
    const host::CommonOptions& common = parsed.request->common;
    return std::visit(
        [&common](const auto& request) {
            using Request = std::decay_t<decltype(request)>;
            if constexpr (std::is_same_v<Request, host::ExportRequest>) {
                return host::runExport(common, request);
            } else if constexpr (std::is_same_v<Request, host::ImportRequest>) {
                return host::runImport(common, request);
            } else if constexpr (std::is_same_v<Request, host::CheckRequest>) {
                return host::runCheck(common, request);
            } else {
                return host::runPlugins(common, request);
            }
        },
        parsed.request->command);
}

}  // namespace

// A command reports running out of memory itself; any other exception is a fault in plughost, left
// to abort so that it shows where it was thrown.
// NOLINTNEXTLINE(bugprone-exception-escape): deliberate, as above
int main(int argc, char** argv) {
    return host::runGuarded([&] { return dispatch(argc, argv); }, host::kExitFailed);
}
