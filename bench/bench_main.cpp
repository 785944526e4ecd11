// The benchmarks' main: every benchmark as Google Benchmark runs it, then the goals of the
// exporter, the scene loader and the importer side by side, from the medians of this one run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

// Keeps the median (or the only) run of every benchmark, by name with its arguments.
class GoalReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own reporter does.
    GoalReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") {
                continue;
            }
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) {
                name += "/" + run.run_name.args;
            }
            runs_[name] = run;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool has(const std::string& name) const { return runs_.count(name) != 0; }
    // Seconds of one iteration.
    double seconds(const std::string& name) const {
        const Run& run = runs_.at(name);
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    double cpuSeconds(const std::string& name) const {
        const Run& run = runs_.at(name);
        return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    double counter(const std::string& name, const std::string& counterName) const {
        const auto& counters = runs_.at(name).counters;
        const auto found = counters.find(counterName);
        return found != counters.end() ? found->second.value : 0.0;
    }

private:
    std::map<std::string, Run> runs_;
};

void printGoals(const GoalReporter& r) {
    double load[1] = {0.0};
    if (getloadavg(load, 1) != 1) {
        load[0] = 0.0;
    }
    std::printf("\nGoals (medians of this run, load average %.1f at its end; on a shared machine read the ratios):\n",
                load[0]);
    const std::string command = "BM_ExportCommand/400";
    const std::string copy = "BM_CopyAndSync";
    if (r.has(command) && r.has(copy)) {
        const double megabytes = r.counter(command, "MB");
        const double exportSeconds = r.seconds(command);
        const double copySeconds = r.seconds(copy);
        std::printf(
            "  plughost export, 50 meshes x 1000 vertices x 400 frames: %.1f MB in %.2f s = %.0f MB/s"
            " (%.2f s of processor time)\n",
            megabytes, exportSeconds, megabytes / exportSeconds, r.counter(command, "cpu_s"));
        std::printf(
            "    cp + sync of the same file: %.2f s = %.0f MB/s; the export takes %.1fx as long"
            " (goal: within 5x, then 2x)\n",
            copySeconds, megabytes / copySeconds, exportSeconds / copySeconds);
    }
    const std::string inProcess = "BM_ExportSceneInProcess/400";
    if (r.has(inProcess)) {
        std::printf("    the export alone, in process, of the scene loaded once: %.2f s (%.2f s of processor time)\n",
                    r.seconds(inProcess), r.cpuSeconds(inProcess));
    }
    if (r.has(command) && r.has("BM_ExportCommand/100")) {
        std::printf(
            "  peak memory of that export command: %.0f MiB at 400 frames, %.0f MiB at 100 frames"
            " (goal: flat in frames, under 100 MiB)\n",
            r.counter(command, "peak_MiB"), r.counter("BM_ExportCommand/100", "peak_MiB"));
    }
    const std::string perNode[] = {"BM_ExportEveryNode/100", "BM_ExportEveryNode/300", "BM_ExportEveryNode/1000"};
    if (r.has(perNode[0]) && r.has(perNode[1]) && r.has(perNode[2])) {
        const double few = r.counter(perNode[0], "per_node_frame") * 1e6;
        const double middle = r.counter(perNode[1], "per_node_frame") * 1e6;
        const double many = r.counter(perNode[2], "per_node_frame") * 1e6;
        std::printf(
            "  export per node and frame (200 frames, processor time): %.1f us at 100 nodes, %.1f us at 300,"
            " %.1f us at 1000; 1000 vs 100: %.2fx (goal: at most 1.5x)\n",
            few, middle, many, many / few);
    }
    if (r.has("BM_LoadOneAnimation") && r.has("BM_LoadAnimationPerNode")) {
        const double one = r.seconds("BM_LoadOneAnimation");
        const double each = r.seconds("BM_LoadAnimationPerNode");
        std::printf(
            "  load of 200 animated nodes: one animation %.3f s, one animation per node %.3f s; %.1fx"
            " (goal: within 2x)\n",
            one, each, each / one);
    }
    if (r.has("BM_ImportCommand") && r.has("BM_AssimpInfoCommand")) {
        const double ours = r.seconds("BM_ImportCommand");
        const double theirs = r.seconds("BM_AssimpInfoCommand");
        std::printf(
            "  plughost import --json of a %.1f MB, %d-frame MD3: %.3f s, assimp info %.3f s; %.2fx"
            " (goal: no slower)\n",
            r.counter("BM_ImportCommand", "MB"), static_cast<int>(r.counter("BM_ImportCommand", "frames")), ours,
            theirs, ours / theirs);
    }
    if (r.has("BM_ImportInProcess") && r.has("BM_AssimpReadInProcess")) {
        const double ours = r.seconds("BM_ImportInProcess");
        const double theirs = r.seconds("BM_AssimpReadInProcess");
        std::printf("    in process: the importer %.2f ms, assimp %.2f ms; %.2fx\n", ours * 1e3, theirs * 1e3,
                    ours / theirs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printGoals(reporter);
    benchmark::Shutdown();
    return 0;
}
