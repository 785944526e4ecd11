// Loading, evaluating and converting a large animated scene file: ~300 nodes over 200 frames,
// with a skinned mesh, a morphing mesh, rigid animated parts and tags. And loading files shaped to
// be costly: thousands of nodes of one name, a chain thousands deep, a hundred animations beside
// a million-element extras array.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "scene_file.h"

namespace {

constexpr int kFrames = 200;
constexpr int kFrameRate = 30;
constexpr int kBones = 60;
constexpr int kBonesPerLimb = 6;
constexpr int kParts = 200;
constexpr int kTags = 30;
constexpr int kSkinColumns = 50;
constexpr int kSkinRows = 40;
constexpr int kMorphVertices = 500;

// Writes the benchmark scene as a .gltf with its buffer in a .bin beside it.
class BenchSceneWriter {
public:
    std::string write(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        build();
        const std::filesystem::path bin = folder / "bench_scene.bin";
        std::ofstream(bin, std::ios::binary).write(blob_.data(), static_cast<std::streamsize>(blob_.size()));
        const std::filesystem::path gltf = folder / "bench_scene.gltf";
        std::ofstream(gltf) << document();
        return gltf.string();
    }

private:
    int addFloats(const std::vector<float>& values, int components, const char* type) {
        while (blob_.size() % 4 != 0) {
            blob_.push_back('\0');
        }
        const size_t offset = blob_.size();
        blob_.resize(offset + values.size() * sizeof(float));
        std::memcpy(blob_.data() + offset, values.data(), values.size() * sizeof(float));
        views_ += std::string(views_.empty() ? "" : ",") + "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                  ",\"byteLength\":" + std::to_string(values.size() * sizeof(float)) + "}";
        std::string accessor =
            "{\"bufferView\":" + std::to_string(viewCount_++) +
            ",\"componentType\":5126,\"count\":" + std::to_string(values.size() / static_cast<size_t>(components)) +
            ",\"type\":\"" + type + "\"";
        if (components == 3 && std::string(type) == "VEC3") {
            accessor += boundsOf(values);
        }
        accessors_ += std::string(accessors_.empty() ? "" : ",") + accessor + "}";
        return accessorCount_++;
    }

    int addIndices(const std::vector<std::uint16_t>& values, const char* componentType, int componentSize,
                   const char* type, int components) {
        while (blob_.size() % 4 != 0) {
            blob_.push_back('\0');
        }
        const size_t offset = blob_.size();
        blob_.resize(offset + values.size() * static_cast<size_t>(componentSize));
        for (size_t i = 0; i < values.size(); ++i) {
            for (int b = 0; b < componentSize; ++b) {
                blob_[offset + i * static_cast<size_t>(componentSize) + static_cast<size_t>(b)] =
                    static_cast<char>((values[i] >> (8 * b)) & 0xFF);
            }
        }
        views_ += ",{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                  ",\"byteLength\":" + std::to_string(values.size() * static_cast<size_t>(componentSize)) + "}";
        accessors_ += ",{\"bufferView\":" + std::to_string(viewCount_++) + ",\"componentType\":" + componentType +
                      ",\"count\":" + std::to_string(values.size() / static_cast<size_t>(components)) + ",\"type\":\"" +
                      type + "\"}";
        return accessorCount_++;
    }

    static std::string boundsOf(const std::vector<float>& values) {
        float lo[3] = {1e30f, 1e30f, 1e30f};
        float hi[3] = {-1e30f, -1e30f, -1e30f};
        for (size_t i = 0; i < values.size(); ++i) {
            lo[i % 3] = std::min(lo[i % 3], values[i]);
            hi[i % 3] = std::max(hi[i % 3], values[i]);
        }
        return ",\"min\":[" + std::to_string(lo[0]) + "," + std::to_string(lo[1]) + "," + std::to_string(lo[2]) +
               "],\"max\":[" + std::to_string(hi[0]) + "," + std::to_string(hi[1]) + "," + std::to_string(hi[2]) + "]";
    }

    void addNode(const std::string& json) {
        nodes_ += std::string(nodes_.empty() ? "" : ",") + json;
        ++nodeCount_;
    }

