// The MD3 reader of the importer: tag markers, surface meshes, node names and order, refusals.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <model_readers.h>

#include "import_harness.h"
#include "model_builders.h"

using importtest::ImportScene;
using importtest::meshOf;
using modelformat::Md3Model;
using testmodels::SurfaceBlockOrder;

namespace {

std::vector<uint8_t> md3Bytes(const Md3Model& model, SurfaceBlockOrder order = SurfaceBlockOrder::ShadersFirst) {
    return testmodels::buildMd3(model, order);
}

std::vector<uint8_t> patched(std::vector<uint8_t> bytes, size_t at, int32_t value) {
    testmodels::patchInt32(bytes, at, value);
    return bytes;
}

// A model whose first frame's tags have a distinct value in every field, so that a swapped row
// shows; the later frames keep the builder's values, which differ from these.
Md3Model modelWithDistinctTags(int32_t frameCount, int32_t tagCount, int32_t surfaceCount) {
    Md3Model model = testmodels::makeMd3Model(frameCount, tagCount, surfaceCount);
    for (int32_t t = 0; t < tagCount; ++t) {
        const auto ft = static_cast<float>(t);
        modelformat::Md3TagRecord& tag = model.tags[static_cast<size_t>(t)];
        tag.axes = {modelformat::Md3Vec3{1.0f + ft, 2.0f, 3.0f}, modelformat::Md3Vec3{4.0f, 5.0f + ft, 6.0f},
                    modelformat::Md3Vec3{7.0f, 8.0f, 9.0f + ft}};
        tag.origin = {10.0f, 11.0f, 12.0f + ft};
    }
    return model;
}

Point3 toPoint(const modelformat::Md3Vec3& v) { return Point3(v.x, v.y, v.z); }

void expectFaces(Mesh& mesh, const std::vector<std::array<DWORD, 3>>& faces) {
    ASSERT_EQ(mesh.getNumFaces(), static_cast<int>(faces.size()));
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const std::array<DWORD, 3> corners = {mesh.faces[f].v[0], mesh.faces[f].v[1], mesh.faces[f].v[2]};
        EXPECT_EQ(corners, faces[static_cast<size_t>(f)]) << "face " << f;
        EXPECT_EQ(mesh.faces[f].flags & EDGE_ALL, static_cast<DWORD>(EDGE_ALL)) << "face " << f;
        if (mesh.getNumTVerts() > 0) {
            const std::array<DWORD, 3> textureCorners = {mesh.tvFace[f].t[0], mesh.tvFace[f].t[1], mesh.tvFace[f].t[2]};
            EXPECT_EQ(textureCorners, faces[static_cast<size_t>(f)]) << "texture face " << f;
        }
    }
}

}  // namespace

TEST(Md3Import, TagsBecomeMarkersPlacedByTheFirstFrame) {
    const Md3Model model = modelWithDistinctTags(3, 2, 0);
    ImportScene s;
    ASSERT_EQ(importtest::readMd3Bytes(s.imports, md3Bytes(model)), 1);

    ASSERT_EQ(s.names(), (std::vector<std::string>{"tag_0", "tag_1"}));
    for (int32_t t = 0; t < 2; ++t) {
        SCOPED_TRACE("tag " + std::to_string(t));
        const modelformat::Md3TagRecord& tag = model.tag(0, t);
        // First, second and third axis, then the origin, are the transform's rows 0 to 3.
        EXPECT_EQ(s.nodes()[static_cast<size_t>(t)]->localTransform(0),
                  Matrix3(toPoint(tag.axes[0]), toPoint(tag.axes[1]), toPoint(tag.axes[2]), toPoint(tag.origin)));
        Mesh* marker = meshOf(s.nodes()[static_cast<size_t>(t)]);
        ASSERT_NE(marker, nullptr);
        ASSERT_EQ(marker->getNumVerts(), 3);
        EXPECT_EQ(marker->verts[0], Point3(0.0f, 0.0f, 0.0f));
        EXPECT_EQ(marker->verts[1], Point3(2.0f, 0.0f, 0.0f));
        EXPECT_EQ(marker->verts[2], Point3(0.0f, 1.0f, 0.0f));
        EXPECT_EQ(marker->getNumTVerts(), 0);
        expectFaces(*marker, {{0, 1, 2}, {0, 2, 1}});
    }
}

