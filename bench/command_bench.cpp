// Whole plughost commands as a person runs them: the export of the large generated scene against
// copying its bytes and syncing them, with the export's peak memory; the import of a large MD3
// against assimp's own command on the same file.
#include <algorithm>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_scenes.h"
#include "bench_support.h"
#include "generated_md3.h"

namespace {

const std::string& exportScenePath() {
    static const std::string path =
        bench::writeExportScene(bench::scratchFolder(), "export_scene", bench::ExportSceneShape());
    return path;
}

std::string exportOutputPath() { return bench::scratchFolder() + "/export_scene.md3"; }

// The export command with the dialog's range set to the first `frames` frames. Each run writes a
// new file, as the copy it is compared with does: replacing a file also has the system free the
// earlier one, which costs as much in either.
void BM_ExportCommand(benchmark::State& state) {
    const std::string lastFrame = std::to_string(state.range(0) - 1);
    double peak = 0.0;
    double cpu = 0.0;
    for (auto _ : state) {
        std::remove(exportOutputPath().c_str());
        const bench::ProgramRun run = bench::runProgram(
            {QMP_PLUGHOST, "export", exportScenePath(), exportOutputPath(), "--from", "0", "--to", lastFrame});
        if (run.status != 0) {
            state.SkipWithError("the export failed");
            break;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakMebibytes);
        cpu += run.cpuSeconds;
    }
    state.counters["MB"] = static_cast<double>(bench::fileSize(exportOutputPath())) / 1e6;
    state.counters["peak_MiB"] = peak;
    state.counters["cpu_s"] = cpu / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
BENCHMARK(BM_ExportCommand)
    ->Arg(100)
    ->Arg(400)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same bytes copied to a new file and synced to the disk, as the export's file is.
void BM_CopyAndSync(benchmark::State& state) {
    const std::string copy = bench::scratchFolder() + "/copy.md3";
    double cpu = 0.0;
    for (auto _ : state) {
        std::remove(copy.c_str());
        const bench::ProgramRun copied = bench::runProgram({"cp", exportOutputPath(), copy});
        const bench::ProgramRun synced = bench::runProgram({"sync", copy});
        if (copied.status != 0 || synced.status != 0) {
            state.SkipWithError("cp or sync failed (run BM_ExportCommand first)");
            break;
        }
        state.SetIterationTime(copied.seconds + synced.seconds);
        cpu += copied.cpuSeconds + synced.cpuSeconds;
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(std::max<int64_t>(1, state.iterations()));
    std::remove(copy.c_str());
    state.counters["MB"] = static_cast<double>(bench::fileSize(exportOutputPath())) / 1e6;
}
BENCHMARK(BM_CopyAndSync)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void importCounters(benchmark::State& state) {
    state.counters["MB"] = static_cast<double>(bench::fileSize(bench::generatedMd3Path())) / 1e6;
    state.counters["frames"] = bench::kGeneratedMd3Frames;
}

void BM_ImportCommand(benchmark::State& state) {
    for (auto _ : state) {
        const bench::ProgramRun run = bench::runProgram({QMP_PLUGHOST, "import", bench::generatedMd3Path(), "--json"});
        if (run.status != 0) {
            state.SkipWithError("the import failed");
            break;
        }
        state.SetIterationTime(run.seconds);
    }
    importCounters(state);
}
BENCHMARK(BM_ImportCommand)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly()->UseManualTime();

void BM_AssimpInfoCommand(benchmark::State& state) {
    for (auto _ : state) {
        const bench::ProgramRun run = bench::runProgram({"assimp", "info", bench::generatedMd3Path()});
        if (run.status != 0) {
            state.SkipWithError("assimp info failed");
            break;
        }
        state.SetIterationTime(run.seconds);
    }
    importCounters(state);
}
BENCHMARK(BM_AssimpInfoCommand)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly()->UseManualTime();

}  // namespace
