// A surface frame encoded without a file: stored positions and normal bytes under the frame's
// transform, vertices a frame lacks, frames without normals, bounds, clamping and the bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include <mesh_builders.h>
#include <modelformat/md3_encoding.h>
#include <surface_frames.h>

namespace {

// The frame as the host's own calls encode it, vertex by vertex.
std::vector<modelformat::Md3Vertex> hostEncoded(Mesh& mesh, const std::vector<int>& source, const Matrix3& transform) {
    mesh.checkNormals(TRUE);
    const Matrix3 inverse = Inverse(transform);
    std::vector<modelformat::Md3Vertex> expected;
    for (int v : source) {
        const Point3 p = transform.PointTransform(mesh.verts[v]);
        const Point3 n = mesh.getNormal(v);
        // The inverse transpose: row i of the normal's transform is column i of the inverse.
        const Point3 turned =
            Point3(DotProd(n, inverse.GetRow(0)), DotProd(n, inverse.GetRow(1)), DotProd(n, inverse.GetRow(2)));
        const Point3 unit = turned.Normalize();
        bool clamped = false;
        modelformat::Md3Vertex vertex;
        vertex.x = modelformat::encodeCoordinate(p.x, clamped);
        vertex.y = modelformat::encodeCoordinate(p.y, clamped);
        vertex.z = modelformat::encodeCoordinate(p.z, clamped);
        const modelformat::EncodedNormal normal = modelformat::encodeNormal(unit.x, unit.y, unit.z);
        vertex.normalPolar = normal.polar;
        vertex.normalAzimuth = normal.azimuth;
        expected.push_back(vertex);
    }
    return expected;
}

void expectSameVertices(const std::vector<modelformat::Md3Vertex>& actual,
                        const std::vector<modelformat::Md3Vertex>& expected, const char* what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].x, expected[i].x) << what << " vertex " << i;
        EXPECT_EQ(actual[i].y, expected[i].y) << what << " vertex " << i;
        EXPECT_EQ(actual[i].z, expected[i].z) << what << " vertex " << i;
        EXPECT_EQ(actual[i].normalPolar, expected[i].normalPolar) << what << " vertex " << i;
        EXPECT_EQ(actual[i].normalAzimuth, expected[i].normalAzimuth) << what << " vertex " << i;
    }
}

std::vector<int> everyVertex(const Mesh& mesh) {
    std::vector<int> source;
    for (int v = 0; v < mesh.numVerts; ++v) {
        source.push_back(v);
    }
    return source;
}

}  // namespace

TEST(SurfaceFrames, RecordsAreTheHostsTransformsEncoded) {
    Matrix3 turned = RotAngleAxisMatrix(Point3(0.3f, -0.5f, 0.8f), 1.1f);
    turned.Translate(Point3(3.25f, -7.5f, 11.0f));
    Matrix3 squashed = ScaleMatrix(Point3(1.0f, 2.5f, 0.4f));
    squashed.RotateZ(0.7f);
    Matrix3 mirrored = ScaleMatrix(Point3(-1.0f, 1.0f, 1.0f));
    mirrored.Translate(Point3(0.0f, 0.0f, -4.0f));
    const Matrix3 transforms[] = {Matrix3(), turned, squashed, mirrored};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.3f, 0.3f);
    Mesh sphere = host::makeSphere(Point3(1.0f, 2.0f, 3.0f), 6.0f, 24, 16);
    for (int v = 0; v < sphere.numVerts; ++v) {
        sphere.verts[v] += Point3(jitter(random), jitter(random), jitter(random));
    }
    const std::vector<int> source = everyVertex(sphere);
    for (const Matrix3& transform : transforms) {
        Mesh frameMesh = sphere;
        SurfaceFrameEncoder encoder(sphere, source);
        SurfaceFrame frame;
        encoder.encode(frameMesh, transform, frame);
        expectSameVertices(frame.vertices, hostEncoded(frameMesh, source, transform), "sphere");
        EXPECT_FALSE(frame.clamped);
        EXPECT_FALSE(encoder.normalsMissing());

        // The bounds are those of the stored positions.
        float lowX = 1e9f;
        float highZ = -1e9f;
        for (const modelformat::Md3Vertex& v : frame.vertices) {
            lowX = std::min(lowX, v.x / 64.0f);
            highZ = std::max(highZ, v.z / 64.0f);
        }
        EXPECT_EQ(frame.bounds.minCorner().x, lowX);
        EXPECT_EQ(frame.bounds.maxCorner().z, highZ);
    }
}

