// Loading scene files: hierarchy, sampled transforms, skinning, morph targets, materials, options.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include "scene_checks.h"
#include "file_animation.h"
#include "scene_file.h"
#include "scratch_folder.h"

namespace {

using scenetest::fromYUp;
using scenetest::meshAt;
using scenetest::near;
using scenetest::ticksAt;

const std::string kFigure = std::string(QMP_TEST_DATA_DIR) + "/figure.gltf";
const std::string kZUpCollada = std::string(QMP_TEST_DATA_DIR) + "/z_up_mast.dae";
constexpr double kPi = 3.14159265358979323846;

// figure.gltf's "walk" lasts one second: the hips rise one unit, the chest turns 90 degrees
// about glTF's Z, the weapon tag steps forward at 0, 0.5 and 1 s, the spinner turns 120 degrees
// about glTF's Y and the blob's one morph target goes from weight 0 to 1.
double walkProgress(double seconds) { return std::min(std::max(seconds, 0.0), 1.0); }
double chestAngle(double seconds) { return kPi / 2 * walkProgress(seconds); }
double hipsHeight(double seconds) { return 1.0 + walkProgress(seconds); }

// Where a vertex of the skinned strip lies in the glTF world: its rows at y = 1, 1.5 and 2 follow
// the hips, both bones equally, and the chest.
Point3 skinnedStripVertex(double x, double restY, double seconds) {
    const double angle = chestAngle(seconds);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double lift = walkProgress(seconds);
    // The chest turns about its joint at (0, 2 + lift): a point (x, y) at rest moves to
    // joint + R (x, y - 2).
    auto chest = [&](double px, double py) {
        return Point3(px * c - (py - 2) * s, 2 + lift + px * s + (py - 2) * c, 0.0);
    };
    const Point3 hips(x, restY + lift, 0.0);
    if (restY < 1.25) {
        return hips;
    }
    if (restY > 1.75) {
        return chest(x, restY);
    }
    return (hips + chest(x, restY)) * 0.5f;
}

class FigureScene : public ::testing::Test {
protected:
    void SetUp() override { load({}); }
    // Loads the figure into a new scene.
    void load(const host::SceneLoadOptions& options) {
        owned = std::make_unique<host::Scene>();
        result = host::loadSceneFile(kFigure, options, *owned);
    }
    host::SceneNode& node(const std::string& name) {
        host::SceneNode* found = owned->findNode(name);
        EXPECT_NE(found, nullptr) << name;
        if (found == nullptr) {
            throw std::runtime_error("no node " + name);
        }
        return *found;
    }
    Point3 worldPosition(const std::string& name, TimeValue time) { return node(name).GetNodeTM(time).GetTrans(); }

    std::unique_ptr<host::Scene> owned;
    host::SceneLoadResult result;
};

TEST_F(FigureScene, KeepsNamesAndHierarchyWithoutTheFilesWrapperRoot) {
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<std::string> topNodes;
    for (host::SceneNode* n : owned->nodes()) {
        if (n->parent() == nullptr) {
            topNodes.push_back(n->name());
        }
    }
    EXPECT_EQ(topNodes, (std::vector<std::string>{"figure", "prop"}));
    const std::vector<std::pair<std::string, std::string>> parentOf = {
        {"hips", "figure"}, {"chest", "hips"},        {"tag_torso", "chest"},
        {"body", "figure"}, {"tag_weapon", "figure"}, {"spinner", "figure"},
        {"blob", "figure"}, {"nodes[8]", "figure"},   {"spinner_spinner_mesh-1", "spinner"}};
    for (const auto& [child, parent] : parentOf) {
        ASSERT_NE(node(child).parent(), nullptr) << child;
        EXPECT_EQ(node(child).parent()->name(), parent) << child;
    }
    EXPECT_EQ(result.nodeCount, 11);
    EXPECT_EQ(static_cast<int>(owned->size()), result.nodeCount);
    std::set<std::string> names;
    for (host::SceneNode* n : owned->nodes()) {
        names.insert(n->name());
    }
    EXPECT_EQ(names.size(), owned->size()) << "node names are unique";
}

TEST_F(FigureScene, ReportsAnimationsAndTheirLength) {
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationNames, (std::vector<std::string>{"walk", "idle"}));
    EXPECT_EQ(result.animationsPlayed, std::vector<int>{0});
    // Both move the hips: they are alternatives, and the first is sampled unless asked otherwise.
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("--animation"), std::string::npos) << result.notes[0];
    // glTF keys are in seconds, not frames: the host's default rate applies.
    EXPECT_EQ(result.frameRate, host::kDefaultFrameRate);
    EXPECT_EQ(GetFrameRate(), host::kDefaultFrameRate);
    EXPECT_DOUBLE_EQ(result.durationSeconds, 1.0);
    EXPECT_EQ(result.lengthFrames, host::kDefaultFrameRate);
}

