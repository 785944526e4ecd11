// Levels of detail: a surface's triangles simplified on the first frame's shape through
// meshoptimizer, over the surface's MD3 vertices, so that texture seams and open borders stay.
#ifndef HOST_ARRANGE_SURFACE_SIMPLIFY_H
#define HOST_ARRANGE_SURFACE_SIMPLIFY_H

#include <cstddef>
#include <vector>

#include <max.h>

#include "surface_triangles.h"

namespace host::arrange {

// About targetTriangles triangles over the corners of the given ones (no new vertex, no new
// texture coordinate), the shape of the mesh's positions kept as well as that many allow.
// Vertices on an open border stay where they are; the MD3 vertices of one position with several
// texture coordinates (a seam) move together or not at all. Fewer are given back only as far as
// that allows; a target at or above the count gives the triangles back as they are.
std::vector<SurfaceTriangle> simplifyTriangles(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles,
                                               size_t targetTriangles);

}  // namespace host::arrange

#endif
