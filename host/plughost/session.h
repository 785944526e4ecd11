// What every plughost command shares: the loaded plug-in modules and the terminal desktop.
#ifndef HOST_PLUGHOST_SESSION_H
#define HOST_PLUGHOST_SESSION_H

#include <string>
#include <vector>

#include <plugin_loader.h>

#include "command_line.h"
#include "terminal_desktop.h"

namespace host {

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

// Whether a file given to a command to read can be opened. When not, says so on standard error
// ("plughost COMMAND: cannot open WHAT'PATH'", with the reason for a folder) and answers false.
bool inputOpens(const char* command, const std::string& what, const std::string& path);
// Whether two paths name one existing file (the same path, links to it, hard links).
bool sameFile(const std::string& first, const std::string& second);
// Whether something that is not a regular file (a folder, a pipe, a device) stands at the path,
// symbolic links followed.
bool existsButNotRegularFile(const std::string& path);

// "1 frame", "2 frames".
std::string counted(long long count, const std::string& noun);

int runExport(const CommonOptions& common, const ExportRequest& request);
int runImport(const CommonOptions& common, const ImportRequest& request);
int runPlugins(const CommonOptions& common, const PluginsRequest& request);
int runCheck(const CommonOptions& common, const CheckRequest& request);

}  // namespace host

#endif
