// Small glTF documents built in a test: nodes, meshes, skins, animations and textured materials
// over one buffer of little-endian numbers, written as a .gltf with the buffer inline (a data: URI)
// or beside it, or as a .glb.
#ifndef TESTS_SCENEFILE_GLTF_BUILDER_H
#define TESTS_SCENEFILE_GLTF_BUILDER_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace scenetest {

class GltfBuilder {
public:
    using Json = nlohmann::json;

    // Adds a node under a parent (a node of the scene when parent is -1); answers its index.
    int node(Json description, int parent = -1) {
        const int index = static_cast<int>(nodes_.size());
        nodes_.push_back(std::move(description));
        if (parent < 0) {
            sceneNodes_.push_back(index);
        } else {
            nodes_[static_cast<size_t>(parent)]["children"].push_back(index);
        }
        return index;
    }

    // An accessor of 32-bit floats; type is "SCALAR", "VEC3", "VEC4" or "MAT4".
    int floats(const std::vector<float>& values, const char* type) {
        std::vector<char> bytes(values.size() * sizeof(float));
        for (size_t i = 0; i < values.size(); ++i) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &values[i], sizeof bits);
            for (int b = 0; b < 4; ++b) {
                bytes[i * 4 + static_cast<size_t>(b)] = static_cast<char>((bits >> (8 * b)) & 0xFF);
            }
        }
        return accessor(bytes, 5126, values.size() / components(type), type);
    }

    // An accessor of unsigned bytes (joint indices).
    int unsignedBytes(const std::vector<std::uint8_t>& values, const char* type) {
        return accessor(std::vector<char>(values.begin(), values.end()), 5121, values.size() / components(type), type);
    }

    // A mesh of unindexed triangles (three positions each), with morph targets of the same size.
    int mesh(const std::vector<float>& positions, const std::vector<std::vector<float>>& targets = {}) {
        Json primitive = {{"attributes", {{"POSITION", floats(positions, "VEC3")}}}};
        Json meshJson = {{"primitives", Json::array()}};
        for (const std::vector<float>& target : targets) {
            primitive["targets"].push_back({{"POSITION", floats(target, "VEC3")}});
            meshJson["weights"].push_back(0.0);
        }
        meshJson["primitives"].push_back(primitive);
        meshes_.push_back(meshJson);
        return static_cast<int>(meshes_.size()) - 1;
    }

    // Every vertex of the mesh bound to one joint node; its inverse bind matrix is the identity,
    // stated or (stateInverseBinds false) left to the default.
    void skinToOneJoint(int meshIndex, size_t vertexCount, int joint, bool stateInverseBinds = true) {
        Json& primitive = meshes_[static_cast<size_t>(meshIndex)]["primitives"][0];
        std::vector<std::uint8_t> joints(vertexCount * 4, 0);
        std::vector<float> weights;
        for (size_t v = 0; v < vertexCount; ++v) {
            weights.insert(weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
        }
        primitive["attributes"]["JOINTS_0"] = unsignedBytes(joints, "VEC4");
        primitive["attributes"]["WEIGHTS_0"] = floats(weights, "VEC4");
        skins_.push_back({{"joints", {joint}}});
        if (stateInverseBinds) {
            skins_.back()["inverseBindMatrices"] = floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "MAT4");
        }
    }

    // An image: its bytes in the buffer (the binary chunk of a .glb) when inBuffer, else inline as
    // a data: URI; an empty name leaves it unnamed. Answers its index.
    int image(const std::vector<char>& bytes, const std::string& name, const std::string& mimeType, bool inBuffer) {
        Json description = {{"mimeType", mimeType}};
        if (!name.empty()) {
            description["name"] = name;
        }
        if (inBuffer) {
            while (buffer_.size() % 4 != 0) {
                buffer_.push_back('\0');
            }
            views_.push_back({{"buffer", 0}, {"byteOffset", buffer_.size()}, {"byteLength", bytes.size()}});
            buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
            description["bufferView"] = views_.size() - 1;
        } else {
            description["uri"] = "data:" + mimeType + ";base64," + base64(bytes);
        }
        images_.push_back(description);
        return static_cast<int>(images_.size()) - 1;
    }

    // A material whose base colour is an image (through a texture of its own); an empty name
    // leaves it unnamed.
    int material(const std::string& name, int imageIndex) {
        textures_.push_back({{"source", imageIndex}});
        Json description = {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", textures_.size() - 1}}}}}};
        if (!name.empty()) {
            description["name"] = name;
        }
        materials_.push_back(description);
        return static_cast<int>(materials_.size()) - 1;
    }

    // Gives a mesh's primitive a material and texture coordinates (two per vertex).
    void useMaterial(int meshIndex, int materialIndex, const std::vector<float>& uvs) {
        Json& primitive = meshes_[static_cast<size_t>(meshIndex)]["primitives"][0];
        primitive["material"] = materialIndex;
        primitive["attributes"]["TEXCOORD_0"] = floats(uvs, "VEC2");
    }

    // A channel of an animation: key times in seconds and the values, as many per key as the
    // path needs (3 for translation and scale, 4 for rotation, one per target for weights).
    void channel(int nodeIndex, const std::string& path, const std::vector<float>& times,
                 const std::vector<float>& values, size_t animation = 0, const std::string& interpolation = "LINEAR") {
        while (animations_.size() <= animation) {
            animations_.push_back({{"samplers", Json::array()}, {"channels", Json::array()}});
        }
        Json& target = animations_[animation];
        const char* type = path == "rotation" ? "VEC4" : path == "weights" ? "SCALAR" : "VEC3";
        const int input = floats(times, "SCALAR");
        const int output = floats(values, type);
        target["channels"].push_back(
            {{"sampler", target["samplers"].size()}, {"target", {{"node", nodeIndex}, {"path", path}}}});
        target["samplers"].push_back({{"input", input}, {"output", output}, {"interpolation", interpolation}});
    }

    // Names an animation made by channel().
    void nameAnimation(size_t animation, const std::string& name) { animations_.at(animation)["name"] = name; }

    // The document; its buffer is bufferUri, or inline when that is empty.
    Json document(const std::string& bufferUri = "") const {
        Json result = {{"asset", {{"version", "2.0"}}},
                       {"scene", 0},
                       {"scenes", {{{"nodes", sceneNodes_}}}},
                       {"nodes", nodes_},
                       {"bufferViews", views_},
                       {"accessors", accessors_}};
        result["buffers"] = {
            {{"byteLength", buffer_.size()},
             {"uri", bufferUri.empty() ? "data:application/octet-stream;base64," + base64(buffer_) : bufferUri}}};
        if (!meshes_.empty()) {
            result["meshes"] = meshes_;
        }
        if (!skins_.empty()) {
            result["skins"] = skins_;
        }
        if (!animations_.empty()) {
            result["animations"] = animations_;
        }
        if (!images_.empty()) {
            result["images"] = images_;
            result["textures"] = textures_;
            result["materials"] = materials_;
        }
        return result;
    }

    // Writes the document with its buffer inline; answers the path.
    std::string write(const std::filesystem::path& path) const {
        std::ofstream(path) << document().dump();
        return path.string();
    }

    // Writes the document as a GLB: the JSON chunk, then the buffer as the binary chunk.
    std::string writeGlb(const std::filesystem::path& path) const {
        Json json = document();
        json["buffers"] = {{{"byteLength", buffer_.size()}}};
        std::string text = json.dump();
        while (text.size() % 4 != 0) {
            text += ' ';
        }
        std::vector<char> binary = buffer_;
        while (binary.size() % 4 != 0) {
            binary.push_back('\0');
        }
        std::string glb;
        const auto put32 = [&glb](std::uint32_t value) {
            for (int b = 0; b < 4; ++b) {
                glb += static_cast<char>((value >> (8 * b)) & 0xFF);
            }
        };
        glb += "glTF";
        put32(2);
        put32(static_cast<std::uint32_t>(12 + 8 + text.size() + 8 + binary.size()));
        put32(static_cast<std::uint32_t>(text.size()));
        glb += "JSON";
        glb += text;
        put32(static_cast<std::uint32_t>(binary.size()));
        glb += std::string("BIN\0", 4);
        glb.append(binary.begin(), binary.end());
        std::ofstream(path, std::ios::binary) << glb;
        return path.string();
    }

    const std::vector<char>& buffer() const { return buffer_; }

private:
    static size_t components(const std::string& type) {
        return type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : type == "VEC4" ? 4 : 16;
    }

    int accessor(const std::vector<char>& bytes, int componentType, size_t count, const char* type) {
        while (buffer_.size() % 4 != 0) {
            buffer_.push_back('\0');
        }
        views_.push_back({{"buffer", 0}, {"byteOffset", buffer_.size()}, {"byteLength", bytes.size()}});
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        accessors_.push_back(
            {{"bufferView", views_.size() - 1}, {"componentType", componentType}, {"count", count}, {"type", type}});
        return static_cast<int>(accessors_.size()) - 1;
    }

    static std::string base64(const std::vector<char>& bytes) {
        static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (size_t i = 0; i < bytes.size(); i += 3) {
            std::uint32_t group = 0;
            const size_t available = std::min<size_t>(3, bytes.size() - i);
            for (size_t b = 0; b < 3; ++b) {
                group = group << 8 | (b < available ? static_cast<unsigned char>(bytes[i + b]) : 0u);
            }
            for (size_t d = 0; d < 4; ++d) {
                out += d <= available ? kDigits[(group >> (18 - 6 * d)) & 0x3F] : '=';
            }
        }
        return out;
    }

    std::vector<Json> nodes_;
    std::vector<int> sceneNodes_;
    std::vector<Json> meshes_;
    std::vector<Json> skins_;
    std::vector<Json> animations_;
    std::vector<Json> views_;
    std::vector<Json> accessors_;
    std::vector<Json> images_;
    std::vector<Json> textures_;
    std::vector<Json> materials_;
    std::vector<char> buffer_;
};

}  // namespace scenetest

#endif
