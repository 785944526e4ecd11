// Sampling a scene file's keys at host times, and skinning and morphing its meshes.
#include "file_animation.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <assimp/matrix3x3.inl>
#include <assimp/matrix4x4.inl>
#include <assimp/quaternion.inl>
#include <assimp/vector3.inl>

namespace host::scenefile {

namespace {

// Float key times are within about 1.2e-7 of what they were written for (a float in seconds,
// then a float product by 1000 in assimp's glTF reader); whole ticks lie 1 apart.
constexpr double kHostTickTolerance = 1e-6;

// Where a time falls among keys sorted by time: the key at or before it, the one after, and how
// far between them. Assumes at least two keys and a time strictly inside their span.
template <typename Key>
void bracket(const std::vector<Key>& keys, double time, size_t& first, size_t& second, double& factor) {
    const auto after =
        std::upper_bound(keys.begin(), keys.end(), time, [](double t, const Key& key) { return t < key.mTime; });
    second = static_cast<size_t>(after - keys.begin());
    first = second - 1;
    const double span = keys[second].mTime - keys[first].mTime;
    factor = span > 0.0 ? (time - keys[first].mTime) / span : 0.0;
}

// Folds a repeating channel's time into the span of its keys. Keys far apart or a time far out
// (the differences overflow) are left unfolded: fmod of an infinity is not a number.
double repeatTime(double time, double start, double end) {
    const double span = end - start;
    if (span <= 0.0) {
        return start;
    }
    if (!std::isfinite(span) || !std::isfinite(time - start)) {
        return time;
    }
    double folded = std::fmod(time - start, span);
    if (folded < 0.0) {
        folded += span;
    }
    return start + folded;
}

bool outsideRepeats(double time, double start, double end, aiAnimBehaviour before, aiAnimBehaviour after) {
    return (time < start && before == aiAnimBehaviour_REPEAT) || (time > end && after == aiAnimBehaviour_REPEAT);
}

}  // namespace

aiVector3D sampleVectorKeys(const std::vector<aiVectorKey>& keys, double time, KeyInterpolation interpolation,
                            aiAnimBehaviour before, aiAnimBehaviour after, const aiVector3D& fallback) {
    if (keys.empty()) {
        return fallback;
    }
    if (keys.size() == 1) {
        return keys.front().mValue;
    }
    const double start = keys.front().mTime;
    const double end = keys.back().mTime;
    if (outsideRepeats(time, start, end, before, after)) {
        time = repeatTime(time, start, end);
    }
    // aiAnimBehaviour_DEFAULT is what importers leave for formats that hold the end keys (glTF,
    // FBX), so it holds them too rather than jumping back to the rest pose. Only a time strictly
    // inside the keys is bracketed (a time that is not a number is not).
    if (!(time > start && time < end)) {
        const bool atStart = time <= start;
        const aiAnimBehaviour behaviour = atStart ? before : after;
        const aiVectorKey& near = atStart ? keys[0] : keys[keys.size() - 1];
        const aiVectorKey& next = atStart ? keys[1] : keys[keys.size() - 2];
        if (behaviour == aiAnimBehaviour_LINEAR && next.mTime != near.mTime) {
            const double slope = (time - near.mTime) / (next.mTime - near.mTime);
            return near.mValue + (next.mValue - near.mValue) * static_cast<ai_real>(slope);
        }
        return near.mValue;
    }
    size_t first = 0;
    size_t second = 0;
    double factor = 0.0;
    bracket(keys, time, first, second, factor);
    if (interpolation == KeyInterpolation::Step) {
        return keys[first].mValue;
    }
    const aiVector3D& a = keys[first].mValue;
    const aiVector3D& b = keys[second].mValue;
    return a + (b - a) * static_cast<ai_real>(factor);
}

aiQuaternion sampleQuatKeys(const std::vector<aiQuatKey>& keys, double time, KeyInterpolation interpolation,
                            aiAnimBehaviour before, aiAnimBehaviour after, const aiQuaternion& fallback) {
    if (keys.empty()) {
        return fallback;
    }
    if (keys.size() == 1) {
        return keys.front().mValue;
    }
    const double start = keys.front().mTime;
    const double end = keys.back().mTime;
    if (outsideRepeats(time, start, end, before, after)) {
        time = repeatTime(time, start, end);
    }
    // Rotations are held outside the keys whatever the behaviour: spherical interpolation is
    // not defined past its end points.
    if (!(time > start)) {
        return keys.front().mValue;
    }
    if (!(time < end)) {
        return keys.back().mValue;
    }
    size_t first = 0;
    size_t second = 0;
    double factor = 0.0;
    bracket(keys, time, first, second, factor);
    if (interpolation == KeyInterpolation::Step) {
        return keys[first].mValue;
    }
    // Spherical linear interpolation along the shorter arc.
    aiQuaternion result;
    aiQuaternion::Interpolate(result, keys[first].mValue, keys[second].mValue, static_cast<ai_real>(factor));
    return result.Normalize();
}

aiMatrix4x4 composeTransform(const aiVector3D& position, const aiQuaternion& rotation, const aiVector3D& scaling) {
    const aiMatrix3x3 r = rotation.GetMatrix();
    // Column j of the result is the rotation's column j times the scale along axis j.
    return aiMatrix4x4(r.a1 * scaling.x, r.a2 * scaling.y, r.a3 * scaling.z, position.x,  //
                       r.b1 * scaling.x, r.b2 * scaling.y, r.b3 * scaling.z, position.y,  //
                       r.c1 * scaling.x, r.c2 * scaling.y, r.c3 * scaling.z, position.z,  //
                       0.0f, 0.0f, 0.0f, 1.0f);
}

aiMatrix3x3 normalTransform(const aiMatrix4x4& m) {
    // The cofactors of the upper 3x3: its inverse transpose times its determinant.
    aiMatrix3x3 c(m.b2 * m.c3 - m.b3 * m.c2, m.b3 * m.c1 - m.b1 * m.c3, m.b1 * m.c2 - m.b2 * m.c1,  //
                  m.a3 * m.c2 - m.a2 * m.c3, m.a1 * m.c3 - m.a3 * m.c1, m.a2 * m.c1 - m.a1 * m.c2,  //
                  m.a2 * m.b3 - m.a3 * m.b2, m.a3 * m.b1 - m.a1 * m.b3, m.a1 * m.b2 - m.a2 * m.b1);
    const float determinant = m.a1 * c.a1 + m.a2 * c.a2 + m.a3 * c.a3;
    if (determinant < 0.0f) {
        // A mirroring matrix turns the surface inside out: the normal follows it.
        c = c * aiMatrix3x3(-1.0f, 0.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, -1.0f);
    }
    return c;
}

void specifyNormals(Mesh& mesh, std::vector<Point3> normals) {
    bool unusable = false;
    for (Point3& n : normals) {
        const float length = n.Length();
        if (!(length > 0.0f) || !std::isfinite(length)) {
            unusable = true;
            n = Point3(0.0f, 0.0f, 0.0f);
        } else {
            n = n / length;
        }
    }
    if (unusable) {
        Mesh built = mesh;
        built.clearSpecifiedNormals();
        built.buildNormals();
        for (size_t v = 0; v < normals.size(); ++v) {
            if (normals[v].x == 0.0f && normals[v].y == 0.0f && normals[v].z == 0.0f) {
                normals[v] = built.getNormal(static_cast<int>(v));
            }
        }
    }
    mesh.setSpecifiedNormals(normals);
}

Matrix3 toHostMatrix(const aiMatrix4x4& m) {
    // A column of assimp's matrix is the image of an axis; the host keeps it as a row.
    return Matrix3(Point3(m.a1, m.b1, m.c1), Point3(m.a2, m.b2, m.c2), Point3(m.a3, m.b3, m.c3),
                   Point3(m.a4, m.b4, m.c4));
}

aiMatrix4x4 toFileMatrix(const Matrix3& m) {
    return aiMatrix4x4(m.m[0][0], m.m[1][0], m.m[2][0], m.m[3][0],  //
                       m.m[0][1], m.m[1][1], m.m[2][1], m.m[3][1],  //
                       m.m[0][2], m.m[1][2], m.m[2][2], m.m[3][2],  //
                       0.0f, 0.0f, 0.0f, 1.0f);
}

void FileAnimation::prepare() { cache_.assign(nodes.size(), CachedTransform()); }

double FileAnimation::onHostTick(double time) const {
    const double ticks = time * TIME_TICKSPERSEC / ticksPerSecond;
    const double whole = std::round(ticks);
    const bool representable = std::fabs(whole) < static_cast<double>(std::numeric_limits<TimeValue>::max());
    if (!representable || std::fabs(ticks - whole) > kHostTickTolerance * std::max(1.0, std::fabs(whole))) {
        return time;
    }
    return keyTime(static_cast<TimeValue>(whole));
}

const aiMatrix4x4& FileAnimation::localAt(int node, TimeValue time) {
    const FileNode& fileNode = nodes[static_cast<size_t>(node)];
    if (fileNode.channel < 0) {
        return fileNode.rest;
    }
    CachedTransform& cached = cache_[static_cast<size_t>(node)];
    if (cached.localValid && cached.localTime == time) {
        return cached.local;
    }
    const NodeChannel& channel = channels[static_cast<size_t>(fileNode.channel)];
    const double t = keyTime(time);
    const aiVector3D position = sampleVectorKeys(channel.positions, t, channel.positionInterpolation, channel.before,
                                                 channel.after, fileNode.restPosition);
    const aiQuaternion rotation = sampleQuatKeys(channel.rotations, t, channel.rotationInterpolation, channel.before,
                                                 channel.after, fileNode.restRotation);
    const aiVector3D scaling = sampleVectorKeys(channel.scalings, t, channel.scalingInterpolation, channel.before,
                                                channel.after, fileNode.restScaling);
    cached.local = composeTransform(position, rotation, scaling);
    cached.localTime = time;
    cached.localValid = true;
    return cached.local;
}

const aiMatrix4x4& FileAnimation::worldAt(int node, TimeValue time) {
    // Up to the nearest ancestor already known at this time, then down again composing, so that
    // a hierarchy of any depth is walked without recursion.
    chain_.clear();
    for (int current = node; current >= 0; current = nodes[static_cast<size_t>(current)].parent) {
        const CachedTransform& cached = cache_[static_cast<size_t>(current)];
        if (cached.worldValid && cached.worldTime == time) {
            break;
        }
        chain_.push_back(current);
    }
    for (auto step = chain_.rbegin(); step != chain_.rend(); ++step) {
        const int parent = nodes[static_cast<size_t>(*step)].parent;
        aiMatrix4x4 world = localAt(*step, time);
        if (parent >= 0) {
            world = cache_[static_cast<size_t>(parent)].world * world;
        }
        CachedTransform& cached = cache_[static_cast<size_t>(*step)];
        cached.world = world;
        cached.worldTime = time;
        cached.worldValid = true;
    }
    return cache_[static_cast<size_t>(node)].world;
}

std::vector<float> FileAnimation::morphWeightsAt(const DeformingMeshData& mesh, TimeValue time) const {
    if (mesh.morphChannel < 0) {
        return mesh.defaultWeights;
    }
    const MorphChannel& channel = morphChannels[static_cast<size_t>(mesh.morphChannel)];
    const std::vector<MorphChannel::Key>& keys = channel.keys;
    const double t = keyTime(time);
    if (keys.empty()) {
        return mesh.defaultWeights;
    }
    if (keys.size() == 1 || !(t > keys.front().time)) {
        return keys.front().weights;
    }
    if (!(t < keys.back().time)) {
        return keys.back().weights;
    }
    const auto after = std::upper_bound(keys.begin(), keys.end(), t,
                                        [](double value, const MorphChannel::Key& key) { return value < key.time; });
    const MorphChannel::Key& second = *after;
    const MorphChannel::Key& first = *(after - 1);
    if (channel.interpolation == KeyInterpolation::Step) {
        return first.weights;
    }
    const double span = second.time - first.time;
    const float factor = span > 0.0 ? static_cast<float>((t - first.time) / span) : 0.0f;
    std::vector<float> weights(first.weights.size());
    for (size_t i = 0; i < weights.size(); ++i) {
        weights[i] = first.weights[i] + (second.weights[i] - first.weights[i]) * factor;
    }
    return weights;
}

void FileAnimation::deform(const DeformingMeshData& mesh, TimeValue time, Mesh& out) {
    std::vector<aiVector3D> positions = mesh.restPositions;
    std::vector<aiVector3D> normals = mesh.restNormals;

    if (!mesh.targetOffsets.empty()) {
        std::vector<float> weights = morphWeightsAt(mesh, time);
        weights.resize(mesh.targetOffsets.size(), 0.0f);
        if (mesh.normalizedWeights) {
            float total = 0.0f;
            for (float w : weights) {
                total += w;
            }
            if (total > 1.0f) {
                for (float& w : weights) {
                    w /= total;
                }
            }
        }
        for (size_t target = 0; target < mesh.targetOffsets.size(); ++target) {
            const float weight = weights[target];
            if (weight == 0.0f) {
                continue;
            }
            const std::vector<aiVector3D>& offsets = mesh.targetOffsets[target];
            for (size_t v = 0; v < positions.size(); ++v) {
                positions[v] += offsets[v] * weight;
            }
            // Normals blend as positions do; the sum is normalised at the end.
            const std::vector<aiVector3D>& normalOffsets = mesh.targetNormalOffsets[target];
            for (size_t v = 0; v < normalOffsets.size() && v < normals.size(); ++v) {
                normals[v] += normalOffsets[v] * weight;
            }
        }
    }

    if (!mesh.bones.empty()) {
        // Each bone carries a vertex from the mesh's bind space to the world at this time; the
        // inverse of the placing node's world brings it back into that node's own space.
        aiMatrix4x4 toPlacingNode = worldAt(mesh.placingNode, time);
        toPlacingNode.Inverse();
        std::vector<aiMatrix4x4> boneMatrices(mesh.bones.size());
        for (size_t b = 0; b < mesh.bones.size(); ++b) {
            boneMatrices[b] = toPlacingNode * worldAt(mesh.bones[b].node, time) * mesh.bones[b].offset;
        }
        const bool withNormals = !normals.empty();
        for (size_t v = 0; v < positions.size(); ++v) {
            const std::uint32_t begin = mesh.influenceStart[v];
            const std::uint32_t end = mesh.influenceStart[v + 1];
            float total = 0.0f;
            aiVector3D moved(0.0f, 0.0f, 0.0f);
            // The weighted sum of the bone matrices moves the vertex's neighbourhood; its normal
            // goes through that sum's inverse transpose (the common scale of the weights is lost
            // when normalising).
            aiMatrix4x4 blended(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                0.0f, 0.0f);
            for (std::uint32_t i = begin; i < end; ++i) {
                const SkinInfluence& influence = mesh.influences[i];
                const aiMatrix4x4& bone = boneMatrices[influence.bone];
                moved += (bone * positions[v]) * influence.weight;
                total += influence.weight;
                if (withNormals) {
                    for (unsigned row = 0; row < 3; ++row) {
                        for (unsigned column = 0; column < 3; ++column) {
                            blended[row][column] += bone[row][column] * influence.weight;
                        }
                    }
                }
            }
            // Weights are normalised, as files do not all make them sum to one; a vertex no bone
            // holds stays where the mesh puts it.
            if (total > 0.0f) {
                positions[v] = moved / total;
                if (withNormals) {
                    normals[v] = normalTransform(blended) * normals[v];
                }
            }
        }
    }

    out = mesh.topology;
    for (size_t v = 0; v < positions.size(); ++v) {
        const aiVector3D p = mesh.toHost * positions[v];
        out.verts[v] = Point3(p.x, p.y, p.z);
    }
    if (!normals.empty()) {
        const aiMatrix3x3 toHostNormals = normalTransform(mesh.toHost);
        std::vector<Point3> hostNormals(normals.size());
        for (size_t v = 0; v < normals.size(); ++v) {
            const aiVector3D n = toHostNormals * normals[v];
            hostNormals[v] = Point3(n.x, n.y, n.z);
        }
        specifyNormals(out, std::move(hostNormals));
    }
}

}  // namespace host::scenefile
