// Writes the benchmarks' scene files into a folder, so that an export or a load can be timed by
// hand: make_bench_scenes FOLDER
#include <cstdio>

#include "bench_scenes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_bench_scenes FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    std::printf("%s\n", bench::writeExportScene(folder, "export_scene", bench::ExportSceneShape()).c_str());
    std::printf("%s\n", bench::writeAnimatedNodesScene(folder, "nodes_one_animation", 200, false).c_str());
    std::printf("%s\n", bench::writeAnimatedNodesScene(folder, "nodes_animation_each", 200, true).c_str());
    return 0;
}
