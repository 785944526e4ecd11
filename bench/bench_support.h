// What the benchmarks share: a scratch folder, programs run as a person runs them (with their
// wall time and peak memory), and the summary of the goals printed after every benchmark ran.
#ifndef BENCH_BENCH_SUPPORT_H
#define BENCH_BENCH_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The process's scratch folder under the system's temporary folder, made on first use and
// removed when the process ends.
const std::string& scratchFolder();

struct ProgramRun {
    int status = -1;           // the exit status, -1 when it did not exit normally
    double seconds = 0.0;      // wall time
    double cpuSeconds = 0.0;   // user and system time of the program
    double peakMebibytes = 0;  // the program's peak resident memory
};

// Runs a program (found on the PATH unless the name has a slash) with its output discarded, and
// waits for it.
ProgramRun runProgram(const std::vector<std::string>& arguments);

uint64_t fileSize(const std::string& path);

}  // namespace bench

#endif
