// glTF 2.0 of an animated model, built as a tinygltf model and written through the format's file
// stream, so that the output replaces a file only once it is complete.
#include "gltf_model_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <modelformat/output_stream.h>

namespace host::modelfile {

namespace {

// Axes rows of a 3x3 matrix acting on column vectors: m[row][column].
using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;

// Tag axes whose cosines between them stay below this are perpendicular for the file; above it,
// the nearest rotation no longer gives them back within the tags' tolerance.
constexpr double kPerpendicularCosine = 1e-4;
// Scales this close to 1 are left out of a tag's keys.
constexpr double kUnitScaleTolerance = 1e-6;

// glTF is Y-up: the host's (x, y, z) is written as (x, z, -y), as the scene saver writes it.
Point3 toYUp(const Point3& p) { return Point3(p.x, p.z, -p.y); }
Vector toYUp(const Vector& v) { return {v[0], v[2], -v[1]}; }

// A name as JSON holds it: UTF-8 text stays as it is; other bytes are read as Latin-1. Whether a
// text is UTF-8 is asked of the JSON library that writes the document, which refuses to write one
// that is not.
std::string utf8Text(const std::string& text, bool& changed) {
    try {
        (void)nlohmann::json(text).dump();
        return text;
    } catch (const nlohmann::json::type_error&) {
        changed = true;
    }
    std::string latin;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            latin += c;
        } else {
            latin += static_cast<char>(0xC0 | (byte >> 6));
            latin += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return latin;
}

double dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double determinant(const Matrix& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The inverse transpose, through the cofactors; the caller makes sure the matrix is regular.
Matrix inverseTranspose(const Matrix& m) {
    const double det = determinant(m);
    Matrix result{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int r1 = (r + 1) % 3;
            const int r2 = (r + 2) % 3;
            const int c1 = (c + 1) % 3;
            const int c2 = (c + 2) % 3;
            result[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    }
    return result;
}

// The rotation nearest a regular matrix of positive determinant (the orthogonal factor of its
// polar decomposition), by Newton's iteration R <- (R + R^-T) / 2.
Matrix nearestRotation(Matrix m) {
    for (int step = 0; step < 50; ++step) {
        const Matrix inverse = inverseTranspose(m);
        double change = 0.0;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const double next = 0.5 * (m[r][c] + inverse[r][c]);
                change = std::max(change, std::fabs(next - m[r][c]));
                m[r][c] = next;
            }
        }
        if (change < 1e-15) {
            break;
        }
    }
    return m;
}

// (x, y, z, w) of a rotation matrix.
std::array<double, 4> quaternionOf(const Matrix& m) {
    std::array<double, 4> q{};
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, 0.25 * s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2.0;
        q = {0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2.0;
        q = {(m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
    } else {
        const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2.0;
        q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s, (m[1][0] - m[0][1]) / s};
    }
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& value : q) {
        value /= length;
    }
    return q;
}

// A tag's transform in one frame as glTF's translation, rotation and scale, in the file's Y-up
// axes. Axes that are perpendicular give it exactly (a mirrored set by a negative scale along
// the first axis); others get the nearest rotation and their lengths as scale.
struct TagPose {
    Vector translation{};
    std::array<double, 4> rotation{0.0, 0.0, 0.0, 1.0};
    Vector scale{1.0, 1.0, 1.0};
    double worstCosine = 0.0;  // between two of its axes
    bool degenerate = false;   // an axis of length zero, or all in one plane
};

TagPose poseOf(const Matrix3& tag) {
    TagPose pose;
    const Point3 origin = tag.GetRow(3);
    pose.translation = toYUp(Vector{origin.x, origin.y, origin.z});
    // On column vectors the tag is A p + o, A's columns its axis rows a0, a1, a2. Seen in Y-up
    // axes (H A H^-1, H the host-to-Y-up turn) its columns are H a0, H a2 and -H a1: the host's z
    // axis is Y-up's y, and its y axis Y-up's -z.
    std::array<Vector, 3> axes;
    const int yUpColumn[3] = {0, 2, 1};
    for (int row = 0; row < 3; ++row) {
        const Point3 axis = tag.GetRow(row);
        const Vector turned = toYUp(Vector{axis.x, axis.y, axis.z});
        const double sign = row == 1 ? -1.0 : 1.0;
        axes[static_cast<size_t>(yUpColumn[row])] = {sign * turned[0], sign * turned[1], sign * turned[2]};
    }
    Matrix unit{};
    for (int c = 0; c < 3; ++c) {
        const Vector& axis = axes[static_cast<size_t>(c)];
        const double length = std::sqrt(dot(axis, axis));
        if (!(length > 0.0) || !std::isfinite(length)) {
            pose.degenerate = true;
            pose.scale[static_cast<size_t>(c)] = 0.0;
            continue;
        }
        pose.scale[static_cast<size_t>(c)] = length;
        for (int r = 0; r < 3; ++r) {
            unit[r][c] = axis[static_cast<size_t>(r)] / length;
        }
    }
    if (pose.degenerate) {
        return pose;
    }
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            const Vector u{unit[0][a], unit[1][a], unit[2][a]};
            const Vector v{unit[0][b], unit[1][b], unit[2][b]};
            pose.worstCosine = std::max(pose.worstCosine, std::fabs(dot(u, v)));
        }
    }
    double det = determinant(unit);
    if (det < 0.0) {
        pose.scale[0] = -pose.scale[0];
        for (int r = 0; r < 3; ++r) {
            unit[r][0] = -unit[r][0];
        }
        det = -det;
    }
    if (!(det > 1e-9)) {
        pose.degenerate = true;
        return pose;
    }
    pose.rotation = quaternionOf(nearestRotation(unit));
    return pose;
}

