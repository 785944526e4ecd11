// Surfaces: shader names, triangles, texture coordinates (seams kept, spherical fallback),
// per-frame positions and normals, frame bounds and the warnings.
#include <cmath>

#include <mesh_builders.h>
#include <modelformat/md3_encoding.h>

#include "export_harness.h"

namespace {

const char kNoMapping[] =
    "No UV mapping was found on this object.\nWriting out the texture coordinates of a\n"
    "spherical mapping for each vertex.";
const char kNoNormals[] = "Object does not have normals contructed.\nEnviroment maps will be wrong.";
const char kClamped[] = "Some vertices lie outside the +/-512 unit range of the MD3 format\nand were clamped to it.";
const char kVertexCount[] =
    "The mesh changes its vertex count during the animation.\nSome frames were filled from the first frame.";

// One triangle with the given corners and, when mapped, texture coordinates equal to x and y.
Mesh triangle(const Point3& a, const Point3& b, const Point3& c, bool mapped) {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.verts[0] = a;
    mesh.verts[1] = b;
    mesh.verts[2] = c;
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
    if (mapped) {
        mesh.setNumTVerts(3);
        mesh.setNumTVFaces(1);
        for (int i = 0; i < 3; ++i) {
            mesh.tVerts[i] = UVVert(mesh.verts[i].x, mesh.verts[i].y, 0.0f);
        }
        mesh.tvFace[0].setTVerts(0, 1, 2);
    }
    return mesh;
}

Point3 storedPosition(const modelformat::Md3Surface& surface, int frame, int vertex) {
    const modelformat::Md3Vertex& v = surface.frameVertices(frame)[vertex];
    return Point3(v.x / 64.0f, v.y / 64.0f, v.z / 64.0f);
}

std::vector<std::string> captions(const win32::RecordingDesktop& desktop, const std::string& text) {
    std::vector<std::string> result;
    for (const auto& box : desktop.messageBoxes) {
        if (box.text == text) {
            result.push_back(box.caption);
        }
    }
    return result;
}

}  // namespace

class SurfaceTest : public ExporterTest {
protected:
    void SetUp() override {
        ExporterTest::SetUp();
        exportOptions.relativeToTag = false;
    }
};

TEST_F(SurfaceTest, ShaderRecordComesFromTheBitmapTextureAndThePathRule) {
    struct Case {
        std::string file;
        bool smart;
        std::string shader;
    };
    const std::string longPath = "C:\\" + std::string(130, 'd') + "\\models\\x.tga";
    const Case cases[] = {
        {"C:\\game\\base\\models\\crate\\wood.tga", true, "models\\crate\\wood.tga"},
        {"C:\\game\\base\\models\\crate\\wood.tga", false, "C:\\game\\base\\models\\crate\\wood.tga"},
        {"D:\\art\\mymodels\\skin.tga", true, "models\\skin.tga"},
        {"D:\\Art\\Models\\skin.tga", true, "D:\\Art\\Models\\skin.tga"},
        // Cut to 127 characters before the search: "models" is not found, and the name field keeps
        // 63 characters and a zero.
        {longPath, true, longPath.substr(0, 63)},
    };
    for (const Case& c : cases) {
        host::Scene scene;
        host::SceneNode* node = addBox(scene, "crate", Point3(0.0f, 0.0f, 0.0f));
        giveTexture(scene, node, c.file);
        exportOptions.smartPaths = c.smart;
        exportOptions.relativeToTag = false;
        const ExportRun run = exportScene(scene);
        ASSERT_TRUE(run.read.ok) << run.read.message;
        const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
        EXPECT_EQ(surface.header.shaderCount, 1);
        EXPECT_EQ(surface.header.shadersOffset, 108);
        EXPECT_EQ(surface.header.trianglesOffset, 176);
        ASSERT_EQ(surface.shaders.size(), 1u);
        EXPECT_EQ(surface.shaders[0].name, c.shader);
    }

    // No material, a material without a map, or a map that is not a bitmap: no shader record.
    host::Scene scene;
    addBox(scene, "plain", Point3(0.0f, 0.0f, 0.0f));
    host::SceneNode* empty = addBox(scene, "empty", Point3(3.0f, 0.0f, 0.0f));
    empty->setMaterial(scene.addMaterial("empty"));
    host::SceneNode* procedural = addBox(scene, "procedural", Point3(6.0f, 0.0f, 0.0f));
    host::Material* noise = scene.addMaterial("noise");
    noise->setDiffuseMap(std::make_unique<host::ProceduralTexture>());
    procedural->setMaterial(noise);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    for (const modelformat::Md3Surface& surface : run.model().surfaces) {
        EXPECT_EQ(surface.header.shaderCount, 0) << surface.header.name;
        EXPECT_EQ(surface.header.shadersOffset, 108);
        EXPECT_EQ(surface.header.trianglesOffset, 108);
    }
}

