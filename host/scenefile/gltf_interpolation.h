// The key interpolation a glTF file states for its animation channels, which assimp 5.2 reads
// the keys of but drops (every channel arrives as linear).
#ifndef HOST_SCENEFILE_GLTF_INTERPOLATION_H
#define HOST_SCENEFILE_GLTF_INTERPOLATION_H

#include <map>
#include <string>
#include <utility>

#include "file_animation.h"

namespace host::scenefile {

enum class GltfPath { Translation, Rotation, Scale, Weights };

struct GltfInterpolations {
    // By the node's name as assimp gives it: its glTF name, or "nodes[i]" for a nameless node.
    std::map<std::pair<std::string, GltfPath>, KeyInterpolation> byTarget;
    // Some channel is a cubic spline: assimp keeps only its values, not its tangents.
    bool cubicSpline = false;

    KeyInterpolation of(const std::string& node, GltfPath path) const {
        const auto found = byTarget.find({node, path});
        return found != byTarget.end() ? found->second : KeyInterpolation::Linear;
    }
};

// Reads the interpolations of the animation at animationIndex of a .gltf or .glb file. Answers
// false, leaving out empty, for any other file or one it cannot read.
bool readGltfInterpolations(const std::string& path, int animationIndex, GltfInterpolations& out);

// The same from a glTF document's JSON text.
bool readGltfInterpolationsFromJson(const std::string& json, int animationIndex, GltfInterpolations& out);

}  // namespace host::scenefile

#endif
