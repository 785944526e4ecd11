// A loaded scene file's animation, kept in the file's own axes (positions already scaled):
// node transforms sampled from keys at any host time, and meshes skinned and morphed from them.
#ifndef HOST_SCENEFILE_FILE_ANIMATION_H
#define HOST_SCENEFILE_FILE_ANIMATION_H

#include <cstdint>
#include <vector>

#include <assimp/anim.h>
#include <assimp/matrix4x4.h>

#include <max.h>

namespace host::scenefile {

enum class KeyInterpolation { Linear, Step };

// One node's keys in the sampled animation. A missing series leaves that part at rest.
struct NodeChannel {
    std::vector<aiVectorKey> positions;
    std::vector<aiQuatKey> rotations;
    std::vector<aiVectorKey> scalings;
    KeyInterpolation positionInterpolation = KeyInterpolation::Linear;
    KeyInterpolation rotationInterpolation = KeyInterpolation::Linear;
    KeyInterpolation scalingInterpolation = KeyInterpolation::Linear;
    aiAnimBehaviour before = aiAnimBehaviour_DEFAULT;
    aiAnimBehaviour after = aiAnimBehaviour_DEFAULT;
};

// Morph target weights over time; each key holds one weight per target of the mesh.
struct MorphChannel {
    struct Key {
        double time = 0.0;
        std::vector<float> weights;
    };
    std::vector<Key> keys;
    KeyInterpolation interpolation = KeyInterpolation::Linear;
};

struct FileNode {
    int parent = -1;
    aiMatrix4x4 rest;
    aiVector3D restPosition;
    aiQuaternion restRotation;
    aiVector3D restScaling{1.0f, 1.0f, 1.0f};
    int channel = -1;
};

struct SkinBone {
    int node = -1;
    aiMatrix4x4 offset;  // mesh space to the bone's space in the bind pose
};

struct SkinInfluence {
    std::uint32_t bone = 0;
    float weight = 0.0f;
};

// A mesh whose vertices move: its fixed topology, rest positions and normals, morph targets and
// skin, all per geometric vertex.
struct DeformingMeshData {
    Mesh topology;  // faces, texture vertices and texture faces; vertices at rest
    std::vector<aiVector3D> restPositions;
    std::vector<aiVector3D> restNormals;                 // the file's own; empty when it has none
    std::vector<std::vector<aiVector3D>> targetOffsets;  // per morph target: target minus rest
    // Per morph target: its normals minus the rest normals, empty for a target without normals.
    std::vector<std::vector<aiVector3D>> targetNormalOffsets;
    std::vector<float> defaultWeights;
    int morphChannel = -1;
    bool normalizedWeights = false;
    int placingNode = -1;  // the node the mesh hangs from; the result is in its space
    aiMatrix4x4 toHost;    // the file's axes to the host's, applied to the result
    std::vector<SkinBone> bones;
    std::vector<std::uint32_t> influenceStart;  // vertex v's influences: [start[v], start[v + 1])
    std::vector<SkinInfluence> influences;
};

class FileAnimation {
public:
    // Animation ticks per second of the keys' times.
    double ticksPerSecond = 1.0;
    std::vector<FileNode> nodes;
    std::vector<NodeChannel> channels;
    std::vector<MorphChannel> morphChannels;

    // Call once the nodes are in place: sizes the per-time caches.
    void prepare();
    double keyTime(TimeValue time) const { return static_cast<double>(time) * ticksPerSecond / TIME_TICKSPERSEC; }
    // A key's time put exactly on the whole host tick it lies on within float rounding (a
    // millionth of its count of ticks): files store key times as floats, in seconds for glTF, and
    // a key written for frame k must be met exactly when the host samples frame k, not a hair
    // before it. Other times stay as they are.
    double onHostTick(double time) const;
    // A node's transform relative to its parent, and in the file's world, at a time. Each node
    // remembers its last time, so that a frame's evaluation costs each node once. Not thread
    // safe, like the host's scene model.
    const aiMatrix4x4& localAt(int node, TimeValue time);
    const aiMatrix4x4& worldAt(int node, TimeValue time);
    std::vector<float> morphWeightsAt(const DeformingMeshData& mesh, TimeValue time) const;
    // The mesh at a time in the space of the node that places it.
    void deform(const DeformingMeshData& mesh, TimeValue time, Mesh& out);

private:
    struct CachedTransform {
        TimeValue localTime = 0;
        TimeValue worldTime = 0;
        bool localValid = false;
        bool worldValid = false;
        aiMatrix4x4 local;
        aiMatrix4x4 world;
    };
    std::vector<CachedTransform> cache_;
    std::vector<int> chain_;  // worldAt's walk up the hierarchy, kept to spare allocations
};

// Key sampling, as the animation uses it; outside the keys the channel's behaviour applies.
aiVector3D sampleVectorKeys(const std::vector<aiVectorKey>& keys, double time, KeyInterpolation interpolation,
                            aiAnimBehaviour before, aiAnimBehaviour after, const aiVector3D& fallback);
aiQuaternion sampleQuatKeys(const std::vector<aiQuatKey>& keys, double time, KeyInterpolation interpolation,
                            aiAnimBehaviour before, aiAnimBehaviour after, const aiQuaternion& fallback);

// translation x rotation x scale: a vector is scaled first, then turned, then moved, as keys and
// glTF's TRS properties mean. (assimp 5.2's aiMatrix4x4(scaling, rotation, position) scales the
// rotation's rows instead, which shears a turned, non-uniformly scaled node.)
aiMatrix4x4 composeTransform(const aiVector3D& position, const aiQuaternion& rotation, const aiVector3D& scaling);

// What turns normals where a matrix moves points: the inverse transpose of its axes (the cofactor
// matrix, signed by the determinant), so that normals stay perpendicular to surfaces under
// non-uniform scale and shear. Its results want normalising.
aiMatrix3x3 normalTransform(const aiMatrix4x4& m);

// Gives the mesh the normals of its vertices as specified normals (see Mesh): each turned to unit
// length, and one that is not a direction (zero, not a number) replaced by the normal built from
// the faces.
void specifyNormals(Mesh& mesh, std::vector<Point3> normals);

// assimp's column-vector matrices and the host's row-vector Matrix3, both ways.
Matrix3 toHostMatrix(const aiMatrix4x4& m);
aiMatrix4x4 toFileMatrix(const Matrix3& m);

}  // namespace host::scenefile

#endif