TEST(SurfaceFrames, VerticesAFrameLacksComeFromTheStartMesh) {
    Mesh start = host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 1.0f, 1.0f));
    Mesh smaller = start;
    smaller.setNumVerts(5, TRUE);
    for (int v = 0; v < 5; ++v) {
        smaller.verts[v] = smaller.verts[v] * 2.0f;
    }
    smaller.setNumFaces(0);
    const std::vector<int> source = {0, 4, 5, 7, 2};
    SurfaceFrameEncoder encoder(start, source);
    SurfaceFrame frame;
    encoder.encode(smaller, TransMatrix(Point3(0.5f, 0.0f, 0.0f)), frame);
    const std::vector<modelformat::Md3Vertex> fromStart =
        hostEncoded(start, {5, 7}, TransMatrix(Point3(0.5f, 0.0f, 0.0f)));
    ASSERT_EQ(frame.vertices.size(), 5u);
    EXPECT_EQ(frame.vertices[2].x, fromStart[0].x);
    EXPECT_EQ(frame.vertices[2].normalAzimuth, fromStart[0].normalAzimuth);
    EXPECT_EQ(frame.vertices[3].y, fromStart[1].y);
    EXPECT_EQ(frame.vertices[1].x, static_cast<int16_t>((2.0f * start.verts[4].x + 0.5f) * 64.0f));
}

TEST(SurfaceFrames, FromTheFirstFrameWithoutNormalsEveryNormalIsZero) {
    const Mesh box = host::makeBox(Point3(-1.0f, -2.0f, -3.0f), Point3(1.0f, 2.0f, 3.0f));
    Mesh start = box;
    const std::vector<int> source = everyVertex(box);
    SurfaceFrameEncoder encoder(start, source);
    SurfaceFrame frame;
    const bool unavailable[] = {false, true, false};
    for (int f = 0; f < 3; ++f) {
        Mesh frameMesh = box;
        frameMesh.setNormalsUnavailable(unavailable[f] ? TRUE : FALSE);
        encoder.encode(frameMesh, Matrix3(), frame);
        EXPECT_EQ(encoder.normalsMissing(), f >= 1) << "frame " << f;
        int nonZero = 0;
        for (const modelformat::Md3Vertex& v : frame.vertices) {
            nonZero += v.normalPolar != 0 || v.normalAzimuth != 0 ? 1 : 0;
        }
        EXPECT_EQ(nonZero > 0, f == 0) << "frame " << f;
        EXPECT_EQ(frame.vertices[3].z, -3 * 64) << "positions stay";
    }
}

TEST(SurfaceFrames, ClampedFramesAndTheirBytes) {
    Mesh line;
    line.setNumVerts(2);
    line.verts[0] = Point3(-1.0f / 64.0f, 600.0f, 0.5f);
    line.verts[1] = Point3(2.0f, -3.0f, -700.0f);
    line.setNormalsUnavailable(TRUE);
    const std::vector<int> source = {0, 1};
    SurfaceFrameEncoder encoder(line, source);
    SurfaceFrame frame;
    encoder.encode(line, Matrix3(), frame);
    EXPECT_TRUE(frame.clamped);
    modelformat::ByteBlock block;
    frame.appendTo(block);
    // -1, 32767, 32 / 128, -192, -32768, then the zero normal bytes.
    const std::vector<uint8_t> expected = {0xFF, 0xFF, 0xFF, 0x7F, 0x20, 0x00, 0, 0,
                                           0x80, 0x00, 0x40, 0xFF, 0x00, 0x80, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(block.data(), block.data() + block.size()), expected);

    encoder.encode(line, TransMatrix(Point3(0.0f, -300.0f, 350.0f)), frame);
    EXPECT_FALSE(frame.clamped) << "each frame tells its own";
}

