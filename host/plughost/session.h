// What every plughost command shares: the loaded plug-in modules and the terminal desktop.
#ifndef HOST_PLUGHOST_SESSION_H
#define HOST_PLUGHOST_SESSION_H

#include <string>
#include <vector>

#include <plugin_loader.h>

#include "terminal_desktop.h"

namespace host {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct CommonOptions {
    std::string pluginFolder;  // empty: PluginCatalogue::defaultFolder()
};

class Session {
public:
    explicit Session(const CommonOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    PluginCatalogue& plugins() { return plugins_; }
    TerminalDesktop& desktop() { return desktop_; }
    // Prints why modules could not be loaded, once; answers whether any module loaded.
    bool reportLoadErrors(const char* command);

private:
    TerminalDesktop desktop_;
    PluginCatalogue plugins_;
};

// Takes the value after a flag; prints a usage error when there is none.
bool takeValue(const std::vector<std::string>& args, size_t& i, std::string& value, const char* command);

// "1 frame", "2 frames".
std::string counted(long long count, const std::string& noun);

int runExport(const CommonOptions& common, const std::vector<std::string>& args);
int runImport(const CommonOptions& common, const std::vector<std::string>& args);
int runPlugins(const CommonOptions& common, const std::vector<std::string>& args);
int runCheck(const CommonOptions& common, const std::vector<std::string>& args);

}  // namespace host

#endif