class GltfBuilder {
public:
    GltfBuilder(const AnimatedModel& model, const GltfModelOptions& options, std::vector<std::string>& warnings)
        : model_(model), options_(options), warnings_(warnings) {
        out_.asset.version = "2.0";
        out_.asset.generator = "plughost import --all-frames";
        out_.buffers.resize(1);
    }

    tinygltf::Model build() {
        std::vector<int> topNodes;
        for (const ModelTag& tag : model_.tags) {
            topNodes.push_back(addTag(tag));
        }
        for (const ModelSurface& surface : model_.surfaces) {
            topNodes.push_back(addSurface(surface));
        }
        tinygltf::Scene scene;
        scene.nodes = topNodes;
        out_.scenes.push_back(scene);
        out_.defaultScene = 0;
        // An animation needs a channel: a model whose surfaces are all empty and that has no tags
        // has nothing to key.
        if (model_.frameCount > 1 && (!tagAnimations_.empty() || !morphNodes_.empty())) {
            addAnimation(options_.animationName, 0, model_.frameCount);
            for (const FrameGroup& group : model_.frameGroups) {
                addAnimation(group.name, group.firstFrame, group.frameCount);
            }
        }
        if (renamed_) {
            warnings_.push_back("names that are not UTF-8 are written as Latin-1 characters; they come back as UTF-8");
        }
        return std::move(out_);
    }

private:
    std::string text(const std::string& name) { return utf8Text(name, renamed_); }

    int addView(const void* bytes, size_t size, int target) {
        std::vector<unsigned char>& data = out_.buffers[0].data;
        data.resize((data.size() + 3) / 4 * 4, 0);  // every accessor's data starts 4-byte aligned
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = size;
        view.target = target;
        const auto* first = static_cast<const unsigned char*>(bytes);
        data.insert(data.end(), first, first + size);
        out_.bufferViews.push_back(view);
        return static_cast<int>(out_.bufferViews.size() - 1);
    }

    // Floats grouped in `components` per element (1 SCALAR, 2 VEC2, 3 VEC3, 4 VEC4); with bounds,
    // the accessor states each component's minimum and maximum.
    int addFloats(const std::vector<float>& values, int components, int target, bool bounds) {
        static const int kTypes[] = {0, TINYGLTF_TYPE_SCALAR, TINYGLTF_TYPE_VEC2, TINYGLTF_TYPE_VEC3,
                                     TINYGLTF_TYPE_VEC4};
        tinygltf::Accessor accessor;
        accessor.bufferView = addView(values.data(), values.size() * sizeof(float), target);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.type = kTypes[components];
        accessor.count = values.size() / static_cast<size_t>(components);
        if (bounds && accessor.count > 0) {
            accessor.minValues.assign(static_cast<size_t>(components), std::numeric_limits<double>::max());
            accessor.maxValues.assign(static_cast<size_t>(components), -std::numeric_limits<double>::max());
            for (size_t i = 0; i < values.size(); ++i) {
                const size_t c = i % static_cast<size_t>(components);
                accessor.minValues[c] = std::min(accessor.minValues[c], static_cast<double>(values[i]));
                accessor.maxValues[c] = std::max(accessor.maxValues[c], static_cast<double>(values[i]));
            }
        }
        out_.accessors.push_back(accessor);
        return static_cast<int>(out_.accessors.size() - 1);
    }

