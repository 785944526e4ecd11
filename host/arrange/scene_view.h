// A scene that shows the nodes of loaded scenes without changing them, for the exports that need
// the scene arranged otherwise: surfaces split into parts, simplified surfaces, animations laid
// one after another on one timeline.
#ifndef HOST_ARRANGE_SCENE_VIEW_H
#define HOST_ARRANGE_SCENE_VIEW_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <scene.h>

#include "surface_triangles.h"

namespace host::arrange {

// Where a time of the view is found: in which source scene, at which of its times.
struct SourceTime {
    size_t scene = 0;
    TimeValue time = 0;
};
using TimeMap = std::function<SourceTime(TimeValue)>;

// The view has one node for every node of the sources, which hold the same nodes in the same
// order (loads of one scene file, each with another animation): of the same name, place among its
// siblings, selection and material (the first source's), whose transform and object are the
// source node's at the mapped time. Evaluating a view node copies its source's mesh, so nothing
// the exporter does to a mesh reaches the sources. A view node's mesh may then be replaced by one
// computed from its source's (showTriangles, showParts).
//
// The sources must outlive the view, and are not changed by it.
class SceneView {
public:
    // Fails (ok() false, error() says why) when the sources do not hold the same nodes.
    SceneView(const std::vector<Scene*>& sources, TimeMap map);
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    Scene& scene() { return scene_; }
    // The source nodes, in the first source's enumeration order.
    size_t size() const { return viewNodes_.size(); }
    SceneNode* source(size_t index) const;
    // The view node of a source node; after showParts, the first of its parts.
    SceneNode* node(size_t index) const { return viewNodes_[index]; }
    // Every view node that shows the source node: the node itself, then its further parts.
    const std::vector<SceneNode*>& shownBy(size_t index) const { return shownBy_[index]; }

    // The source node's mesh at a time of the view; false when its object gives none.
    bool sourceMesh(size_t index, TimeValue time, Mesh& mesh) const;

    // Shows the node as the mesh of these triangles of its source's mesh, their topology fixed by
    // firstFrame (the source's mesh at the first exported frame).
    void showTriangles(size_t index, Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles);
    // Shows the node as several parts: the node itself shows the first, renamed names[0], and one
    // new node for each further part, named names[k], is put first among the node's children, in
    // order: so the parts follow each other in the scene's enumeration where the node was. The new
    // nodes sit at the node's own place (no transform of their own) and take its material and
    // selection.
    void showParts(size_t index, Mesh& firstFrame, const std::vector<std::vector<SurfaceTriangle>>& parts,
                   const std::vector<std::string>& names);

    // Shows the node without geometry, so that the exporter leaves it out (a tag included).
    void hide(size_t index);
    bool hidden(size_t index) const { return hidden_[index]; }

    struct Sources;

private:
    std::shared_ptr<Sources> sources_;
    Scene scene_;
    std::vector<SceneNode*> viewNodes_;
    std::vector<std::vector<SceneNode*>> shownBy_;
    std::vector<bool> hidden_;
    std::string error_;
};

}  // namespace host::arrange

#endif
