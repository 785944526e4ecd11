// Scene files made to break the loader, each built here and small: keys that are not finite
// numbers or not in time order, key times past the end of the host's clock, nodes nested
// thousands deep, thousands of nodes of one name, and references to files outside the scene's
// folder.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <assimp/scene.h>

#include "assimp_scene_loader.h"
#include "gltf_builder.h"
#include "scene_checks.h"
#include "scene_file.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using scenetest::fromYUp;
using scenetest::GltfBuilder;
using scenetest::meshAt;
using scenetest::near;
using scenetest::ticksAt;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr double kPi = 3.14159265358979323846;
constexpr int kFrameRate = host::kDefaultFrameRate;
// The last frame whose time the host's 32-bit tick count holds.
constexpr int kLastHostFrame = std::numeric_limits<std::int32_t>::max() / (TIME_TICKSPERSEC / kFrameRate);

using testsupport::ScratchFolder;

bool warnedAbout(const host::SceneLoadResult& result, const std::string& part) {
    for (const std::string& warning : result.warnings) {
        if (warning.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Keys: those that are not finite numbers, or earlier than the key before, are dropped with a
// warning; the rest sample as if the file had held only them.

struct KeyCase {
    std::string name;
    std::string path;           // translation, rotation, scale or weights
    std::vector<float> times;   // seconds
    std::vector<float> values;  // one per key: x of a translation, degrees about Y, a uniform scale, a weight
    std::vector<std::pair<double, double>> kept;  // the keys left, (seconds, value)
    std::string warning;                          // part of the warning expected; empty for none
    int lengthFrames;
};

std::ostream& operator<<(std::ostream& out, const KeyCase& c) { return out << c.name; }

// What the channel's node holds without keys.
constexpr double kRestX = 7.0;
double restValue(const std::string& path) {
    if (path == "translation") {
        return kRestX;
    }
    return path == "scale" ? 1.0 : 0.0;
}

// Linear between the kept keys, held outside them: what the file means without the bad keys. At
// a time that two keys share, the later one holds.
double expectedValue(const KeyCase& c, double seconds) {
    if (c.kept.empty()) {
        return restValue(c.path);
    }
    size_t at = 0;  // the last key at or before the time
    while (at + 1 < c.kept.size() && c.kept[at + 1].first <= seconds) {
        ++at;
    }
    if (seconds <= c.kept.front().first || at + 1 == c.kept.size()) {
        return c.kept[at].second;
    }
    const auto& [t0, v0] = c.kept[at];
    const auto& [t1, v1] = c.kept[at + 1];
    return v0 + (v1 - v0) * (seconds - t0) / (t1 - t0);
}

// The key values as the path stores them.
std::vector<float> channelValues(const KeyCase& c) {
    std::vector<float> values;
    for (float v : c.values) {
        if (c.path == "translation") {
            values.insert(values.end(), {v, 0.0f, 0.0f});
        } else if (c.path == "scale") {
            values.insert(values.end(), {v, v, v});
        } else if (c.path == "rotation") {
            const float half = static_cast<float>(v * kPi / 360.0);
            values.insert(values.end(), {0.0f, std::sin(half), 0.0f, std::cos(half)});
        } else {
            values.push_back(v);
        }
    }
    return values;
}

class HostileKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(HostileKeys, AreDroppedWithAWarningAndTheRestSampled) {
    const KeyCase& c = GetParam();
    ScratchFolder folder;
    GltfBuilder gltf;
    const bool morph = c.path == "weights";
    // The morph target lifts the triangle's vertex at glTF (0, 1, 0) along glTF Z by its weight.
    const int node = morph
                         ? gltf.node({{"name", "blob"},
                                      {"mesh", gltf.mesh({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 0, 0, 0, 0, 0, 0, 0, 1}})}})
                         : gltf.node({{"name", "tag_a"}, {"translation", {kRestX, 0, 0}}});
    gltf.channel(node, c.path, c.times, channelValues(c));
    const std::string path = gltf.write(folder.path() / "keys.gltf");

    host::Scene scene;
    const host::SceneLoadResult result = host::loadSceneFile(path, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    if (c.warning.empty()) {
        EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    } else {
        EXPECT_TRUE(warnedAbout(result, c.warning)) << "no warning about \"" << c.warning << "\"";
    }
    EXPECT_EQ(result.lengthFrames, c.lengthFrames);

    host::SceneNode* sampled = scene.findNode(morph ? "blob" : "tag_a");
    ASSERT_NE(sampled, nullptr);
    std::vector<double> seconds;
    for (int frame = 0; frame <= 3 * kFrameRate; ++frame) {
        seconds.push_back(static_cast<double>(frame) / kFrameRate);
    }
    seconds.push_back(100.0);
    for (double s : seconds) {
        const TimeValue time = ticksAt(s);
        const double expected = expectedValue(c, s);
        double actual = 0.0;
        if (morph) {
            const Mesh mesh = meshAt(*sampled, time);
            ASSERT_EQ(mesh.getNumVerts(), 3);
            for (int v = 0; v < 3; ++v) {
                if (mesh.verts[v].z > 0.5f) {
                    actual = -mesh.verts[v].y;  // glTF Z is the host's -Y
                }
            }
        } else {
            const Matrix3 tm = sampled->GetNodeTM(time);
            if (c.path == "translation") {
                actual = tm.GetTrans().x;
            } else if (c.path == "scale") {
                actual = tm.GetRow(0).Length();
            } else {
                // A turn about glTF's Y (up) is one about the host's Z.
                actual = std::atan2(tm.GetRow(0).y, tm.GetRow(0).x) * 180.0 / kPi;
            }
        }
        ASSERT_TRUE(std::isfinite(actual)) << "at " << s << " s";
        EXPECT_NEAR(actual, expected, 1e-3) << "at " << s << " s";
    }
}

const std::string kNotFinite = "not a finite number";
const std::string kEarlier = "earlier than the key before";

INSTANTIATE_TEST_SUITE_P(
    SceneFileLoad, HostileKeys,
    ::testing::Values(
        KeyCase{"NaNTimeLast", "translation", {0, 1, kNaN}, {0, 1, 2}, {{0, 0}, {1, 1}}, kNotFinite, kFrameRate},
        KeyCase{
            "InfiniteTimeLast", "translation", {0, 1, kInfinity}, {0, 1, 2}, {{0, 0}, {1, 1}}, kNotFinite, kFrameRate},
        KeyCase{"NaNTimeBetween", "translation", {0, kNaN, 2}, {0, 5, 2}, {{0, 0}, {2, 2}}, kNotFinite, 2 * kFrameRate},
        KeyCase{"NaNValue", "translation", {0, 1, 2}, {0, kNaN, 2}, {{0, 0}, {2, 2}}, kNotFinite, 2 * kFrameRate},
        KeyCase{"InfiniteValue",
                "translation",
                {0, 1, 2},
                {0, -kInfinity, 2},
                {{0, 0}, {2, 2}},
                kNotFinite,
                2 * kFrameRate},
        KeyCase{"OutOfOrder",
                "translation",
                {0, 2, 1, 3},
                {0, 2, 1, 3},
                {{0, 0}, {2, 2}, {3, 3}},
                kEarlier,
                3 * kFrameRate},
        KeyCase{"NoUsableKey", "translation", {kNaN, kNaN}, {1, 2}, {}, kNotFinite, 0},
        KeyCase{"EqualTimesJump",
                "translation",
                {0, 1, 1, 2},
                {0, 1, 5, 6},
                {{0, 0}, {1, 1}, {1, 5}, {2, 6}},
                "",
                2 * kFrameRate},
        KeyCase{"RotationNaNTime", "rotation", {0, 1, kNaN}, {0, 90, 180}, {{0, 0}, {1, 90}}, kNotFinite, kFrameRate},
        KeyCase{
            "RotationNaNValue", "rotation", {0, 1, 2}, {0, kNaN, 90}, {{0, 0}, {2, 90}}, kNotFinite, 2 * kFrameRate},
        // assimp refuses a channel whose last key is not its latest, so these end on the latest.
        KeyCase{"RotationOutOfOrder",
                "rotation",
                {0, 2, 1, 3},
                {0, 90, 45, 135},
                {{0, 0}, {2, 90}, {3, 135}},
                kEarlier,
                3 * kFrameRate},
        KeyCase{
            "ScaleInfiniteValue", "scale", {0, 1, 2}, {1, kInfinity, 3}, {{0, 1}, {2, 3}}, kNotFinite, 2 * kFrameRate},
        KeyCase{"ScaleNaNTime", "scale", {0, 1, kNaN}, {1, 2, 3}, {{0, 1}, {1, 2}}, kNotFinite, kFrameRate},
        KeyCase{"WeightsNaNTime", "weights", {0, 1, kNaN}, {0, 1, 0.5f}, {{0, 0}, {1, 1}}, kNotFinite, kFrameRate},
        KeyCase{"WeightsNaNValue", "weights", {0, 1, 2}, {0, kNaN, 1}, {{0, 0}, {2, 1}}, kNotFinite, 2 * kFrameRate},
        KeyCase{"WeightsOutOfOrder",
                "weights",
                {0, 2, 1, 3},
                {0, 1, 0.5f, 0.25f},
                {{0, 0}, {2, 1}, {3, 0.25}},
                kEarlier,
                3 * kFrameRate},
        // Finite, so kept and sampled; the length stops where the host's clock does.
        KeyCase{"TimePastTheClock",
                "translation",
                {0, 1, 1e30f},
                {0, 1, 2},
                {{0, 0}, {1, 1}, {1e30, 2}},
                "past the end of the host's clock",
                kLastHostFrame}),
    [](const ::testing::TestParamInfo<KeyCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------------
// Rates, durations and key spans no glTF states but other readers hand over: built in memory and
// given to the loader as assimp would.

struct RateCase {
    std::string name;
    double ticksPerSecond;
    double duration;
    std::vector<std::pair<double, float>> keys;  // (ticks, x)
    aiAnimBehaviour outside;
    int lengthFrames;
    std::vector<std::pair<double, double>> expected;  // (seconds, x)
};

std::ostream& operator<<(std::ostream& out, const RateCase& c) { return out << c.name; }

class HostileRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(HostileRates, SampleWithoutUndefinedArithmetic) {
    const RateCase& c = GetParam();
    aiScene file;
    file.mRootNode = new aiNode("root");
    auto* tag = new aiNode("tag_a");
    tag->mParent = file.mRootNode;
    file.mRootNode->mNumChildren = 1;
    file.mRootNode->mChildren = new aiNode* [1] { tag };
    auto* channel = new aiNodeAnim();
    channel->mNodeName = aiString("tag_a");
    channel->mNumPositionKeys = static_cast<unsigned>(c.keys.size());
    channel->mPositionKeys = new aiVectorKey[c.keys.size()];
    for (size_t k = 0; k < c.keys.size(); ++k) {
        channel->mPositionKeys[k] = aiVectorKey(c.keys[k].first, aiVector3D(c.keys[k].second, 0.0f, 0.0f));
    }
    channel->mPreState = c.outside;
    channel->mPostState = c.outside;
    auto* animation = new aiAnimation();
    animation->mTicksPerSecond = c.ticksPerSecond;
    animation->mDuration = c.duration;
    animation->mNumChannels = 1;
    animation->mChannels = new aiNodeAnim* [1] { channel };
    file.mNumAnimations = 1;
    file.mAnimations = new aiAnimation* [1] { animation };

    host::Scene scene;
    host::SceneLoadOptions options;
    options.upAxis = host::SceneUpAxis::Z;
    const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "built.fbx", options, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.lengthFrames, c.lengthFrames);
    host::SceneNode* node = scene.findNode("tag_a");
    ASSERT_NE(node, nullptr);
    for (const auto& [seconds, x] : c.expected) {
        EXPECT_NEAR(node->GetNodeTM(ticksAt(seconds)).GetTrans().x, x, 1e-4) << "at " << seconds << " s";
    }
    for (TimeValue time : {std::numeric_limits<TimeValue>::min(), std::numeric_limits<TimeValue>::max()}) {
        EXPECT_TRUE(std::isfinite(node->GetNodeTM(time).GetTrans().x)) << "at tick " << time;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SceneFileLoad, HostileRates,
    ::testing::Values(
        // A rate that is not a positive finite number counts as unstated: 25 ticks a second.
        RateCase{"NaNRate",
                 std::numeric_limits<double>::quiet_NaN(),
                 25,
                 {{0, 0}, {25, 1}},
                 aiAnimBehaviour_DEFAULT,
                 kFrameRate,
                 {{0.5, 0.5}, {2, 1}}},
        RateCase{"InfiniteRate",
                 std::numeric_limits<double>::infinity(),
                 25,
                 {{0, 0}, {25, 1}},
                 aiAnimBehaviour_DEFAULT,
                 kFrameRate,
                 {{0.5, 0.5}}},
        RateCase{"NegativeRate", -5, 25, {{0, 0}, {25, 1}}, aiAnimBehaviour_DEFAULT, kFrameRate, {{0.5, 0.5}}},
        // A duration that is not a finite number does not make the animation last. The keys'
        // whole rate of 25 is taken as the frame rate.
        RateCase{"InfiniteDuration",
                 25,
                 std::numeric_limits<double>::infinity(),
                 {{0, 0}, {25, 1}},
                 aiAnimBehaviour_DEFAULT,
                 25,
                 {{0.5, 0.5}}},
        // At the largest rate the clock's ends are infinitely many key ticks away: a repeating
        // channel holds there rather than folding an infinity (which is not a number, and was
        // bisected past the keys).
        RateCase{"RepeatAtTheLargestRate",
                 std::numeric_limits<double>::max(),
                 0,
                 {{0, 0}, {1, 1}},
                 aiAnimBehaviour_REPEAT,
                 0,
                 {{0, 0}}}),
    [](const ::testing::TestParamInfo<RateCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------------
// Hierarchies: nodes thousands deep load, sample, skin and save without recursion.

class DeepChain : public ::testing::TestWithParam<int> {};

TEST_P(DeepChain, LoadsSamplesSkinsAndSaves) {
    const int depth = GetParam();
    ScratchFolder folder;
    GltfBuilder gltf;
    // joint_0 moves 10 units along X in a second; every joint below sits one unit further.
    int joint = -1;
    for (int i = 0; i < depth; ++i) {
        joint = gltf.node({{"name", "joint_" + std::to_string(i)}, {"translation", {i == 0 ? 0 : 1, 0, 0}}}, joint);
    }
    gltf.channel(0, "translation", {0, 1}, {0, 0, 0, 10, 0, 0});
    const std::vector<float> triangle = {0, 0, 0, 0, 1, 0, 0, 0, 1};
    const int mesh = gltf.mesh(triangle);
    gltf.skinToOneJoint(mesh, 3, joint);
    gltf.node({{"name", "skin"}, {"mesh", mesh}, {"skin", 0}});
    const std::string path = gltf.write(folder.path() / "deep.gltf");

    host::Scene scene;
    const host::SceneLoadResult result = host::loadSceneFile(path, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.nodeCount, depth + 1);
    const std::vector<host::SceneNode*> nodes = scene.nodes();
    ASSERT_EQ(nodes.size(), static_cast<size_t>(depth + 1));
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(nodes[static_cast<size_t>(i)]->name(), "joint_" + std::to_string(i));
        ASSERT_EQ(nodes[static_cast<size_t>(i)]->parent(), i == 0 ? nullptr : nodes[static_cast<size_t>(i - 1)]);
    }
    EXPECT_EQ(nodes.back()->name(), "skin");

    for (double seconds : {0.0, 0.5, 1.0}) {
        const TimeValue time = ticksAt(seconds);
        const double reach = depth - 1 + 10 * seconds;
        EXPECT_TRUE(near(nodes[static_cast<size_t>(depth - 1)]->GetNodeTM(time).GetTrans(), fromYUp(reach, 0, 0)));
        // Bound to the deepest joint with an identity bind: the triangle rides at its place.
        const Mesh skinned = meshAt(*nodes.back(), time);
        ASSERT_EQ(skinned.getNumVerts(), 3);
        const Matrix3 toWorld = nodes.back()->GetObjectTM(time);
        std::set<std::string> corners;
        for (int v = 0; v < 3; ++v) {
            const Point3 world = skinned.verts[v] * toWorld;
            for (int c = 0; c < 3; ++c) {
                const size_t at = static_cast<size_t>(c) * 3;
                if (near(world, fromYUp(reach + triangle[at], triangle[at + 1], triangle[at + 2]), 1e-3f)) {
                    corners.insert(std::to_string(c));
                }
            }
        }
        EXPECT_EQ(corners.size(), 3u) << "at " << seconds << " s";
    }

    const std::string saved = (folder.path() / "saved.gltf").string();
    std::string error;
    ASSERT_TRUE(host::saveSceneFile(scene, saved, error)) << error;
    host::Scene reloaded;
    const host::SceneLoadResult again = host::loadSceneFile(saved, {}, reloaded);
    ASSERT_TRUE(again.ok) << again.error;
    host::SceneNode* deepest = reloaded.findNode("joint_" + std::to_string(depth - 1));
    ASSERT_NE(deepest, nullptr);
    int ancestors = 0;
    for (host::SceneNode* up = deepest->parent(); up != nullptr; up = up->parent()) {
        ++ancestors;
    }
    EXPECT_EQ(ancestors, depth - 1);
    EXPECT_TRUE(near(deepest->GetNodeTM(0).GetTrans(), fromYUp(depth - 1, 0, 0), 1e-2f));
}

// 12000 is as deep as assimp itself reads a glTF.
INSTANTIATE_TEST_SUITE_P(SceneFileLoad, DeepChain, ::testing::Values(3000, 12000));

// A skin may leave its inverse bind matrices to their default, but assimp 5.2 crashes on one that
// does: such a file is refused before assimp reads it.
TEST(SceneFileLoad, RefusesASkinWithoutInverseBindMatricesInsteadOfCrashing) {
    ScratchFolder folder;
    for (const bool stated : {true, false}) {
        GltfBuilder gltf;
        const int joint = gltf.node({{"name", "joint"}});
        const int mesh = gltf.mesh({0, 0, 0, 0, 1, 0, 0, 0, 1});
        gltf.skinToOneJoint(mesh, 3, joint, stated);
        gltf.node({{"name", "skin"}, {"mesh", mesh}, {"skin", 0}});
        host::Scene scene;
        const host::SceneLoadResult result = host::loadSceneFile(gltf.write(folder.path() / "skin.gltf"), {}, scene);
        if (stated) {
            EXPECT_TRUE(result.ok) << result.error;
            continue;
        }
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("skin 0 leaves out inverseBindMatrices"), std::string::npos) << result.error;
        EXPECT_EQ(scene.size(), 0u);
    }
}

// ---------------------------------------------------------------------------------------------
// Names: every node keeps a unique name however many share one.

TEST(SceneFileLoad, KeepsThousandsOfEqualNamesAsTheFileHasThem) {
    constexpr int kSiblings = 20000;
    ScratchFolder folder;
    GltfBuilder gltf;
    const int parent = gltf.node({{"name", "crowd"}});
    for (int i = 0; i < kSiblings; ++i) {
        gltf.node({{"name", "n"}}, parent);
    }
    // A node of the file named like a number the loader might give, and one in the scene already.
    gltf.node({{"name", "n_5"}}, parent);
    host::Scene scene;
    scene.addNode("n_3");
    const host::SceneLoadResult result = host::loadSceneFile(gltf.write(folder.path() / "crowd.gltf"), {}, scene);
    ASSERT_TRUE(result.ok) << result.error;

    // The single top node "crowd" is the file's root for assimp, and dropped as such; every name
    // the file gives stays as given, so a .skin naming "n" still matches every one of them.
    std::map<std::string, int> names;
    for (host::SceneNode* node : scene.nodes()) {
        ++names[node->name()];
    }
    EXPECT_EQ(names["n"], kSiblings);
    EXPECT_EQ(names["n_5"], 1);
    EXPECT_EQ(names["n_3"], 1);
    EXPECT_EQ(names.size(), 3u);
}

// ---------------------------------------------------------------------------------------------
// Files a scene refers to: read from its folder and below only, unless allowed.

struct ReferenceCase {
    std::string name;
    std::string uri;  // "{outside}" stands for the outside file's absolute path; empty: inline
    bool refused;
    // Load the scene by its bare name from its own folder: assimp puts the folder it was named
    // with before every reference, so an absolute one reaches its file only then.
    bool fromItsFolder = false;
};

std::ostream& operator<<(std::ostream& out, const ReferenceCase& c) { return out << c.name; }

class SceneReferences : public ::testing::TestWithParam<ReferenceCase> {
protected:
    // folder/outside.bin, folder/scene/inside.bin, folder/scene/sub/inside.bin, folder/scene/link.bin
    // (a link to outside.bin), each holding the buffer.
    std::string writeScene(const ReferenceCase& c) {
        GltfBuilder gltf;
        const int node = gltf.node({{"name", "tag_a"}});
        gltf.channel(node, "translation", {0, 1}, {0, 0, 0, 4, 0, 0});
        const fs::path scene = folder_.path() / "scene";
        fs::create_directories(scene / "sub");
        const fs::path outside = folder_.path() / "outside.bin";
        for (const fs::path& file : {outside, scene / "inside.bin", scene / "sub" / "inside.bin"}) {
            std::ofstream(file, std::ios::binary)
                .write(gltf.buffer().data(), static_cast<std::streamsize>(gltf.buffer().size()));
        }
        fs::create_symlink("../outside.bin", scene / "link.bin");
        std::string uri = c.uri;
        if (uri == "{outside}") {
            uri = outside.string();
        }
        shownUri_ = uri;
        std::ofstream(scene / "scene.gltf") << (uri.empty() ? gltf.document() : gltf.document(uri)).dump();
        return (scene / "scene.gltf").string();
    }

    ScratchFolder folder_;
    std::string shownUri_;
};

// Works in another folder for as long as it lives.
class WorkingFolder {
public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    fs::path previous_;
};

TEST_P(SceneReferences, AreReadFromTheScenesFolderOnlyUnlessAllowed) {
    const ReferenceCase& c = GetParam();
    std::string path = writeScene(c);
    std::unique_ptr<WorkingFolder> working;
    if (c.fromItsFolder) {
        working = std::make_unique<WorkingFolder>(fs::path(path).parent_path());
        path = fs::path(path).filename().string();
    }
    host::Scene scene;
    host::SceneLoadResult result = host::loadSceneFile(path, {}, scene);
    if (c.refused) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("'" + shownUri_ + "'"), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("outside"), std::string::npos) << result.error;
        EXPECT_EQ(result.error.find('\n'), std::string::npos) << "one line";
        EXPECT_EQ(scene.size(), 0u) << "a refused file leaves the scene alone";
    } else {
        ASSERT_TRUE(result.ok) << result.error;
    }
    host::SceneLoadOptions allowed;
    allowed.allowOutsideFiles = true;
    host::Scene anywhere;
    result = host::loadSceneFile(path, allowed, anywhere);
    ASSERT_TRUE(result.ok) << result.error;
    host::SceneNode* tag = anywhere.findNode("tag_a");
    ASSERT_NE(tag, nullptr);
    EXPECT_TRUE(near(tag->GetNodeTM(ticksAt(0.5)).GetTrans(), fromYUp(2, 0, 0))) << "the buffer was read";
}

INSTANTIATE_TEST_SUITE_P(SceneFileLoad, SceneReferences,
                         ::testing::Values(ReferenceCase{"Inline", "", false},
                                           ReferenceCase{"Beside", "inside.bin", false},
                                           ReferenceCase{"Below", "sub/inside.bin", false},
                                           ReferenceCase{"BelowAndBack", "sub/../inside.bin", false},
                                           ReferenceCase{"Above", "../outside.bin", true},
                                           ReferenceCase{"BelowThenAbove", "sub/../../outside.bin", true},
                                           ReferenceCase{"Absolute", "{outside}", true, true},
                                           ReferenceCase{"AbsoluteInside", "/sub/../inside.bin", false},
                                           ReferenceCase{"LinkLeadingOut", "link.bin", true}),
                         [](const ::testing::TestParamInfo<ReferenceCase>& param) { return param.param.name; });

// assimp opens an OBJ's material library through the same door.
TEST(SceneFileLoad, ReadsAnObjsMaterialLibraryFromItsFolderOnly) {
    ScratchFolder folder;
    fs::create_directories(folder.path() / "scene");
    std::ofstream(folder.path() / "outside.mtl") << "newmtl red\nKd 1 0 0\nmap_Kd red.png\n";
    fs::copy_file(folder.path() / "outside.mtl", folder.path() / "scene" / "inside.mtl");
    for (const std::string library : {"inside.mtl", "../outside.mtl"}) {
        const fs::path obj = folder.path() / "scene" / "triangle.obj";
        std::ofstream(obj) << "mtllib " << library << "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n";
        host::Scene scene;
        const host::SceneLoadResult result = host::loadSceneFile(obj.string(), {}, scene);
        if (library == "inside.mtl") {
            ASSERT_TRUE(result.ok) << result.error;
            bool textured = false;
            for (host::SceneNode* node : scene.nodes()) {
                textured = textured || scenetest::diffuseMapName(*node).find("red.png") != std::string::npos;
            }
            EXPECT_TRUE(textured) << "the library was read";
        } else {
            EXPECT_FALSE(result.ok);
            EXPECT_NE(result.error.find("'../outside.mtl'"), std::string::npos) << result.error;
        }
    }
}

}  // namespace
