// Surfaces simplified through meshoptimizer.
#include "surface_simplify.h"

#include <unordered_map>

#include <meshoptimizer.h>

namespace host::arrange {

namespace {

// Any error is accepted: the target count is what a level asks for. meshoptimizer's error is
// relative to the mesh's extent, so 1 stands for "as far as the topology lets it go".
constexpr float kAnyError = 1.0f;

}  // namespace

std::vector<SurfaceTriangle> simplifyTriangles(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles,
                                               size_t targetTriangles) {
    if (targetTriangles >= triangles.size() || triangles.empty()) {
        return triangles;
    }
    // The MD3 vertices: one per distinct geometric vertex and texture coordinate, each with the
    // first corner that makes it. Vertices of one position are one for meshoptimizer's seam test:
    // it keeps the edges where such vertices part.
    const bool mapped = hasMapping(mesh);
    std::unordered_map<Md3VertexKey, unsigned int, Md3VertexKeyHash> indexOf;
    std::vector<Corner> corners;
    std::vector<float> positions;
    std::vector<unsigned int> indices;
    indices.reserve(triangles.size() * 3);
    for (const SurfaceTriangle& triangle : triangles) {
        for (const Corner& corner : triangle.corners) {
            const auto [found, added] =
                indexOf.emplace(md3VertexKey(mesh, corner, mapped), static_cast<unsigned int>(corners.size()));
            if (added) {
                corners.push_back(corner);
                const Point3 p = corner.vertex < mesh.numVerts ? mesh.verts[corner.vertex] : Point3(0.0f, 0.0f, 0.0f);
                positions.insert(positions.end(), {p.x, p.y, p.z});
            }
            indices.push_back(found->second);
        }
    }
    std::vector<unsigned int> simplified(indices.size());
    const size_t kept =
        meshopt_simplify(simplified.data(), indices.data(), indices.size(), positions.data(), corners.size(),
                         sizeof(float) * 3, targetTriangles * 3, kAnyError, meshopt_SimplifyLockBorder, nullptr);
    std::vector<SurfaceTriangle> result(kept / 3);
    for (size_t t = 0; t < result.size(); ++t) {
        for (size_t c = 0; c < 3; ++c) {
            result[t].corners[c] = corners[simplified[t * 3 + c]];
        }
        result[t].face = -1;
    }
    return result;
}

}  // namespace host::arrange