TEST_F(FigureScene, ConvertsYUpToTheHostsZUp) {
    ASSERT_TRUE(result.ok) << result.error;
    // Static nodes: the prop beside the figure and the nameless node behind it.
    EXPECT_TRUE(near(worldPosition("prop", 0), fromYUp(3, 0, 0)));
    EXPECT_TRUE(near(worldPosition("nodes[8]", 0), fromYUp(0, 0, -1)));
    EXPECT_TRUE(near(worldPosition("hips", 0), Point3(0.0f, 0.0f, 1.0f))) << "the hips stand up along Z";
    // A mesh keeps its handedness: the prop's marker triangle still faces the viewer along -Y.
    host::SceneNode& prop = node("prop");
    Mesh marker = meshAt(prop, 0);
    ASSERT_EQ(marker.getNumFaces(), 1);
    const Matrix3 tm = prop.GetObjectTM(0);
    const Point3 a = marker.verts[marker.faces[0].v[0]] * tm;
    const Point3 b = marker.verts[marker.faces[0].v[1]] * tm;
    const Point3 c = marker.verts[marker.faces[0].v[2]] * tm;
    EXPECT_TRUE(near(CrossProd(b - a, c - a).Normalize(), Point3(0.0f, -1.0f, 0.0f)));
}

TEST_F(FigureScene, SamplesTranslationAndRotationKeysWithTheirInterpolation) {
    ASSERT_TRUE(result.ok) << result.error;
    for (double seconds : {0.0, 0.25, 0.5, 0.8, 1.0, 1.5, -0.5}) {
        const TimeValue time = ticksAt(seconds);
        SCOPED_TRACE("at " + std::to_string(seconds) + " s");
        // Linear translation, held before the first key and after the last.
        EXPECT_TRUE(near(worldPosition("hips", time), fromYUp(0, hipsHeight(seconds), 0)));
        // Spherical interpolation: the chest's angle grows evenly with time (a normalised
        // linear blend of the quaternions would lag by almost a degree at a quarter).
        const double angle = chestAngle(seconds);
        const Matrix3 torso = node("tag_torso").GetNodeTM(time);
        EXPECT_TRUE(near(torso.GetTrans(),
                         fromYUp(-0.5 * std::sin(angle), hipsHeight(seconds) + 1 + 0.5 * std::cos(angle), 0)));
        // A node keeps its frame across the change of axes: its Z axis is its glTF Y (up), and
        // both turn with the chest about glTF's Z.
        EXPECT_TRUE(near(torso.GetRow(0), fromYUp(std::cos(angle), std::sin(angle), 0)));
        EXPECT_TRUE(near(torso.GetRow(2), fromYUp(-std::sin(angle), std::cos(angle), 0)));
        // 120 degrees about glTF's up is a turn about the host's Z.
        const double spin = 2 * kPi / 3 * walkProgress(seconds);
        const Matrix3 spinner = node("spinner").GetNodeTM(time);
        EXPECT_TRUE(near(spinner.GetRow(0), Point3(std::cos(spin), std::sin(spin), 0.0)));
        EXPECT_TRUE(near(spinner.GetTrans(), fromYUp(0, 0, 2)));
    }
}

