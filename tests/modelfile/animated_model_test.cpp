// MD3 and MD2 files read whole: frame k is what the importer plug-in makes of frame k (positions,
// winding, texture coordinates, tags), normals are the file's own, and MD2 frames group by stem.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <animated_model.h>
#include <modelformat/md2_normals.h>
#include <modelformat/md2_reader.h>
#include <modelformat/md3_reader.h>

#include "model_builders.h"
#include "plugin_harness.h"

namespace {

using host::modelfile::AnimatedModel;
using host::modelfile::FrameGroup;
using host::modelfile::ModelReadResult;
using host::modelfile::ModelSurface;

Mesh meshOf(host::SceneNode* node) {
    auto* object = dynamic_cast<TriObject*>(node->object());
    return object != nullptr ? object->GetMesh() : Mesh();
}

// Every vertex, texture vertex and face of the importer's mesh is the model's at that frame.
void expectSameAsImported(const ModelSurface& surface, int frame, const Mesh& imported) {
    ASSERT_EQ(imported.numVerts, surface.vertexCount);
    for (int v = 0; v < surface.vertexCount; ++v) {
        EXPECT_EQ(surface.framePositions(frame)[v], imported.verts[v]) << "vertex " << v;
    }
    ASSERT_EQ(static_cast<size_t>(imported.numTVerts), surface.textureVertices.size());
    for (int t = 0; t < imported.numTVerts; ++t) {
        EXPECT_EQ(surface.textureVertices[static_cast<size_t>(t)], imported.tVerts[t]) << "texture vertex " << t;
    }
    ASSERT_EQ(static_cast<size_t>(imported.numFaces), surface.faces.size());
    for (int f = 0; f < imported.numFaces; ++f) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(static_cast<DWORD>(surface.faces[static_cast<size_t>(f)][static_cast<size_t>(c)]),
                      imported.faces[f].v[c]);
            EXPECT_EQ(static_cast<DWORD>(surface.textureFaces[static_cast<size_t>(f)][static_cast<size_t>(c)]),
                      imported.tvFace[f].t[c]);
        }
    }
}

}  // namespace

class AnimatedModelRead : public PluginTest {
protected:
    // The importer plug-in's nodes for a file.
    std::vector<host::SceneNode*> import(const std::vector<uint8_t>& bytes, host::Scene& scene) {
        const std::string file = path("model.bin");
        writeFileBytes(file, bytes);
        host::ImportInterface imports(scene);
        EXPECT_EQ(importer()->DoImport(file.c_str(), &imports, &hostInterface, TRUE), 1);
        return imports.addedNodes();
    }
};

TEST_F(AnimatedModelRead, Md3FrameZeroIsWhatTheImporterMakes) {
    const modelformat::Md3Model file = testmodels::makeMd3Model(3, 2, 2);
    const std::vector<uint8_t> bytes = testmodels::buildMd3(file, testmodels::SurfaceBlockOrder::TrianglesFirst);
    const ModelReadResult read = host::modelfile::readAnimatedModel(bytes);
    ASSERT_TRUE(read.ok) << read.error;
    const AnimatedModel& model = read.model;
    EXPECT_EQ(model.kind, "MD3");
    ASSERT_EQ(model.frameCount, 3);
    EXPECT_EQ(model.frameNames, (std::vector<std::string>{"frame0", "frame1", "frame2"}));

    host::Scene scene;
    const std::vector<host::SceneNode*> imported = import(bytes, scene);
    ASSERT_EQ(imported.size(), 4u);
    ASSERT_EQ(model.tags.size(), 2u);
    for (size_t t = 0; t < 2; ++t) {
        EXPECT_EQ(model.tags[t].name, imported[t]->name());
        EXPECT_EQ(model.tags[t].frames[0], imported[t]->localTransform(0)) << model.tags[t].name;
    }
    ASSERT_EQ(model.surfaces.size(), 2u);
    for (size_t s = 0; s < 2; ++s) {
        EXPECT_EQ(model.surfaces[s].name, imported[2 + s]->name());
        expectSameAsImported(model.surfaces[s], 0, meshOf(imported[2 + s]));
    }
}

TEST(AnimatedModelMd3, EveryFrameKeepsTheFilesValuesAndNormals) {
    const modelformat::Md3Model file = testmodels::makeMd3Model(3, 2, 2);
    const ModelReadResult read =
        host::modelfile::readAnimatedModel(testmodels::buildMd3(file, testmodels::SurfaceBlockOrder::ShadersFirst));
    ASSERT_TRUE(read.ok) << read.error;
    const AnimatedModel& model = read.model;
    for (size_t s = 0; s < file.surfaces.size(); ++s) {
        const modelformat::Md3Surface& stored = file.surfaces[s];
        const ModelSurface& surface = model.surfaces[s];
        EXPECT_EQ(surface.shader, stored.shaders[0].name) << "the first of the surface's shaders";
        for (int frame = 0; frame < 3; ++frame) {
            for (int v = 0; v < stored.header.vertexCount; ++v) {
                const modelformat::Md3Vertex& vertex = stored.frameVertices(frame)[v];
                EXPECT_EQ(surface.framePositions(frame)[v],
                          Point3(vertex.x / 64.0f, vertex.y / 64.0f, vertex.z / 64.0f));
                // Polar angle from +Z, azimuth about it from +X, each byte a 256th of a turn.
                const double polar = vertex.normalPolar * 2 * M_PI / 256;
                const double azimuth = vertex.normalAzimuth * 2 * M_PI / 256;
                const Point3& normal = surface.frameNormals(frame)[v];
                EXPECT_NEAR(normal.x, std::cos(azimuth) * std::sin(polar), 1e-6);
                EXPECT_NEAR(normal.y, std::sin(azimuth) * std::sin(polar), 1e-6);
                EXPECT_NEAR(normal.z, std::cos(polar), 1e-6);
            }
        }
    }
    const modelformat::Md3Vec3& axis = file.tag(2, 1).axes[1];
    EXPECT_EQ(model.tags[1].frames[2].GetRow(1), Point3(axis.x, axis.y, axis.z));
    EXPECT_EQ(model.tags[1].frames[2].GetTrans(), Point3(21.0f, -2.0f, 0.125f));
    bool warned = false;
    for (const std::string& warning : read.warnings) {
        warned = warned || warning.find("2 shaders") != std::string::npos;
    }
    EXPECT_TRUE(warned);
}

