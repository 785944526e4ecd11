// Writing the host's scene at time 0 through assimp's exporters, in the Y-up frame files expect.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <modelformat/output_stream.h>

#include "file_animation.h"
#include "file_set_io.h"
#include "scene_file.h"

namespace host {

namespace {

// The root that holds the host's top nodes; the loader drops such an empty root again.
const char kSavedRootName[] = "Scene";
const char kDefaultMaterialName[] = "default";
constexpr TimeValue kSaveTime = 0;
// FBX states its unit in centimetres: a host unit is read from scene files as a metre.
constexpr double kCentimetresPerHostUnit = 100.0;

// assimp's exporters take the scene as Y-up: the host's (x, y, z) is written as (x, z, -y).
aiMatrix4x4 hostToYUp() {
    return aiMatrix4x4(1.0f, 0.0f, 0.0f, 0.0f,   //
                       0.0f, 0.0f, 1.0f, 0.0f,   //
                       0.0f, -1.0f, 0.0f, 0.0f,  //
                       0.0f, 0.0f, 0.0f, 1.0f);
}

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty() && extension[0] == '.') {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// One output vertex per distinct (vertex, texture vertex) pair of a corner, so that every corner
// keeps its texture coordinate where the host's texture faces differ from its faces.
struct CornerKey {
    DWORD vertex;
    DWORD textureVertex;
    bool operator<(const CornerKey& other) const {
        return vertex != other.vertex ? vertex < other.vertex : textureVertex < other.textureVertex;
    }
};

class SceneWriter {
public:
    // framesInFileAxes: every node's transform and mesh is seen in the file's axes (H · local · H⁻¹,
    // H · vertex), so that a node keeps the frame it had in the host (an unrotated tag is an
    // unrotated node of the file), as glTF and COLLADA readers expect. Otherwise the change of
    // axes goes on the top nodes alone, as FBX writers turn a scene.
    SceneWriter(aiScene& out, bool framesInFileAxes) : framesInFileAxes_(framesInFileAxes), out_(out) {
        if (framesInFileAxes) {
            frame_ = hostToYUp();
            frameInverse_ = frame_;
            frameInverse_.Transpose();  // a rotation
        }
    }

    void write(const Scene& scene) {
        std::vector<SceneNode*> roots;
        for (SceneNode* node : scene.nodes()) {
            if (node->parent() == nullptr) {
                roots.push_back(node);
            }
        }
        auto* root = new aiNode(kSavedRootName);
        out_.mRootNode = root;
        addTree(*root, roots);
        // Turned at the top nodes, not at the root: the FBX writer drops the root's transform,
        // since FBX's own root has none.
        for (unsigned i = 0; i < root->mNumChildren && !framesInFileAxes_; ++i) {
            root->mChildren[i]->mTransformation = hostToYUp() * root->mChildren[i]->mTransformation;
        }
        if (materials_.empty()) {
            defaultMaterial();  // exporters expect at least one material
        }
        out_.mNumMeshes = static_cast<unsigned>(meshes_.size());
        out_.mMeshes = new aiMesh*[meshes_.size()];
        std::copy(meshes_.begin(), meshes_.end(), out_.mMeshes);
        out_.mNumMaterials = static_cast<unsigned>(materials_.size());
        out_.mMaterials = new aiMaterial*[materials_.size()];
        std::copy(materials_.begin(), materials_.end(), out_.mMaterials);
        meshes_.clear();
        materials_.clear();
    }

    ~SceneWriter() {
        // Only what was not handed to the scene.
        for (aiMesh* mesh : meshes_) {
            delete mesh;
        }
        for (aiMaterial* material : materials_) {
            delete material;
        }
    }

    SceneWriter(const SceneWriter&) = delete;
    SceneWriter& operator=(const SceneWriter&) = delete;

private:
    // Every node below the top nodes, depth first with a stack rather than recursion (scenes
    // nest nodes thousands deep), in the order the recursion would take: meshes are numbered
    // in it.
    void addTree(aiNode& root, const std::vector<SceneNode*>& topNodes) {
        std::vector<std::pair<aiNode*, SceneNode*>> pending;
        addChildren(root, topNodes, pending);
        while (!pending.empty()) {
            const auto [out, node] = pending.back();
            pending.pop_back();
            fillNode(*out, *node);
            addChildren(*out, node->children(), pending);
        }
    }

    // Adds the nodes for the children and queues each to be filled, the first on top.
    static void addChildren(aiNode& parent, const std::vector<SceneNode*>& children,
                            std::vector<std::pair<aiNode*, SceneNode*>>& pending) {
        if (children.empty()) {
            return;
        }
        parent.mNumChildren = static_cast<unsigned>(children.size());
        parent.mChildren = new aiNode*[children.size()]();
        for (size_t i = 0; i < children.size(); ++i) {
            auto* child = new aiNode(children[i]->name());
            child->mParent = &parent;
            parent.mChildren[i] = child;
        }
        for (size_t i = children.size(); i > 0; --i) {
            pending.emplace_back(parent.mChildren[i - 1], children[i - 1]);
        }
    }

    void fillNode(aiNode& out, SceneNode& node) {
        out.mTransformation = frame_ * scenefile::toFileMatrix(node.localTransform(kSaveTime)) * frameInverse_;
        Object* object = node.EvalWorldState(kSaveTime).obj;
        if (object != nullptr && object->CanConvertToType(triObjectClassID)) {
            Object* converted = object->ConvertToType(kSaveTime, triObjectClassID);
            if (converted != nullptr) {
                aiMesh* mesh = buildMesh(static_cast<TriObject*>(converted)->GetMesh(), node);
                if (converted != object) {
                    converted->DeleteThis();
                }
                if (mesh != nullptr) {
                    out.mNumMeshes = 1;
                    out.mMeshes = new unsigned[1]{static_cast<unsigned>(meshes_.size())};
                    meshes_.push_back(mesh);
                }
            }
        }
    }

    aiMesh* buildMesh(Mesh& mesh, SceneNode& node) {
        const bool mapped = mesh.numTVerts > 0 && mesh.tvFace != nullptr;
        std::map<CornerKey, unsigned> outputIndex;
        std::vector<CornerKey> corners;
        std::vector<unsigned> indices;
        for (int f = 0; f < mesh.numFaces; ++f) {
            const Face& face = mesh.faces[f];
            bool valid = true;
            for (int c = 0; c < 3; ++c) {
                valid = valid && face.v[c] < static_cast<DWORD>(mesh.numVerts);
            }
            if (!valid) {
                continue;  // a face naming a vertex the mesh does not have is left out
            }
            for (int c = 0; c < 3; ++c) {
                DWORD textureVertex = 0;
                if (mapped && mesh.tvFace[f].t[c] < static_cast<DWORD>(mesh.numTVerts)) {
                    textureVertex = mesh.tvFace[f].t[c];
                }
                const CornerKey key{face.v[c], textureVertex};
                const auto inserted = outputIndex.emplace(key, static_cast<unsigned>(corners.size()));
                if (inserted.second) {
                    corners.push_back(key);
                }
                indices.push_back(inserted.first->second);
            }
        }
        if (indices.empty()) {
            return nullptr;
        }
        Mesh withNormals = mesh;
        withNormals.buildNormals();

        auto* out = new aiMesh();
        out->mName = node.name();
        out->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        out->mNumVertices = static_cast<unsigned>(corners.size());
        out->mVertices = new aiVector3D[corners.size()];
        if (withNormals.normalsBuilt()) {
            out->mNormals = new aiVector3D[corners.size()];
        }
        if (mapped) {
            out->mTextureCoords[0] = new aiVector3D[corners.size()];
            out->mNumUVComponents[0] = 2;
        }
        for (size_t i = 0; i < corners.size(); ++i) {
            const auto v = static_cast<int>(corners[i].vertex);
            const Point3& p = mesh.verts[v];
            out->mVertices[i] = frame_ * aiVector3D(p.x, p.y, p.z);
            if (out->mNormals != nullptr) {
                const Point3& n = withNormals.getNormal(v);
                out->mNormals[i] = frame_ * aiVector3D(n.x, n.y, n.z);
            }
            if (mapped) {
                const UVVert& uv = mesh.tVerts[corners[i].textureVertex];
                out->mTextureCoords[0][i] = aiVector3D(uv.x, uv.y, 0.0f);
            }
        }
        out->mNumFaces = static_cast<unsigned>(indices.size() / 3);
        out->mFaces = new aiFace[out->mNumFaces];
        for (unsigned f = 0; f < out->mNumFaces; ++f) {
            const size_t first = size_t{f} * 3;
            out->mFaces[f].mNumIndices = 3;
            out->mFaces[f].mIndices = new unsigned[3]{indices[first], indices[first + 1], indices[first + 2]};
        }
        out->mMaterialIndex = materialFor(node.GetMtl());
        return out;
    }

    unsigned defaultMaterial() {
        if (defaultMaterial_ < 0) {
            auto* material = new aiMaterial();
            const aiString name(kDefaultMaterialName);
            material->AddProperty(&name, AI_MATKEY_NAME);
            defaultMaterial_ = static_cast<int>(materials_.size());
            materials_.push_back(material);
        }
        return static_cast<unsigned>(defaultMaterial_);
    }

    unsigned materialFor(Mtl* source) {
        if (source == nullptr) {
            return defaultMaterial();
        }
        const auto found = materialIndex_.find(source);
        if (found != materialIndex_.end()) {
            return found->second;
        }
        auto* material = new aiMaterial();
        const auto* hostMaterial = dynamic_cast<const Material*>(source);
        const std::string name = hostMaterial != nullptr && !hostMaterial->name().empty()
                                     ? hostMaterial->name()
                                     : "material_" + std::to_string(materials_.size());
        const aiString materialName(name);
        material->AddProperty(&materialName, AI_MATKEY_NAME);
        const aiColor3D white(1.0f, 1.0f, 1.0f);
        material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
        Texmap* map = source->GetSubTexmap(ID_DI);
        if (map != nullptr && map->ClassID() == Class_ID(BMTEX_CLASS_ID, 0)) {
            const TCHAR* mapName = static_cast<BitmapTex*>(map)->GetMapName();
            // "*N" named an image embedded in a loaded file, which the host does not keep: an
            // exporter would look for it in vain.
            if (mapName != nullptr && mapName[0] != '\0' && mapName[0] != '*') {
                const aiString path(mapName);
                material->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
            }
        }
        const auto index = static_cast<unsigned>(materials_.size());
        materials_.push_back(material);
        materialIndex_[source] = index;
        return index;
    }

    bool framesInFileAxes_;
    aiMatrix4x4 frame_;  // the identity when the change goes on the top nodes
    aiMatrix4x4 frameInverse_;
    aiScene& out_;
    std::vector<aiMesh*> meshes_;
    std::vector<aiMaterial*> materials_;
    std::map<Mtl*, unsigned> materialIndex_;
    int defaultMaterial_ = -1;
};

// The exporter for an extension: the first assimp lists (glTF 2 before glTF 1), except for FBX,
// where assimp 5.2's binary writer makes files its own reader refuses ("block offset is out of
// range") and its ASCII writer is taken instead.
const aiExportFormatDesc* exporterFor(const Assimp::Exporter& exporter, const std::string& extension) {
    const aiExportFormatDesc* first = nullptr;
    for (size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* format = exporter.GetExportFormatDescription(i);
        if (format == nullptr || extension != format->fileExtension) {
            continue;
        }
        if (extension == "fbx" && std::string(format->id) == "fbxa") {
            return format;
        }
        if (first == nullptr) {
            first = format;
        }
    }
    return first;
}

}  // namespace

std::vector<std::string> sceneFileSaveExtensions() {
    Assimp::Exporter exporter;
    std::vector<std::string> extensions;
    for (size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const std::string extension = exporter.GetExportFormatDescription(i)->fileExtension;
        if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end()) {
            extensions.push_back(extension);
        }
    }
    return extensions;
}

