// A surface frame's vertex records: positions in the format's fixed point, normals as two
// angle bytes, and the bounds of the stored positions.
#include "surface_frames.h"

#include <cmath>

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
    uint8_t* out = block.extend(vertices.size() * static_cast<size_t>(modelformat::kMd3VertexSize));
    for (const modelformat::Md3Vertex& vertex : vertices) {
        for (const int16_t coordinate : {vertex.x, vertex.y, vertex.z}) {
            const auto bits = static_cast<uint16_t>(coordinate);
            *out++ = static_cast<uint8_t>(bits & 0xFFu);
            *out++ = static_cast<uint8_t>(bits >> 8);
        }
        *out++ = vertex.normalPolar;
        *out++ = vertex.normalAzimuth;
    }
}

void SurfaceFrameEncoder::encode(Mesh& frameMesh, const Matrix3& transform, SurfaceFrame& frame) {
    const Matrix3 inverse = Inverse(transform);
    frame.vertices.resize(source_.size());
    frame.bounds = modelformat::FrameBounds();
    frame.clamped = false;

    frameMesh.checkNormals(TRUE);
    if (!frameMesh.normalsBuilt()) {
        normalsMissing_ = true;
    }
    for (size_t i = 0; i < source_.size(); ++i) {
        const int source = source_[i];
        // A vertex the frame's mesh lacks comes from the first frame's mesh.
        Mesh& mesh = source < frameMesh.numVerts ? frameMesh : startMesh_;
        const Point3 position = transformPoint(transform, mesh.verts[source]);
        modelformat::Md3Vertex& stored = frame.vertices[i];
        stored.x = modelformat::encodeCoordinate(position.x, frame.clamped);
        stored.y = modelformat::encodeCoordinate(position.y, frame.clamped);
        stored.z = modelformat::encodeCoordinate(position.z, frame.clamped);
        frame.bounds.add({stored.x * modelformat::kMd3PositionUnit, stored.y * modelformat::kMd3PositionUnit,
                          stored.z * modelformat::kMd3PositionUnit});
        if (normalsMissing_) {
            stored.normalPolar = 0;
            stored.normalAzimuth = 0;
            continue;
        }
        if (&mesh != &frameMesh) {
            mesh.checkNormals(TRUE);
        }
        const Point3 normal = unit(transformNormal(inverse, mesh.getNormal(source)));
        const modelformat::EncodedNormal encoded = modelformat::encodeNormal(normal.x, normal.y, normal.z);
        stored.normalPolar = encoded.polar;
        stored.normalAzimuth = encoded.azimuth;
    }
}