TEST_F(FigureScene, HoldsStepKeysUntilTheNext) {
    ASSERT_TRUE(result.ok) << result.error;
    const std::vector<std::pair<double, double>> forwardAt = {{0.0, 0.0},  {0.25, 0.0}, {0.49, 0.0}, {0.5, 1.0},
                                                              {0.75, 1.0}, {0.99, 1.0}, {1.0, 2.0}};
    for (const auto& [seconds, forward] : forwardAt) {
        EXPECT_TRUE(near(worldPosition("tag_weapon", ticksAt(seconds)), fromYUp(1, 0, forward)))
            << "at " << seconds << " s";
    }
    // The same tag's rotation is linear: 45 degrees about glTF's X half way. Its Y axis is its
    // glTF -Z (the host's Y points away from a viewer facing glTF's +Z), turned.
    const Matrix3 weapon = node("tag_weapon").GetNodeTM(ticksAt(0.5));
    EXPECT_TRUE(near(weapon.GetRow(1), fromYUp(0, std::sin(kPi / 4), -std::cos(kPi / 4))));
    EXPECT_TRUE(near(weapon.GetRow(0), fromYUp(1, 0, 0)));
}

TEST_F(FigureScene, SkinsTheStripWithItsBonesFrameByFrame) {
    ASSERT_TRUE(result.ok) << result.error;
    host::SceneNode& body = node("body");
    for (int frame = 0; frame <= result.lengthFrames; ++frame) {
        const TimeValue time = host::frameToTicks(frame);
        const double seconds = static_cast<double>(time) / TIME_TICKSPERSEC;
        Mesh strip = meshAt(body, time);
        ASSERT_EQ(strip.getNumVerts(), 6);
        ASSERT_EQ(strip.getNumTVerts(), 6);
        // The mesh is in the body node's own space (the node sits 2 units aside, which a skinned
        // mesh ignores): its object transform takes it to the world the bones put it in.
        const Matrix3 toWorld = body.GetObjectTM(time);
        for (int v = 0; v < 6; ++v) {
            // The texture coordinates name the vertex: u = x + 0.5 and v = 2 - y at rest.
            const UVVert uv = strip.tVerts[v];
            const Point3 expected = skinnedStripVertex(uv.x - 0.5, 2.0 - uv.y, seconds);
            EXPECT_TRUE(near(strip.verts[v] * toWorld, fromYUp(expected.x, expected.y, expected.z)))
                << "frame " << frame << " vertex " << v;
        }
    }
}

TEST_F(FigureScene, WeighsMorphTargetsOverTime) {
    ASSERT_TRUE(result.ok) << result.error;
    host::SceneNode& blob = node("blob");
    for (double seconds : {0.0, 0.3, 0.5, 1.0, 2.0}) {
        const TimeValue time = ticksAt(seconds);
        Mesh triangle = meshAt(blob, time);
        ASSERT_EQ(triangle.getNumVerts(), 3);
        const Matrix3 toWorld = blob.GetObjectTM(time);
        // The target lifts the vertex at (0, 1) along glTF's Z by its weight. The mesh is in the
        // host's axes: glTF's (x, y) is the host's (x, z).
        int lifted = 0;
        for (int v = 0; v < 3; ++v) {
            const Point3 p = triangle.verts[v];
            const double weight = (p.z > 0.5f) ? walkProgress(seconds) : 0.0;
            lifted += p.z > 0.5f ? 1 : 0;
            EXPECT_TRUE(near(p * toWorld, fromYUp(-2 + p.x, p.z, weight))) << "at " << seconds << " s";
        }
        EXPECT_EQ(lifted, 1);
    }
}

