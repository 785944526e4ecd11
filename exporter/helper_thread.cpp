// The helper thread: tasks are numbered and taken from one counter, so that each runs exactly once
// whichever thread reaches it first; the owner learns that the helper is done with a range when
// the helper has put its share down, never by a task count alone.
#include "helper_thread.h"

#include <system_error>
#include <utility>

#if defined(__unix__)
#include <pthread.h>
#include <signal.h>
#endif

namespace {

// How long a thread that expects the other soon looks before it sleeps (about tens of
// microseconds): a batch's hand-over then costs neither thread a sleep and a wake-up.
constexpr int kSpins = 2000;

void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

HelperThread::~HelperThread() {
    if (!thread_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void HelperThread::start(size_t count, std::function<void(size_t)> task, bool shared) {
    if (shared && !threadTried_) {
        threadTried_ = true;
        if (std::thread::hardware_concurrency() > 1) {
            startThread();
        }
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // A helper that woke late for the range before may still be looking for a task of it.
        done_.wait(lock, [this] { return !helperBusy_; });
        task_ = std::move(task);
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        finished_ = 0;
        shared_ = shared;
        if (shared) {
            ++range_;
        }
    }
    if (shared && thread_.joinable()) {
        wake_.notify_one();
    }
}

void HelperThread::startThread() {
#if defined(__unix__)
    // The helper takes no signals: they go to the owner, and a signal that must wait while a file
    // is moved into place waits there (the owner holds it back) instead of reaching the helper.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    const bool masked = pthread_sigmask(SIG_BLOCK, &all, &before) == 0;
#endif
    try {
        thread_ = std::thread([this] { serve(); });
    } catch (const std::system_error&) {
        // No thread: the owner runs every task.
    }
#if defined(__unix__)
    if (masked) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
#endif
}

void HelperThread::finish() {
    std::exception_ptr failure;
    const size_t ran = runTasks(failure);
    // Every task is taken: the helper, if it has any, is finishing its last.
    for (int spin = 0; spin < kSpins && helperBusy_.load(std::memory_order_acquire); ++spin) {
        spinPause();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    finished_ += ran;
    if (failure != nullptr && failure_ == nullptr) {
        failure_ = failure;
    }
    done_.wait(lock, [this] { return !helperBusy_ && finished_ == count_; });
    task_ = nullptr;
    if (failure_ != nullptr) {
        std::exception_ptr thrown = std::move(failure_);
        failure_ = nullptr;
        std::rethrow_exception(thrown);
    }
}

size_t HelperThread::runTasks(std::exception_ptr& failure) {
    size_t ran = 0;
    for (size_t index = next_.fetch_add(1, std::memory_order_relaxed); index < count_;
         index = next_.fetch_add(1, std::memory_order_relaxed)) {
        try {
            task_(index);
        } catch (...) {
            // Counted as done all the same; the owner throws the first failure from finish().
            if (failure == nullptr) {
                failure = std::current_exception();
            }
        }
        ++ran;
    }
    return ran;
}

void HelperThread::serve() {
    uint64_t served = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (range_ == served && !stopping_) {
            // The owner hands the next range over as soon as it has taken this one back.
            lock.unlock();
            for (int spin = 0; spin < kSpins && range_.load(std::memory_order_relaxed) == served; ++spin) {
                spinPause();
            }
            lock.lock();
        }
        wake_.wait(lock, [&] { return stopping_ || range_ != served; });
        if (stopping_) {
            return;
        }
        served = range_;
        if (!shared_) {
            continue;  // woke late, for a range that is gone; the owner runs this one alone
        }
        helperBusy_ = true;
        lock.unlock();
        std::exception_ptr failure;
        const size_t ran = runTasks(failure);
        lock.lock();
        finished_ += ran;
        if (failure != nullptr && failure_ == nullptr) {
            failure_ = failure;
        }
        helperBusy_ = false;
        done_.notify_one();
    }
}
