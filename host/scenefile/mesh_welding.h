// Joining a scene file's vertices (one per distinct corner) into the host's geometric vertices.
#ifndef HOST_SCENEFILE_MESH_WELDING_H
#define HOST_SCENEFILE_MESH_WELDING_H

#include <cstdint>
#include <vector>

#include <assimp/mesh.h>

#include "file_animation.h"

namespace host::scenefile {

// A file's mesh holds one vertex per distinct combination of position, normal, texture
// coordinate and so on, so a texture seam splits a vertex in two. The host keeps geometry and
// texture coordinates apart: file vertices that agree in everything that moves or shades them
// (position, normal, skin influences, morph target offsets of position and normal) are one
// geometric vertex, and only their texture coordinates differ.
struct WeldedVertices {
    std::vector<std::uint32_t> geometricOf;  // the geometric vertex of each file vertex
    std::vector<std::uint32_t> sourceOf;     // the file vertex that stands for each geometric vertex
};

// Positions (and morph offsets) agree within this fraction of the mesh's extent: far above the
// rounding of a position computed twice (a seam at sin(2 pi), which is not 0) and far below
// anything a modeller places apart.
constexpr double kWeldPositionTolerance = 1e-5;
// Normals agree within this angle: far above the rounding of a direction computed twice, far
// below a crease anyone models (and below the 1.4 degree step of MD3's normal encoding).
constexpr double kWeldNormalDegrees = 0.1;
// Skin weights (normalised per vertex) agree within this.
constexpr float kWeldWeightTolerance = 1e-4f;

// Geometric vertices are numbered in the order of their first file vertex, so a mesh without
// seams keeps its vertex order. influences holds each file vertex's skin influences (empty when
// the mesh has no skin). Vertices with a position or normal that is not a number stay alone.
WeldedVertices weldVertices(const aiMesh& mesh, const std::vector<std::vector<SkinInfluence>>& influences);

}  // namespace host::scenefile

#endif