TEST_F(FigureScene, EvaluatesWithoutBuildingMeshes) {
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<host::DeformingObject*> deforming;
    for (host::SceneNode* n : owned->nodes()) {
        for (TimeValue time : {0, 800, 4800}) {
            n->GetObjectTM(time);
            Object* object = n->EvalWorldState(time).obj;
            auto* lazy = dynamic_cast<host::DeformingObject*>(object);
            if (lazy != nullptr && time == 0) {
                deforming.push_back(lazy);
            }
        }
    }
    // The skinned strip and the morphing blob; every other mesh is static.
    ASSERT_EQ(deforming.size(), 2u);
    for (host::DeformingObject* object : deforming) {
        EXPECT_EQ(object->conversions(), 0);
    }
    meshAt(node("body"), 800);
    EXPECT_EQ(dynamic_cast<host::DeformingObject*>(node("body").object())->conversions(), 1);
    EXPECT_NE(dynamic_cast<TriObject*>(node("prop").object()), nullptr);
}

TEST_F(FigureScene, GivesEachMeshItsMaterialTextureAndCoordinates) {
    ASSERT_TRUE(result.ok) << result.error;
    // Written "textures/skin.png": kept as written, unless the checkout itself lies in a folder
    // named "models" (the resolved name is then a game path).
    const std::string resolved =
        (std::filesystem::path(QMP_TEST_DATA_DIR) / "textures/skin.png").lexically_normal().string();
    const std::string skin = resolved.find("models") != std::string::npos ? resolved : "textures/skin.png";
    EXPECT_EQ(scenetest::diffuseMapName(node("body")), skin);
    auto* bodyMaterial = dynamic_cast<host::Material*>(node("body").GetMtl());
    ASSERT_NE(bodyMaterial, nullptr);
    EXPECT_EQ(bodyMaterial->name(), "skin");
    // The node's two primitives: the first stays on the node, the second hangs below it.
    auto* red = dynamic_cast<host::Material*>(node("spinner").GetMtl());
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->name(), "red");
    EXPECT_EQ(scenetest::diffuseMapName(node("spinner")), "");
    // The unnamed image inline in the file (a data: URI) takes its material's name.
    EXPECT_EQ(scenetest::diffuseMapName(node("spinner_spinner_mesh-1")), "white.png");
    ASSERT_EQ(result.embeddedImages.size(), 1u);
    EXPECT_EQ(result.embeddedImages[0].fileName, "white.png");
    const std::vector<unsigned char>& png = result.embeddedImages[0].bytes;
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

    // Texture faces follow the faces; assimp stores glTF's v flipped (v = 1 - v).
    Mesh second = meshAt(node("spinner_spinner_mesh-1"), 0);
    ASSERT_EQ(second.getNumFaces(), 1);
    ASSERT_EQ(second.getNumTVerts(), 3);
    const std::vector<std::pair<Point3, UVVert>> cornerUv = {{Point3(0.0f, 0.0f, 0.0f), UVVert(0.25f, 0.75f, 0.0f)},
                                                             {Point3(0.0f, 0.0f, -1.0f), UVVert(0.75f, 0.75f, 0.0f)},
                                                             {Point3(-1.0f, 0.0f, 0.0f), UVVert(0.25f, 0.25f, 0.0f)}};
    for (int corner = 0; corner < 3; ++corner) {
        const Point3 p = second.verts[second.faces[0].v[corner]];
        const UVVert uv = second.tVerts[second.tvFace[0].t[corner]];
        for (const auto& [position, expected] : cornerUv) {
            if (near(p, position)) {
                EXPECT_TRUE(near(uv, expected)) << "corner " << corner;
            }
        }
    }
}

