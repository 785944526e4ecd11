// The whole road: an MD3 or MD2 file read whole, saved as .glb or .gltf, loaded again as a scene
// and exported through the loaded exporter plug-in gives the original back in every frame.
// Compared per triangle corner, not per vertex: loading welds the two sides of a texture seam
// (same place, same normal in every frame) into one vertex and the exporter splits it again by
// texture coordinate, so the order of a seamed surface's vertices may change; its triangles,
// positions, normals and texture coordinates may not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <brindlark/resource_ids.h>
#include <modelformat/binary_writer.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/md2_reader.h>
#include <modelformat/md3_reader.h>
#include <scene_file.h>

#include "model_files.h"
#include "plugin_harness.h"
#include "sample_files.h"

namespace {

using modelformat::Md3Model;
using modelformat::Md3Vec3;
using modeltest::bytesOf;
using modeltest::md3With;
using modeltest::tagRecord;
using modeltest::triangleSurface;

constexpr double kNormalStep = 2 * M_PI / 256;
// The exporter scales both angles of a normal by 255/256 of a turn and truncates them. A normal
// decoded from an MD3's own two bytes comes back exactly one step lower in each, at most sqrt(2)
// steps apart; any other normal (an MD2's table) lies up to about 2.3 steps from its encoding.
const double kMd3NormalTolerance = std::sqrt(2.0) * kNormalStep + 1e-6;
const double kEncodedNormalTolerance = 2.5 * kNormalStep;
constexpr double kTagTolerance = 1e-4;

double angleBetween(const Md3Vec3& a, const Md3Vec3& b) {
    const double lengths = std::sqrt((a.x * a.x + a.y * a.y + a.z * a.z) * (b.x * b.x + b.y * b.y + b.z * b.z));
    return std::acos(std::clamp((a.x * b.x + a.y * b.y + a.z * b.z) / lengths, -1.0, 1.0));
}

Md3Vec3 decoded(const modelformat::Md3Vertex& vertex) {
    return modelformat::decodeMd3Normal(vertex.normalPolar, vertex.normalAzimuth);
}

struct ExportChoices {
    bool relative = false;
    bool smartPaths = false;
    int firstFrame = 0;
    int lastFrame = 0;
};

class ModelRoundTrip : public PluginTest {
protected:
    // The scene file loaded and exported with the dialog set as asked.
    Md3Model exportScene(const std::string& sceneFile, const ExportChoices& choices,
                         const host::SceneLoadOptions& options = {}) {
        host::Scene scene;
        loaded = host::loadSceneFile(sceneFile, options, scene);
        EXPECT_TRUE(loaded.ok) << loaded.error;
        desktop.script = [choices](HWND dialog) {
            win32::user::dragTrackbar(dialog, IDC_SLIDER_FROM, choices.firstFrame);
            win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, choices.lastFrame);
            win32::user::setChecked(dialog, IDC_RELATIVE_TO_TAG, choices.relative);
            win32::user::setChecked(dialog, IDC_SMART_PATHS, choices.smartPaths);
            win32::user::setChecked(dialog, IDC_SHOW_WARNINGS, false);
            win32::user::click(dialog, IDC_EXPORT_NOW);
            return true;
        };
        EXPECT_EQ(PluginTest::exportScene(scene), 1);
        EXPECT_TRUE(written.ok) << written.message;
        return written.model;
    }

    // The file read whole, saved under `name`, loaded and exported.
    Md3Model roundTrip(const std::vector<uint8_t>& bytes, const std::string& name, const ExportChoices& choices,
                       const host::SceneLoadOptions& options = {}) {
        const std::string saved = path(name);
        saveWarnings = modeltest::writeGltf(modeltest::modelOf(bytes), saved);
        return exportScene(saved, choices, options);
    }

    host::SceneLoadResult loaded;
    std::vector<std::string> saveWarnings;
};