bool saveSceneFile(const Scene& scene, const std::string& path, std::string& error) {
    Assimp::Exporter exporter;
    const std::string extension = lowerExtension(path);
    const aiExportFormatDesc* format = exporterFor(exporter, extension);
    if (format == nullptr) {
        error = "no scene format is written with the extension \"" + extension + "\" (" + path + ")";
        return false;
    }
    aiScene out;
    {
        SceneWriter writer(out, extension != "fbx");
        writer.write(scene);
    }
    if (extension == "fbx") {
        // The FBX writer states the unit the scene's metadata gives, else the centimetre; the
        // host's units are read from scene files as metres, so say so and they read back as saved.
        out.mMetaData = aiMetadata::Alloc(1);
        out.mMetaData->Set(0, "UnitScaleFactor", kCentimetresPerHostUnit);
    }
    // Every file the exporter writes goes in place only once all are complete: a failed save
    // leaves the files that were at their paths as they were.
    modelformat::FileSetOutput files(path);
    exporter.SetIOHandler(new scenefile::FileSetIOSystem(files));
    const bool exported = exporter.Export(&out, format->id, path) == AI_SUCCESS;
    if (files.failed()) {
        error = files.failure();
        return false;
    }
    if (!exported) {
        error = std::string("the ") + format->description + " writer refused the scene: " + exporter.GetErrorString();
        return false;
    }
    if (!files.commit()) {
        error = files.failure();
        return false;
    }
    return true;
}

}  // namespace host