TEST(Md3Import, SurfaceBecomesAMeshOfItsFirstFrame) {
    Md3Model model = testmodels::makeMd3Model(2, 0, 1);
    modelformat::Md3Surface& surface = model.surfaces[0];
    // Frame 0 is replaced; frame 1 keeps the builder's different positions.
    const struct {
        modelformat::Md3Vertex stored;
        Point3 position;
        modelformat::Md3TexCoord st;
        Point3 textureVertex;
    } corners[] = {
        {{64, -32768, 1, 0, 0}, Point3(1.0f, -512.0f, 0.015625f), {0.25f, 0.75f}, Point3(0.25f, 0.25f, 0.0f)},
        {{-1, 32767, 0, 0, 0}, Point3(-0.015625f, 511.984375f, 0.0f), {0.0f, 0.0f}, Point3(0.0f, 1.0f, 0.0f)},
        {{128, 0, -64, 0, 0}, Point3(2.0f, 0.0f, -1.0f), {1.0f, 1.0f}, Point3(1.0f, 0.0f, 0.0f)},
        {{0, 32, 0, 0, 0}, Point3(0.0f, 0.5f, 0.0f), {-0.5f, 2.0f}, Point3(-0.5f, -1.0f, 0.0f)},
    };
    for (size_t v = 0; v < 4; ++v) {
        surface.vertices[v] = corners[v].stored;
        surface.texCoords[v] = corners[v].st;
    }
    surface.triangles = {modelformat::Md3Triangle{{0, 1, 2}}, modelformat::Md3Triangle{{2, 3, 0}}};
    ImportScene s;
    ASSERT_EQ(importtest::readMd3Bytes(s.imports, md3Bytes(model)), 1);

    ASSERT_EQ(s.names(), std::vector<std::string>{"surface_0"});
    EXPECT_EQ(s.nodes()[0]->localTransform(0), Matrix3());
    Mesh* mesh = meshOf(s.nodes()[0]);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumVerts(), 4);
    ASSERT_EQ(mesh->getNumTVerts(), 4);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(mesh->verts[v], corners[v].position) << v;
        EXPECT_EQ(mesh->tVerts[v], corners[v].textureVertex) << v;
    }
    // The stored winding is reversed back, in the faces and the texture faces alike.
    expectFaces(*mesh, {{0, 2, 1}, {2, 0, 3}});
}

TEST(Md3Import, NamesAreCutAsStored) {
    const std::string longest(63, 't');
    const std::string legacy = "tag_weapon12";  // 12 characters and no zero, as earlier versions wrote them
    const std::string surfaceName70(70, 's');   // stored as its first 68 bytes
    Md3Model model = testmodels::makeMd3Model(1, 4, 2);
    const std::string storedTags[] = {"tag_head", longest, longest + "x", legacy + "unknown"};
    for (size_t t = 0; t < 4; ++t) {
        model.tags[t].name = storedTags[t];
    }
    model.surfaces[0].header.name = "x";
    model.surfaces[1].header.name = surfaceName70;
    // A name left behind in the shared name buffer, longer than any and without an end.
    std::memset(nodeNameBuffer, 'z', sizeof nodeNameBuffer);

    ImportScene s;
    ASSERT_EQ(importtest::readMd3Bytes(s.imports, md3Bytes(model)), 1);
    EXPECT_EQ(s.names(),
              (std::vector<std::string>{"tag_head", longest, longest, legacy, "x", surfaceName70.substr(0, 65)}));

    // The same in a later import, after this one left a 65-character name in the buffer.
    Md3Model legacyOnly = testmodels::makeMd3Model(1, 1, 0);
    legacyOnly.tags[0].name = "tag_torso123unknown";
    ASSERT_EQ(importtest::readMd3Bytes(s.imports, md3Bytes(legacyOnly)), 1);
    EXPECT_EQ(s.names().back(), "tag_torso123");
}