// Tags of every frame within 1e-4, in the same order with the same names.
void expectSameTags(const Md3Model& original, const Md3Model& back, int firstFrame = 0) {
    ASSERT_EQ(back.header.tagCount, original.header.tagCount);
    for (int32_t frame = 0; frame < back.header.frameCount; ++frame) {
        for (int32_t t = 0; t < back.header.tagCount; ++t) {
            const modelformat::Md3TagRecord& a = original.tag(firstFrame + frame, t);
            const modelformat::Md3TagRecord& b = back.tag(frame, t);
            ASSERT_EQ(b.name, a.name);
            const Md3Vec3* rowsA[] = {&a.origin, &a.axes[0], &a.axes[1], &a.axes[2]};
            const Md3Vec3* rowsB[] = {&b.origin, &b.axes[0], &b.axes[1], &b.axes[2]};
            for (int row = 0; row < 4; ++row) {
                EXPECT_NEAR(rowsB[row]->x, rowsA[row]->x, kTagTolerance) << a.name << " frame " << frame;
                EXPECT_NEAR(rowsB[row]->y, rowsA[row]->y, kTagTolerance) << a.name << " frame " << frame;
                EXPECT_NEAR(rowsB[row]->z, rowsA[row]->z, kTagTolerance) << a.name << " frame " << frame;
            }
        }
    }
}

// Surfaces that have triangles come back in order with their names, shaders (as the exporter's
// smart path rule writes them when it is on) and triangles; every frame's corners exactly where
// they were, normals within the encoding's truncation, texture coordinates within float rounding;
// corners that shared a place and a normal share a normal again (no new creases).
void expectSameSurfaces(const Md3Model& original, const Md3Model& back, bool smartPaths, int firstFrame = 0) {
    std::vector<const modelformat::Md3Surface*> drawn;
    for (const modelformat::Md3Surface& surface : original.surfaces) {
        if (!surface.triangles.empty()) {
            drawn.push_back(&surface);
        }
    }
    ASSERT_EQ(back.surfaces.size(), drawn.size());
    for (size_t s = 0; s < drawn.size(); ++s) {
        const modelformat::Md3Surface& a = *drawn[s];
        const modelformat::Md3Surface& b = back.surfaces[s];
        EXPECT_EQ(b.header.name, a.header.name);
        ASSERT_EQ(b.shaders.size(), a.shaders.empty() ? 0u : 1u) << a.header.name;
        if (!a.shaders.empty()) {
            const std::string& shader = a.shaders[0].name;
            EXPECT_EQ(b.shaders[0].name, smartPaths ? modelformat::smartPath(shader) : shader);
        }
        ASSERT_EQ(b.triangles.size(), a.triangles.size()) << a.header.name;
        for (int32_t frame = 0; frame < back.header.frameCount; ++frame) {
            const modelformat::Md3Vertex* va = a.frameVertices(firstFrame + frame);
            const modelformat::Md3Vertex* vb = b.frameVertices(frame);
            std::map<std::tuple<int, int, int, int, int>, std::pair<int, int>> normalAt;
            for (size_t t = 0; t < a.triangles.size(); ++t) {
                for (size_t c = 0; c < 3; ++c) {
                    const int i = a.triangles[t].indices[c];
                    const int j = b.triangles[t].indices[c];
                    const std::string where = a.header.name + " frame " + std::to_string(frame) + " triangle " +
                                              std::to_string(t) + " corner " + std::to_string(c);
                    ASSERT_EQ(std::make_tuple(vb[j].x, vb[j].y, vb[j].z), std::make_tuple(va[i].x, va[i].y, va[i].z))
                        << where;
                    EXPECT_LE(angleBetween(decoded(vb[j]), decoded(va[i])), kMd3NormalTolerance) << where;
                    EXPECT_NEAR(b.texCoords[static_cast<size_t>(j)].s, a.texCoords[static_cast<size_t>(i)].s, 1e-6)
                        << where;
                    EXPECT_NEAR(b.texCoords[static_cast<size_t>(j)].t, a.texCoords[static_cast<size_t>(i)].t, 1e-6)
                        << where;
                    const auto corner =
                        std::make_tuple(va[i].x, va[i].y, va[i].z, int{va[i].normalPolar}, int{va[i].normalAzimuth});
                    const std::pair<int, int> normal(vb[j].normalPolar, vb[j].normalAzimuth);
                    const auto [known, added] = normalAt.emplace(corner, normal);
                    EXPECT_TRUE(added || known->second == normal) << where << ": a crease the file did not have";
                }
            }
        }
    }
}

