// Meshes the stand-in host builds for scenes made in code: boxes, cylinders, spheres and the
// small triangle that tag nodes carry.
#ifndef HOST_SCENE_MESH_BUILDERS_H
#define HOST_SCENE_MESH_BUILDERS_H

#include <functional>

#include <max.h>

namespace host {

// A box between two corners: 8 shared corners, 12 faces, each side mapped to the whole texture
// (so every corner lies on a texture seam).
Mesh makeBox(const Point3& minCorner, const Point3& maxCorner);

// A capped cylinder along +Z from the base centre, with a cylindrical texture mapping whose seam
// column is duplicated in texture space only. deform, when given, moves each vertex.
Mesh makeCylinder(const Point3& baseCentre, float radius, float height, int segments, int rings,
                  const std::function<Point3(const Point3&)>& deform = nullptr);

// A latitude-longitude sphere with a texture mapping.
Mesh makeSphere(const Point3& centre, float radius, int segments, int rings);

// The marker a tag node carries: one triangle in the node's own frame.
Mesh makeTagMarker();

}  // namespace host

#endif
