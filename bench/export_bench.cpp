// Whole exports of large scenes: hundreds of nodes over hundreds of frames, every node a surface
// or only a few selected by name, written to a file.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include <export_options.h>
#include <md3_file_writer.h>
#include <mesh_builders.h>
#include <plugin_module.h>
#include <scene.h>

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
            Matrix3 tm = RotateZMatrix(static_cast<float>(time) * 0.0005f + phase);
            tm.Translate(Point3(static_cast<float>(i % 20) * 3.0f, static_cast<float>(i / 20) * 3.0f, 0.0f));
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
    DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
    SetFrameRate(30);
    host::Scene scene;
    buildLargeScene(scene, static_cast<int>(state.range(0)));
    host::HostInterface hostInterface;
    char path[] = "/tmp/qmp-bench-XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    for (auto _ : state) {
        exportOptions = ExportOptions();
        exportOptions.ticksPerFrame = GetTicksPerFrame();
        exportOptions.endFrame = kFrames - 1;
        if (onlyParts) {
            exportOptions.useNamePrefixes = true;
            exportOptions.namePrefixes = {"part"};
        }
        Md3FileWriter writer;
        if (writer.writeFile(path, scene.exportContext(), &hostInterface, TRUE, 0) != 1) {
            state.SkipWithError("export failed");
        }
    }
    std::remove(path);
    state.counters["frames"] = kFrames;
}

void BM_ExportEveryNode(benchmark::State& state) { exportLargeScene(state, false); }
void BM_ExportNamedNodes(benchmark::State& state) { exportLargeScene(state, true); }

BENCHMARK(BM_ExportEveryNode)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportNamedNodes)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