    // A turn about one axis and a bob along Y, one key per frame.
    void animate(int node, float phase) {
        std::vector<float> rotations;
        std::vector<float> translations;
        for (int f = 0; f < kFrames; ++f) {
            const float angle = 0.5f * std::sin(0.1f * static_cast<float>(f) + phase);
            rotations.insert(rotations.end(), {0.0f, 0.0f, std::sin(angle / 2), std::cos(angle / 2)});
            translations.insert(translations.end(),
                                {0.0f, 0.3f + 0.05f * std::sin(0.2f * static_cast<float>(f) + phase), 0.0f});
        }
        addChannel(node, "rotation", addFloats(rotations, 4, "VEC4"));
        addChannel(node, "translation", addFloats(translations, 3, "VEC3"));
    }

    void addChannel(int node, const char* path, int output) {
        const int sampler = samplerCount_++;
        samplers_ += std::string(samplers_.empty() ? "" : ",") + "{\"input\":" + std::to_string(times_) +
                     ",\"output\":" + std::to_string(output) + "}";
        channels_ += std::string(channels_.empty() ? "" : ",") + "{\"sampler\":" + std::to_string(sampler) +
                     ",\"target\":{\"node\":" + std::to_string(node) + ",\"path\":\"" + path + "\"}}";
    }

    void build() {
        std::vector<float> times;
        for (int f = 0; f < kFrames; ++f) {
            times.push_back(static_cast<float>(f) / kFrameRate);
        }
        times_ = addFloats(times, 1, "SCALAR");

        // Node numbering: 0 root, 1..kBones bones, then the skin, parts, tags and the morphing face.
        const int firstBone = 1;
        const int skinNode = firstBone + kBones;
        const int firstPart = skinNode + 1;
        const int firstTag = firstPart + kParts;
        const int faceNode = firstTag + kTags;

        std::string rootChildren =
            std::to_string(firstBone) + "," + std::to_string(skinNode) + "," + std::to_string(faceNode);
        addNode("{\"name\":\"root\",\"children\":[" + rootChildren + "]}");
        for (int b = 0; b < kBones; ++b) {
            std::string children;
            auto addChild = [&children](int child) {
                children += (children.empty() ? "" : ",") + std::to_string(child);
            };
            for (int c = b + 1; c < kBones; ++c) {
                const int parent = (c - 1) % kBonesPerLimb == 0 ? 0 : c - 1;
                if (parent == b) {
                    addChild(firstBone + c);
                }
            }
            for (int p = 0; p < kParts; ++p) {
                if (p % kBones == b) {
                    addChild(firstPart + p);
                }
            }
            for (int t = 0; t < kTags; ++t) {
                if ((t * 2) % kBones == b) {
                    addChild(firstTag + t);
                }
            }
            addNode("{\"name\":\"bone_" + std::to_string(b) + "\",\"translation\":[0,0.3,0]" +
                    (children.empty() ? "" : ",\"children\":[" + children + "]") + "}");
        }
        addNode("{\"name\":\"skin\",\"mesh\":0,\"skin\":0}");
        for (int p = 0; p < kParts; ++p) {
            addNode("{\"name\":\"part_" + std::to_string(p) + "\",\"mesh\":1,\"translation\":[0.2,0,0]}");
        }
        for (int t = 0; t < kTags; ++t) {
            addNode("{\"name\":\"tag_" + std::to_string(t) + "\",\"translation\":[0,0.1,0]}");
        }
        addNode("{\"name\":\"face\",\"mesh\":2}");

        meshes_ = skinMesh() + "," + boxMesh() + "," + morphMesh();

        std::vector<float> inverseBinds;
        for (int b = 0; b < kBones; ++b) {
            inverseBinds.insert(inverseBinds.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0,
                                                     -0.3f * static_cast<float>(b % kBonesPerLimb), 0, 1});
        }
        std::string joints;
        for (int b = 0; b < kBones; ++b) {
            joints += (b == 0 ? "" : ",") + std::to_string(firstBone + b);
        }
        skins_ = "{\"joints\":[" + joints +
                 "],\"inverseBindMatrices\":" + std::to_string(addFloats(inverseBinds, 16, "MAT4")) + "}";

        for (int b = 0; b < kBones; ++b) {
            animate(firstBone + b, 0.1f * static_cast<float>(b));
        }
        for (int p = 0; p < kParts; ++p) {
            animate(firstPart + p, 0.05f * static_cast<float>(p));
        }
        for (int t = 0; t < kTags; ++t) {
            animate(firstTag + t, 0.3f * static_cast<float>(t));
        }
        std::vector<float> weights;
        for (int f = 0; f < kFrames; ++f) {
            weights.push_back(0.5f + 0.5f * std::sin(0.1f * static_cast<float>(f)));
            weights.push_back(0.5f + 0.5f * std::cos(0.1f * static_cast<float>(f)));
        }
        addChannel(faceNode, "weights", addFloats(weights, 1, "SCALAR"));
    }

