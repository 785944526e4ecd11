// Mesh: the host's triangle mesh with faces, texture vertices, texture faces and vertex normals.
// Its arrays are public and written directly once sized, as host plug-ins expect.
#ifndef MAXSDK_MESH_H
#define MAXSDK_MESH_H

#include <vector>

#include "matrix3.h"

typedef Point3 UVVert;

// Edge visibility bits of Face::flags.
#define EDGE_A (1 << 0)
#define EDGE_B (1 << 1)
#define EDGE_C (1 << 2)
#define EDGE_ALL (EDGE_A | EDGE_B | EDGE_C)

class MAXSDK_API Face {
public:
    DWORD v[3];     // vertex indices of corners 0, 1, 2
    DWORD smGroup;  // smoothing groups
    DWORD flags;    // edge visibility and material id

    Face() : v{0, 0, 0}, smGroup(1), flags(0) {}
    void setVerts(int a, int b, int c);
    void setEdgeVisFlags(int va, int vb, int vc);
    DWORD getVert(int corner) const { return v[corner]; }
    int getEdgeVis(int edge) const { return static_cast<int>((flags >> edge) & 1); }
};

class MAXSDK_API TVFace {
public:
    DWORD t[3];  // texture-vertex indices of corners 0, 1, 2

    TVFace() : t{0, 0, 0} {}
    TVFace(DWORD a, DWORD b, DWORD c) : t{a, b, c} {}
    void setTVerts(int a, int b, int c);
    DWORD getTVert(int corner) const { return t[corner]; }
};

class MAXSDK_API Box3 {
public:
    Point3 pmin;
    Point3 pmax;
    Box3();
    void Init();
    bool IsEmpty() const;
    Box3& operator+=(const Point3& p);
};

class MAXSDK_API Mesh {
public:
    Mesh();
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    ~Mesh();

    // Sizing. Without keep the entries are reset; with keep the first ones survive.
    BOOL setNumVerts(int count, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumFaces(int count, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumTVerts(int count, BOOL keep = FALSE);
    BOOL setNumTVFaces(int count, BOOL keep = FALSE, int oldCount = 0);
    int getNumVerts() const { return numVerts; }
    int getNumFaces() const { return numFaces; }
    int getNumTVerts() const { return numTVerts; }

    void setVert(int i, const Point3& p) { verts[i] = p; }
    Point3& getVert(int i) { return verts[i]; }
    void setTVert(int i, const UVVert& p) { tVerts[i] = p; }
    UVVert& getTVert(int i) { return tVerts[i]; }

    // Vertex normals. buildNormals computes them from the faces (the area-weighted average of
    // the normals of the faces around each vertex), or takes the specified normals when the mesh
    // has them; checkNormals builds them when they are missing; getNormal answers a vertex's
    // normal, the zero vector when none is built. setNormal changes a built normal until the next
    // buildNormals.
    void buildNormals();
    void checkNormals(BOOL illum);
    void setNormal(int i, const Point3& normal);
    // Inline: an exporter asks for every vertex's normal of every frame.
    Point3& getNormal(int i) {
        if (i < 0 || static_cast<size_t>(i) >= normals_.size()) {
            zeroNormal_ = Point3(0.0f, 0.0f, 0.0f);
            return zeroNormal_;
        }
        return normals_[static_cast<size_t>(i)];
    }
    BOOL normalsBuilt() const { return normalsBuilt_; }
    // Stand-in only: models a mesh whose normals the host cannot construct, so that
    // buildNormals and checkNormals leave it without normals.
    void setNormalsUnavailable(BOOL unavailable);
    // Stand-in only: normals that come with the mesh (a scene file's own), one per vertex, which
    // buildNormals takes (unit length) instead of computing them from the faces. Refused (FALSE)
    // unless there is one per vertex. Copies keep them; setNumVerts drops them; a mesh whose
    // normals are unavailable has none, specified or not.
    BOOL setSpecifiedNormals(const std::vector<Point3>& normals);
    BOOL hasSpecifiedNormals() const { return !specifiedNormals_.empty(); }
    void clearSpecifiedNormals();

    void buildBoundingBox();
    Box3 getBoundingBox(Matrix3* tm = nullptr);
    void InvalidateEdgeList();
    void InvalidateGeomCache();

    int numVerts;
    int numFaces;
    int numTVerts;
    Point3* verts;
    Face* faces;
    UVVert* tVerts;
    TVFace* tvFace;

private:
    void syncPointers();

    std::vector<Point3> vertStore_;
    std::vector<Face> faceStore_;
    std::vector<UVVert> tVertStore_;
    std::vector<TVFace> tvFaceStore_;
    std::vector<Point3> normals_;
    std::vector<Point3> specifiedNormals_;
    Point3 zeroNormal_;
    BOOL normalsBuilt_;
    BOOL normalsUnavailable_;
    Box3 bounds_;
};

#endif
