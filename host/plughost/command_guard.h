// The boundary of every plughost command: running out of memory ends the command with one line
// and the failure status instead of an abort.
#ifndef HOST_PLUGHOST_COMMAND_GUARD_H
#define HOST_PLUGHOST_COMMAND_GUARD_H

#include <cstdio>
#include <new>
#include <stdexcept>

namespace host {

// Runs the command and answers its status; answers failedStatus when it runs out of memory (an
// allocation fails, or a container is asked for more than it can ever hold).
template <typename Command>
int runGuarded(Command&& command, int failedStatus) {
    try {
        return command();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::fputs("plughost: out of memory: the work needs more memory than the system gives it\n", stderr);
    return failedStatus;
}

}  // namespace host

#endif
