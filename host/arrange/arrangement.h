// What the host does to a scene's surfaces before the exporter sees them: levels of detail
// (each level about half the triangles of the one before) and surfaces cut to the game's limits.
#ifndef HOST_ARRANGE_ARRANGEMENT_H
#define HOST_ARRANGE_ARRANGEMENT_H

#include <string>
#include <vector>

#include "scene_view.h"
#include "surface_triangles.h"

namespace host::arrange {

struct SurfaceArrangement {
    int detailLevel = 0;     // 0: the surfaces as they are; k: simplified k times to about half
    bool fitLimits = false;  // cut every surface that breaks the limits into parts that fit
    SurfaceLimits limits;
};

// Arranges every surface the view shows: each node, tags and hidden nodes aside, whose mesh at
// firstTime has triangles. Its first-frame topology is simplified and cut as asked, and applied
// to every time. Answers what was done and what could not be, one line each, for the user.
std::vector<std::string> arrangeSurfaces(SceneView& view, TimeValue firstTime, const SurfaceArrangement& how);

}  // namespace host::arrange

#endif
