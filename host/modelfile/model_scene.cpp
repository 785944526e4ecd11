// One frame of an animated model as host nodes.
#include "model_scene.h"

#include <map>
#include <memory>

namespace host::modelfile {

namespace {

Mesh frameMesh(const ModelSurface& surface, int frame) {
    Mesh mesh;
    mesh.setNumVerts(surface.vertexCount);
    const Point3* positions = surface.framePositions(frame);
    for (int v = 0; v < surface.vertexCount; ++v) {
        mesh.verts[v] = positions[v];
    }
    const auto faceCount = static_cast<int>(surface.faces.size());
    mesh.setNumFaces(faceCount);
    mesh.setNumTVerts(static_cast<int>(surface.textureVertices.size()));
    mesh.setNumTVFaces(faceCount);
    for (size_t t = 0; t < surface.textureVertices.size(); ++t) {
        mesh.tVerts[t] = surface.textureVertices[t];
    }
    for (int f = 0; f < faceCount; ++f) {
        const std::array<int, 3>& face = surface.faces[static_cast<size_t>(f)];
        const std::array<int, 3>& textureFace = surface.textureFaces[static_cast<size_t>(f)];
        mesh.faces[f].setVerts(face[0], face[1], face[2]);
        mesh.faces[f].setEdgeVisFlags(1, 1, 1);
        mesh.tvFace[f].setTVerts(textureFace[0], textureFace[1], textureFace[2]);
    }
    const Point3* normals = surface.frameNormals(frame);
    mesh.setSpecifiedNormals(std::vector<Point3>(normals, normals + surface.vertexCount));
    mesh.buildNormals();
    mesh.buildBoundingBox();
    return mesh;
}

}  // namespace

void addFrameNodes(const AnimatedModel& model, int frame, Scene& scene) {
    for (const ModelTag& tag : model.tags) {
        SceneNode* node = scene.addNode(tag.name);
        node->setTransform(tag.frames[static_cast<size_t>(frame)]);
    }
    std::map<std::string, Material*> materials;
    for (const ModelSurface& surface : model.surfaces) {
        SceneNode* node = scene.addNode(surface.name);
        if (surface.empty()) {
            continue;
        }
        node->setMesh(frameMesh(surface, frame));
        if (surface.shader.empty()) {
            continue;
        }
        Material*& material = materials[surface.shader];
        if (material == nullptr) {
            material = scene.addMaterial(surface.shader);
            material->setDiffuseMap(std::make_unique<BitmapTexture>(surface.shader));
        }
        node->setMaterial(material);
    }
}

}  // namespace host::modelfile
