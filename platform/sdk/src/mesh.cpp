// Mesh storage, sizing, vertex normals and bounding box.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh.h"

void Face::setVerts(int a, int b, int c) {
    v[0] = static_cast<DWORD>(a);
    v[1] = static_cast<DWORD>(b);
    v[2] = static_cast<DWORD>(c);
}

void Face::setEdgeVisFlags(int va, int vb, int vc) {
    flags &= ~static_cast<DWORD>(EDGE_ALL);
    if (va) {
        flags |= EDGE_A;
    }
    if (vb) {
        flags |= EDGE_B;
    }
    if (vc) {
        flags |= EDGE_C;
    }
}

void TVFace::setTVerts(int a, int b, int c) {
    t[0] = static_cast<DWORD>(a);
    t[1] = static_cast<DWORD>(b);
    t[2] = static_cast<DWORD>(c);
}

Box3::Box3() { Init(); }

void Box3::Init() {
    const float big = std::numeric_limits<float>::max();
    pmin = Point3(big, big, big);
    pmax = Point3(-big, -big, -big);
}

bool Box3::IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }

Box3& Box3::operator+=(const Point3& p) {
    pmin = Point3(std::min(pmin.x, p.x), std::min(pmin.y, p.y), std::min(pmin.z, p.z));
    pmax = Point3(std::max(pmax.x, p.x), std::max(pmax.y, p.y), std::max(pmax.z, p.z));
    return *this;
}

Mesh::Mesh()
    : numVerts(0),
      numFaces(0),
      numTVerts(0),
      verts(nullptr),
      faces(nullptr),
      tVerts(nullptr),
      tvFace(nullptr),
      normalsBuilt_(FALSE),
      normalsUnavailable_(FALSE) {}

Mesh::Mesh(const Mesh& other)
    : numVerts(other.numVerts),
      numFaces(other.numFaces),
      numTVerts(other.numTVerts),
      verts(nullptr),
      faces(nullptr),
      tVerts(nullptr),
      tvFace(nullptr),
      vertStore_(other.vertStore_),
      faceStore_(other.faceStore_),
      tVertStore_(other.tVertStore_),
      tvFaceStore_(other.tvFaceStore_),
      normals_(other.normals_),
      specifiedNormals_(other.specifiedNormals_),
      normalsBuilt_(other.normalsBuilt_),
      normalsUnavailable_(other.normalsUnavailable_),
      bounds_(other.bounds_) {
    syncPointers();
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) {
        numVerts = other.numVerts;
        numFaces = other.numFaces;
        numTVerts = other.numTVerts;
        vertStore_ = other.vertStore_;
        faceStore_ = other.faceStore_;
        tVertStore_ = other.tVertStore_;
        tvFaceStore_ = other.tvFaceStore_;
        normals_ = other.normals_;
        specifiedNormals_ = other.specifiedNormals_;
        normalsBuilt_ = other.normalsBuilt_;
        normalsUnavailable_ = other.normalsUnavailable_;
        bounds_ = other.bounds_;
        syncPointers();
    }
    return *this;
}

Mesh::~Mesh() = default;

void Mesh::syncPointers() {
    verts = vertStore_.empty() ? nullptr : vertStore_.data();
    faces = faceStore_.empty() ? nullptr : faceStore_.data();
    tVerts = tVertStore_.empty() ? nullptr : tVertStore_.data();
    tvFace = tvFaceStore_.empty() ? nullptr : tvFaceStore_.data();
}

namespace {
template <typename T>
BOOL resize(std::vector<T>& store, int& count, int newCount, BOOL keep) {
    if (newCount < 0) {
        return FALSE;
    }
    if (!keep) {
        store.clear();
    }
    store.resize(static_cast<size_t>(newCount));
    count = newCount;
    return TRUE;
}
}  // namespace

BOOL Mesh::setNumVerts(int count, BOOL keep, BOOL /*synchSel*/) {
    const BOOL ok = resize(vertStore_, numVerts, count, keep);
    normals_.clear();
    specifiedNormals_.clear();
    normalsBuilt_ = FALSE;
    syncPointers();
    return ok;
}