    std::string skinMesh() {
        std::vector<float> positions;
        std::vector<std::uint16_t> joints;
        std::vector<float> weights;
        for (int r = 0; r < kSkinRows; ++r) {
            for (int c = 0; c < kSkinColumns; ++c) {
                positions.insert(positions.end(), {0.05f * static_cast<float>(c), 0.05f * static_cast<float>(r), 0.0f});
                const int v = r * kSkinColumns + c;
                joints.insert(joints.end(), {static_cast<std::uint16_t>(v % kBones),
                                             static_cast<std::uint16_t>((v + 7) % kBones), 0, 0});
                weights.insert(weights.end(), {0.7f, 0.3f, 0.0f, 0.0f});
            }
        }
        std::vector<std::uint16_t> indices;
        for (int r = 0; r + 1 < kSkinRows; ++r) {
            for (int c = 0; c + 1 < kSkinColumns; ++c) {
                const auto v = static_cast<std::uint16_t>(r * kSkinColumns + c);
                const auto right = static_cast<std::uint16_t>(v + 1);
                const auto up = static_cast<std::uint16_t>(v + kSkinColumns);
                const auto diagonal = static_cast<std::uint16_t>(up + 1);
                indices.insert(indices.end(), {v, right, diagonal, v, diagonal, up});
            }
        }
        const int position = addFloats(positions, 3, "VEC3");
        const int joint = addIndices(joints, "5123", 2, "VEC4", 4);
        const int weight = addFloats(weights, 4, "VEC4");
        const int index = addIndices(indices, "5123", 2, "SCALAR", 1);
        return "{\"name\":\"skin_mesh\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) +
               ",\"JOINTS_0\":" + std::to_string(joint) + ",\"WEIGHTS_0\":" + std::to_string(weight) +
               "},\"indices\":" + std::to_string(index) + "}]}";
    }

    std::string boxMesh() {
        const std::vector<float> positions = {0, 0, 0,    0.1f, 0, 0,    0.1f, 0.1f, 0,    0, 0.1f, 0,
                                              0, 0, 0.1f, 0.1f, 0, 0.1f, 0.1f, 0.1f, 0.1f, 0, 0.1f, 0.1f};
        const std::vector<std::uint16_t> indices = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                                    1, 2, 6, 1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7};
        const int position = addFloats(positions, 3, "VEC3");
        const int index = addIndices(indices, "5123", 2, "SCALAR", 1);
        return "{\"name\":\"box\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) +
               "},\"indices\":" + std::to_string(index) + "}]}";
    }

    std::string morphMesh() {
        std::vector<float> positions;
        std::vector<float> lift;
        std::vector<float> spread;
        for (int v = 0; v < kMorphVertices; ++v) {
            positions.insert(positions.end(), {0.01f * static_cast<float>(v), static_cast<float>(v % 2), 0.0f});
            lift.insert(lift.end(), {0.0f, 0.0f, 0.2f});
            spread.insert(spread.end(), {0.1f, 0.0f, 0.0f});
        }
        std::vector<std::uint16_t> indices;
        for (int v = 0; v + 2 < kMorphVertices; ++v) {
            indices.insert(indices.end(), {static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(v + 1),
                                           static_cast<std::uint16_t>(v + 2)});
        }
        const int position = addFloats(positions, 3, "VEC3");
        const int liftTarget = addFloats(lift, 3, "VEC3");
        const int spreadTarget = addFloats(spread, 3, "VEC3");
        const int index = addIndices(indices, "5123", 2, "SCALAR", 1);
        return "{\"name\":\"face_mesh\",\"weights\":[0,0],\"primitives\":[{\"attributes\":{\"POSITION\":" +
               std::to_string(position) + "},\"indices\":" + std::to_string(index) +
               ",\"targets\":[{\"POSITION\":" + std::to_string(liftTarget) +
               "},{\"POSITION\":" + std::to_string(spreadTarget) + "}]}]}";
    }

    std::string document() const {
        return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodes_ +
               "],\"meshes\":[" + meshes_ + "],\"skins\":[" + skins_ +
               "],\"animations\":[{\"name\":\"bench\",\"samplers\":[" + samplers_ + "],\"channels\":[" + channels_ +
               "]}],\"buffers\":[{\"uri\":\"bench_scene.bin\",\"byteLength\":" + std::to_string(blob_.size()) +
               "}],\"bufferViews\":[" + views_ + "],\"accessors\":[" + accessors_ + "]}";
    }

    std::vector<char> blob_;
    std::string views_, accessors_, nodes_, meshes_, skins_, samplers_, channels_;
    int viewCount_ = 0, accessorCount_ = 0, samplerCount_ = 0, nodeCount_ = 0, times_ = 0;
};