// An MD2's frames against the MD3 exported from it: positions within the 1/64 the exporter
// truncates to, the table's normals (turned with the positions) within the encoding's
// truncation, texture coordinates within float rounding.
void expectSameAsMd2(const modelformat::Md2Model& original, const Md3Model& back, int firstFrame = 0) {
    ASSERT_EQ(back.surfaces.size(), 1u);
    const modelformat::Md3Surface& surface = back.surfaces[0];
    EXPECT_EQ(surface.header.name, "Quake MD2");
    ASSERT_EQ(surface.shaders.size(), 1u);
    EXPECT_EQ(surface.shaders[0].name, original.skinNames.at(0));
    ASSERT_EQ(surface.triangles.size(), original.triangles.size());
    const float width = static_cast<float>(original.header.skinWidth);
    const float height = static_cast<float>(original.header.skinHeight);
    for (int32_t frame = 0; frame < back.header.frameCount; ++frame) {
        const modelformat::Md2DecodedFrame& source =
            original.allFrames.at(static_cast<size_t>(firstFrame) + static_cast<size_t>(frame));
        const modelformat::Md3Vertex* stored = surface.frameVertices(frame);
        for (size_t t = 0; t < original.triangles.size(); ++t) {
            for (size_t c = 0; c < 3; ++c) {
                const auto i = static_cast<size_t>(original.triangles[t].vertexIndices[c]);
                const auto uv = static_cast<size_t>(original.triangles[t].texCoordIndices[c]);
                const int j = surface.triangles[t].indices[c];
                const std::string where = "frame " + std::to_string(frame) + " triangle " + std::to_string(t);
                const modelformat::Md2Vec3& p = source.positions[i];
                EXPECT_NEAR(stored[j].x / 64.0, p.x, 1.0 / 64 + 1e-4) << where;
                EXPECT_NEAR(stored[j].y / 64.0, p.y, 1.0 / 64 + 1e-4) << where;
                EXPECT_NEAR(stored[j].z / 64.0, p.z, 1.0 / 64 + 1e-4) << where;
                const modelformat::Md2Vec3& n = source.normals[i];
                EXPECT_LE(angleBetween(decoded(stored[j]), Md3Vec3{n.x, n.z, -n.y}), kEncodedNormalTolerance) << where;
                EXPECT_NEAR(surface.texCoords[static_cast<size_t>(j)].s, original.texCoords[uv].s / width, 1e-6)
                    << where;
                EXPECT_NEAR(surface.texCoords[static_cast<size_t>(j)].t, original.texCoords[uv].t / height, 1e-6)
                    << where;
            }
        }
    }
}

struct SampleCase {
    const char* name;
    const char* path;
};

const SampleCase kSamples[] = {
    {"Head", "openarena-data/models/players/sarge/head.md3"},
    {"UpperBody", "openarena-data/models/players/sarge/upper.md3"},
    {"Bfg", "openarena-data/models/weapons2/bfg/bfg.md3"},
    {"Explosion", "openarena-data/models/weaphits/kamboom2.md3"},
    {"Box", "ufoai-data/models/objects/store/box.md2"},
    {"Rifle", "ufoai-data/models/weapons/assault/assault.md2"},
};

void PrintTo(const SampleCase& sample, std::ostream* out) { *out << sample.name; }

class SampleRoundTrip : public ModelRoundTrip,
                        public ::testing::WithParamInterface<std::tuple<SampleCase, const char*>> {};

