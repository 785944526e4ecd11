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

// What the loader reads from a glTF document itself, beside assimp.
struct GltfDocumentSummary {
    // Every animation's interpolations, in the file's order (as assimp numbers them).
    std::vector<GltfInterpolations> animations;
    // The first skin that leaves its inverse bind matrices to their default (the identity), which
    // assimp 5.2 crashes on; -1 when there is none.
    long long firstSkinWithoutInverseBinds = -1;
};

// Reads a .gltf or .glb file's summary, parsing the document once. Answers false, leaving out
// empty, for any other file or one it cannot read.
bool readGltfSummary(const std::string& path, GltfDocumentSummary& out);

// The same from a document in memory: a GLB container (told by its magic) or glTF JSON text.
bool readGltfSummaryFromDocument(const std::string& bytes, GltfDocumentSummary& out);

}  // namespace host::scenefile

#endif
