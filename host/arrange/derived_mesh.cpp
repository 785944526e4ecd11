// Meshes made of chosen triangles of a source mesh, frame by frame.
#include "derived_mesh.h"

#include <unordered_map>

namespace host::arrange {

DerivedTopology deriveTopology(Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles) {
    DerivedTopology topology;
    topology.mapped = hasMapping(firstFrame);
    std::unordered_map<int, int> vertexOf;
    std::unordered_map<int, int> textureVertexOf;  // kUnmapped stands for the coordinate (0, 0)
    const auto vertex = [&](int source) {
        const auto [found, added] = vertexOf.emplace(source, static_cast<int>(topology.sourceVertices.size()));
        if (added) {
            topology.sourceVertices.push_back(source);
        }
        return found->second;
    };
    const auto textureVertex = [&](const Corner& corner) {
        const auto [found, added] =
            textureVertexOf.emplace(corner.textureVertex, static_cast<int>(topology.textureVertices.size()));
        if (added) {
            topology.textureVertices.push_back(cornerCoordinate(firstFrame, corner));
        }
        return found->second;
    };
    topology.faces.reserve(triangles.size());
    for (const SurfaceTriangle& triangle : triangles) {
        Face face;
        if (triangle.face >= 0 && triangle.face < firstFrame.numFaces) {
            face = firstFrame.faces[triangle.face];
        } else {
            face.setEdgeVisFlags(1, 1, 1);
        }
        face.setVerts(vertex(triangle.corners[0].vertex), vertex(triangle.corners[1].vertex),
                      vertex(triangle.corners[2].vertex));
        topology.faces.push_back(face);
        if (topology.mapped) {
            topology.textureFaces.emplace_back(static_cast<DWORD>(textureVertex(triangle.corners[0])),
                                               static_cast<DWORD>(textureVertex(triangle.corners[1])),
                                               static_cast<DWORD>(textureVertex(triangle.corners[2])));
        }
    }
    firstFrame.checkNormals(TRUE);
    const bool normals = firstFrame.normalsBuilt() != FALSE;
    for (const int source : topology.sourceVertices) {
        const bool present = source < firstFrame.numVerts;
        topology.firstPositions.push_back(present ? firstFrame.verts[source] : Point3(0.0f, 0.0f, 0.0f));
        if (normals) {
            topology.firstNormals.push_back(present ? firstFrame.getNormal(source) : Point3(0.0f, 0.0f, 1.0f));
        }
    }
    return topology;
}

void buildDerivedMesh(const DerivedTopology& topology, Mesh& sourceFrame, Mesh& out) {
    const auto vertexCount = static_cast<int>(topology.sourceVertices.size());
    out = Mesh();
    out.setNumVerts(vertexCount);
    out.setNumFaces(static_cast<int>(topology.faces.size()));
    for (size_t f = 0; f < topology.faces.size(); ++f) {
        out.faces[f] = topology.faces[f];
    }
    if (topology.mapped) {
        out.setNumTVerts(static_cast<int>(topology.textureVertices.size()));
        out.setNumTVFaces(static_cast<int>(topology.textureFaces.size()));
        for (size_t t = 0; t < topology.textureVertices.size(); ++t) {
            out.tVerts[t] = topology.textureVertices[t];
        }
        for (size_t f = 0; f < topology.textureFaces.size(); ++f) {
            out.tvFace[f] = topology.textureFaces[f];
        }
    }
    for (int v = 0; v < vertexCount; ++v) {
        const int source = topology.sourceVertices[static_cast<size_t>(v)];
        out.verts[v] =
            source < sourceFrame.numVerts ? sourceFrame.verts[source] : topology.firstPositions[static_cast<size_t>(v)];
    }
    sourceFrame.checkNormals(TRUE);
    if (sourceFrame.normalsBuilt() == FALSE || topology.firstNormals.size() != topology.sourceVertices.size()) {
        out.setNormalsUnavailable(TRUE);
        return;
    }
    std::vector<Point3> normals(static_cast<size_t>(vertexCount));
    for (int v = 0; v < vertexCount; ++v) {
        const int source = topology.sourceVertices[static_cast<size_t>(v)];
        normals[static_cast<size_t>(v)] = source < sourceFrame.numVerts ? sourceFrame.getNormal(source)
                                                                        : topology.firstNormals[static_cast<size_t>(v)];
    }
    out.setSpecifiedNormals(normals);
}

}  // namespace host::arrange
