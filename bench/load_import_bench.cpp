// Work done in process: loading a scene whose nodes each have their own animation against the
// same scene with one animation, and the importer reading a large MD3 against assimp reading it.
#include <string>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <plugin_loader.h>
#include <recording_desktop.h>
#include <scene.h>
#include <scene_file.h>

#include "bench_scenes.h"
#include "bench_support.h"
#include "generated_md3.h"

namespace {

constexpr int kAnimatedNodes = 200;

void loadScene(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        host::Scene scene;
        const host::SceneLoadResult result = host::loadSceneFile(path, host::SceneLoadOptions(), scene);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.nodeCount);
    }
}

void BM_LoadOneAnimation(benchmark::State& state) {
    static const std::string path =
        bench::writeAnimatedNodesScene(bench::scratchFolder(), "one_animation", kAnimatedNodes, false);
    loadScene(state, path);
}
BENCHMARK(BM_LoadOneAnimation)->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);

void BM_LoadAnimationPerNode(benchmark::State& state) {
    static const std::string path =
        bench::writeAnimatedNodesScene(bench::scratchFolder(), "animation_per_node", kAnimatedNodes, true);
    loadScene(state, path);
}
BENCHMARK(BM_LoadAnimationPerNode)->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);

// The importer module loaded by the host's loader, as plughost loads it.
void BM_ImportInProcess(benchmark::State& state) {
    const std::string& path = bench::generatedMd3Path();
    win32::RecordingDesktop desktop;
    host::PluginCatalogue catalogue;
    if (!catalogue.loadModule(std::string(QMP_PLUGIN_DIR) + "/Corvinale.dli")) {
        state.SkipWithError("the importer module does not load");
        return;
    }
    std::unique_ptr<ImportPluginInterface> importer(catalogue.createImporter("md3"));
    host::HostInterface hostInterface;
    for (auto _ : state) {
        host::Scene scene;
        host::ImportInterface imports(scene);
        if (importer->DoImport(path.c_str(), &imports, &hostInterface, TRUE) != 1) {
            state.SkipWithError("the import failed");
            break;
        }
    }
}
BENCHMARK(BM_ImportInProcess)->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);

void BM_AssimpReadInProcess(benchmark::State& state) {
    const std::string& path = bench::generatedMd3Path();
    for (auto _ : state) {
        Assimp::Importer importer;
        if (importer.ReadFile(path, 0) == nullptr) {
            state.SkipWithError(importer.GetErrorString());
            break;
        }
    }
}
BENCHMARK(BM_AssimpReadInProcess)->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);

}  // namespace
