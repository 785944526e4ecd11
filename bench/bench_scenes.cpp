// Benchmark scene files: a glTF document built with nlohmann::json over one binary buffer.
#include "bench_scenes.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

namespace bench {

namespace {

using nlohmann::json;

constexpr int kFrameRate = 30;
constexpr int kFramesPerKey = 4;
constexpr int kGridColumns = 40;
constexpr int kComponentFloat = 5126;
constexpr int kComponentUnsignedShort = 5123;

// A glTF document and its one buffer, written as NAME.gltf and NAME.bin.
class GltfFile {
public:
    GltfFile() {
        document_["asset"] = {{"version", "2.0"}};
        document_["scene"] = 0;
        document_["scenes"] = json::array({json::object({{"nodes", json::array()}})});
        for (const char* list : {"nodes", "meshes", "skins", "animations", "bufferViews", "accessors"}) {
            document_[list] = json::array();
        }
    }

    // Float data of `type` (SCALAR, VEC3, VEC4, MAT4); VEC3 accessors carry their bounds, as
    // glTF asks of positions.
    int floats(const std::vector<float>& values, const char* type, int components) {
        json accessor = view(values.data(), values.size() * sizeof(float));
        accessor["componentType"] = kComponentFloat;
        accessor["count"] = values.size() / static_cast<size_t>(components);
        accessor["type"] = type;
        if (components == 3) {
            std::vector<float> lo(3, 1e30f);
            std::vector<float> hi(3, -1e30f);
            for (size_t i = 0; i < values.size(); ++i) {
                lo[i % 3] = std::fmin(lo[i % 3], values[i]);
                hi[i % 3] = std::fmax(hi[i % 3], values[i]);
            }
            accessor["min"] = lo;
            accessor["max"] = hi;
        }
        return add("accessors", accessor);
    }

    int shorts(const std::vector<uint16_t>& values, const char* type, int components) {
        json accessor = view(values.data(), values.size() * sizeof(uint16_t));
        accessor["componentType"] = kComponentUnsignedShort;
        accessor["count"] = values.size() / static_cast<size_t>(components);
        accessor["type"] = type;
        return add("accessors", accessor);
    }

    int node(json value, bool top) {
        const int index = add("nodes", std::move(value));
        if (top) {
            document_["scenes"][0]["nodes"].push_back(index);
        }
        return index;
    }
    void addChild(int parent, int child) {
        document_["nodes"][static_cast<size_t>(parent)]["children"].push_back(child);
    }
    int mesh(json value) { return add("meshes", std::move(value)); }
    int skin(json value) { return add("skins", std::move(value)); }

    // A channel moving a node's property along keys at the times of `input`, linearly.
    static void channel(json& animation, int input, int output, int node, const char* path) {
        const size_t sampler = animation["samplers"].size();
        animation["samplers"].push_back({{"input", input}, {"output", output}, {"interpolation", "LINEAR"}});
        animation["channels"].push_back({{"sampler", sampler}, {"target", {{"node", node}, {"path", path}}}});
    }
    static json animation(const std::string& name) {
        return {{"name", name}, {"samplers", json::array()}, {"channels", json::array()}};
    }
    void addAnimation(json value) { add("animations", std::move(value)); }

