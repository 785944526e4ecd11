// Removal of registered temporary files on the signals that end a process from outside.
//
// The handler may run at any moment of the registering code, so the registry is a fixed table
// whose entries are published with a lock-free flag after their path is complete, and the
// handler calls only async-signal-safe functions (unlink, sigaction, raise). Each copy of this
// library in a process (the host's and each plug-in module's) keeps its own table and handler;
// the handlers chain through the actions they found installed.
#include "removal_on_signal.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace modelformat::detail {

namespace {

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Files written at the same time by one process: a few for a set of files, one for an export.
constexpr size_t kSlots = 16;

struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");

std::array<Slot, kSlots> slots;
std::array<struct sigaction, kSignals.size()> previousActions;
std::array<std::atomic<bool>, kSignals.size()> installed{};
std::mutex registryMutex;  // for the registering code only, never taken by the handler
size_t registeredCount = 0;

void removeRegisteredFiles(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) {
            unlink(slot.path);
        }
    }
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (kSignals[i] == signal && installed[i].exchange(false)) {
            sigaction(signal, &previousActions[i], nullptr);
        }
    }
    // Held until this handler returns, then delivered to the action put back.
    raise(signal);
    errno = savedErrno;
}

void install() {
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current {};
        if (sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;  // a signal the process ignores (a background job's SIGINT) stays ignored
        }
        struct sigaction action {};
        action.sa_handler = removeRegisteredFiles;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) {
            sigaddset(&action.sa_mask, other);
        }
        action.sa_flags = SA_RESTART;
        previousActions[i] = current;
        installed[i].store(true);
        if (sigaction(kSignals[i], &action, nullptr) != 0) {
            installed[i].store(false);
        }
    }
}

void uninstall() {
    SignalsHeld held;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (!installed[i].exchange(false)) {
            continue;
        }
        struct sigaction current {};
        // Put back only where the handler is still this one: another installed since keeps its own.
        if (sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == removeRegisteredFiles) {
            sigaction(kSignals[i], &previousActions[i], nullptr);
        }
    }
}

}  // namespace

int removeOnSignal(const std::string& path) {
    if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string::npos) {
        return -1;
    }
    const std::lock_guard<std::mutex> lock(registryMutex);
    for (size_t i = 0; i < slots.size(); ++i) {
        Slot& slot = slots[i];
        if (slot.used.load(std::memory_order_relaxed)) {
            continue;
        }
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used.store(true, std::memory_order_release);
        if (registeredCount++ == 0) {
            install();
        }
        return static_cast<int>(i);
    }
    return -1;
}

void keepOnSignal(int slot) {
    if (slot < 0 || static_cast<size_t>(slot) >= slots.size()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(registryMutex);
    if (!slots[static_cast<size_t>(slot)].used.exchange(false)) {
        return;
    }
    if (--registeredCount == 0) {
        uninstall();
    }
}

SignalsHeld::SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kSignals) {
        sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace modelformat::detail
