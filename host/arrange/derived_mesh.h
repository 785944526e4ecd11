// A mesh made of chosen triangles of another mesh (a part of it, or a simplified version of it),
// computed again from that mesh at every time: its topology is fixed once from the first frame,
// its positions and normals follow the source's frame by frame.
#ifndef HOST_ARRANGE_DERIVED_MESH_H
#define HOST_ARRANGE_DERIVED_MESH_H

#include <vector>

#include <max.h>

#include "surface_triangles.h"

namespace host::arrange {

// What stays fixed: the source vertices the mesh keeps, numbered in the order its triangles first
// use them, its faces over them, and its texture vertices and texture faces (those of the first
// frame: the exporter takes texture coordinates from the first frame only).
struct DerivedTopology {
    std::vector<int> sourceVertices;  // the source's geometric vertex of each vertex
    std::vector<Face> faces;
    bool mapped = false;
    std::vector<UVVert> textureVertices;
    std::vector<TVFace> textureFaces;
    // The first frame's positions and normals of the kept vertices, for a frame whose mesh lacks
    // a vertex (the exporter too fills such a vertex from the first frame).
    std::vector<Point3> firstPositions;
    std::vector<Point3> firstNormals;  // empty when the first frame has no normals
};

// The topology of a mesh of these triangles of firstFrame. A triangle that is one of the mesh's
// faces keeps that face's smoothing group and edge flags; one made anew shows all its edges.
DerivedTopology deriveTopology(Mesh& firstFrame, const std::vector<SurfaceTriangle>& triangles);

// The derived mesh of one frame of the source: positions from the source's frame, and the
// source's normals of that frame, built over the whole source mesh, as the derived mesh's
// specified normals, so that the surface shades across the cut as it did whole. When the source
// frame has no normals, neither has the derived mesh.
void buildDerivedMesh(const DerivedTopology& topology, Mesh& sourceFrame, Mesh& out);

}  // namespace host::arrange

#endif
