// The plughost session: the desktop installed, then the plug-in modules loaded from their folder.
#include "session.h"

#include <cstdio>

namespace host {

Session::Session(const CommonOptions& options) {
    win32::setDesktop(&desktop_);
    plugins_.loadFolder(options.pluginFolder.empty() ? PluginCatalogue::defaultFolder() : options.pluginFolder);
}

Session::~Session() {
    // Modules are unloaded (their entry points told) before the desktop goes away.
    plugins_ = PluginCatalogue();
    win32::setDesktop(nullptr);
}

bool Session::reportLoadErrors(const char* command) {
    for (const std::string& error : plugins_.errors()) {
        std::fprintf(stderr, "plughost %s: %s\n", command, error.c_str());
    }
    return !plugins_.modules().empty();
}

bool takeValue(const std::vector<std::string>& args, size_t& i, std::string& value, const char* command) {
    if (i + 1 >= args.size()) {
        std::fprintf(stderr, "plughost %s: %s needs a value\n", command, args[i].c_str());
        return false;
    }
    value = args[++i];
    return true;
}

std::string counted(long long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace host
