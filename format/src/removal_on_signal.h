// Temporary files that the signals ending a process from outside (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT) remove before it ends, and the moments those signals wait.
#ifndef MODELFORMAT_REMOVAL_ON_SIGNAL_H
#define MODELFORMAT_REMOVAL_ON_SIGNAL_H

#include <signal.h>

#include <string>

namespace modelformat::detail {

// Registers a file to remove should one of the signals arrive, and answers its slot; -1 when the
// path is too long to keep or every slot is taken (the file is then not removed). While anything
// is registered a handler is installed for each signal that is not ignored; it removes the files,
// puts back the action that was there before and raises the signal again, so that the process's
// own handler or the default action follows. The handler is taken away with the last file.
int removeOnSignal(const std::string& path);
// Forgets the file of the slot (a slot of -1 is nothing).
void keepOnSignal(int slot);

// Holds the signals back for its lifetime; they arrive when it ends. Moving files into place
// happens under it, so that a signal never finds half a set of files placed or a name it does not
// know of.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

}  // namespace modelformat::detail

#endif
