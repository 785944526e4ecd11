// A surface frame's vertex records: positions in the format's fixed point, normals as two
// angle bytes, and the bounds of the stored positions.
#include "surface_frames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The transforms below are the host's own (Matrix3::PointTransform, the inverse transpose of the
// axis rows for normals), written out with the same operations in the same order so that they
// give the same floats without a library call per vertex.

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

SurfaceFrameEncoder::SurfaceFrameEncoder(Mesh& startMesh, const std::vector<int>& source)
    : startMesh_(startMesh), source_(source) {
    while (ownPrefix_ < source_.size() && source_[ownPrefix_] == static_cast<int>(ownPrefix_)) {
        ++ownPrefix_;
    }
}

void SurfaceFrameEncoder::gather(Mesh& frameMesh, const Matrix3& transform, GatheredFrame& gathered) {
    gathered.transform = transform;
    gathered.positions.resize(source_.size());
    frameMesh.checkNormals(TRUE);
    if (!frameMesh.normalsBuilt()) {
        normalsMissing_ = true;
    }
    gathered.normals.resize(normalsMissing_ ? 0 : source_.size());
    // The leading surface vertices that are the frame mesh's own, in its order, go as one block.
    const size_t own = std::min(ownPrefix_, static_cast<size_t>(std::max(frameMesh.numVerts, 0)));
    static_assert(std::is_trivially_copyable<Point3>::value, "positions are copied as bytes");
    if (own > 0) {
        std::memcpy(gathered.positions.data(), frameMesh.verts, own * sizeof(Point3));
    }
    if (!normalsMissing_) {
        for (size_t i = 0; i < own; ++i) {
            gathered.normals[i] = frameMesh.getNormal(static_cast<int>(i));
        }
    }
    for (size_t i = own; i < source_.size(); ++i) {
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

namespace {

// The least and greatest stored coordinate on each axis.
struct StoredBounds {
    std::array<int, 3> low{INT16_MAX, INT16_MAX, INT16_MAX};
    std::array<int, 3> high{INT16_MIN, INT16_MIN, INT16_MIN};

    void add(int axis, int value) {
        addLow(axis, value);
        addHigh(axis, value);
    }
    void addLow(int axis, int value) {
        low[static_cast<size_t>(axis)] = std::min(low[static_cast<size_t>(axis)], value);
    }
    void addHigh(int axis, int value) {
        high[static_cast<size_t>(axis)] = std::max(high[static_cast<size_t>(axis)], value);
    }
};

void encodePosition(const Matrix3& transform, const Point3& position, modelformat::Md3Vertex& stored,
                    StoredBounds& bounds, bool& clamped) {
    const Point3 moved = transformPoint(transform, position);
    stored = modelformat::Md3Vertex{modelformat::encodeCoordinate(moved.x, clamped),
                                    modelformat::encodeCoordinate(moved.y, clamped),
                                    modelformat::encodeCoordinate(moved.z, clamped), 0, 0};
    bounds.add(0, stored.x);
    bounds.add(1, stored.y);
    bounds.add(2, stored.z);
}

// The turned normal made unit, into the arrays at `at`.
void unitNormal(const Matrix3& inverse, const Point3& normal, float* x, float* y, float* z, size_t at) {
    const Point3 turned = transformNormal(inverse, normal).Normalize();
    x[at] = turned.x;
    y[at] = turned.y;
    z[at] = turned.z;
}

#if defined(__SSE2__)
// Four vertices at a time: the same single-precision operations in the same order as above, each
// correctly rounded as the scalar ones are, so that every byte comes out the same.

struct Four {
    __m128 x;
    __m128 y;
    __m128 z;
};

Four loadFour(const Point3* points) {
    return Four{_mm_setr_ps(points[0].x, points[1].x, points[2].x, points[3].x),
                _mm_setr_ps(points[0].y, points[1].y, points[2].y, points[3].y),
                _mm_setr_ps(points[0].z, points[1].z, points[2].z, points[3].z)};
}

__m128 sum(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
__m128 product(__m128 a, float b) { return _mm_mul_ps(a, _mm_set1_ps(b)); }

// Answers the number of vertices done: every whole four. A four with a coordinate outside the
// format's range (or not a number) goes through encodePosition, which clamps and says so.
size_t encodePositionsByFour(const Matrix3& t, const Point3* positions, size_t count, modelformat::Md3Vertex* stored,
                             StoredBounds& bounds, bool& clamped) {
    const __m128 scale = _mm_set1_ps(modelformat::kMd3PositionScale);
    const __m128 below = _mm_set1_ps(-32769.0f);
    const __m128 above = _mm_set1_ps(32768.0f);
    // x in lanes 0-3 and y in lanes 4-7 of one register, z in both halves of another.
    __m128i lowXY = _mm_set1_epi16(INT16_MAX);
    __m128i highXY = _mm_set1_epi16(INT16_MIN);
    __m128i lowZ = lowXY;
    __m128i highZ = highXY;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Four p = loadFour(positions + i);
        const __m128 movedX = sum(sum(sum(product(p.x, t.m[0][0]), product(p.y, t.m[1][0])), product(p.z, t.m[2][0])),
                                  _mm_set1_ps(t.m[3][0]));
        const __m128 movedY = sum(sum(sum(product(p.x, t.m[0][1]), product(p.y, t.m[1][1])), product(p.z, t.m[2][1])),
                                  _mm_set1_ps(t.m[3][1]));
        const __m128 movedZ = sum(sum(sum(product(p.x, t.m[0][2]), product(p.y, t.m[1][2])), product(p.z, t.m[2][2])),
                                  _mm_set1_ps(t.m[3][2]));
        const __m128 scaledX = _mm_mul_ps(movedX, scale);
        const __m128 scaledY = _mm_mul_ps(movedY, scale);
        const __m128 scaledZ = _mm_mul_ps(movedZ, scale);
        const auto inRange = [&](__m128 scaled) {
            return _mm_and_ps(_mm_cmpgt_ps(scaled, below), _mm_cmplt_ps(scaled, above));
        };
        const __m128 inside = _mm_and_ps(_mm_and_ps(inRange(scaledX), inRange(scaledY)), inRange(scaledZ));
        if (_mm_movemask_ps(inside) != 0xF) {
            for (size_t k = i; k < i + 4; ++k) {
                encodePosition(t, positions[k], stored[k], bounds, clamped);
            }
            continue;
        }
        // Inside the range the truncation is exact and packing to 16 bits saturates nothing.
        const __m128i xy = _mm_packs_epi32(_mm_cvttps_epi32(scaledX), _mm_cvttps_epi32(scaledY));
        const __m128i z = _mm_cvttps_epi32(scaledZ);
        const __m128i zz = _mm_packs_epi32(z, z);
        lowXY = _mm_min_epi16(lowXY, xy);
        highXY = _mm_max_epi16(highXY, xy);
        lowZ = _mm_min_epi16(lowZ, zz);
        highZ = _mm_max_epi16(highZ, zz);
        alignas(16) std::array<int16_t, 8> xyLanes{};
        alignas(16) std::array<int16_t, 8> zLanes{};
        _mm_store_si128(reinterpret_cast<__m128i*>(xyLanes.data()), xy);
        _mm_store_si128(reinterpret_cast<__m128i*>(zLanes.data()), zz);
        for (size_t k = 0; k < 4; ++k) {
            stored[i + k] = modelformat::Md3Vertex{xyLanes[k], xyLanes[k + 4], zLanes[k], 0, 0};
        }
    }
    alignas(16) std::array<std::array<int16_t, 8>, 4> lanes{};
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0].data()), lowXY);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1].data()), highXY);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2].data()), lowZ);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes[3].data()), highZ);
    for (size_t k = 0; k < 4; ++k) {
        // Lanes never lowered or raised hold the starting extremes, which change nothing.
        bounds.addLow(0, lanes[0][k]);
        bounds.addHigh(0, lanes[1][k]);
        bounds.addLow(1, lanes[0][k + 4]);
        bounds.addHigh(1, lanes[1][k + 4]);
        bounds.addLow(2, lanes[2][k]);
        bounds.addHigh(2, lanes[3][k]);
    }
    return i;
}

