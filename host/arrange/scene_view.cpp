// Scene views: mirrored nodes over source scenes, with meshes that may be replaced.
#include "scene_view.h"

#include <unordered_map>

#include "derived_mesh.h"

namespace host::arrange {

struct SceneView::Sources {
    std::vector<std::vector<SceneNode*>> nodes;  // per source scene, in enumeration order
    TimeMap map;

    SceneNode* at(size_t index, TimeValue time, TimeValue& sourceTime) const {
        const SourceTime found = map(time);
        sourceTime = found.time;
        return nodes[found.scene < nodes.size() ? found.scene : 0][index];
    }

    // The source object's mesh at the time, copied.
    bool mesh(size_t index, TimeValue time, Mesh& out) const {
        TimeValue sourceTime = 0;
        Object* object = at(index, time, sourceTime)->object();
        if (object == nullptr || object->CanConvertToType(triObjectClassID) == 0) {
            return false;
        }
        Object* converted = object->ConvertToType(sourceTime, triObjectClassID);
        if (converted == nullptr) {
            return false;
        }
        out = static_cast<TriObject*>(converted)->GetMesh();
        if (converted != object) {
            converted->DeleteThis();
        }
        return true;
    }
};

namespace {

std::unique_ptr<Object> derivedObject(const std::shared_ptr<SceneView::Sources>& sources, size_t index,
                                      Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles);

}  // namespace

SceneView::SceneView(const std::vector<Scene*>& sources, TimeMap map) : sources_(std::make_shared<Sources>()) {
    sources_->map = std::move(map);
    for (Scene* source : sources) {
        sources_->nodes.push_back(source->nodes());
    }
    if (sources_->nodes.empty()) {
        error_ = "no scene to show";
        return;
    }
    const std::vector<SceneNode*>& first = sources_->nodes.front();
    for (const std::vector<SceneNode*>& other : sources_->nodes) {
        bool same = other.size() == first.size();
        for (size_t i = 0; same && i < first.size(); ++i) {
            same = other[i]->name() == first[i]->name();
        }
        if (!same) {
            error_ = "the scene's loads do not hold the same nodes";
            return;
        }
    }
    std::unordered_map<const SceneNode*, SceneNode*> viewOf;
    const std::shared_ptr<Sources> shared = sources_;
    for (size_t index = 0; index < first.size(); ++index) {
        const SceneNode* original = first[index];
        SceneNode* parent = original->parent() != nullptr ? viewOf.at(original->parent()) : nullptr;
        SceneNode* node = scene_.addNode(original->name(), parent);
        viewOf.emplace(original, node);
        node->setSelected(const_cast<SceneNode*>(original)->Selected() != 0);
        node->setMaterial(const_cast<SceneNode*>(original)->GetMtl());
        node->setTransformTrack([shared, index](TimeValue time) {
            TimeValue sourceTime = 0;
            const SceneNode* source = shared->at(index, time, sourceTime);
            return source->localTransform(sourceTime);
        });
        Object* object = original->object();
        if (object != nullptr && object->CanConvertToType(triObjectClassID) != 0) {
            node->setDeformingMesh([shared, index](TimeValue time, Mesh& mesh) {
                if (!shared->mesh(index, time, mesh)) {
                    mesh = Mesh();
                }
            });
        } else if (object != nullptr) {
            node->setObject(std::make_unique<NonGeometricObject>());
        }
        viewNodes_.push_back(node);
        shownBy_.push_back({node});
        hidden_.push_back(false);
    }
}

SceneNode* SceneView::source(size_t index) const { return sources_->nodes.front()[index]; }

bool SceneView::sourceMesh(size_t index, TimeValue time, Mesh& mesh) const { return sources_->mesh(index, time, mesh); }

void SceneView::showTriangles(size_t index, Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles) {
    viewNodes_[index]->setObject(derivedObject(sources_, index, firstFrame, triangles));
}

void SceneView::showParts(size_t index, Mesh& firstFrame, const std::vector<std::vector<SurfaceTriangle>>& parts,
                          const std::vector<std::string>& names) {
    SceneNode* node = viewNodes_[index];
    std::vector<SceneNode*>& shown = shownBy_[index];
    shown.assign(1, node);
    for (size_t k = 0; k < parts.size(); ++k) {
        SceneNode* part = node;
        if (k == 0) {
            node->setName(names[0]);
        } else {
            part = scene_.insertNode(names[k], node, k - 1);
            part->setMaterial(node->GetMtl());
            part->setSelected(node->Selected() != 0);
            shown.push_back(part);
        }
        part->setObject(derivedObject(sources_, index, firstFrame, parts[k]));
    }
}

void SceneView::hide(size_t index) {
    for (SceneNode* node : shownBy_[index]) {
        node->setObject(std::make_unique<NonGeometricObject>());
    }
    hidden_[index] = true;
}

namespace {

std::unique_ptr<Object> derivedObject(const std::shared_ptr<SceneView::Sources>& sources, size_t index,
                                      Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles) {
    auto topology = std::make_shared<const DerivedTopology>(deriveTopology(firstFrame, triangles));
    return std::make_unique<DeformingObject>([sources, index, topology](TimeValue time, Mesh& out) {
        Mesh frame;
        sources->mesh(index, time, frame);  // an empty frame takes the first frame's positions
        buildDerivedMesh(*topology, frame, out);
    });
}

}  // namespace

}  // namespace host::arrange
