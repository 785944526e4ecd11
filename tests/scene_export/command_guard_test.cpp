// The boundary around every plughost command: allocation failure is a one-line error and the
// failure status, anything else passes through untouched.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_guard.h"

namespace {

constexpr int kFailed = 1;

TEST(CommandGuard, TurnsRunningOutOfMemoryIntoOneLineAndTheFailureStatus) {
    const std::vector<void (*)()> failures = {
        [] { throw std::bad_alloc(); },
        [] { throw std::bad_array_new_length(); },
        // What a container says when asked for more than it can ever hold.
        [] { std::vector<double>().reserve(std::vector<double>().max_size() + 1); },
    };
    for (auto failure : failures) {
        ::testing::internal::CaptureStderr();
        const int status = host::runGuarded(
            [failure] {
                failure();
                return 0;
            },
            kFailed);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, kFailed);
        EXPECT_EQ(said, "plughost: out of memory: the work needs more memory than the system gives it\n");
    }
}

TEST(CommandGuard, PassesStatusesAndOtherExceptionsThrough) {
    EXPECT_EQ(host::runGuarded([] { return 2; }, kFailed), 2);
    EXPECT_THROW(host::runGuarded([]() -> int { throw std::runtime_error("not about memory"); }, kFailed),
                 std::runtime_error);
}

}  // namespace