const std::string& benchScenePath() {
    static const std::string path =
        BenchSceneWriter().write(std::filesystem::temp_directory_path() / "qmp_bench_scenefile");
    return path;
}

void loadOrSkip(benchmark::State& state, host::Scene& scene, host::SceneLoadResult& result) {
    result = host::loadSceneFile(benchScenePath(), {}, scene);
    if (!result.ok) {
        state.SkipWithError(result.error.c_str());
    }
}

void BM_LoadScene(benchmark::State& state) {
    for (auto _ : state) {
        host::Scene scene;
        host::SceneLoadResult result;
        loadOrSkip(state, scene, result);
        benchmark::DoNotOptimize(result.nodeCount);
    }
}
BENCHMARK(BM_LoadScene)->Unit(benchmark::kMillisecond);

// What an exporter does to pick its frames: every node's transform and evaluated object at every
// frame; no mesh is built.
void BM_EvaluateAllFrames(benchmark::State& state) {
    host::Scene scene;
    host::SceneLoadResult result;
    loadOrSkip(state, scene, result);
    const std::vector<host::SceneNode*> nodes = scene.nodes();
    for (auto _ : state) {
        for (int frame = 0; frame < kFrames; ++frame) {
            const TimeValue time = host::frameToTicks(frame);
            for (host::SceneNode* node : nodes) {
                benchmark::DoNotOptimize(node->GetObjectTM(time));
                benchmark::DoNotOptimize(node->EvalWorldState(time).obj);
            }
        }
    }
    state.counters["nodes"] = static_cast<double>(nodes.size());
    state.SetItemsProcessed(state.iterations() * kFrames * static_cast<int64_t>(nodes.size()));
}
BENCHMARK(BM_EvaluateAllFrames)->Unit(benchmark::kMillisecond);

// Evaluation and conversion of every mesh node at every frame, as an export of all frames does.
void BM_EvaluateAndConvertAllFrames(benchmark::State& state) {
    host::Scene scene;
    host::SceneLoadResult result;
    loadOrSkip(state, scene, result);
    const std::vector<host::SceneNode*> nodes = scene.nodes();
    int64_t vertices = 0;
    for (auto _ : state) {
        for (int frame = 0; frame < kFrames; ++frame) {
            const TimeValue time = host::frameToTicks(frame);
            for (host::SceneNode* node : nodes) {
                benchmark::DoNotOptimize(node->GetObjectTM(time));
                Object* object = node->EvalWorldState(time).obj;
                if (object == nullptr || !object->CanConvertToType(triObjectClassID)) {
                    continue;
                }
                Object* converted = object->ConvertToType(time, triObjectClassID);
                vertices += static_cast<TriObject*>(converted)->GetMesh().getNumVerts();
                if (converted != object) {
                    converted->DeleteThis();
                }
            }
        }
    }
    state.counters["vertices/frame"] =
        benchmark::Counter(static_cast<double>(vertices) / (static_cast<double>(state.iterations()) * kFrames));
    state.SetItemsProcessed(state.iterations() * kFrames * static_cast<int64_t>(nodes.size()));
}
BENCHMARK(BM_EvaluateAndConvertAllFrames)->Unit(benchmark::kMillisecond);

