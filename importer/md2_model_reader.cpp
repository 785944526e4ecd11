// MD2 files into one mesh node, "Quake MD2", from one frame of the model's animation.
#include <utility>

#include <modelformat/md2_reader.h>

#include "model_readers.h"

int readMd2Model(ImpInterface* importer, const uint8_t* file, size_t size, int frameIndex) {
    if (importer == nullptr) {
        return 0;
    }
    const modelformat::Md2ReadResult read = modelformat::readMd2(file, size, frameIndex);
    if (!read.ok) {
        return 0;
    }
    const modelformat::Md2Model& model = read.model;
    const int vertexCount = model.header.numVertices;
    const int texCoordCount = model.header.numTexCoords;
    const int triangleCount = model.header.numTriangles;

    std::unique_ptr<TriObject> object(CreateNewTriObject());
    if (object == nullptr) {
        return 0;
    }
    Mesh& mesh = object->GetMesh();
    mesh.setNumVerts(vertexCount, FALSE, TRUE);
    mesh.setNumTVerts(texCoordCount, FALSE);
    mesh.setNumFaces(triangleCount, FALSE, TRUE);
    mesh.setNumTVFaces(triangleCount, FALSE, 0);
    for (int i = 0; i < vertexCount && static_cast<size_t>(i) < model.positions.size(); ++i) {
        const modelformat::Md2Vec3& p = model.positions[static_cast<size_t>(i)];
        const modelformat::Md2Vec3& n = model.normals[static_cast<size_t>(i)];
        mesh.verts[i] = Point3(p.x, p.y, p.z);
        mesh.setNormal(i, Point3(n.x, n.y, n.z));
    }
    for (int j = 0; j < texCoordCount; ++j) {
        const modelformat::Md2Vec2& uv = model.textureCoordinates[static_cast<size_t>(j)];
        mesh.tVerts[j] = UVVert(uv.u, uv.v, 0.0f);
    }
    for (int k = 0; k < triangleCount; ++k) {
        // Indices were checked by the reader; the stored winding is reversed.
        const modelformat::Md2Triangle& triangle = model.triangles[static_cast<size_t>(k)];
        mesh.faces[k].setVerts(triangle.vertexIndices[0], triangle.vertexIndices[2], triangle.vertexIndices[1]);
        mesh.tvFace[k].setTVerts(triangle.texCoordIndices[0], triangle.texCoordIndices[2], triangle.texCoordIndices[1]);
        mesh.faces[k].setEdgeVisFlags(1, 1, 1);
    }
    mesh.buildNormals();
    mesh.buildBoundingBox();
    mesh.InvalidateEdgeList();

    Matrix3 identity;
    identity.IdentityMatrix();
    return addImportedNode(importer, std::move(object), identity, "Quake MD2");
}
