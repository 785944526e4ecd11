// The stand-in host's scene model: named nodes in a hierarchy, with animated transforms,
// objects that are static or deform over time, and materials with bitmap textures. It is what
// plug-ins reach through the host SDK's node, scene and import interfaces.
#ifndef HOST_SCENE_SCENE_H
#define HOST_SCENE_SCENE_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <max.h>

namespace host {

// A node's transform relative to its parent at a time.
using TransformTrack = std::function<Matrix3(TimeValue)>;
// Fills a mesh with an object's geometry at a time.
using MeshGenerator = std::function<void(TimeValue, Mesh&)>;

class BitmapTexture : public BitmapTex {
public:
    explicit BitmapTexture(std::string fileName) : fileName_(std::move(fileName)) {}
    TCHAR* GetMapName() override { return fileName_.data(); }

private:
    std::string fileName_;
};

// A texture map of another kind (not a bitmap), for scenes that use one.
class ProceduralTexture : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(0x0246, 0); }
};

class Material : public Mtl {
public:
    Material() = default;
    explicit Material(std::string name) : name_(std::move(name)) {}
    int NumSubTexmaps() override { return 3; }
    Texmap* GetSubTexmap(int slot) override { return slot == ID_DI ? diffuse_.get() : nullptr; }
    void setDiffuseMap(std::unique_ptr<Texmap> map) { diffuse_ = std::move(map); }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::unique_ptr<Texmap> diffuse_;
};

// An object whose mesh is computed only when it is converted to a triangle object: evaluating
// it costs nothing, converting it builds a new triangle object that the caller owns.
class DeformingObject : public Object {
public:
    explicit DeformingObject(MeshGenerator generator) : generator_(std::move(generator)) {}
    Class_ID ClassID() override { return Class_ID(0x51A7E, 0x0DEF); }
    int CanConvertToType(Class_ID classId) override { return classId == triObjectClassID ? 1 : 0; }
    Object* ConvertToType(TimeValue time, Class_ID classId) override;
    // Stand-in bookkeeping: how many meshes have been built.
    int conversions() const { return conversions_; }

private:
    MeshGenerator generator_;
    int conversions_ = 0;
};

// An object that is not geometry (a light, a camera, a helper): it never converts.
class NonGeometricObject : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1011, 0); }
    SClass_ID SuperClassID() override { return 0x30; }
    int CanConvertToType(Class_ID /*classId*/) override { return 0; }
    Object* ConvertToType(TimeValue /*time*/, Class_ID /*classId*/) override { return nullptr; }
};

class SceneNode : public INode {
public:
    explicit SceneNode(std::string name);
    ~SceneNode() override;

    TCHAR* GetName() override { return name_.data(); }
    int Selected() override { return selected_ ? 1 : 0; }
    const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden = TRUE) override;
    Matrix3 GetObjectTM(TimeValue time, Interval* valid = nullptr) override;
    Matrix3 GetNodeTM(TimeValue time, Interval* valid = nullptr) override;
    Mtl* GetMtl() override { return material_; }
    INode* GetParentNode() override { return parent_; }
    int NumberOfChildren() override { return static_cast<int>(children_.size()); }
    INode* GetChildNode(int i) override;

    void setName(const std::string& name) { name_ = name; }
    const std::string& name() const { return name_; }
    void setSelected(bool selected) { selected_ = selected; }
    // The node's transform relative to its parent; constant or animated.
    void setTransform(const Matrix3& local);
    void setTransformTrack(TransformTrack track) { track_ = std::move(track); }
    Matrix3 localTransform(TimeValue time) const;
    // The node takes ownership of the object.
    void setObject(std::unique_ptr<Object> object) { object_ = std::move(object); }
    Object* object() const { return object_.get(); }
    // Convenience: a static triangle mesh, or a mesh computed per time.
    void setMesh(const Mesh& mesh);
    void setDeformingMesh(MeshGenerator generator);
    // The material is owned by the scene.
    void setMaterial(Mtl* material) { material_ = material; }
    SceneNode* parent() const { return parent_; }
    const std::vector<SceneNode*>& children() const { return children_; }
    // Stand-in bookkeeping: how many times the node was evaluated.
    int evaluations() const { return evaluations_; }

private:
    friend class Scene;
    std::string name_;
    bool selected_ = false;
    Matrix3 local_;
    TransformTrack track_;
    std::unique_ptr<Object> object_;
    Mtl* material_ = nullptr;
    SceneNode* parent_ = nullptr;
    std::vector<SceneNode*> children_;
    ObjectState state_;
    int evaluations_ = 0;
};

class Scene : public IScene {
public:
    Scene();
    ~Scene() override;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Enumerates the nodes depth first, parents before children, in the order they were added.
    int EnumTree(ITreeEnumProc* proc) override;

    // Adds a node under a parent (at the top when parent is null); the scene owns it.
    SceneNode* addNode(const std::string& name, SceneNode* parent = nullptr);
    // Adds a node built elsewhere.
    SceneNode* adoptNode(std::unique_ptr<SceneNode> node, SceneNode* parent = nullptr);
    // Adds a node under a parent (at the top when parent is null) at a place among its siblings:
    // position 0 is first; a position past the last puts it last.
    SceneNode* insertNode(const std::string& name, SceneNode* parent, size_t position);
    Material* addMaterial(const std::string& name);
    // Nodes in enumeration order.
    std::vector<SceneNode*> nodes() const;
    SceneNode* findNode(const std::string& name) const;
    size_t size() const { return owned_.size(); }

    ExpInterface* exportContext() { return &exportContext_; }

private:
    std::vector<std::unique_ptr<SceneNode>> owned_;
    std::vector<SceneNode*> roots_;
    std::vector<std::unique_ptr<Material>> materials_;
    ExpInterface exportContext_;
};

// The host interface: the scene's current time and animation range.
class HostInterface : public Interface {
public:
    TimeValue GetTime() override { return time_; }
    void SetTime(TimeValue time, BOOL /*redraw*/ = TRUE) override { time_ = time; }
    Interval GetAnimRange() override { return range_; }
    HWND GetMAXHWnd() override { return GetDesktopWindow(); }
    void setAnimRange(const Interval& range) { range_ = range; }

private:
    TimeValue time_ = 0;
    Interval range_{0, 100 * 160};
};

// The import interface: nodes an importer creates become nodes of the scene.
class ImportInterface : public ImpInterface {
public:
    explicit ImportInterface(Scene& scene);
    ~ImportInterface() override;
    ImportInterface(const ImportInterface&) = delete;
    ImportInterface& operator=(const ImportInterface&) = delete;
    ImpNode* CreateNode() override;
    void AddNodeToScene(ImpNode* node) override;
    void RedrawViews() override { ++redraws_; }
    int redraws() const { return redraws_; }
    // The nodes added to the scene, in the order they were added.
    const std::vector<SceneNode*>& addedNodes() const { return added_; }

private:
    class PendingNode;
    Scene& scene_;
    std::vector<std::unique_ptr<PendingNode>> pending_;
    std::vector<SceneNode*> added_;
    int redraws_ = 0;
};

// Frames to host time and back, with the current frame rate.
inline TimeValue frameToTicks(int frame) { return frame * GetTicksPerFrame(); }

}  // namespace host

#endif