TEST_F(FigureScene, ScalesPositionsButNotAxes) {
    host::SceneLoadOptions doubled;
    doubled.scale = 2.0f;
    load(doubled);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(near(worldPosition("hips", ticksAt(0.5)), fromYUp(0, 2 * hipsHeight(0.5), 0)));
    EXPECT_TRUE(near(worldPosition("tag_weapon", ticksAt(0.75)), fromYUp(2, 0, 2)));
    const Matrix3 torso = node("tag_torso").GetNodeTM(ticksAt(0.3));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(torso.GetRow(axis).Length(), 1.0f, 1e-5f);
    }
    host::SceneNode& body = node("body");
    const TimeValue time = ticksAt(0.6);
    Mesh strip = meshAt(body, time);
    ASSERT_EQ(strip.getNumVerts(), 6);
    for (int v = 0; v < 6; ++v) {
        const Point3 expected = skinnedStripVertex(strip.tVerts[v].x - 0.5, 2.0 - strip.tVerts[v].y, 0.6) * 2.0f;
        EXPECT_TRUE(near(strip.verts[v] * body.GetObjectTM(time), fromYUp(expected.x, expected.y, expected.z)));
    }
    Mesh triangle = meshAt(node("blob"), ticksAt(1.0));
    float highest = 0.0f;
    for (int v = 0; v < 3; ++v) {
        highest = std::max(highest, triangle.verts[v].z);
    }
    EXPECT_NEAR(highest, 2.0f, 1e-5f) << "morph targets scale with their mesh";
}

TEST_F(FigureScene, FrameRateSetsTheHostClockAndTheLength) {
    host::SceneLoadOptions slow;
    slow.frameRate = 10;
    load(slow);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.frameRate, 10);
    EXPECT_EQ(GetFrameRate(), 10);
    EXPECT_EQ(GetTicksPerFrame(), TIME_TICKSPERSEC / 10);
    EXPECT_EQ(result.lengthFrames, 10);
    EXPECT_TRUE(near(worldPosition("hips", host::frameToTicks(5)), fromYUp(0, hipsHeight(0.5), 0)));

    host::SceneLoadOptions restore;
    load(restore);
    EXPECT_EQ(GetFrameRate(), host::kDefaultFrameRate);
}

TEST_F(FigureScene, ChoosesAnimationsByNameOrNumber) {
    host::SceneLoadOptions byName;
    byName.animationName = "idle";
    load(byName);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, std::vector<int>{1});
    EXPECT_EQ(result.lengthFrames, 2 * host::kDefaultFrameRate);
    // "idle" raises the hips half a unit over two seconds and leaves the chest alone.
    EXPECT_TRUE(near(worldPosition("hips", ticksAt(1.0)), fromYUp(0, 1.25, 0)));
    EXPECT_TRUE(near(node("chest").GetNodeTM(ticksAt(1.0)).GetRow(0), fromYUp(1, 0, 0)));
    // The prop is a top node with keys of its own: they too are turned to Z-up.
    EXPECT_TRUE(near(worldPosition("prop", ticksAt(1.0)), fromYUp(3, 0.5, 0)));

    host::SceneLoadOptions byNumber;
    byNumber.animationIndex = 1;
    load(byNumber);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, std::vector<int>{1});
    EXPECT_TRUE(near(worldPosition("hips", ticksAt(2.0)), fromYUp(0, 1.5, 0)));

    for (const auto& wrong : {std::make_pair(std::string("run"), -1), std::make_pair(std::string(), 2)}) {
        host::SceneLoadOptions missing;
        missing.animationName = wrong.first;
        missing.animationIndex = wrong.second;
        load(missing);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("walk"), std::string::npos) << "the message lists what there is: " << result.error;
        EXPECT_EQ(owned->size(), 0u) << "a failed load leaves the scene alone";
    }
}