size_t unitNormalsByFour(const Matrix3& inverse, const Point3* normals, size_t count, float* x, float* y, float* z) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Four n = loadFour(normals + i);
        const __m128 tx =
            sum(sum(product(n.x, inverse.m[0][0]), product(n.y, inverse.m[0][1])), product(n.z, inverse.m[0][2]));
        const __m128 ty =
            sum(sum(product(n.x, inverse.m[1][0]), product(n.y, inverse.m[1][1])), product(n.z, inverse.m[1][2]));
        const __m128 tz =
            sum(sum(product(n.x, inverse.m[2][0]), product(n.y, inverse.m[2][1])), product(n.z, inverse.m[2][2]));
        const __m128 length = _mm_sqrt_ps(sum(sum(_mm_mul_ps(tx, tx), _mm_mul_ps(ty, ty)), _mm_mul_ps(tz, tz)));
        // A zero length gives the zero vector, as Point3::Normalize does.
        const __m128 zero = _mm_cmpeq_ps(length, _mm_setzero_ps());
        _mm_storeu_ps(x + i, _mm_andnot_ps(zero, _mm_div_ps(tx, length)));
        _mm_storeu_ps(y + i, _mm_andnot_ps(zero, _mm_div_ps(ty, length)));
        _mm_storeu_ps(z + i, _mm_andnot_ps(zero, _mm_div_ps(tz, length)));
    }
    return i;
}
#endif

}  // namespace

