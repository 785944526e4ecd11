// Triangles and MD3 vertex counts of host meshes, by the exporter's rule.
#include "surface_triangles.h"

#include <cstdint>
#include <cstring>
#include <unordered_set>

namespace host::arrange {

namespace {

uint32_t coordinateBits(float value) {
    if (value == 0.0f) {
        value = 0.0f;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

size_t Md3VertexKeyHash::operator()(const Md3VertexKey& key) const {
    uint64_t h = static_cast<uint32_t>(key.vertex);
    h = h * 0x9E3779B97F4A7C15ull ^ key.u;
    h = h * 0x9E3779B97F4A7C15ull ^ key.v;
    return static_cast<size_t>(h ^ (h >> 29));
}

Md3VertexKey md3VertexKey(const Mesh& mesh, const Corner& corner, bool mapped) {
    if (!mapped) {
        return {corner.vertex, 0, 0};
    }
    const UVVert coordinate = cornerCoordinate(mesh, corner);
    return {corner.vertex, coordinateBits(coordinate.x), coordinateBits(coordinate.y)};
}

bool hasMapping(const Mesh& mesh) { return mesh.numTVerts > 0 && mesh.tvFace != nullptr; }

UVVert cornerCoordinate(const Mesh& mesh, const Corner& corner) {
    if (corner.textureVertex < 0 || corner.textureVertex >= mesh.numTVerts) {
        return UVVert(0.0f, 0.0f, 0.0f);
    }
    return mesh.tVerts[corner.textureVertex];
}

std::vector<SurfaceTriangle> meshTriangles(const Mesh& mesh) {
    std::vector<SurfaceTriangle> triangles(static_cast<size_t>(mesh.numFaces));
    const bool mapped = hasMapping(mesh);
    for (int f = 0; f < mesh.numFaces; ++f) {
        SurfaceTriangle& triangle = triangles[static_cast<size_t>(f)];
        triangle.face = f;
        for (size_t c = 0; c < 3; ++c) {
            const DWORD vertex = mesh.faces[f].v[c];
            triangle.corners[c].vertex = vertex < static_cast<DWORD>(mesh.numVerts) ? static_cast<int>(vertex) : 0;
            if (mapped) {
                const DWORD texture = mesh.tvFace[f].t[c];
                triangle.corners[c].textureVertex =
                    texture < static_cast<DWORD>(mesh.numTVerts) ? static_cast<int>(texture) : kUnmapped;
            }
        }
    }
    return triangles;
}

int exportedVertexCount(const Mesh& mesh) {
    if (mesh.numVerts == 0 || !hasMapping(mesh)) {
        return mesh.numVerts;
    }
    // Each vertex a face uses keeps its first coordinate in its own place; every further distinct
    // coordinate it is used with is one vertex more.
    const std::vector<SurfaceTriangle> triangles = meshTriangles(mesh);
    std::unordered_set<Md3VertexKey, Md3VertexKeyHash> pairs;
    std::unordered_set<int> used;
    for (const SurfaceTriangle& triangle : triangles) {
        for (const Corner& corner : triangle.corners) {
            pairs.insert(md3VertexKey(mesh, corner, true));
            used.insert(corner.vertex);
        }
    }
    return mesh.numVerts + static_cast<int>(pairs.size() - used.size());
}

int exportedVertexCount(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles) {
    const bool mapped = hasMapping(mesh);
    std::unordered_set<Md3VertexKey, Md3VertexKeyHash> pairs;
    for (const SurfaceTriangle& triangle : triangles) {
        for (const Corner& corner : triangle.corners) {
            pairs.insert(md3VertexKey(mesh, corner, mapped));
        }
    }
    return static_cast<int>(pairs.size());
}

bool fitsLimits(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles, const SurfaceLimits& limits) {
    return static_cast<long long>(triangles.size()) <= limits.maxTriangles &&
           exportedVertexCount(mesh, triangles) <= limits.maxVertices;
}

}  // namespace host::arrange