TEST_F(FigureScene, PlaysAnimationsTogether) {
    // Asked for: a node moved by both follows the first, every other node its own animation.
    host::SceneLoadOptions all;
    all.allAnimations = true;
    load(all);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, (std::vector<int>{0, 1}));
    EXPECT_EQ(result.lengthFrames, 2 * host::kDefaultFrameRate) << "the longest animation sets the length";
    EXPECT_TRUE(near(worldPosition("hips", ticksAt(0.5)), fromYUp(0, hipsHeight(0.5), 0)));
    EXPECT_TRUE(near(worldPosition("prop", ticksAt(1.0)), fromYUp(3, 0.5, 0)));

    // Unasked, when the animations move different nodes, as exporters write one per animated
    // object: here "idle" is made to move tag_torso instead of the hips.
    std::ifstream original(kFigure);
    std::string text((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    const size_t hipsChannel = text.find("\"node\": 1,", text.find("\"name\": \"idle\""));
    ASSERT_NE(hipsChannel, std::string::npos);
    text.replace(hipsChannel, 10, "\"node\": 3,");
    const testsupport::ScratchFolder folder;
    const std::string separate = folder.file("separate-animations.gltf");
    std::ofstream(separate) << text;
    owned = std::make_unique<host::Scene>();
    result = host::loadSceneFile(separate, {}, *owned);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, (std::vector<int>{0, 1}));
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("play together"), std::string::npos) << result.notes[0];
    EXPECT_TRUE(near(worldPosition("hips", ticksAt(0.5)), fromYUp(0, hipsHeight(0.5), 0)));
    EXPECT_TRUE(near(worldPosition("prop", ticksAt(1.0)), fromYUp(3, 0.5, 0)));
    const Point3 torsoAtRest = worldPosition("tag_torso", 0);
    EXPECT_FALSE(near(worldPosition("tag_torso", ticksAt(2.0)), torsoAtRest)) << "tag_torso follows \"idle\"";
}

TEST_F(FigureScene, UpAxisCanBeForced) {
    host::SceneLoadOptions asIs;
    asIs.upAxis = host::SceneUpAxis::Z;
    load(asIs);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(near(worldPosition("hips", 0), Point3(0.0f, 1.0f, 0.0f)));
    EXPECT_TRUE(near(worldPosition("spinner", 0), Point3(0.0f, 0.0f, 2.0f)));
}

