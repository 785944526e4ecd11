// The plughost session: the desktop installed, then the plug-in modules loaded from their folder.
#include "session.h"

#include <sys/stat.h>

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

bool inputOpens(const char* command, const std::string& what, const std::string& path) {
    struct stat info {};
    // A folder opens for reading on this system, and then reads as nothing.
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "plughost %s: cannot open %s'%s': it is a folder\n", command, what.c_str(), path.c_str());
        return false;
    }
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        std::fprintf(stderr, "plughost %s: cannot open %s'%s'\n", command, what.c_str(), path.c_str());
        return false;
    }
    std::fclose(probe);
    return true;
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat firstInfo {};
    struct stat secondInfo {};
    return stat(first.c_str(), &firstInfo) == 0 && stat(second.c_str(), &secondInfo) == 0 &&
           firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
}

bool existsButNotRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

std::string counted(long long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace host
