// The MD2 reader of the importer: one "Quake MD2" node with the geometry of the chosen frame.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "import_harness.h"
#include "model_builders.h"

using importtest::ImportScene;
using importtest::meshOf;
using modelformat::Md2PackedVertex;
using testmodels::Md2Build;

namespace {

// Three vertices, six texture coordinates on a 256 x 128 skin, one triangle, one frame.
Md2Build oneTriangle() {
    Md2Build build;
    build.vertexCount = 3;
    build.texCoords = {{0, 0}, {0, 0}, {0, 0}, {64, 32}, {256, 0}, {0, 128}};
    build.triangles = {modelformat::Md2Triangle{{0, 1, 2}, {3, 4, 5}}};
    testmodels::Md2Frame frame;
    frame.scale = {0.5f, 0.5f, 0.5f};
    frame.translate = {10.0f, 20.0f, 30.0f};
    frame.vertices = {Md2PackedVertex{{1, 2, 3}, 0}, Md2PackedVertex{{0, 0, 0}, 1}, Md2PackedVertex{{255, 0, 2}, 2}};
    build.frames = {frame};
    return build;
}

}  // namespace

TEST(Md2Import, OneNodeWithTheFramesGeometry) {
    ImportScene s;
    ASSERT_EQ(importtest::readMd2Bytes(s.imports, testmodels::buildMd2(oneTriangle()), 0), 1);

    ASSERT_EQ(s.names(), std::vector<std::string>{"Quake MD2"});
    EXPECT_EQ(s.nodes()[0]->localTransform(0), Matrix3());
    Mesh* mesh = meshOf(s.nodes()[0]);
    ASSERT_NE(mesh, nullptr);
    // byte x scale + translate, then (4X, 4Z, -4Y).
    ASSERT_EQ(mesh->getNumVerts(), 3);
    EXPECT_EQ(mesh->verts[0], Point3(42.0f, 126.0f, -84.0f));
    EXPECT_EQ(mesh->verts[1], Point3(40.0f, 120.0f, -80.0f));
    EXPECT_EQ(mesh->verts[2], Point3(550.0f, 124.0f, -80.0f));
    // (s / width, 1 - t / height), one texture vertex per stored coordinate.
    ASSERT_EQ(mesh->getNumTVerts(), 6);
    EXPECT_EQ(mesh->tVerts[3], Point3(0.25f, 0.75f, 0.0f));
    EXPECT_EQ(mesh->tVerts[4], Point3(1.0f, 1.0f, 0.0f));
    EXPECT_EQ(mesh->tVerts[5], Point3(0.0f, 0.0f, 0.0f));
    // The stored winding is reversed back.
    ASSERT_EQ(mesh->getNumFaces(), 1);
    const Face& face = mesh->faces[0];
    EXPECT_EQ((std::vector<DWORD>{face.v[0], face.v[1], face.v[2]}), (std::vector<DWORD>{0, 2, 1}));
    const TVFace& textureFace = mesh->tvFace[0];
    EXPECT_EQ((std::vector<DWORD>{textureFace.t[0], textureFace.t[1], textureFace.t[2]}),
              (std::vector<DWORD>{3, 5, 4}));
    EXPECT_EQ(face.flags & EDGE_ALL, static_cast<DWORD>(EDGE_ALL));
}

TEST(Md2Import, TextureVertexCountFollowsTheTextureCoordinates) {
    for (int32_t texCoordCount : {1, 3, 40}) {
        SCOPED_TRACE(texCoordCount);
        Md2Build build = testmodels::makeMd2Build(1, 3);
        build.texCoords.assign(static_cast<size_t>(texCoordCount), modelformat::Md2TexCoord{32, 64});
        build.triangles = {modelformat::Md2Triangle{{0, 1, 2}, {0, 0, static_cast<int16_t>(texCoordCount - 1)}}};
        ImportScene s;
        ASSERT_EQ(importtest::readMd2Bytes(s.imports, testmodels::buildMd2(build), 0), 1);
        ASSERT_EQ(s.nodes().size(), 1u);
        Mesh* mesh = meshOf(s.nodes()[0]);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->getNumVerts(), 3);
        ASSERT_EQ(mesh->getNumTVerts(), texCoordCount);
        EXPECT_EQ(mesh->tVerts[texCoordCount - 1], Point3(0.125f, 0.5f, 0.0f));
        EXPECT_TRUE(importtest::indicesInRange(*mesh));
    }
}

// The import operation asks for frame 1, which models of one frame do not have.
TEST(Md2Import, TheImportTakesFrameOneWhenThereIsOne) {
    importtest::ScratchFolder folder;
    const std::pair<int32_t, int> frameCountAndFrame[] = {{1, 0}, {2, 1}, {198, 1}};
    for (const auto& [frameCount, expectedFrame] : frameCountAndFrame) {
        SCOPED_TRACE(frameCount);
        Md2Build build = testmodels::makeMd2Build(frameCount, 3);
        for (size_t f = 0; f < build.frames.size(); ++f) {
            build.frames[f].scale = {1.0f, 1.0f, 1.0f};
            build.frames[f].translate = {10.0f * static_cast<float>(f), 0.0f, 0.0f};
            build.frames[f].vertices[0].position = {0, 0, 0};
        }
        ImportScene s;
        ASSERT_EQ(importtest::importFile(s.imports, folder.write("frames.md2", testmodels::buildMd2(build))), 1);
        ASSERT_EQ(s.nodes().size(), 1u);
        Mesh* mesh = meshOf(s.nodes()[0]);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->verts[0], Point3(40.0f * static_cast<float>(expectedFrame), 0.0f, 0.0f));
    }
}

// Only 162 normals exist; larger indices in a file must not reach past the table.
TEST(Md2Import, NormalIndicesPastTheTableImport) {
    Md2Build build = oneTriangle();
    build.frames[0].vertices[0].normalIndex = 162;
    build.frames[0].vertices[1].normalIndex = 200;
    build.frames[0].vertices[2].normalIndex = 255;
    ImportScene s;
    ASSERT_EQ(importtest::readMd2Bytes(s.imports, testmodels::buildMd2(build), 0), 1);
    ASSERT_EQ(s.nodes().size(), 1u);
    Mesh* mesh = meshOf(s.nodes()[0]);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->verts[0], Point3(42.0f, 126.0f, -84.0f));
}
