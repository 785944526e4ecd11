// A mesh's triangles as the MD3 exporter sees them: each corner a geometric vertex and a texture
// vertex, and the count of MD3 vertices they make (one per distinct pair of geometric vertex and
// texture coordinate), so that the host can tell before an export whether a surface fits the game.
#ifndef HOST_ARRANGE_SURFACE_TRIANGLES_H
#define HOST_ARRANGE_SURFACE_TRIANGLES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <max.h>

namespace host::arrange {

// The game refuses a surface of 1000 or more vertices or of more than 1999 triangles.
struct SurfaceLimits {
    int maxVertices = 999;
    int maxTriangles = 1999;
};

// One corner of a triangle: a geometric vertex of the mesh and, when the mesh is mapped, one of
// its texture vertices (kUnmapped otherwise, or when the face names none that exists).
struct Corner {
    int vertex = 0;
    int textureVertex = -1;
};
constexpr int kUnmapped = -1;

struct SurfaceTriangle {
    std::array<Corner, 3> corners;
    int face = -1;  // the mesh face it is, or -1 for a triangle made anew (a simplified mesh's)
};

// Whether the exporter takes the mesh's texture coordinates: it has texture vertices and faces.
bool hasMapping(const Mesh& mesh);

// The mesh's faces as triangles, corner for corner, read as the exporter reads them: a vertex
// index past the mesh's vertices is vertex 0, a texture index past its texture vertices is none.
std::vector<SurfaceTriangle> meshTriangles(const Mesh& mesh);

// The MD3 vertices the exporter writes for the whole mesh: every geometric vertex (also one no
// face uses), and one more for each further texture coordinate a vertex is used with.
int exportedVertexCount(const Mesh& mesh);

// The MD3 vertices of a mesh made of these triangles alone (only the geometric vertices they use):
// one per distinct pair of geometric vertex and texture coordinate (compared by value, as the
// exporter compares them), or per geometric vertex when the mesh is not mapped.
int exportedVertexCount(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles);

// Whether a mesh of these triangles, taken alone, fits the limits.
bool fitsLimits(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles, const SurfaceLimits& limits);

// The texture coordinate of a corner, (0, 0) for an unmapped one.
UVVert cornerCoordinate(const Mesh& mesh, const Corner& corner);

// An MD3 vertex as the exporter tells them apart: a geometric vertex and the bits of its texture
// coordinate (the exporter compares coordinates with ==, under which -0 and +0 are one value;
// on an unmapped mesh the coordinate is left out).
struct Md3VertexKey {
    int vertex = 0;
    uint32_t u = 0;
    uint32_t v = 0;
    bool operator==(const Md3VertexKey& other) const { return vertex == other.vertex && u == other.u && v == other.v; }
};
struct Md3VertexKeyHash {
    size_t operator()(const Md3VertexKey& key) const;
};
Md3VertexKey md3VertexKey(const Mesh& mesh, const Corner& corner, bool mapped);

}  // namespace host::arrange

#endif
