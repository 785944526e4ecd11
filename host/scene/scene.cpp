// The stand-in host's scene: nodes, evaluation, enumeration and the import interface.
#include "scene.h"

#include <algorithm>
#include <cstddef>
#include <new>

namespace host {

Object* DeformingObject::ConvertToType(TimeValue time, Class_ID classId) {
    if (classId != triObjectClassID) {
        return nullptr;
    }
    TriObject* result = CreateNewTriObject();
    if (result == nullptr) {
        return nullptr;
    }
    generator_(time, result->GetMesh());
    ++conversions_;
    return result;
}

SceneNode::SceneNode(std::string name) : name_(std::move(name)) {}
SceneNode::~SceneNode() = default;

const ObjectState& SceneNode::EvalWorldState(TimeValue /*time*/, BOOL /*evalHidden*/) {
    ++evaluations_;
    state_ = ObjectState(object_.get());
    return state_;
}

void SceneNode::setTransform(const Matrix3& local) {
    local_ = local;
    track_ = nullptr;
}

Matrix3 SceneNode::localTransform(TimeValue time) const { return track_ ? track_(time) : local_; }

Matrix3 SceneNode::GetNodeTM(TimeValue time, Interval* valid) {
    if (valid != nullptr) {
        *valid = Interval(time, time);
    }
    // Row vectors: a point goes through the node's own transform first, then its parent's.
    Matrix3 world = localTransform(time);
    for (SceneNode* ancestor = parent_; ancestor != nullptr; ancestor = ancestor->parent_) {
        world *= ancestor->localTransform(time);
    }
    return world;
}

Matrix3 SceneNode::GetObjectTM(TimeValue time, Interval* valid) { return GetNodeTM(time, valid); }

INode* SceneNode::GetChildNode(int i) {
    if (i < 0 || static_cast<size_t>(i) >= children_.size()) {
        return nullptr;
    }
    return children_[static_cast<size_t>(i)];
}

void SceneNode::setMesh(const Mesh& mesh) {
    auto object = std::make_unique<TriObject>();
    object->GetMesh() = mesh;
    object_ = std::move(object);
}

void SceneNode::setDeformingMesh(MeshGenerator generator) {
    object_ = std::make_unique<DeformingObject>(std::move(generator));
}

Scene::Scene() { exportContext_.theScene = this; }
Scene::~Scene() = default;

int Scene::EnumTree(ITreeEnumProc* proc) {
    if (proc == nullptr) {
        return 0;
    }
    // Depth first with a stack of the nodes still to visit, so that hierarchies of any depth are
    // walked without recursion. The lists are copied as they are reached: a callback may not
    // change the scene, but no list must move under the walk.
    std::vector<SceneNode*> pending(roots_.rbegin(), roots_.rend());
    while (!pending.empty()) {
        SceneNode* node = pending.back();
        pending.pop_back();
        const int answer = proc->callback(node);
        if (answer == TREE_ABORT) {
            return 1;
        }
        if (answer != TREE_IGNORECHILDREN) {
            pending.insert(pending.end(), node->children_.rbegin(), node->children_.rend());
        }
    }
    return 0;
}

SceneNode* Scene::adoptNode(std::unique_ptr<SceneNode> node, SceneNode* parent) {
    SceneNode* raw = node.get();
    raw->parent_ = parent;
    if (parent != nullptr) {
        parent->children_.push_back(raw);
    } else {
        roots_.push_back(raw);
    }
    owned_.push_back(std::move(node));
    return raw;
}

SceneNode* Scene::addNode(const std::string& name, SceneNode* parent) {
    return adoptNode(std::make_unique<SceneNode>(name), parent);
}

SceneNode* Scene::insertNode(const std::string& name, SceneNode* parent, size_t position) {
    owned_.push_back(std::make_unique<SceneNode>(name));
    SceneNode* raw = owned_.back().get();
    raw->parent_ = parent;
    std::vector<SceneNode*>& siblings = parent != nullptr ? parent->children_ : roots_;
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(std::min(position, siblings.size())), raw);
    return raw;
}

Material* Scene::addMaterial(const std::string& name) {
    materials_.push_back(std::make_unique<Material>(name));
    return materials_.back().get();
}

std::vector<SceneNode*> Scene::nodes() const {
    std::vector<SceneNode*> result;
    result.reserve(owned_.size());
    std::vector<SceneNode*> pending(roots_.rbegin(), roots_.rend());
    while (!pending.empty()) {
        SceneNode* node = pending.back();
        pending.pop_back();
        result.push_back(node);
        pending.insert(pending.end(), node->children_.rbegin(), node->children_.rend());
    }
    return result;
}

SceneNode* Scene::findNode(const std::string& name) const {
    for (const auto& node : owned_) {
        if (node->name() == name) {
            return node.get();
        }
    }
    return nullptr;
}

// A node an importer is building: it joins the scene when it is added.
class ImportInterface::PendingNode : public ImpNode {
public:
    PendingNode() : owned_(std::make_unique<SceneNode>("")), node_(owned_.get()) {}
    RefResult Reference(Object* object) override {
        node_->setObject(std::unique_ptr<Object>(object));
        return REF_SUCCEED;
    }
    void SetTransform(TimeValue /*time*/, Matrix3 tm) override { node_->setTransform(tm); }
    void SetName(const TCHAR* name) override { node_->setName(name != nullptr ? name : ""); }
    INode* GetINode() override { return node_; }
    std::unique_ptr<SceneNode> release() { return std::move(owned_); }
    SceneNode* node() const { return node_; }

private:
    std::unique_ptr<SceneNode> owned_;
    SceneNode* node_;
};

ImportInterface::ImportInterface(Scene& scene) : scene_(scene) {}
ImportInterface::~ImportInterface() = default;

ImpNode* ImportInterface::CreateNode() {
    auto* pending = new (std::nothrow) PendingNode();
    if (pending == nullptr) {
        return nullptr;
    }
    pending_.emplace_back(pending);
    return pending;
}

void ImportInterface::AddNodeToScene(ImpNode* node) {
    for (const auto& pending : pending_) {
        if (pending.get() == node) {
            std::unique_ptr<SceneNode> sceneNode = pending->release();
            if (sceneNode != nullptr) {
                added_.push_back(scene_.adoptNode(std::move(sceneNode)));
            }
            return;
        }
    }
}

}  // namespace host