TEST_F(SurfaceTest, TrianglesAreReversedAndTextureCoordinatesFlipped) {
    host::Scene scene;
    scene.addNode("tri")->setMesh(
        triangle(Point3(0.25f, 0.25f, 0.0f), Point3(0.5f, 0.0f, 0.0f), Point3(0.0f, 0.75f, 0.0f), true));
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    ASSERT_EQ(surface.triangles.size(), 1u);
    EXPECT_EQ(surface.triangles[0].indices, (std::array<int32_t, 3>{0, 2, 1}));
    ASSERT_EQ(surface.texCoords.size(), 3u);
    EXPECT_EQ(surface.texCoords[0].s, 0.25f);
    EXPECT_EQ(surface.texCoords[0].t, 0.75f);
    EXPECT_EQ(surface.texCoords[2].t, 0.25f);
    EXPECT_TRUE(desktop.messageBoxes.empty());  // one texture vertex per vertex needs no warning
}

TEST_F(SurfaceTest, TextureSeamsSplitVerticesAndKeepEveryCornersCoordinate) {
    host::Scene scene;
    const Mesh box = host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 1.0f, 1.0f));
    scene.addNode("box")->setMesh(box);
    exportOptions.showWarnings = true;
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    // Every corner of a box whose sides each take the whole texture meets 3 sides with 3
    // distinct coordinates, except where two sides agree.
    EXPECT_GT(surface.header.vertexCount, 8);
    ASSERT_EQ(surface.triangles.size(), 12u);
    for (int f = 0; f < 12; ++f) {
        const int stored[3] = {0, 2, 1};
        for (int corner = 0; corner < 3; ++corner) {
            const int32_t index =
                surface.triangles[static_cast<size_t>(f)].indices[static_cast<size_t>(stored[corner])];
            const UVVert& uv = box.tVerts[box.tvFace[f].t[corner]];
            EXPECT_EQ(surface.texCoords[static_cast<size_t>(index)].s, uv.x);
            EXPECT_EQ(surface.texCoords[static_cast<size_t>(index)].t, 1.0f - uv.y);
            const Point3 p = storedPosition(surface, 0, index);
            EXPECT_EQ(p, box.verts[box.faces[f].v[corner]]);
        }
    }
    // The first 8 vertices are the mesh's own, in order.
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(storedPosition(surface, 0, i), box.verts[i]);
    }
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

TEST_F(SurfaceTest, MeshesWithoutMappingGetTheSphericalOne) {
    host::Scene scene;
    scene.addNode("ball")->setMesh(
        triangle(Point3(1.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f), Point3(1.0f, -1.0f, 1.0f), false));
    for (bool warnings : {false, true}) {
        desktop.messageBoxes.clear();
        exportOptions.showWarnings = warnings;
        exportOptions.relativeToTag = false;
        const ExportRun run = exportScene(scene);
        ASSERT_TRUE(run.read.ok) << run.read.message;
        const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
        EXPECT_NEAR(surface.texCoords[0].s, 0.0f, 1e-6f);
        EXPECT_NEAR(surface.texCoords[0].t, 0.5f, 1e-6f);
        EXPECT_NEAR(surface.texCoords[1].s, 0.125f, 1e-6f);
        EXPECT_NEAR(surface.texCoords[1].t, 0.75f, 1e-6f);
        EXPECT_NEAR(surface.texCoords[2].s, 0.875f, 1e-6f);
        EXPECT_EQ(captions(desktop, kNoMapping),
                  warnings ? std::vector<std::string>{"ball"} : std::vector<std::string>{});
    }
}

