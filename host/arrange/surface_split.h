// A surface too large for the game cut into parts that each fit: regions of triangles grown
// across shared vertices from the first frame's topology, so that parts are few and compact,
// named so that the game's skin lookup takes every part for the original surface.
#ifndef HOST_ARRANGE_SURFACE_SPLIT_H
#define HOST_ARRANGE_SURFACE_SPLIT_H

#include <optional>
#include <string>
#include <vector>

#include <max.h>

#include "surface_triangles.h"

namespace host::arrange {

// Every triangle in exactly one part, each part within the limits (a single triangle always
// fits). A mesh that fits whole gives one part. Parts are grown breadth first across triangles
// that share a geometric vertex; a part that still has room when its region is used up goes on
// with the next triangle not yet taken, so a mesh of many small pieces makes few parts.
std::vector<std::vector<SurfaceTriangle>> splitToFit(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles,
                                                     const SurfaceLimits& limits);

// The engine looks a surface up in a .skin by its name lower-cased and without a final '_' and
// one character: "body", "body_1" and "Body_a" all find the entry "body".
std::string skinLookupName(const std::string& surfaceName);

// Names for `count` parts of a surface, the first the surface's own, the others its lookup stem
// with "_1" .. "_9", then "_a" .. "_z" (the name itself skipped), so that all share the surface's
// lookup name. Empty when there are more parts than such names.
std::vector<std::string> partNames(const std::string& surfaceName, size_t count);

}  // namespace host::arrange

#endif