    int addIndices(const std::vector<uint32_t>& indices) {
        tinygltf::Accessor accessor;
        accessor.bufferView =
            addView(indices.data(), indices.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        accessor.type = TINYGLTF_TYPE_SCALAR;
        accessor.count = indices.size();
        out_.accessors.push_back(accessor);
        return static_cast<int>(out_.accessors.size() - 1);
    }

    static void appendPoint(std::vector<float>& values, const Point3& p) {
        values.push_back(p.x);
        values.push_back(p.y);
        values.push_back(p.z);
    }

    int materialFor(const std::string& shader) {
        const auto found = materials_.find(shader);
        if (found != materials_.end()) {
            return found->second;
        }
        tinygltf::Image image;
        // The shader name, exactly as the file holds it (backslashes, no extension): the URI is not
        // percent-encoded, so that a reader taking URIs as they are written (assimp does) gets it
        // back byte for byte.
        image.uri = text(shader);
        out_.images.push_back(image);
        tinygltf::Texture texture;
        texture.source = static_cast<int>(out_.images.size() - 1);
        out_.textures.push_back(texture);
        tinygltf::Material material;
        material.name = text(shader);
        material.pbrMetallicRoughness.baseColorTexture.index = static_cast<int>(out_.textures.size() - 1);
        material.pbrMetallicRoughness.metallicFactor = 0.0;  // the game's surfaces are not metal
        out_.materials.push_back(material);
        const auto index = static_cast<int>(out_.materials.size() - 1);
        materials_.emplace(shader, index);
        return index;
    }

    int addSurface(const ModelSurface& surface) {
        tinygltf::Node node;
        node.name = text(surface.name);
        if (surface.empty()) {
            warnings_.push_back("surface \"" + surface.name +
                                "\" has no triangles: a glTF mesh cannot be empty, so it is an empty node, which "
                                "the exporter leaves out");
        } else {
            node.mesh = addMesh(surface);
        }
        out_.nodes.push_back(node);
        const auto index = static_cast<int>(out_.nodes.size() - 1);
        if (!surface.empty() && model_.frameCount > 1) {
            morphNodes_.push_back(index);
        }
        return index;
    }

    int addMesh(const ModelSurface& surface) {
        // One glTF vertex per pair of geometric and texture vertex that a corner uses. Where the
        // texture faces are the faces (MD3), that is every vertex in the file's order.
        std::vector<std::pair<int, int>> vertices;
        std::vector<uint32_t> indices;
        const bool oneToOne = surface.textureFaces == surface.faces &&
                              surface.textureVertices.size() == static_cast<size_t>(surface.vertexCount);
        if (oneToOne) {
            for (int v = 0; v < surface.vertexCount; ++v) {
                vertices.emplace_back(v, v);
            }
            for (const std::array<int, 3>& face : surface.faces) {
                for (const int v : face) {
                    indices.push_back(static_cast<uint32_t>(v));
                }
            }
        } else {
            std::map<std::pair<int, int>, uint32_t> index;
            for (size_t f = 0; f < surface.faces.size(); ++f) {
                for (size_t corner = 0; corner < 3; ++corner) {
                    const std::pair<int, int> key(surface.faces[f][corner], surface.textureFaces[f][corner]);
                    const auto inserted = index.emplace(key, static_cast<uint32_t>(vertices.size()));
                    if (inserted.second) {
                        vertices.push_back(key);
                    }
                    indices.push_back(inserted.first->second);
                }
            }
        }

        std::vector<float> positions;
        std::vector<float> normals;
        std::vector<float> coordinates;
        const Point3* framePositions = surface.framePositions(0);
        const Point3* frameNormals = surface.frameNormals(0);
        for (const auto& [vertex, textureVertex] : vertices) {
            appendPoint(positions, toYUp(framePositions[vertex]));
            appendPoint(normals, toYUp(frameNormals[vertex]));
            // glTF's texture coordinates start at the image's top: t = 1 - v.
            const UVVert& uv = surface.textureVertices[static_cast<size_t>(textureVertex)];
            coordinates.push_back(uv.x);
            coordinates.push_back(1.0f - uv.y);
        }
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = addFloats(positions, 3, TINYGLTF_TARGET_ARRAY_BUFFER, true);
        primitive.attributes["NORMAL"] = addFloats(normals, 3, TINYGLTF_TARGET_ARRAY_BUFFER, false);
        primitive.attributes["TEXCOORD_0"] = addFloats(coordinates, 2, TINYGLTF_TARGET_ARRAY_BUFFER, false);
        primitive.indices = addIndices(indices);
        if (!surface.shader.empty()) {
            primitive.material = materialFor(surface.shader);
        }

        tinygltf::Mesh mesh;
        mesh.name = text(surface.name);
        if (model_.frameCount > 1) {
            // Every frame a target, the first's offsets all zero, so that each frame has its name.
            tinygltf::Value::Array targetNames;
            for (int frame = 0; frame < model_.frameCount; ++frame) {
                std::vector<float> positionOffsets;
                std::vector<float> normalOffsets;
                const Point3* targetPositions = surface.framePositions(frame);
                const Point3* targetNormals = surface.frameNormals(frame);
                for (const auto& [vertex, textureVertex] : vertices) {
                    appendPoint(positionOffsets, toYUp(targetPositions[vertex] - framePositions[vertex]));
                    appendPoint(normalOffsets, toYUp(targetNormals[vertex] - frameNormals[vertex]));
                }
                primitive.targets.push_back(
                    {{"POSITION", addFloats(positionOffsets, 3, TINYGLTF_TARGET_ARRAY_BUFFER, true)},
                     {"NORMAL", addFloats(normalOffsets, 3, TINYGLTF_TARGET_ARRAY_BUFFER, false)}});
                targetNames.emplace_back(text(model_.frameNames[static_cast<size_t>(frame)]));
            }
            mesh.weights.assign(static_cast<size_t>(model_.frameCount), 0.0);
            tinygltf::Value::Object extras;
            extras["targetNames"] = tinygltf::Value(targetNames);
            mesh.extras = tinygltf::Value(extras);
        }
        mesh.primitives.push_back(primitive);
        out_.meshes.push_back(mesh);
        return static_cast<int>(out_.meshes.size() - 1);
    }

    int addTag(const ModelTag& tag) {
        TagAnimation animation;
        int skewed = 0;
        double worstCosine = 0.0;
        bool degenerate = false;
        for (const Matrix3& frame : tag.frames) {
            TagPose pose = poseOf(frame);
            if (!animation.poses.empty()) {
                // Neighbouring keys on the same side of the quaternion sphere turn the short way.
                const std::array<double, 4>& previous = animation.poses.back().rotation;
                double sameSide = 0.0;
                for (size_t i = 0; i < 4; ++i) {
                    sameSide += previous[i] * pose.rotation[i];
                }
                if (sameSide < 0.0) {
                    for (double& value : pose.rotation) {
                        value = -value;
                    }
                }
            }
            if (pose.worstCosine > kPerpendicularCosine) {
                ++skewed;
                worstCosine = std::max(worstCosine, pose.worstCosine);
            }
            degenerate = degenerate || pose.degenerate;
            for (const double s : pose.scale) {
                animation.scaled = animation.scaled || std::fabs(s - 1.0) > kUnitScaleTolerance;
            }
            animation.poses.push_back(pose);
        }
        if (skewed > 0) {
            const double degrees = 90.0 - std::acos(std::min(worstCosine, 1.0)) * 180.0 / 3.14159265358979323846;
            warnings_.push_back("tag \"" + tag.name + "\": its axes are not perpendicular in " +
                                std::to_string(skewed) + " frames (up to " + std::to_string(degrees) +
                                " degrees off); glTF keeps a rotation and a scale, so those frames keep the nearest "
                                "rotation with the axes' lengths");
        }
        if (degenerate) {
            warnings_.push_back("tag \"" + tag.name +
                                "\": its axes are degenerate (zero or in one plane) in some frames; those frames "
                                "keep no rotation");
        }

        tinygltf::Node node;
        node.name = text(tag.name);
        if (!animation.poses.empty()) {
            const TagPose& first = animation.poses.front();
            node.translation.assign(first.translation.begin(), first.translation.end());
            node.rotation.assign(first.rotation.begin(), first.rotation.end());
            if (animation.scaled) {
                node.scale.assign(first.scale.begin(), first.scale.end());
            }
        }
        out_.nodes.push_back(node);
        const auto index = static_cast<int>(out_.nodes.size() - 1);
        animation.node = index;
        tagAnimations_.push_back(std::move(animation));
        return index;
    }

    int addSampler(tinygltf::Animation& animation, int input, int output) {
        tinygltf::AnimationSampler sampler;
        sampler.input = input;
        sampler.output = output;
        sampler.interpolation = "LINEAR";
        animation.samplers.push_back(sampler);
        return static_cast<int>(animation.samplers.size() - 1);
    }

    void addChannel(tinygltf::Animation& animation, int node, const char* path, int input, int output) {
        tinygltf::AnimationChannel channel;
        channel.sampler = addSampler(animation, input, output);
        channel.target_node = node;
        channel.target_path = path;
        animation.channels.push_back(channel);
    }

    // Keys at the host's times of frames first .. first + count - 1, each frame's own values.
    void addAnimation(const std::string& name, int first, int count) {
        tinygltf::Animation animation;
        animation.name = text(name);
        std::vector<float> times;
        for (int frame = first; frame < first + count; ++frame) {
            times.push_back(static_cast<float>(frameSeconds(frame, options_.framesPerSecond)));
        }
        const int input = addFloats(times, 1, 0, true);
        for (const TagAnimation& tag : tagAnimations_) {
            std::vector<float> translations;
            std::vector<float> rotations;
            std::vector<float> scales;
            for (int frame = first; frame < first + count; ++frame) {
                const TagPose& pose = tag.poses[static_cast<size_t>(frame)];
                translations.insert(translations.end(), pose.translation.begin(), pose.translation.end());
                rotations.insert(rotations.end(), pose.rotation.begin(), pose.rotation.end());
                scales.insert(scales.end(), pose.scale.begin(), pose.scale.end());
            }
            addChannel(animation, tag.node, "translation", input, addFloats(translations, 3, 0, false));
            addChannel(animation, tag.node, "rotation", input, addFloats(rotations, 4, 0, false));
            if (tag.scaled) {
                addChannel(animation, tag.node, "scale", input, addFloats(scales, 3, 0, false));
            }
        }
        if (!morphNodes_.empty()) {
            // Frame k's key weighs target k alone; every surface plays the same weights.
            std::vector<float> weights(static_cast<size_t>(count) * static_cast<size_t>(model_.frameCount), 0.0f);
            for (int key = 0; key < count; ++key) {
                weights[static_cast<size_t>(key) * static_cast<size_t>(model_.frameCount) +
                        static_cast<size_t>(first + key)] = 1.0f;
            }
            const int output = addFloats(weights, 1, 0, false);
            for (const int node : morphNodes_) {
                addChannel(animation, node, "weights", input, output);
            }
        }
        out_.animations.push_back(animation);
    }

    struct TagAnimation {
        int node = -1;
        std::vector<TagPose> poses;
        bool scaled = false;
    };

    const AnimatedModel& model_;
    const GltfModelOptions& options_;
    std::vector<std::string>& warnings_;
    tinygltf::Model out_;
    std::map<std::string, int> materials_;
    std::vector<TagAnimation> tagAnimations_;
    std::vector<int> morphNodes_;
    bool renamed_ = false;
};

}  // namespace

double frameSeconds(int frame, int framesPerSecond) {
    const int ticksPerFrame = TIME_TICKSPERSEC / std::max(1, framesPerSecond);
    return static_cast<double>(frame) * ticksPerFrame / TIME_TICKSPERSEC;
}

bool writeGltfModel(const AnimatedModel& model, const std::string& path, const GltfModelOptions& options,
                    std::string& error, std::vector<std::string>& warnings) {
    std::ostringstream bytes;
    try {
        const tinygltf::Model gltf = GltfBuilder(model, options, warnings).build();
        tinygltf::TinyGLTF writer;
        writer.SetImageWriter(nullptr, nullptr);  // images are named, never written
        if (!writer.WriteGltfSceneToStream(&gltf, bytes, !options.binary, options.binary)) {
            error = "cannot lay out the glTF document";
            return false;
        }
    } catch (const std::exception& failure) {
        error = std::string("cannot lay out the glTF document: ") + failure.what();
        return false;
    }
    const std::string document = bytes.str();
    modelformat::FileOutputStream file;
    if (!file.open(path)) {
        error = "cannot create " + path;
        return false;
    }
    if (!file.write(document.data(), document.size()) || !file.commit()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace host::modelfile