TEST_F(SurfaceTest, PositionsFollowEveryFrameRelativeToTheReference) {
    host::Scene scene;
    host::SceneNode* torso = scene.addNode("tag_torso");
    torso->setMesh(host::makeTagMarker());
    torso->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateZMatrix(0.002f * static_cast<float>(time));
        tm.Translate(Point3(0.0f, 0.01f * static_cast<float>(time), 20.0f));
        return tm;
    });
    host::SceneNode* legs = scene.addNode("legs");
    legs->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        const float t = static_cast<float>(time) / 160.0f;
        mesh = triangle(Point3(t, 0.0f, 0.0f), Point3(10.0f, t * t, 0.0f), Point3(0.0f, 10.0f, 20.0f), true);
    });
    legs->setTransform(TransMatrix(Point3(1.0f, 2.0f, 3.0f)));
    exportOptions.relativeToTag = true;
    setFrames(2, 6);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    ASSERT_EQ(surface.header.frameCount, 5);
    for (int frame = 0; frame < 5; ++frame) {
        const TimeValue time = (2 + frame) * 160;
        Mesh mesh;
        const float t = static_cast<float>(time) / 160.0f;
        mesh = triangle(Point3(t, 0.0f, 0.0f), Point3(10.0f, t * t, 0.0f), Point3(0.0f, 10.0f, 20.0f), true);
        const Matrix3 toReference = legs->GetObjectTM(time) * Inverse(torso->GetObjectTM(time));
        for (int v = 0; v < 3; ++v) {
            const Point3 expected = toReference.PointTransform(mesh.verts[v]);
            const Point3 stored = storedPosition(surface, frame, v);
            EXPECT_NEAR(stored.x, expected.x, 1.0f / 64.0f) << "frame " << frame << " vertex " << v;
            EXPECT_NEAR(stored.y, expected.y, 1.0f / 64.0f);
            EXPECT_NEAR(stored.z, expected.z, 1.0f / 64.0f);
        }
    }
}

TEST_F(SurfaceTest, AVertexAtTheReferenceOriginIsStoredAtZero) {
    host::Scene scene;
    host::SceneNode* torso = scene.addNode("tag_torso");
    torso->setMesh(host::makeTagMarker());
    torso->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateXMatrix(0.001f * static_cast<float>(time));
        tm.Translate(Point3(5.0f, -3.0f, 0.02f * static_cast<float>(time)));
        return tm;
    });
    host::SceneNode* body = scene.addNode("body");
    body->setDeformingMesh([torso](TimeValue time, Mesh& mesh) {
        mesh = triangle(torso->GetObjectTM(time).GetTrans(), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), true);
    });
    exportOptions.relativeToTag = true;
    setFrames(0, 9);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    for (int frame = 0; frame < 10; ++frame) {
        const modelformat::Md3Vertex& v = run.model().surfaces.at(0).frameVertices(frame)[0];
        EXPECT_EQ(v.x, 0);
        EXPECT_EQ(v.y, 0);
        EXPECT_EQ(v.z, 0);
    }
}

TEST_F(SurfaceTest, NormalsPointWhereTheMeshNormalsPoint) {
    host::Scene scene;
    // Far from the origin, rotated and squashed: only the direction part may reach the normal.
    host::SceneNode* ball = scene.addNode("ball");
    ball->setMesh(host::makeSphere(Point3(0.0f, 0.0f, 0.0f), 4.0f, 16, 10));
    Matrix3 placement = ScaleMatrix(Point3(1.0f, 1.0f, 0.5f));
    placement.RotateY(0.7f);
    placement.Translate(Point3(100.0f, -40.0f, 30.0f));
    ball->setTransform(placement);
    host::SceneNode* flat = scene.addNode("flat");
    flat->setMesh(triangle(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), true));
    flat->setTransform(TransMatrix(Point3(100.0f, 0.0f, 0.0f)));
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;

    const modelformat::Md3Surface& flatSurface = run.model().surfaces.at(1);
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(flatSurface.frameVertices(0)[v].normalPolar, 0);  // straight up
    }

    // For the squashed sphere, the true normal at a point is the gradient of its surface.
    const modelformat::Md3Surface& ballSurface = run.model().surfaces.at(0);
    const Mesh& mesh = static_cast<TriObject*>(ball->object())->GetMesh();
    const Matrix3 inverse = Inverse(placement);
    const double step = 2.0 * 3.14159265358979 / 256.0;
    for (int v = 0; v < ballSurface.header.vertexCount; ++v) {
        // Vertices split at texture seams share a mesh vertex: find it by position.
        const Point3 stored = storedPosition(ballSurface, 0, v);
        int source = 0;
        for (int i = 1; i < mesh.numVerts; ++i) {
            if (Length(placement.PointTransform(mesh.verts[i]) - stored) <
                Length(placement.PointTransform(mesh.verts[source]) - stored)) {
                source = i;
            }
        }
        const Point3 n = const_cast<Mesh&>(mesh).getNormal(source);
        // Normals transform with the inverse transpose of the placement's axes.
        const Point3 expected = Point3(n.x * inverse.m[0][0] + n.y * inverse.m[0][1] + n.z * inverse.m[0][2],
                                       n.x * inverse.m[1][0] + n.y * inverse.m[1][1] + n.z * inverse.m[1][2],
                                       n.x * inverse.m[2][0] + n.y * inverse.m[2][1] + n.z * inverse.m[2][2])
                                    .Normalize();
        const modelformat::Md3Vertex& encoded = ballSurface.frameVertices(0)[v];
        const modelformat::Md3Vec3 decoded = modelformat::decodeMd3Normal(encoded.normalPolar, encoded.normalAzimuth);
        const double dot = decoded.x * expected.x + decoded.y * expected.y + decoded.z * expected.z;
        EXPECT_GT(dot, std::cos(2.5 * step)) << "vertex " << v;
    }
}