// Files whose shape, not size, makes them costly. Each is written once, as its name says.
namespace costly {

constexpr int kEqualNames = 20000;
constexpr int kChainDepth = 12000;
constexpr int kAnimations = 100;
constexpr int kExtras = 1000000;

std::filesystem::path folder() { return std::filesystem::temp_directory_path() / "qmp_bench_scenefile"; }

std::string writeDocument(const std::string& name, const std::string& json) {
    std::filesystem::create_directories(folder());
    const std::filesystem::path path = folder() / name;
    std::ofstream(path) << json;
    return path.string();
}

const char kDocumentStart[] = "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,";

// 20000 siblings all named "n" under one node.
const std::string& equalNames() {
    static const std::string path = [] {
        std::string nodes = "{\"name\":\"crowd\",\"children\":[";
        for (int i = 1; i <= kEqualNames; ++i) {
            nodes += (i == 1 ? "" : ",") + std::to_string(i);
        }
        nodes += "]}";
        for (int i = 0; i < kEqualNames; ++i) {
            nodes += ",{\"name\":\"n\"}";
        }
        return writeDocument("equal_names.gltf",
                             std::string(kDocumentStart) + "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodes + "]}");
    }();
    return path;
}

// Nodes nested 12000 deep, as deep as assimp reads a glTF.
const std::string& deepChain() {
    static const std::string path = [] {
        std::string nodes;
        for (int i = 0; i < kChainDepth; ++i) {
            nodes += std::string(i == 0 ? "" : ",") + "{\"name\":\"link_" + std::to_string(i) + "\"" +
                     (i + 1 < kChainDepth ? ",\"children\":[" + std::to_string(i + 1) + "]" : "") + "}";
        }
        return writeDocument("deep_chain.gltf",
                             std::string(kDocumentStart) + "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodes + "]}");
    }();
    return path;
}

// 100 animations, each moving its own node (so all play together), and an extras array of a
// million numbers: the glTF document is read once for all of them, and the extras not kept.
const std::string& manyAnimationsLargeExtras() {
    static const std::string path = [] {
        // Two key times (0 and 1 s) and two translations, little-endian floats.
        const std::vector<float> keys = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
        std::vector<char> bytes(keys.size() * sizeof(float));
        std::memcpy(bytes.data(), keys.data(), bytes.size());
        std::filesystem::create_directories(folder());
        std::ofstream(folder() / "many_animations.bin", std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::string nodes;
        std::string sceneNodes;
        std::string animations;
        for (int i = 0; i < kAnimations; ++i) {
            const std::string separator = i == 0 ? "" : ",";
            nodes += separator + "{\"name\":\"tag_" + std::to_string(i) + "\"}";
            sceneNodes += separator + std::to_string(i);
            animations += separator + "{\"name\":\"a" + std::to_string(i) +
                          "\",\"samplers\":[{\"input\":0,\"output\":1}],\"channels\":[{\"sampler\":0,"
                          "\"target\":{\"node\":" +
                          std::to_string(i) + ",\"path\":\"translation\"}}]}";
        }
        std::string extras = "[0";
        for (int i = 1; i < kExtras; ++i) {
            extras += "," + std::to_string(i);
        }
        extras += "]";
        return writeDocument(
            "many_animations.gltf",
            std::string(kDocumentStart) + "\"scenes\":[{\"nodes\":[" + sceneNodes + "]}],\"nodes\":[" + nodes +
                "],\"animations\":[" + animations +
                "],\"buffers\":[{\"uri\":\"many_animations.bin\",\"byteLength\":32}],"
                "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":8},"
                "{\"buffer\":0,\"byteOffset\":8,\"byteLength\":24}],"
                "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":2,\"type\":\"SCALAR\","
                "\"min\":[0],\"max\":[1]},{\"bufferView\":1,\"componentType\":5126,\"count\":2,\"type\":\"VEC3\"}],"
                "\"extras\":{\"big\":" +
                extras + "}}");
    }();
    return path;
}

void loadCostly(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        host::Scene scene;
        const host::SceneLoadResult result = host::loadSceneFile(path, {}, scene);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.nodeCount);
    }
}

void BM_LoadEqualNames(benchmark::State& state) { loadCostly(state, equalNames()); }
BENCHMARK(BM_LoadEqualNames)->Unit(benchmark::kMillisecond);

void BM_LoadDeepChain(benchmark::State& state) { loadCostly(state, deepChain()); }
BENCHMARK(BM_LoadDeepChain)->Unit(benchmark::kMillisecond);

void BM_LoadManyAnimationsBesideLargeExtras(benchmark::State& state) { loadCostly(state, manyAnimationsLargeExtras()); }
BENCHMARK(BM_LoadManyAnimationsBesideLargeExtras)->Unit(benchmark::kMillisecond);

}  // namespace costly

}  // namespace

BENCHMARK_MAIN();