TEST_P(SampleRoundTrip, ComesBackEqualInEveryFrame) {
    const auto& [sample, extension] = GetParam();
    const std::vector<uint8_t> bytes = testmodels::loadFile(std::string(QMP_SAMPLES_DIR) + "/" + sample.path);
    if (bytes.empty()) {
        QMP_SAMPLE_MISSING() << "no " << sample.path;
    }
    const std::string name = std::string("model.") + extension;
    const bool md2 = bytes.size() > 3 && bytes[3] == '2';
    if (md2) {
        const modelformat::Md2ReadResult original = modelformat::readMd2AllFrames(bytes);
        ASSERT_TRUE(original.ok) << original.message;
        const Md3Model back = roundTrip(bytes, name, {false, false, 0, original.model.header.numFrames - 1});
        ASSERT_EQ(back.header.frameCount, original.model.header.numFrames);
        expectSameAsMd2(original.model, back);
        return;
    }
    const modelformat::Md3ReadResult original = modelformat::readMd3(bytes);
    ASSERT_TRUE(original.ok) << original.message;
    // Stored relative to tag_torso, as a player's parts are: exported as stored, not relative again.
    const Md3Model back = roundTrip(bytes, name, {false, false, 0, original.model.header.frameCount - 1});
    ASSERT_EQ(back.header.frameCount, original.model.header.frameCount);
    expectSameTags(original.model, back);
    expectSameSurfaces(original.model, back, false);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kSamples), ::testing::Values("glb", "gltf")),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).name) + "_" + std::get<1>(test.param);
                         });

TEST_F(ModelRoundTrip, SmartPathsGiveAShaderFromItsModelsFolderOn) {
    const std::string head = std::string(QMP_SAMPLES_DIR) + "/openarena-data/models/players/sarge/head.md3";
    const std::vector<uint8_t> bytes = testmodels::loadFile(head);
    if (bytes.empty()) {
        QMP_SAMPLE_MISSING() << "no " << head;
    }
    const Md3Model back = roundTrip(bytes, "head.glb", {true, true, 0, 0});
    ASSERT_EQ(back.surfaces.size(), 1u);
    ASSERT_EQ(back.surfaces[0].shaders.size(), 1u);
    EXPECT_EQ(back.surfaces[0].shaders[0].name, "models\\players\\doom\\lambert2SG");
}

TEST_F(ModelRoundTrip, SurfacesOfOneNameComeBackInTheirOrder) {
    const Md3Model original = md3With(
        3, {triangleSurface("Hair", "models/players/bob/hair", 3, 0), triangleSurface("Hair", "bob_hair2", 3, 640),
            triangleSurface("face", "models/players/bob/face", 3, -640)});
    const Md3Model back = roundTrip(bytesOf(original), "hair.glb", {false, true, 0, 2});
    expectSameSurfaces(original, back, true);
}

TEST_F(ModelRoundTrip, AnEmptySurfaceIsNamedAndLeftOut) {
    modelformat::Md3Surface empty = triangleSurface("ghost", "models/ghost", 2);
    empty.triangles.clear();
    const Md3Model original =
        md3With(2, {triangleSurface("body", "models/body", 2), empty, triangleSurface("arm", "models/arm", 2, 64)});
    const Md3Model back = roundTrip(bytesOf(original), "empty.gltf", {false, true, 0, 1});
    EXPECT_TRUE(modeltest::mentions(saveWarnings, "\"ghost\" has no triangles"));
    expectSameSurfaces(original, back, true);
}

// Three tags in four frames: turning and moving, scaled unevenly, mirrored.
std::vector<modelformat::Md3TagRecord> movingTags(const char* first) {
    std::vector<modelformat::Md3TagRecord> tags;
    for (int f = 0; f < 4; ++f) {
        const auto ff = static_cast<float>(f);
        tags.push_back(tagRecord(first, 30.0f * ff, {1.0f, 1.0f, 1.0f}, false, {0.0f, 0.0f, 0.0f}));
        tags.push_back(tagRecord("tag_weapon", 40.0f * ff, {1.4128f, 1.4128f, 1.4128f}, false, {ff, -8.5f, 3.0f}));
        tags.push_back(tagRecord("tag_mirror", 100.0f + ff, {1.0f, 0.5f + ff, 2.0f}, true, {-ff, ff, 12.25f}));
    }
    return tags;
}

