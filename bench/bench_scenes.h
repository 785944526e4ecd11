// The scene files the benchmarks work on, generated so that anyone can make them again
// (build/bin/make_bench_scenes FOLDER writes them all).
#ifndef BENCH_BENCH_SCENES_H
#define BENCH_BENCH_SCENES_H

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The export scene: `meshes` grid meshes of `vertices` vertices each (no texture seams, so every
// mesh vertex is one MD3 vertex), each on its own node moved by linear keys every few frames,
// every fourth mesh skinned to two joints of its own; tag_torso and tag_weapon move as well.
// Keys cover `frames` frames at 30 frames per second. Written as NAME.gltf with NAME.bin beside
// it in the folder; answers the .gltf path.
struct ExportSceneShape {
    int meshes = 50;
    int vertices = 1000;
    int frames = 400;
};
std::string writeExportScene(const std::string& folder, const std::string& name, const ExportSceneShape& shape);

// A scene of `nodes` small animated boxes (two keyed channels each), written with one animation
// for all of them, or with one animation per node as Blender writes glTF.
std::string writeAnimatedNodesScene(const std::string& folder, const std::string& name, int nodes,
                                    bool animationPerNode);

}  // namespace bench

#endif