// Tags come first, then the surfaces in file order, whichever order the surface blocks lie in.
TEST(Md3Import, EveryBlockOrderImportsTheSame) {
    const Md3Model model = modelWithDistinctTags(2, 2, 3);
    const std::vector<std::string> names = {"tag_0", "tag_1", "surface_0", "surface_1", "surface_2"};
    ImportScene reference;
    ASSERT_EQ(importtest::readMd3Bytes(reference.imports, md3Bytes(model, SurfaceBlockOrder::ShadersFirst)), 1);
    ASSERT_EQ(reference.names(), names);

    for (SurfaceBlockOrder order : {SurfaceBlockOrder::TrianglesFirst, SurfaceBlockOrder::VerticesFirst}) {
        ImportScene s;
        ASSERT_EQ(importtest::readMd3Bytes(s.imports, md3Bytes(model, order)), 1);
        ASSERT_EQ(s.names(), names);
        for (size_t n = 0; n < names.size(); ++n) {
            SCOPED_TRACE(names[n]);
            EXPECT_EQ(s.nodes()[n]->localTransform(0), reference.nodes()[n]->localTransform(0));
            Mesh* mesh = meshOf(s.nodes()[n]);
            Mesh* expected = meshOf(reference.nodes()[n]);
            ASSERT_TRUE(mesh != nullptr && expected != nullptr);
            ASSERT_EQ(mesh->getNumVerts(), expected->getNumVerts());
            ASSERT_EQ(mesh->getNumTVerts(), expected->getNumTVerts());
            for (int v = 0; v < mesh->getNumVerts(); ++v) {
                EXPECT_EQ(mesh->verts[v], expected->verts[v]);
            }
            for (int v = 0; v < mesh->getNumTVerts(); ++v) {
                EXPECT_EQ(mesh->tVerts[v], expected->tVerts[v]);
            }
            std::vector<std::array<DWORD, 3>> faces;
            for (int f = 0; f < expected->getNumFaces(); ++f) {
                faces.push_back({expected->faces[f].v[0], expected->faces[f].v[1], expected->faces[f].v[2]});
            }
            expectFaces(*mesh, faces);
        }
    }
}

TEST(Md3Import, AnswersForFilesOutOfTheOrdinary) {
    const std::vector<uint8_t> twoSurfaces = md3Bytes(testmodels::makeMd3Model(1, 2, 2));
    std::vector<uint8_t> badSecondMagic = twoSurfaces;
    badSecondMagic.at(modelformat::readMd3(twoSurfaces).model.surfaces[1].fileOffset + 3) = '4';
    Md3Model emptySurface = testmodels::makeMd3Model(1, 0, 1);
    emptySurface.surfaces[0].header.vertexCount = 0;
    emptySurface.surfaces[0].triangles.clear();
    emptySurface.surfaces[0].texCoords.clear();
    emptySurface.surfaces[0].vertices.clear();

    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        int answer;
        std::vector<std::string> names;
    } cases[] = {
        {"version 16", patched(twoSurfaces, testmodels::kMd3AtVersion, 16), 0, {}},
        {"second surface not IDP3: what came before it stays", badSecondMagic, 0, {"tag_0", "tag_1", "surface_0"}},
        {"no tags, no surfaces", md3Bytes(testmodels::makeMd3Model(1, 0, 0)), 1, {}},
        {"no frames, two tags", md3Bytes(testmodels::makeMd3Model(0, 2, 0)), 1, {}},
        {"no frames, a million tags",
         patched(md3Bytes(testmodels::makeMd3Model(0, 0, 0)), testmodels::kMd3AtTagCount, 1000000),
         1,
         {}},
        {"no frames, two tags, a surface with a frame of its own",
         patched(md3Bytes(testmodels::makeMd3Model(1, 2, 1)), testmodels::kMd3AtFrameCount, 0),
         1,
         {"surface_0"}},
        {"a surface with no vertices and no triangles", md3Bytes(emptySurface), 1, {"surface_0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImportScene s;
        EXPECT_EQ(importtest::readMd3Bytes(s.imports, c.bytes), c.answer);
        EXPECT_EQ(s.names(), c.names);
    }
}