TEST(SceneFileLoad, FollowsTheUpAxisTheFileStates) {
    host::Scene scene;
    const host::SceneLoadResult result = host::loadSceneFile(kZUpCollada, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.animationsPlayed.empty());
    EXPECT_EQ(result.lengthFrames, 0);
    host::SceneNode* mast = scene.findNode("mast");
    host::SceneNode* top = scene.findNode("tag_top");
    ASSERT_NE(mast, nullptr);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(mast->parent(), nullptr) << "the visual scene is the file's container";
    EXPECT_TRUE(near(mast->GetNodeTM(0).GetTrans(), Point3(0.0f, 0.0f, 2.0f)));
    EXPECT_TRUE(near(top->GetNodeTM(0).GetTrans(), Point3(0.0f, 0.0f, 3.0f)));
    // assimp turns the file to Y-up at its root; an unrotated tag still comes out unrotated.
    const Matrix3 topFrame = top->GetNodeTM(0);
    EXPECT_TRUE(near(topFrame.GetRow(0), Point3(1.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(near(topFrame.GetRow(1), Point3(0.0f, 1.0f, 0.0f)));
    EXPECT_TRUE(near(topFrame.GetRow(2), Point3(0.0f, 0.0f, 1.0f)));
    Mesh triangle = meshAt(*mast, 0);
    float highest = -1.0f;
    for (int v = 0; v < triangle.getNumVerts(); ++v) {
        highest = std::max(highest, (triangle.verts[v] * mast->GetObjectTM(0)).z);
    }
    EXPECT_NEAR(highest, 3.0f, 1e-5f);
}

// FBX counts its keys in the file's frames (24 per second as assimp writes it): that rate is
// kept unless one is asked for.
TEST(SceneFileLoad, TakesTheFilesFrameRateWhenItsKeysCountFrames) {
    Assimp::Importer importer;
    const aiScene* figure = importer.ReadFile(kFigure, 0);
    ASSERT_NE(figure, nullptr);
    const testsupport::ScratchFolder folder;
    const std::string fbx = folder.file("figure_frames.fbx");
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(figure, "fbxa", fbx), AI_SUCCESS) << exporter.GetErrorString();

    host::Scene scene;
    host::SceneLoadResult result = host::loadSceneFile(fbx, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.frameRate, 24);
    EXPECT_EQ(GetFrameRate(), 24);
    EXPECT_EQ(result.lengthFrames, 24) << "one second";

    host::Scene asked;
    host::SceneLoadOptions sixty;
    sixty.frameRate = 60;
    result = host::loadSceneFile(fbx, sixty, asked);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.frameRate, 60);
    EXPECT_EQ(result.lengthFrames, 60);
    SetFrameRate(host::kDefaultFrameRate);
}

TEST(SceneFileLoad, RefusesWhatItCannotRead) {
    host::Scene scene;
    host::SceneLoadResult missing = host::loadSceneFile(std::string(QMP_TEST_DATA_DIR) + "/absent.gltf", {}, scene);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("absent.gltf"), std::string::npos) << missing.error;

    host::SceneLoadOptions badScale;
    badScale.scale = 0.0f;
    EXPECT_FALSE(host::loadSceneFile(kFigure, badScale, scene).ok);
    badScale.scale = std::nanf("");
    EXPECT_FALSE(host::loadSceneFile(kFigure, badScale, scene).ok);
    host::SceneLoadOptions badRate;
    badRate.frameRate = -5;
    EXPECT_FALSE(host::loadSceneFile(kFigure, badRate, scene).ok);
    EXPECT_EQ(scene.size(), 0u);
}

TEST(SceneFileLoad, NodesKeepTheFilesNamesBesideTheScenesOwn) {
    host::Scene scene;
    scene.addNode("hips");
    const host::SceneLoadResult result = host::loadSceneFile(kFigure, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<host::SceneNode*> hips;
    for (host::SceneNode* node : scene.nodes()) {
        if (node->name() == "hips") {
            hips.push_back(node);
        }
    }
    ASSERT_EQ(hips.size(), 2u);
    EXPECT_EQ(hips[0]->parent(), nullptr);
    ASSERT_NE(hips[1]->parent(), nullptr);
    EXPECT_EQ(hips[1]->parent()->name(), "figure");
    EXPECT_EQ(scene.findNode("hips_2"), nullptr);
}

}  // namespace

namespace {

TEST(FileAnimationClock, KeysWithinFloatRoundingOfATickLieOnIt) {
    host::scenefile::FileAnimation animation;
    animation.ticksPerSecond = 1000.0;  // glTF's seconds as assimp gives them: milliseconds
    const int ticksPerFrame = TIME_TICKSPERSEC / 30;
    for (const int frame : {1, 7, 154, 1023}) {
        // Written as a float of seconds, multiplied in float by 1000.
        const float seconds = static_cast<float>(frame * ticksPerFrame) / static_cast<float>(TIME_TICKSPERSEC);
        const double read = static_cast<double>(seconds * 1000.0f);
        EXPECT_EQ(animation.onHostTick(read), animation.keyTime(frame * ticksPerFrame)) << "frame " << frame;
    }
    // A tenth of a tick off is a key between ticks, and stays there.
    const double between = animation.keyTime(160) + 0.1 * 1000.0 / TIME_TICKSPERSEC;
    EXPECT_EQ(animation.onHostTick(between), between);
    EXPECT_EQ(animation.onHostTick(-1e300), -1e300) << "beyond the host's clock";
}

}  // namespace