// A mesh may carry normals of its own (specified normals, as scene files give them): building the
// normals keeps them, copies keep them, resizing the vertices drops them, and they are encoded.
TEST_F(SurfaceTest, SpecifiedNormalsAreKeptAndEncoded) {
    Mesh flat = triangle(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), true);
    const Point3 leaning(1.0f, 0.0f, 1.0f);  // 45 degrees from the face's +z, given at any length
    EXPECT_FALSE(flat.setSpecifiedNormals(std::vector<Point3>(2, leaning))) << "one per vertex or none";
    ASSERT_TRUE(flat.setSpecifiedNormals(std::vector<Point3>(3, leaning)));
    flat.checkNormals(TRUE);
    EXPECT_EQ(flat.getNormal(1), leaning.Normalize());
    flat.setNormal(1, Point3(0.0f, 0.0f, 1.0f));
    flat.buildNormals();
    EXPECT_EQ(flat.getNormal(1), leaning.Normalize()) << "building takes the specified normals again";
    Mesh copy = flat;
    copy.InvalidateGeomCache();
    copy.checkNormals(TRUE);
    EXPECT_EQ(copy.getNormal(2), leaning.Normalize());
    Mesh resized = flat;
    resized.setNumVerts(3, TRUE);
    resized.checkNormals(TRUE);
    EXPECT_FALSE(resized.hasSpecifiedNormals());
    EXPECT_EQ(resized.getNormal(1), Point3(0.0f, 0.0f, 1.0f)) << "built from the face again";

    host::Scene scene;
    scene.addNode("leaning")->setMesh(flat);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    for (int v = 0; v < 3; ++v) {
        // 45 degrees from +z (pi/4 x 255/(2 pi) = 31.9) toward +x (azimuth 0).
        const modelformat::Md3Vertex& stored = run.model().surfaces.at(0).frameVertices(0)[v];
        EXPECT_EQ(stored.normalPolar, 31) << v;
        EXPECT_EQ(stored.normalAzimuth, 0) << v;
    }
}

TEST_F(SurfaceTest, CoordinatesBeyondTheFormatsRangeAreClampedWithOneWarning) {
    host::Scene scene;
    host::SceneNode* big = scene.addNode("big");
    big->setMesh(triangle(Point3(600.0f, 0.0f, 0.0f), Point3(-600.0f, 1.0f, 0.0f), Point3(0.0f, 511.99f, 0.0f), true));
    exportOptions.showWarnings = true;
    setFrames(0, 2);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    EXPECT_EQ(surface.frameVertices(0)[0].x, 32767);
    EXPECT_EQ(surface.frameVertices(0)[1].x, -32768);
    EXPECT_EQ(surface.frameVertices(0)[2].y, 32767);
    EXPECT_EQ(captions(desktop, kClamped), std::vector<std::string>{"big"});
}

