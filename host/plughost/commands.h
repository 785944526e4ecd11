// The commands of plughost, each taking its own arguments and answering an exit status.
#ifndef HOST_PLUGHOST_COMMANDS_H
#define HOST_PLUGHOST_COMMANDS_H

#include <string>
#include <vector>

namespace host {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int runExport(const std::vector<std::string>& args);

}  // namespace host

#endif
