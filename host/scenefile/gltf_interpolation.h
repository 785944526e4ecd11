// The key interpolation a glTF file states for its animation channels, which assimp 5.2 reads
// the keys of but drops (every channel arrives as linear).
#ifndef HOST_SCENEFILE_GLTF_INTERPOLATION_H
#define HOST_SCENEFILE_GLTF_INTERPOLATION_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "file_animation.h"

namespace host::scenefile {

enum class GltfPath { Translation, Rotation, Scale, Weights };

// One animation's channels.
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

// Reads the interpolations of every animation of a .gltf or .glb file, in the file's order (as
// assimp numbers them), parsing the document once. Answers false, leaving out empty, for any
// other file or one it cannot read.
bool readGltfInterpolations(const std::string& path, std::vector<GltfInterpolations>& out);

// The same from a document in memory: a GLB container (told by its magic) or glTF JSON text.
bool readGltfInterpolationsFromDocument(const std::string& bytes, std::vector<GltfInterpolations>& out);

}  // namespace host::scenefile

#endif