BOOL Mesh::setNumFaces(int count, BOOL keep, BOOL /*synchSel*/) {
    const BOOL ok = resize(faceStore_, numFaces, count, keep);
    normalsBuilt_ = FALSE;
    syncPointers();
    return ok;
}

BOOL Mesh::setNumTVerts(int count, BOOL keep) {
    const BOOL ok = resize(tVertStore_, numTVerts, count, keep);
    syncPointers();
    return ok;
}

BOOL Mesh::setNumTVFaces(int count, BOOL keep, int /*oldCount*/) {
    int ignored = 0;
    const BOOL ok = resize(tvFaceStore_, ignored, count, keep);
    syncPointers();
    return ok;
}

namespace {
// CrossProd, written out with the same operations in the same order so that the normals of a
// large mesh cost no call per face, and come out the same.
Point3 faceCross(const Point3& a, const Point3& b) {
    return Point3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
}  // namespace

void Mesh::buildNormals() {
    if (normalsUnavailable_) {
        normals_.clear();
        normalsBuilt_ = FALSE;
        return;
    }
    if (hasSpecifiedNormals()) {
        normals_.resize(specifiedNormals_.size());
        std::transform(specifiedNormals_.begin(), specifiedNormals_.end(), normals_.begin(),
                       [](const Point3& n) { return n.Normalize(); });
        normalsBuilt_ = TRUE;
        return;
    }
    normals_.assign(static_cast<size_t>(numVerts), Point3(0.0f, 0.0f, 0.0f));
    for (int f = 0; f < numFaces; ++f) {
        const Face& face = faces[f];
        if (face.v[0] >= static_cast<DWORD>(numVerts) || face.v[1] >= static_cast<DWORD>(numVerts) ||
            face.v[2] >= static_cast<DWORD>(numVerts)) {
            continue;
        }
        const Point3& a = verts[face.v[0]];
        const Point3& b = verts[face.v[1]];
        const Point3& c = verts[face.v[2]];
        // The cross product's length is twice the face's area: larger faces weigh more.
        const Point3 faceNormal = faceCross(b - a, c - a);
        for (DWORD corner : face.v) {
            normals_[corner] += faceNormal;
        }
    }
    for (Point3& n : normals_) {
        n = n.Normalize();
    }
    normalsBuilt_ = TRUE;
}

void Mesh::checkNormals(BOOL /*illum*/) {
    if (!normalsBuilt_ || normals_.size() != static_cast<size_t>(numVerts)) {
        buildNormals();
    }
}

void Mesh::setNormal(int i, const Point3& normal) {
    if (i < 0 || i >= numVerts) {
        return;
    }
    if (normals_.size() != static_cast<size_t>(numVerts)) {
        normals_.assign(static_cast<size_t>(numVerts), Point3(0.0f, 0.0f, 0.0f));
    }
    normals_[static_cast<size_t>(i)] = normal;
}

void Mesh::setNormalsUnavailable(BOOL unavailable) {
    normalsUnavailable_ = unavailable;
    if (unavailable) {
        normals_.clear();
        normalsBuilt_ = FALSE;
    }
}

BOOL Mesh::setSpecifiedNormals(const std::vector<Point3>& normals) {
    if (normals.size() != static_cast<size_t>(numVerts) || normals.empty()) {
        return FALSE;
    }
    specifiedNormals_ = normals;
    normalsBuilt_ = FALSE;  // the next checkNormals takes them
    return TRUE;
}

void Mesh::clearSpecifiedNormals() {
    specifiedNormals_.clear();
    normalsBuilt_ = FALSE;
}

void Mesh::buildBoundingBox() {
    bounds_.Init();
    for (int i = 0; i < numVerts; ++i) {
        bounds_ += verts[i];
    }
}

Box3 Mesh::getBoundingBox(Matrix3* tm) {
    if (tm == nullptr) {
        buildBoundingBox();
        return bounds_;
    }
    Box3 box;
    for (int i = 0; i < numVerts; ++i) {
        box += tm->PointTransform(verts[i]);
    }
    return box;
}

void Mesh::InvalidateEdgeList() {}

void Mesh::InvalidateGeomCache() {
    normalsBuilt_ = FALSE;
    bounds_.Init();
}