void SurfaceFrameEncoder::encode(const GatheredFrame& gathered, SurfaceFrame& frame) {
    const Matrix3& transform = gathered.transform;
    const size_t count = gathered.positions.size();
    const bool withNormals = gathered.normals.size() == count;
    frame.vertices.resize(count);
    // Kept here until the end: frames beside each other may be encoded on two threads at once.
    // The bounds are those of the stored numbers: scaling by a power of two keeps their order.
    StoredBounds bounds;
    bool clamped = false;
    size_t done = 0;
#if defined(__SSE2__)
    done = encodePositionsByFour(transform, gathered.positions.data(), count, frame.vertices.data(), bounds, clamped);
#endif
    for (size_t i = done; i < count; ++i) {
        encodePosition(transform, gathered.positions[i], frame.vertices[i], bounds, clamped);
    }
    frame.bounds = modelformat::FrameBounds();
    if (count > 0) {
        const float unit = modelformat::kMd3PositionUnit;
        frame.bounds.add({static_cast<float>(bounds.low[0]) * unit, static_cast<float>(bounds.low[1]) * unit,
                          static_cast<float>(bounds.low[2]) * unit});
        frame.bounds.add({static_cast<float>(bounds.high[0]) * unit, static_cast<float>(bounds.high[1]) * unit,
                          static_cast<float>(bounds.high[2]) * unit});
    }
    frame.clamped = clamped;
    if (!withNormals) {
        return;
    }
    // The normals a run at a time: turned and made unit, then encoded together.
    const Matrix3 inverse = Inverse(transform);
    constexpr size_t kRun = 256;
    std::array<float, kRun> x{};
    std::array<float, kRun> y{};
    std::array<float, kRun> z{};
    std::array<modelformat::EncodedNormal, kRun> encoded{};
    for (size_t begin = 0; begin < count; begin += kRun) {
        const size_t run = std::min(kRun, count - begin);
        const Point3* normals = gathered.normals.data() + begin;
        size_t turned = 0;
#if defined(__SSE2__)
        turned = unitNormalsByFour(inverse, normals, run, x.data(), y.data(), z.data());
#endif
        for (size_t i = turned; i < run; ++i) {
            unitNormal(inverse, normals[i], x.data(), y.data(), z.data(), i);
        }
        modelformat::encodeNormals(x.data(), y.data(), z.data(), run, encoded.data());
        for (size_t i = 0; i < run; ++i) {
            frame.vertices[begin + i].normalPolar = encoded[i].polar;
            frame.vertices[begin + i].normalAzimuth = encoded[i].azimuth;
        }
    }
}
