// A second thread that shares numbered tasks with the thread that owns it, so that the frames of
// a surface are encoded on two cores while the owner goes on taking frames from the scene.
#ifndef BRINDLARK_HELPER_THREAD_H
#define BRINDLARK_HELPER_THREAD_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class HelperThread {
public:
    // The thread starts with the first range of tasks worth sharing; on a single core, or when no
    // thread can be started, the owner runs every task itself in finish().
    HelperThread() = default;
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Hands over tasks 0 .. count-1 and returns at once; the helper starts on them while the owner
    // does other work. A range too small to share (shared false) waits for the owner's finish().
    // The task must not touch what the owner changes until finish() returns.
    void start(size_t count, std::function<void(size_t)> task, bool shared = true);
    // The owner takes the tasks not yet taken, then waits for the helper's. Each task ran once,
    // on one of the two threads. An exception thrown by a task on the helper is thrown here.
    void finish();

private:
    void startThread();
    void serve();
    // Runs tasks until none is left; answers how many it ran, and keeps the first exception.
    size_t runTasks(std::exception_ptr& failure);

    std::mutex mutex_;
    std::condition_variable wake_;  // a new range, or the end
    std::condition_variable done_;  // the helper has put its tasks down
    std::function<void(size_t)> task_;
    size_t count_ = 0;
    std::atomic<size_t> next_{0};
    size_t finished_ = 0;             // tasks done, counted when a thread puts its share down
    std::atomic<uint64_t> range_{0};  // which shared range was handed over last
    bool shared_ = false;             // whether the range the owner works on now is shared
    // Inside a range, where it may still read the range or take a task: the owner changes neither
    // the range nor the task until it is false.
    std::atomic<bool> helperBusy_{false};
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
    bool threadTried_ = false;
};

#endif