TEST_F(ModelRoundTrip, ATagsOnlyFileComesBackInEveryFrame) {
    const Md3Model original = md3With(4, {}, movingTags("tag_flash"), 3);
    for (const char* name : {"tags.glb", "tags.gltf"}) {
        const Md3Model back = roundTrip(bytesOf(original), name, {false, false, 0, 3});
        ASSERT_EQ(back.header.frameCount, 4);
        expectSameTags(original, back);
        EXPECT_TRUE(back.surfaces.empty());
    }
}

TEST_F(ModelRoundTrip, RelativeExportsGiveBackAFileWhoseTorsoTagIsTheIdentity) {
    std::vector<modelformat::Md3TagRecord> tags = movingTags("tag_torso");
    for (size_t t = 0; t < tags.size(); t += 3) {
        tags[t] = tagRecord("tag_torso", 0.0f, {1.0f, 1.0f, 1.0f}, false, {0.0f, 0.0f, 0.0f});
    }
    const Md3Model original = md3With(4, {triangleSurface("u_torso", "models/players/bob/torso", 4, 128)}, tags, 3);
    const Md3Model back = roundTrip(bytesOf(original), "torso.glb", {true, true, 0, 3});
    expectSameTags(original, back);
    expectSameSurfaces(original, back, true);
}

TEST_F(ModelRoundTrip, Md2FrameGroupsAreAnimationsOfTheirOwnFrames) {
    const std::vector<uint8_t> bytes = modeltest::md2Named({"stand1", "stand2", "run1", "run2", "run3", "jump1"});
    const modelformat::Md2ReadResult original = modelformat::readMd2AllFrames(bytes);
    ASSERT_TRUE(original.ok) << original.message;
    // Unasked, the loader plays the first animation, every frame: the whole model comes back.
    const Md3Model whole = roundTrip(bytes, "groups.glb", {false, false, 0, 5});
    EXPECT_EQ(loaded.animationNames, (std::vector<std::string>{"frames", "stand", "run", "jump"}));
    ASSERT_EQ(whole.header.frameCount, 6);
    expectSameAsMd2(original.model, whole);
    // "run" alone: its keys at frames 2 to 4, each frame at its own time.
    host::SceneLoadOptions run;
    run.animationName = "run";
    const Md3Model running = exportScene(path("groups.glb"), {false, false, 2, 4}, run);
    ASSERT_EQ(running.header.frameCount, 3);
    expectSameAsMd2(original.model, running, 2);
}

TEST_F(ModelRoundTrip, AnotherFrameRateComesBackWhenExportedAtIt) {
    const Md3Model original = md3With(4, {triangleSurface("body", "", 4)}, movingTags("tag_flash"), 3);
    const std::string saved = path("fifteen.glb");
    modeltest::writeGltf(modeltest::modelOf(bytesOf(original)), saved, 15);
    host::SceneLoadOptions fifteen;
    fifteen.frameRate = 15;
    const Md3Model back = exportScene(saved, {false, false, 0, 3}, fifteen);
    expectSameTags(original, back);
    expectSameSurfaces(original, back, false);
}

TEST_F(ModelRoundTrip, TagsOfOneNameAreLoadedWithAWarning) {
    std::vector<modelformat::Md3TagRecord> tags;
    for (int f = 0; f < 2; ++f) {
        tags.push_back(tagRecord("tag_a", 10.0f * static_cast<float>(f), {1, 1, 1}, false, {0, 0, 0}));
        tags.push_back(tagRecord("tag_a", 0.0f, {1, 1, 1}, false, {static_cast<float>(f), 0, 0}));
    }
    const std::string saved = path("twins.glb");
    modeltest::writeGltf(modeltest::modelOf(bytesOf(md3With(2, {}, tags, 2))), saved);
    host::Scene scene;
    const host::SceneLoadResult result = host::loadSceneFile(saved, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(scene.size(), 2u);
    EXPECT_TRUE(modeltest::mentions(result.warnings, "several nodes named \"tag_a\""));
}

}  // namespace