    std::string write(const std::string& folder, const std::string& name) {
        std::filesystem::create_directories(folder);
        document_["buffers"] = json::array({{{"uri", name + ".bin"}, {"byteLength", blob_.size()}}});
        const std::filesystem::path base = std::filesystem::path(folder) / name;
        std::ofstream(base.string() + ".bin", std::ios::binary)
            .write(blob_.data(), static_cast<std::streamsize>(blob_.size()));
        std::string path = base.string() + ".gltf";
        std::ofstream(path) << document_.dump();
        return path;
    }

private:
    json view(const void* data, size_t size) {
        while (blob_.size() % 4 != 0) {
            blob_.push_back('\0');
        }
        const size_t offset = blob_.size();
        blob_.resize(offset + size);
        std::memcpy(blob_.data() + offset, data, size);
        const int index = add("bufferViews", {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
        return {{"bufferView", index}};
    }
    int add(const char* list, json value) {
        document_[list].push_back(std::move(value));
        return static_cast<int>(document_[list].size()) - 1;
    }

    json document_;
    std::vector<char> blob_;
};

// Rotation about an axis as a glTF quaternion (x, y, z, w).
void pushTurn(std::vector<float>& out, float angle, float ax, float ay, float az) {
    const float s = std::sin(angle / 2.0f);
    out.insert(out.end(), {ax * s, ay * s, az * s, std::cos(angle / 2.0f)});
}

// Key times in seconds: one key every few frames, the last at or after the last frame.
std::vector<float> keyTimes(int frames) {
    std::vector<float> times;
    for (int frame = 0;; frame += kFramesPerKey) {
        times.push_back(static_cast<float>(frame) / kFrameRate);
        if (frame >= frames - 1) {
            break;
        }
    }
    return times;
}

}  // namespace

std::string writeExportScene(const std::string& folder, const std::string& name, const ExportSceneShape& shape) {
    GltfFile file;
    const std::vector<float> times = keyTimes(shape.frames);
    const int input = file.floats(times, "SCALAR", 1);
    json animation = GltfFile::animation("move");

    const int columns = kGridColumns;
    const int rows = std::max(2, shape.vertices / columns);
    std::vector<uint16_t> indices;
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            const auto v = static_cast<uint16_t>(r * columns + c);
            const auto up = static_cast<uint16_t>(v + columns);
            indices.insert(indices.end(), {v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(up + 1), v,
                                           static_cast<uint16_t>(up + 1), up});
        }
    }
    const int indexAccessor = file.shorts(indices, "SCALAR", 1);
    std::vector<float> uvs;
    std::vector<uint16_t> joints;
    std::vector<float> weights;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            uvs.insert(uvs.end(), {static_cast<float>(c) / static_cast<float>(columns - 1),
                                   static_cast<float>(r) / static_cast<float>(rows - 1)});
            joints.insert(joints.end(), {0, 1, 0, 0});
            const float w = static_cast<float>(c) / (columns - 1);
            weights.insert(weights.end(), {1.0f - w, w, 0.0f, 0.0f});
        }
    }
    const int uvAccessor = file.floats(uvs, "VEC2", 2);
    const int jointAccessor = file.shorts(joints, "VEC4", 4);
    const int weightAccessor = file.floats(weights, "VEC4", 4);
    const float width = 0.5f * static_cast<float>(columns - 1);

    for (int m = 0; m < shape.meshes; ++m) {
        const float phase = 0.37f * static_cast<float>(m);
        std::vector<float> positions;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                positions.insert(positions.end(), {0.5f * static_cast<float>(c), 0.5f * static_cast<float>(r),
                                                   2.0f * std::sin(0.3f * static_cast<float>(c) + phase)});
            }
        }
        json primitive = {{"attributes", {{"POSITION", file.floats(positions, "VEC3", 3)}, {"TEXCOORD_0", uvAccessor}}},
                          {"indices", indexAccessor}};
        const bool skinned = m % 4 == 0;
        if (skinned) {
            primitive["attributes"]["JOINTS_0"] = jointAccessor;
            primitive["attributes"]["WEIGHTS_0"] = weightAccessor;
        }
        const int mesh = file.mesh({{"name", "grid_" + std::to_string(m)}, {"primitives", json::array({primitive})}});
        const int row = m / 10;  // ten meshes a row
        const float x = 25.0f * static_cast<float>(m % 10) - 110.0f;
        const float z = 25.0f * static_cast<float>(row) - 50.0f;

        std::vector<float> translations;
        std::vector<float> rotations;
        for (size_t k = 0; k < times.size(); ++k) {
            const float t = times[k];
            translations.insert(translations.end(), {x, 2.0f * std::sin(2.0f * t + phase), z});
            pushTurn(rotations, 0.6f * std::sin(t + phase), 0.0f, 1.0f, 0.0f);
        }
        const int translationKeys = file.floats(translations, "VEC3", 3);
        const int rotationKeys = file.floats(rotations, "VEC4", 4);
        if (!skinned) {
            const int node = file.node({{"name", "part_" + std::to_string(m)}, {"mesh", mesh}}, true);
            GltfFile::channel(animation, input, translationKeys, node, "translation");
            GltfFile::channel(animation, input, rotationKeys, node, "rotation");
            continue;
        }
        // Two joints: the root placed and turned like a rigid part, the second bending the far half.
        const int root = file.node({{"name", "bone_" + std::to_string(m) + "_root"}}, true);
        const int bend =
            file.node({{"name", "bone_" + std::to_string(m) + "_bend"}, {"translation", {width / 2, 0, 0}}}, false);
        file.addChild(root, bend);
        GltfFile::channel(animation, input, translationKeys, root, "translation");
        GltfFile::channel(animation, input, rotationKeys, root, "rotation");
        std::vector<float> bends;
        for (const float t : times) {
            pushTurn(bends, 0.8f * std::sin(1.5f * t + phase), 0.0f, 0.0f, 1.0f);
        }
        GltfFile::channel(animation, input, file.floats(bends, "VEC4", 4), bend, "rotation");
        const std::vector<float> inverseBinds = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0,          0, 0, 1,  //
                                                 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -width / 2, 0, 0, 1};
        const int skin =
            file.skin({{"joints", {root, bend}}, {"inverseBindMatrices", file.floats(inverseBinds, "MAT4", 16)}});
        file.node({{"name", "skin_" + std::to_string(m)}, {"mesh", mesh}, {"skin", skin}}, true);
    }

    std::vector<float> torso;
    std::vector<float> weapon;
    for (const float t : times) {
        torso.insert(torso.end(), {0.0f, 30.0f + std::sin(3.0f * t), 0.0f});
        pushTurn(weapon, 1.2f * t, 1.0f, 0.0f, 0.0f);
    }
    const int torsoNode = file.node({{"name", "tag_torso"}}, true);
    GltfFile::channel(animation, input, file.floats(torso, "VEC3", 3), torsoNode, "translation");
    const int weaponNode = file.node({{"name", "tag_weapon"}, {"translation", {10, 35, 0}}}, true);
    GltfFile::channel(animation, input, file.floats(weapon, "VEC4", 4), weaponNode, "rotation");
    file.addAnimation(std::move(animation));
    return file.write(folder, name);
}