TEST_F(SurfaceTest, FrameBoundsHoldEveryVertexOfTheirFrame) {
    host::Scene scene;
    host::SceneNode* a = scene.addNode("a");
    a->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        const float t = static_cast<float>(time) / 160.0f;
        mesh = triangle(Point3(-t, 0.0f, 0.0f), Point3(2.0f, 3.0f * t, 0.0f), Point3(0.0f, 1.0f, -5.0f), true);
    });
    scene.addNode("b")->setMesh(
        triangle(Point3(7.0f, 0.5f, 1.0f), Point3(0.0f, 0.0f, 9.0f), Point3(0.0f, -2.0f, 0.0f), true));
    setFrames(0, 4);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    for (int frame = 0; frame < 5; ++frame) {
        const modelformat::Md3FrameRecord& record = run.model().frames.at(static_cast<size_t>(frame));
        modelformat::FrameBounds expected;
        for (const modelformat::Md3Surface& surface : run.model().surfaces) {
            for (int v = 0; v < surface.header.vertexCount; ++v) {
                const Point3 p = storedPosition(surface, frame, v);
                expected.add({p.x, p.y, p.z});
            }
        }
        EXPECT_EQ(record.minCorner.x, expected.minCorner().x);
        EXPECT_EQ(record.minCorner.y, expected.minCorner().y);
        EXPECT_EQ(record.minCorner.z, expected.minCorner().z);
        EXPECT_EQ(record.maxCorner.x, expected.maxCorner().x);
        EXPECT_EQ(record.maxCorner.y, expected.maxCorner().y);
        EXPECT_EQ(record.maxCorner.z, expected.maxCorner().z);
        EXPECT_FLOAT_EQ(record.radius, expected.radius());
        EXPECT_EQ(record.localOrigin.x, 0.0f);
        EXPECT_EQ(record.name, "(Larkbrind)");
    }
}

TEST_F(SurfaceTest, ChangingVertexCountsAreFilledFromTheFirstFrame) {
    host::Scene scene;
    host::SceneNode* grower = scene.addNode("grower");
    grower->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        mesh = triangle(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f), true);
        if (time >= 320) {  // from frame 2 on: one vertex fewer, then one more
            mesh.setNumVerts(time >= 480 ? 4 : 2, TRUE);
            if (time >= 480) {
                mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
                mesh.verts[3] = Point3(9.0f, 9.0f, 9.0f);
            }
            for (int i = 0; i < mesh.numVerts && i < 2; ++i) {
                mesh.verts[i] = mesh.verts[i] + Point3(0.0f, 0.0f, 2.0f);
            }
        }
    });
    exportOptions.showWarnings = true;
    setFrames(0, 3);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    EXPECT_EQ(surface.header.vertexCount, 3);
    EXPECT_EQ(surface.vertices.size(), 12u);
    EXPECT_EQ(storedPosition(surface, 2, 0), Point3(0.0f, 0.0f, 2.0f));
    EXPECT_EQ(storedPosition(surface, 2, 2), Point3(0.0f, 1.0f, 0.0f));  // missing: from the first frame
    EXPECT_EQ(storedPosition(surface, 3, 1), Point3(1.0f, 0.0f, 2.0f));  // surplus dropped
    EXPECT_EQ(captions(desktop, kVertexCount), std::vector<std::string>{"grower"});
}

TEST_F(SurfaceTest, FramesWithoutNormalsCarryZeroFromThenOn) {
    host::Scene scene;
    host::SceneNode* node = scene.addNode("patchy");
    node->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        mesh = triangle(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 0.0f, 1.0f), true);
        mesh.setNormalsUnavailable(time == 3 * 160);  // only frame 3 lacks them
    });
    exportOptions.showWarnings = true;
    setFrames(0, 9);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const modelformat::Md3Surface& surface = run.model().surfaces.at(0);
    for (int frame = 0; frame < 10; ++frame) {
        const modelformat::Md3Vertex& v = surface.frameVertices(frame)[0];
        if (frame < 3) {
            EXPECT_EQ(v.normalPolar, 63) << frame;  // the face normal lies along -y
            EXPECT_NE(v.normalAzimuth, 0) << frame;
        } else {
            EXPECT_EQ(v.normalPolar, 0) << frame;
            EXPECT_EQ(v.normalAzimuth, 0) << frame;
        }
    }
    EXPECT_EQ(captions(desktop, kNoNormals), std::vector<std::string>{"patchy"});
}
