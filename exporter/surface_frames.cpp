// A surface frame's vertex records: positions in the format's fixed point, normals as two
// angle bytes, and the bounds of the stored positions.
#include "surface_frames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The transforms below are the host's own (Matrix3::PointTransform, the inverse transpose of
// the axis rows for normals, Point3::Normalize), written out with the same operations in the
// same order so that they give the same floats without a library call per vertex.

Point3 transformPoint(const Matrix3& m, const Point3& p) {
    return Point3(p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
                  p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
                  p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]);
}

// The normal of a direction under a transform: the inverse transpose of its axis rows, so that
// normals stay perpendicular to surfaces under non-uniform scale.
Point3 transformNormal(const Matrix3& inverse, const Point3& n) {
    return Point3(n.x * inverse.m[0][0] + n.y * inverse.m[0][1] + n.z * inverse.m[0][2],
                  n.x * inverse.m[1][0] + n.y * inverse.m[1][1] + n.z * inverse.m[1][2],
                  n.x * inverse.m[2][0] + n.y * inverse.m[2][1] + n.z * inverse.m[2][2]);
}

Point3 unit(const Point3& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0f) {
        return Point3(0.0f, 0.0f, 0.0f);
    }
    return Point3(v.x / length, v.y / length, v.z / length);
}

}  // namespace

void SurfaceFrame::appendTo(modelformat::ByteBlock& block) const {
    storeRecords(block.extend(vertices.size() * static_cast<size_t>(modelformat::kMd3VertexSize)));
}

void SurfaceFrame::storeRecords(uint8_t* out) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The record in memory is the record in the file: three int16 in this machine's order, which
    // is the file's, then the two bytes, without padding.
    static_assert(sizeof(modelformat::Md3Vertex) == modelformat::kMd3VertexSize, "a vertex record is 8 bytes");
    if (!vertices.empty()) {
        std::memcpy(out, vertices.data(), vertices.size() * sizeof(modelformat::Md3Vertex));
    }
#else
    for (const modelformat::Md3Vertex& vertex : vertices) {
        for (const int16_t coordinate : {vertex.x, vertex.y, vertex.z}) {
            const auto bits = static_cast<uint16_t>(coordinate);
            *out++ = static_cast<uint8_t>(bits & 0xFFu);
            *out++ = static_cast<uint8_t>(bits >> 8);
        }
        *out++ = vertex.normalPolar;
        *out++ = vertex.normalAzimuth;
    }
#endif
}

void SurfaceFrameEncoder::encode(Mesh& frameMesh, const Matrix3& transform, SurfaceFrame& frame) {
    GatheredFrame gathered;
    gather(frameMesh, transform, gathered);
    encode(gathered, frame);
}

void SurfaceFrameEncoder::gather(Mesh& frameMesh, const Matrix3& transform, GatheredFrame& gathered) {
    gathered.transform = transform;
    gathered.positions.resize(source_.size());
    frameMesh.checkNormals(TRUE);
    if (!frameMesh.normalsBuilt()) {
        normalsMissing_ = true;
    }
    gathered.normals.resize(normalsMissing_ ? 0 : source_.size());
    for (size_t i = 0; i < source_.size(); ++i) {
        const int source = source_[i];
        // A vertex the frame's mesh lacks comes from the first frame's mesh.
        Mesh& mesh = source < frameMesh.numVerts ? frameMesh : startMesh_;
        gathered.positions[i] = mesh.verts[source];
        if (normalsMissing_) {
            continue;
        }
        if (&mesh != &frameMesh) {
            mesh.checkNormals(TRUE);
        }
        gathered.normals[i] = mesh.getNormal(source);
    }
}

void SurfaceFrameEncoder::encode(const GatheredFrame& gathered, SurfaceFrame& frame) {
    const Matrix3& transform = gathered.transform;
    const Matrix3 inverse = Inverse(transform);
    const size_t count = gathered.positions.size();
    const bool withNormals = gathered.normals.size() == count;
    frame.vertices.resize(count);
    // Kept here until the end: frames beside each other may be encoded on two threads at once.
    // The bounds are those of the stored numbers: scaling by a power of two keeps their order.
    int lowX = INT16_MAX;
    int lowY = INT16_MAX;
    int lowZ = INT16_MAX;
    int highX = INT16_MIN;
    int highY = INT16_MIN;
    int highZ = INT16_MIN;
    bool clamped = false;
    modelformat::Md3Vertex* stored = frame.vertices.data();
    for (size_t i = 0; i < count; ++i) {
        const Point3 position = transformPoint(transform, gathered.positions[i]);
        const int16_t x = modelformat::encodeCoordinate(position.x, clamped);
        const int16_t y = modelformat::encodeCoordinate(position.y, clamped);
        const int16_t z = modelformat::encodeCoordinate(position.z, clamped);
        stored[i] = modelformat::Md3Vertex{x, y, z, 0, 0};
        lowX = std::min<int>(lowX, x);
        lowY = std::min<int>(lowY, y);
        lowZ = std::min<int>(lowZ, z);
        highX = std::max<int>(highX, x);
        highY = std::max<int>(highY, y);
        highZ = std::max<int>(highZ, z);
    }
    frame.bounds = modelformat::FrameBounds();
    if (count > 0) {
        const float unit = modelformat::kMd3PositionUnit;
        frame.bounds.add({static_cast<float>(lowX) * unit, static_cast<float>(lowY) * unit, static_cast<float>(lowZ) * unit});
        frame.bounds.add({static_cast<float>(highX) * unit, static_cast<float>(highY) * unit, static_cast<float>(highZ) * unit});
    }
    frame.clamped = clamped;
    if (!withNormals) {
        return;
    }
    // The normals a run at a time: turned and made unit, then encoded together.
    constexpr size_t kRun = 256;
    std::array<float, kRun> x{};
    std::array<float, kRun> y{};
    std::array<float, kRun> z{};
    std::array<modelformat::EncodedNormal, kRun> encoded{};
    for (size_t begin = 0; begin < count; begin += kRun) {
        const size_t run = std::min(kRun, count - begin);
        for (size_t i = 0; i < run; ++i) {
            const Point3 normal = unit(transformNormal(inverse, gathered.normals[begin + i]));
            x[i] = normal.x;
            y[i] = normal.y;
            z[i] = normal.z;
        }
        modelformat::encodeNormals(x.data(), y.data(), z.data(), run, encoded.data());
        for (size_t i = 0; i < run; ++i) {
            frame.vertices[begin + i].normalPolar = encoded[i].polar;
            frame.vertices[begin + i].normalAzimuth = encoded[i].azimuth;
        }
    }
}