std::string writeAnimatedNodesScene(const std::string& folder, const std::string& name, int nodes,
                                    bool animationPerNode) {
    constexpr int kFrames = 60;
    GltfFile file;
    const std::vector<float> times = keyTimes(kFrames);
    const int input = file.floats(times, "SCALAR", 1);
    const std::vector<float> corners = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
    const std::vector<uint16_t> faces = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                         1, 2, 6, 1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7};
    const int box =
        file.mesh({{"name", "box"},
                   {"primitives", json::array({{{"attributes", {{"POSITION", file.floats(corners, "VEC3", 3)}}},
                                                {"indices", file.shorts(faces, "SCALAR", 1)}}})}});
    json shared = GltfFile::animation("all");
    for (int n = 0; n < nodes; ++n) {
        const float phase = 0.1f * static_cast<float>(n);
        const int row = n / 20;  // twenty boxes a row
        std::vector<float> translations;
        std::vector<float> rotations;
        for (const float t : times) {
            translations.insert(translations.end(), {static_cast<float>(n % 20) * 2.0f, std::sin(t + phase),
                                                     static_cast<float>(row) * 2.0f});
            pushTurn(rotations, t + phase, 0.0f, 1.0f, 0.0f);
        }
        const std::string nodeName = "box_" + std::to_string(n);
        const int node = file.node({{"name", nodeName}, {"mesh", box}}, true);
        json own = GltfFile::animation(nodeName + "_action");
        json& animation = animationPerNode ? own : shared;
        GltfFile::channel(animation, input, file.floats(translations, "VEC3", 3), node, "translation");
        GltfFile::channel(animation, input, file.floats(rotations, "VEC4", 4), node, "rotation");
        if (animationPerNode) {
            file.addAnimation(std::move(own));
        }
    }
    if (!animationPerNode) {
        file.addAnimation(std::move(shared));
    }
    return file.write(folder, name);
}

}  // namespace bench