TEST(SurfaceFrames, RunsOfVerticesInAndOutOfRangeEncodeAsEachAlone) {
    // Vertices are encoded several at a time: a run holding one coordinate outside the format's
    // range, or one that is not a number, must give each vertex's own bytes all the same.
    const float awkward[] = {511.99f, 512.0f, -512.0f, -512.02f, 1e30f, std::nanf(""), 0.0f, -1.0f / 128.0f};
    std::mt19937 random(11);
    std::uniform_real_distribution<float> inside(-400.0f, 400.0f);
    std::uniform_int_distribution<size_t> pick(0, std::size(awkward) - 1);
    Mesh cloud;
    cloud.setNumVerts(23);  // whole runs and a tail
    for (int v = 0; v < cloud.numVerts; ++v) {
        cloud.verts[v] = Point3(inside(random), inside(random), inside(random));
    }
    cloud.setNumFaces(7);
    for (int f = 0; f < 7; ++f) {
        cloud.faces[f].setVerts(3 * f, 3 * f + 1, 3 * f + 2);
    }
    std::vector<Point3> normals(static_cast<size_t>(cloud.numVerts));
    for (Point3& n : normals) {
        n = Point3(inside(random), inside(random), inside(random)).Normalize();
    }
    normals[5] = Point3(0.0f, 0.0f, 0.0f);
    normals[9] = Point3(std::nanf(""), 0.0f, 1.0f);
    cloud.setSpecifiedNormals(normals);
    const std::vector<int> source = everyVertex(cloud);
    for (int round = 0; round < 40; ++round) {
        Mesh frameMesh = cloud;
        frameMesh.setSpecifiedNormals(normals);
        // A few coordinates of a few vertices pushed out of range.
        for (int k = 0; k < 1 + round % 5; ++k) {
            const int v = static_cast<int>(random() % static_cast<unsigned>(cloud.numVerts));
            const int axis = static_cast<int>(random() % 3u);
            frameMesh.verts[v][axis] = awkward[pick(random)];
        }
        const Matrix3 transform = round % 2 == 0 ? Matrix3() : RotAngleAxisMatrix(Point3(0.2f, 0.4f, 0.9f), 0.3f);
        SurfaceFrameEncoder encoder(frameMesh, source);
        SurfaceFrame frame;
        encoder.encode(frameMesh, transform, frame);

        const std::vector<modelformat::Md3Vertex> expected = hostEncoded(frameMesh, source, transform);
        expectSameVertices(frame.vertices, expected, "round");
        bool clamped = false;
        modelformat::FrameBounds bounds;
        for (int v = 0; v < frameMesh.numVerts; ++v) {
            const Point3 p = transform.PointTransform(frameMesh.verts[v]);
            const float unit = modelformat::kMd3PositionUnit;
            bounds.add({modelformat::encodeCoordinate(p.x, clamped) * unit,
                        modelformat::encodeCoordinate(p.y, clamped) * unit,
                        modelformat::encodeCoordinate(p.z, clamped) * unit});
        }
        EXPECT_EQ(frame.clamped, clamped) << "round " << round;
        for (const auto& corners : {std::make_pair(frame.bounds.minCorner(), bounds.minCorner()),
                                    std::make_pair(frame.bounds.maxCorner(), bounds.maxCorner())}) {
            EXPECT_EQ(corners.first.x, corners.second.x) << "round " << round;
            EXPECT_EQ(corners.first.y, corners.second.y) << "round " << round;
            EXPECT_EQ(corners.first.z, corners.second.z) << "round " << round;
        }
    }
}
