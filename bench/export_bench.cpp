// Exports in process of many small animated nodes over 200 frames: the cost of a node and frame
// must not grow with the number of nodes. Every node a surface, or only a few selected by name.
#include <cmath>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include <export_options.h>
#include <md3_file_writer.h>
#include <mesh_builders.h>
#include <plugin_module.h>
#include <scene.h>
#include <scene_file.h>

#include "bench_scenes.h"
#include "bench_support.h"
#include "generated_md3.h"

namespace {

constexpr int kFrames = 200;

// Nodes of boxes and cylinders turning and moving over time, some deforming, and a few tags.
void buildLargeScene(host::Scene& scene, int nodeCount) {
    for (int i = 0; i < nodeCount; ++i) {
        host::SceneNode* node = scene.addNode((i % 10 == 0 ? "part" : "detail") + std::to_string(i));
        const float phase = static_cast<float>(i) * 0.1f;
        if (i % 3 == 0) {
            node->setDeformingMesh([phase](TimeValue time, Mesh& mesh) {
                const float t = static_cast<float>(time) / 160.0f;
                mesh = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 2.0f, 8.0f, 8, 4, [t, phase](const Point3& p) {
                    return Point3(p.x + std::sin(t * 0.1f + phase) * p.z * 0.1f, p.y, p.z);
                });
            });
        } else {
            node->setMesh(host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 1.0f, 1.0f)));
        }
        node->setTransformTrack([phase, i](TimeValue time) {
            const int row = i / 20;  // twenty nodes a row
            Matrix3 tm = RotateZMatrix(static_cast<float>(time) * 0.0005f + phase);
            tm.Translate(Point3(static_cast<float>(i % 20) * 3.0f, static_cast<float>(row) * 3.0f, 0.0f));
            return tm;
        });
    }
    for (const char* name : {"tag_torso", "tag_head", "tag_weapon"}) {
        host::SceneNode* tag = scene.addNode(name);
        tag->setMesh(host::makeTagMarker());
        tag->setTransformTrack(
            [](TimeValue time) { return TransMatrix(Point3(0.0f, 0.0f, static_cast<float>(time) * 0.01f)); });
    }
}

void exportLargeScene(benchmark::State& state, bool onlyParts) {
    bench::attachExporter();
    SetFrameRate(30);
    const int nodes = static_cast<int>(state.range(0));
    host::Scene scene;
    buildLargeScene(scene, nodes);
    host::HostInterface hostInterface;
    const std::string path = bench::scratchFolder() + "/nodes.md3";
    for (auto _ : state) {
        exportOptions = ExportOptions();
        exportOptions.ticksPerFrame = GetTicksPerFrame();
        exportOptions.endFrame = kFrames - 1;
        if (onlyParts) {
            exportOptions.useNamePrefixes = true;
            exportOptions.namePrefixes = {"part"};
        }
        Md3FileWriter writer;
        if (writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, TRUE, 0) != 1) {
            state.SkipWithError("export failed");
        }
    }
    std::remove(path.c_str());
    state.counters["per_node_frame"] =
        benchmark::Counter(static_cast<double>(nodes) * kFrames,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ExportEveryNode(benchmark::State& state) { exportLargeScene(state, false); }
void BM_ExportNamedNodes(benchmark::State& state) { exportLargeScene(state, true); }

BENCHMARK(BM_ExportEveryNode)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Repetitions(3)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportNamedNodes)->Arg(300)->Unit(benchmark::kMillisecond);

// The export alone, in process, of the large generated scene loaded once: what the export
// command spends beyond loading the scene and reading the file back.
void BM_ExportSceneInProcess(benchmark::State& state) {
    bench::attachExporter();
    const int frames = static_cast<int>(state.range(0));
    host::Scene scene;
    const std::string scenePath =
        bench::writeExportScene(bench::scratchFolder(), "in_process_scene", bench::ExportSceneShape());
    const host::SceneLoadResult loaded = host::loadSceneFile(scenePath, host::SceneLoadOptions(), scene);
    if (!loaded.ok) {
        state.SkipWithError(loaded.error.c_str());
        return;
    }
    host::HostInterface hostInterface;
    const std::string path = bench::scratchFolder() + "/in_process.md3";
    for (auto _ : state) {
        exportOptions = ExportOptions();
        exportOptions.ticksPerFrame = GetTicksPerFrame();
        exportOptions.endFrame = frames - 1;
        Md3FileWriter writer;
        if (writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, TRUE, 0) != 1) {
            state.SkipWithError("export failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bench::fileSize(path)));
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportSceneInProcess)
    ->Arg(400)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);

}  // namespace
