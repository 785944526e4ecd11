// MD3 files into nodes: a marker per tag and a mesh per surface, from the file's first frame.
#include <cstring>
#include <utility>

#include "model_readers.h"

// Deliberately library-wide and kept between imports, as in the original module: do not make it local.
char nodeNameBuffer[68];

namespace {

// Every tag node shows the same small marker: a triangle in both windings, so it is seen from
// either side, in the tag's own frame.
void buildTagMarker(Mesh& mesh) {
    mesh.setNumVerts(3, FALSE, TRUE);
    mesh.setNumFaces(2, FALSE, TRUE);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(2.0f, 0.0f, 0.0f);
    mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[0].setEdgeVisFlags(1, 1, 1);
    mesh.faces[1].setVerts(0, 2, 1);
    mesh.faces[1].setEdgeVisFlags(1, 1, 1);
    mesh.buildNormals();
    mesh.buildBoundingBox();
    mesh.InvalidateEdgeList();
}

void setNodeName(const std::string& name) {
    nodeNameBuffer[0] = '\0';
    std::strncpy(nodeNameBuffer, name.c_str(), sizeof nodeNameBuffer - 1);
    nodeNameBuffer[sizeof nodeNameBuffer - 1] = '\0';
}

Point3 toPoint(const modelformat::Md3Vec3& v) { return Point3(v.x, v.y, v.z); }

}  // namespace

int readMd3Surface(Mesh& mesh, const modelformat::Md3Surface& surface) {
    const int vertexCount = surface.header.vertexCount;
    const int triangleCount = surface.header.triangleCount;
    if (surface.header.frameCount < 1 || surface.vertices.size() < static_cast<size_t>(vertexCount) ||
        surface.texCoords.size() < static_cast<size_t>(vertexCount) ||
        surface.triangles.size() < static_cast<size_t>(triangleCount)) {
        return 0;
    }
    mesh.setNumVerts(vertexCount, FALSE, TRUE);
    mesh.setNumTVerts(vertexCount, FALSE);
    mesh.setNumFaces(triangleCount, FALSE, TRUE);
    mesh.setNumTVFaces(triangleCount, FALSE, 0);
    const modelformat::Md3Vertex* first = surface.frameVertices(0);
    for (int i = 0; i < vertexCount; ++i) {
        mesh.verts[i] = Point3(first[i].x * modelformat::kMd3PositionUnit, first[i].y * modelformat::kMd3PositionUnit,
                               first[i].z * modelformat::kMd3PositionUnit);
        const modelformat::Md3TexCoord& st = surface.texCoords[static_cast<size_t>(i)];
        mesh.tVerts[i] = UVVert(st.s, 1.0f - st.t, 0.0f);
    }
    for (int k = 0; k < triangleCount; ++k) {
        // The reader has checked every index against the vertex count.
        const std::array<int32_t, 3>& stored = surface.triangles[static_cast<size_t>(k)].indices;
        mesh.faces[k].setVerts(stored[0], stored[2], stored[1]);
        mesh.tvFace[k].setTVerts(stored[0], stored[2], stored[1]);
        mesh.faces[k].setEdgeVisFlags(1, 1, 1);
    }
    mesh.checkNormals(TRUE);
    mesh.buildBoundingBox();
    mesh.InvalidateEdgeList();
    return 1;
}

int readMd3Model(ImpInterface* importer, const uint8_t* file, size_t size) {
    if (importer == nullptr) {
        return 0;
    }
    // The import uses the first frame only; the rest of the file is checked, not decoded.
    const modelformat::Md3ReadResult read = modelformat::readMd3(file, size, modelformat::Md3Detail::FirstFrame);
    const modelformat::Md3Model& model = read.model;
    // A file refused as a whole adds nothing; a file whose later surface is broken keeps the
    // tags and the surfaces before it, as a front-to-back import would.
    if (!read.ok && model.surfaces.empty() && model.tags.empty()) {
        return 0;
    }

    for (int32_t t = 0; t < model.header.tagCount && model.heldFrameCount() > 0; ++t) {
        nodeNameBuffer[0] = '\0';
        std::unique_ptr<TriObject> object(CreateNewTriObject());
        if (object == nullptr) {
            return 0;
        }
        const modelformat::Md3TagRecord& tag = model.tag(0, t);
        setNodeName(tag.name);
        buildTagMarker(object->GetMesh());
        Matrix3 transform(TRUE);
        transform.SetRow(0, toPoint(tag.axes[0]));
        transform.SetRow(1, toPoint(tag.axes[1]));
        transform.SetRow(2, toPoint(tag.axes[2]));
        transform.SetRow(3, toPoint(tag.origin));
        transform.ValidateFlags();
        if (!addImportedNode(importer, std::move(object), transform, nodeNameBuffer)) {
            return 0;
        }
    }

    for (const modelformat::Md3Surface& surface : model.surfaces) {
        nodeNameBuffer[0] = '\0';
        std::unique_ptr<TriObject> object(CreateNewTriObject());
        if (object == nullptr) {
            return 0;
        }
        setNodeName(surface.header.name);
        if (!readMd3Surface(object->GetMesh(), surface)) {
            return 0;
        }
        Matrix3 identity;
        identity.IdentityMatrix();
        if (!addImportedNode(importer, std::move(object), identity, nodeNameBuffer)) {
            return 0;
        }
    }
    return read.ok ? 1 : 0;
}
