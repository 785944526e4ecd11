// The sample files beside the project (shared/samples): a test that reads one skips, with a
// message, when it is missing on a developer's machine, and fails when the build requires the
// samples (QMP_REQUIRE_SAMPLES, on in CI), so that a run without them cannot pass unnoticed.
#ifndef TESTS_SUPPORT_SAMPLE_FILES_H
#define TESTS_SUPPORT_SAMPLE_FILES_H

#include <gtest/gtest.h>

// Ends the test; stream the reason into it: QMP_SAMPLE_MISSING() << "no " << path;
#define QMP_SAMPLE_MISSING()                                                        \
    return GTEST_MESSAGE_(                                                          \
        QMP_SAMPLES_REQUIRED ? "a sample file this build requires is missing" : "", \
        QMP_SAMPLES_REQUIRED ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip)

#endif
