// Surfaces simplified and cut to the game's limits in a scene view.
#include "arrangement.h"

#include <cstring>

#include "surface_simplify.h"
#include "surface_split.h"

namespace host::arrange {

namespace {

bool isTagName(const std::string& name) { return name.compare(0, 4, "tag_") == 0; }

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    return text;
}

}  // namespace

std::vector<std::string> arrangeSurfaces(SceneView& view, TimeValue firstTime, const SurfaceArrangement& how) {
    std::vector<std::string> messages;
    for (size_t index = 0; index < view.size(); ++index) {
        const std::string name = view.node(index)->name();
        Mesh first;
        if (view.hidden(index) || isTagName(name) || !view.sourceMesh(index, firstTime, first) || first.numFaces == 0) {
            continue;
        }
        std::vector<SurfaceTriangle> triangles = meshTriangles(first);
        const bool breaks = exportedVertexCount(first) > how.limits.maxVertices ||
                            static_cast<long long>(triangles.size()) > how.limits.maxTriangles;
        if (how.detailLevel == 0 && !(how.fitLimits && breaks)) {
            continue;
        }
        for (int level = 0; level < how.detailLevel; ++level) {
            triangles = simplifyTriangles(first, triangles, (triangles.size() + 1) / 2);
        }
        if (triangles.empty()) {
            messages.push_back("surface " + name + " simplifies to nothing at this level and is left out");
            view.hide(index);
            continue;
        }
        if (!how.fitLimits) {
            view.showTriangles(index, first, triangles);
            continue;
        }
        const std::vector<std::vector<SurfaceTriangle>> parts = splitToFit(first, triangles, how.limits);
        const std::vector<std::string> names = partNames(name, parts.size());
        if (names.empty()) {
            messages.push_back("surface " + name + " would need " + std::to_string(parts.size()) +
                               " parts, more than the names that share its skin entry; it is left whole");
            view.showTriangles(index, first, triangles);
            continue;
        }
        if (parts.size() == 1) {
            view.showTriangles(index, first, parts.front());
            continue;
        }
        view.showParts(index, first, parts, names);
        messages.push_back("surface " + name + " (" + std::to_string(exportedVertexCount(first, triangles)) +
                           " vertices, " + std::to_string(triangles.size()) + " triangles) is cut into " +
                           std::to_string(parts.size()) + " parts within the game's limits: " + joined(names));
    }
    return messages;
}

}  // namespace host::arrange