TEST(AnimatedModelMd3, ASurfaceShortOfFramesHoldsItsLast) {
    modelformat::Md3Model file = testmodels::makeMd3Model(3, 0, 1);
    modelformat::Md3Surface& surface = file.surfaces[0];
    surface.header.frameCount = 2;
    surface.vertices.resize(2 * static_cast<size_t>(surface.header.vertexCount));
    const ModelReadResult read =
        host::modelfile::readAnimatedModel(testmodels::buildMd3(file, testmodels::SurfaceBlockOrder::ShadersFirst));
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.model.frameCount, 3);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(read.model.surfaces[0].framePositions(2)[v], read.model.surfaces[0].framePositions(1)[v]);
    }
    ASSERT_FALSE(read.warnings.empty());
    EXPECT_NE(read.warnings.back().find("has 2 frames where the file has 3"), std::string::npos);
}

TEST_F(AnimatedModelRead, Md2FrameOneIsWhatTheImporterMakes) {
    testmodels::Md2Build build = testmodels::makeMd2Build(3, 5);
    build.skinCount = 2;
    const std::vector<uint8_t> bytes = testmodels::buildMd2(build);
    const ModelReadResult read = host::modelfile::readAnimatedModel(bytes);
    ASSERT_TRUE(read.ok) << read.error;
    const AnimatedModel& model = read.model;
    EXPECT_EQ(model.kind, "MD2");
    ASSERT_EQ(model.frameCount, 3);
    ASSERT_EQ(model.surfaces.size(), 1u);
    EXPECT_EQ(model.surfaces[0].shader, "models/test/skin0.pcx");

    host::Scene scene;
    const std::vector<host::SceneNode*> imported = import(bytes, scene);
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_EQ(model.surfaces[0].name, imported[0]->name());
    expectSameAsImported(model.surfaces[0], modelformat::kMd2ImportFrame, meshOf(imported[0]));

    // The table's normal turned as the positions are: the file's (X, Y, Z) is placed at
    // (4X, 4Z, -4Y), so its normal (x, y, z) becomes (x, z, -y).
    const int index = build.frames[2].vertices[4].normalIndex;
    const modelformat::Md2Vec3& table = modelformat::kMd2Normals[static_cast<size_t>(index)];
    EXPECT_EQ(model.surfaces[0].frameNormals(2)[4], Point3(table.x, table.z, -table.y));
}

struct StemCase {
    const char* name;
    std::vector<std::string> frames;
    std::vector<FrameGroup> groups;
};

class FrameStems : public ::testing::TestWithParam<StemCase> {};

TEST_P(FrameStems, GroupConsecutiveFramesOfOneStem) {
    const std::vector<FrameGroup> groups = host::modelfile::groupFramesByStem(GetParam().frames);
    ASSERT_EQ(groups.size(), GetParam().groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        EXPECT_EQ(groups[g].name, GetParam().groups[g].name);
        EXPECT_EQ(groups[g].firstFrame, GetParam().groups[g].firstFrame);
        EXPECT_EQ(groups[g].frameCount, GetParam().groups[g].frameCount);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FrameStems,
                         ::testing::Values(StemCase{"Groups",
                                                    {"stand1", "stand2", "run1", "run2", "run3", "jump01"},
                                                    {{"stand", 0, 2}, {"run", 2, 3}, {"jump", 5, 1}}},
                                           StemCase{"OneStemIsNoGrouping", {"frame01", "frame02", "frame03"}, {}},
                                           StemCase{"AStemComingBackIsAnotherGroup",
                                                    {"a1", "b1", "a2"},
                                                    {{"a", 0, 1}, {"b", 1, 1}, {"a", 2, 1}}},
                                           StemCase{"DigitsAloneBreakARun",
                                                    {"pain1", "0", "pain2", "death1"},
                                                    {{"pain", 0, 1}, {"pain", 2, 1}, {"death", 3, 1}}},
                                           StemCase{"NoFrames", {}, {}}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(AnimatedModelRefusal, FilesOfNeitherKindOrBrokenAreRefusedWithAReason) {
    std::vector<uint8_t> md3 =
        testmodels::buildMd3(testmodels::makeMd3Model(1, 0, 1), testmodels::SurfaceBlockOrder::ShadersFirst);
    md3.resize(md3.size() - 1);
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {{'J', 'U', 'N', 'K', 0, 0}, "neither IDP3 nor IDP2"}, {{}, "neither"}, {md3, "not a readable MD3 file"}};
    for (const auto& [bytes, reason] : cases) {
        const ModelReadResult read = host::modelfile::readAnimatedModel(bytes);
        EXPECT_FALSE(read.ok);
        EXPECT_NE(read.error.find(reason), std::string::npos) << read.error;
        EXPECT_TRUE(read.model.surfaces.empty());
    }
    EXPECT_FALSE(host::modelfile::readAnimatedModelFile("/nonexistent/model.md3").ok);
}
