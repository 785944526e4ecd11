// A file's unit (FBX's UnitScaleFactor, Blender's scale on the top nodes, COLLADA's <unit>) sizes
// the scene without touching a node's axes; Blender's per-object FBX takes play each object's own.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include "assimp_scene_loader.h"
#include "scene_checks.h"
#include "scene_file.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using scenetest::fromYUp;
using scenetest::meshAt;
using scenetest::near;

const char kBlenderCreator[] = "Blender (stable FBX IO) - 3.4.1 - 4.37.1";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using testsupport::ScratchFolder;

aiNode* addChild(aiNode& parent, const char* name, const aiMatrix4x4& transform) {
    auto* child = new aiNode(name);
    child->mTransformation = transform;
    child->mParent = &parent;
    auto** children = new aiNode*[parent.mNumChildren + 1];
    std::copy(parent.mChildren, parent.mChildren + parent.mNumChildren, children);
    children[parent.mNumChildren] = child;
    delete[] parent.mChildren;
    parent.mChildren = children;
    ++parent.mNumChildren;
    return child;
}

aiMatrix4x4 placed(const aiVector3D& translation, float scale) {
    aiMatrix4x4 m;
    m.a1 = m.b2 = m.c3 = scale;
    m.a4 = translation.x;
    m.b4 = translation.y;
    m.c4 = translation.z;
    return m;
}

// FBX written by assimp's own writer (Y-up, as it states), with its unit and creator edited in:
// a top node "prop" at (1, 2, 3) holding a triangle and scaled by topScale, a tag below it at
// (0, 1, 0), and a top tag at (4, 0, 0) scaled by topScale, as a writer that puts the unit on its
// top nodes scales every one.
struct UnitCase {
    const char* name;
    double unitScaleFactor;  // centimetres per file unit
    bool blender;            // Blender's creator in the file's header
    float topScale;
    float askedScale;
    double metresPerUnit;  // the unit the file states, in metres
};

void PrintTo(const UnitCase& c, std::ostream* out) { *out << c.name; }

const UnitCase kUnitCases[] = {
    {"AssimpCentimetres", 1.0, false, 1.0f, 1.0f, 0.01},
    {"AssimpInches", 2.54, false, 1.0f, 1.0f, 0.0254},
    {"AssimpMetres", 100.0, false, 1.0f, 1.0f, 1.0},
    {"AssimpCentimetresScaledToGameUnits", 1.0, false, 1.0f, 40.0f, 0.01},
    // Other writers' top nodes keep their scale: it is the modeller's.
    {"AssimpScaledTopNodes", 1.0, false, 100.0f, 1.0f, 0.01},
    // Blender's default "All Local": the file states centimetres, its top objects are scaled by
    // 100 from Blender's metre; "FBX Units Scale" states metres and scales nothing.
    {"BlenderAllLocal", 1.0, true, 100.0f, 1.0f, 0.01},
    {"BlenderUnitsScale", 100.0, true, 1.0f, 1.0f, 1.0},
    {"BlenderAllLocalScaledToGameUnits", 1.0, true, 100.0f, 40.0f, 0.01},
};

class FbxUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(FbxUnits, SizeTheSceneAndLeaveTheAxes) {
    const UnitCase& c = GetParam();
    aiScene file;
    file.mRootNode = new aiNode("RootNode");
    aiNode* prop = addChild(*file.mRootNode, "prop", placed({1, 2, 3}, c.topScale));
    addChild(*prop, "tag_held", placed({0, 1, 0}, 1.0f));
    addChild(*file.mRootNode, "tag_top", placed({4, 0, 0}, c.topScale));
    prop->mNumMeshes = 1;
    prop->mMeshes = new unsigned[1]{0};
    auto* mesh = new aiMesh();
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {0.5f, 0, 0}, {0, 0.5f, 0}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    file.mNumMeshes = 1;
    file.mMeshes = new aiMesh* [1] { mesh };
    file.mNumMaterials = 1;
    file.mMaterials = new aiMaterial* [1] { new aiMaterial() };
    file.mMetaData = aiMetadata::Alloc(1);
    file.mMetaData->Set(0, "UnitScaleFactor", c.unitScaleFactor);

    ScratchFolder folder;
    const fs::path written = folder.path() / "units.fbx";
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(&file, "fbxa", written.string()), AI_SUCCESS) << exporter.GetErrorString();
    std::string text = readText(written);
    if (c.blender) {
        const size_t creator = text.find("Creator: \"");
        ASSERT_NE(creator, std::string::npos);
        const size_t end = text.find('"', creator + 10);
        text.replace(creator + 10, end - creator - 10, kBlenderCreator);
        std::ofstream(written, std::ios::binary) << text;
    }

    host::Scene scene;
    host::SceneLoadOptions options;
    options.scale = c.askedScale;
    const host::SceneLoadResult result = host::loadSceneFile(written.string(), options, scene);
    ASSERT_TRUE(result.ok) << result.error;
    // A world point of the file, (top translation + top scale x local point), in the host's axes.
    const auto expected = [&](const aiVector3D& top, const aiVector3D& local) {
        const double size = c.metresPerUnit * c.askedScale;
        return fromYUp(size * (top.x + c.topScale * local.x), size * (top.y + c.topScale * local.y),
                       size * (top.z + c.topScale * local.z));
    };
    host::SceneNode* held = scene.findNode("tag_held");
    host::SceneNode* top = scene.findNode("tag_top");
    ASSERT_NE(held, nullptr);
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(near(held->GetNodeTM(0).GetTrans(), expected({1, 2, 3}, {0, 1, 0}), 1e-3f));
    EXPECT_TRUE(near(top->GetNodeTM(0).GetTrans(), expected({4, 0, 0}, {0, 0, 0}), 1e-3f));
    Mesh triangle = meshAt(*scene.findNode("prop"), 0);
    ASSERT_EQ(triangle.getNumVerts(), 3);
    EXPECT_TRUE(
        near(triangle.verts[1] * scene.findNode("prop")->GetObjectTM(0), expected({1, 2, 3}, {0.5f, 0, 0}), 1e-3f));
    // The unit a writer put on the top nodes is taken off with the unit; a tag's own scale (1) is
    // kept, and the file's Y-up turns into the host's Z-up on the way.
    const float axisLength = c.blender ? 1.0f : c.topScale;
    for (host::SceneNode* tag : {held, top}) {
        const Matrix3 frame = tag->GetNodeTM(0);
        EXPECT_TRUE(near(frame.GetRow(0), Point3(axisLength, 0.0f, 0.0f), 1e-4f)) << tag->name();
        EXPECT_TRUE(near(frame.GetRow(1), Point3(0.0f, 0.0f, axisLength), 1e-4f)) << tag->name();
        EXPECT_TRUE(near(frame.GetRow(2), Point3(0.0f, -axisLength, 0.0f), 1e-4f)) << tag->name();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, FbxUnits, ::testing::ValuesIn(kUnitCases),
                         [](const auto& param) { return std::string(param.param.name); });

// COLLADA's <unit> is applied by assimp as a scale on the root, which the loader sees every node
// through: translations and vertices scale, tags stay unrotated and unit length.
TEST(ColladaUnits, SizeTheSceneAndLeaveTheAxes) {
    ScratchFolder folder;
    std::string text = readText(fs::path(QMP_TEST_DATA_DIR) / "z_up_mast.dae");
    const size_t unit = text.find("meter=\"1\"");
    ASSERT_NE(unit, std::string::npos);
    text.replace(unit, 9, "meter=\"0.0254\"");
    const fs::path inches = folder.path() / "inches.dae";
    std::ofstream(inches, std::ios::binary) << text;
    for (const float asked : {1.0f, 40.0f}) {
        host::Scene scene;
        host::SceneLoadOptions options;
        options.scale = asked;
        const host::SceneLoadResult result = host::loadSceneFile(inches.string(), options, scene);
        ASSERT_TRUE(result.ok) << result.error;
        const float inch = 0.0254f * asked;
        host::SceneNode* top = scene.findNode("tag_top");
        ASSERT_NE(top, nullptr);
        const Matrix3 frame = top->GetNodeTM(0);
        EXPECT_TRUE(near(frame.GetTrans(), Point3(0.0f, 0.0f, 3 * inch)));
        EXPECT_TRUE(near(frame.GetRow(0), Point3(1.0f, 0.0f, 0.0f)));
        EXPECT_TRUE(near(frame.GetRow(1), Point3(0.0f, 1.0f, 0.0f)));
        EXPECT_TRUE(near(frame.GetRow(2), Point3(0.0f, 0.0f, 1.0f)));
        host::SceneNode* mast = scene.findNode("mast");
        Mesh flag = meshAt(*mast, 0);
        ASSERT_EQ(flag.getNumVerts(), 3);
        EXPECT_TRUE(near(flag.verts[2] * mast->GetObjectTM(0), Point3(0.0f, 0.0f, 3 * inch)));
    }
}

// A unit that is not a positive number is taken as FBX's own, the centimetre, with a warning.
TEST(FbxUnits, ThatAreNotPositiveAreTakenAsCentimetres) {
    for (const double factor : {-1.0, 0.0, std::nan("")}) {
        aiScene file;
        file.mRootNode = new aiNode("RootNode");
        addChild(*file.mRootNode, "tag_a", placed({100, 0, 0}, 1.0f));
        file.mMetaData = aiMetadata::Alloc(1);
        file.mMetaData->Set(0, "UnitScaleFactor", factor);
        host::Scene scene;
        const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "bad.fbx", {}, {}, scene);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_TRUE(near(scene.findNode("tag_a")->GetNodeTM(0).GetTrans(), fromYUp(1, 0, 0))) << factor;
        bool warned = false;
        for (const std::string& warning : result.warnings) {
            warned = warned || warning.find("is not a positive number") != std::string::npos;
        }
        EXPECT_TRUE(warned) << factor;
    }
}

// assimp names an FBX shape-key channel after the node and its geometry ("blob*0"): it drives
// the morph targets of the node's mesh.
TEST(FbxMorphChannels, ReachTheMeshOfTheirNode) {
    aiScene file;
    file.mRootNode = new aiNode("RootNode");
    aiNode* blob = addChild(*file.mRootNode, "blob", aiMatrix4x4());
    blob->mNumMeshes = 1;
    blob->mMeshes = new unsigned[1]{0};
    auto* mesh = new aiMesh();
    mesh->mName = aiString("blobmesh");
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    auto* grown = new aiAnimMesh();
    grown->mNumVertices = 3;
    grown->mVertices = new aiVector3D[3]{{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    mesh->mNumAnimMeshes = 1;
    mesh->mAnimMeshes = new aiAnimMesh* [1] { grown };
    file.mNumMeshes = 1;
    file.mMeshes = new aiMesh* [1] { mesh };
    auto* take = new aiAnimation();
    take->mName = aiString("Take");
    take->mTicksPerSecond = 30;
    take->mDuration = 10;
    auto* weights = new aiMeshMorphAnim();
    weights->mName = aiString("blob*0");
    weights->mNumKeys = 2;
    weights->mKeys = new aiMeshMorphKey[2];
    for (unsigned k = 0; k < 2; ++k) {
        weights->mKeys[k].mTime = 10.0 * k;
        weights->mKeys[k].mNumValuesAndWeights = 1;
        weights->mKeys[k].mValues = new unsigned[1]{0};
        weights->mKeys[k].mWeights = new double[1]{static_cast<double>(k)};
    }
    take->mNumMorphMeshChannels = 1;
    take->mMorphMeshChannels = new aiMeshMorphAnim* [1] { weights };
    file.mNumAnimations = 1;
    file.mAnimations = new aiAnimation* [1] { take };

    host::Scene scene;
    const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "blob.fbx", {}, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    host::SceneNode* node = scene.findNode("blob");
    ASSERT_NE(node, nullptr);
    const Point3 rest = meshAt(*node, 0).verts[1] * node->GetObjectTM(0);
    const TimeValue end = scenetest::ticksAt(10.0 / 30);
    const Point3 grownTip = meshAt(*node, end).verts[1] * node->GetObjectTM(end);
    EXPECT_TRUE(near(rest, fromYUp(1, 0, 0)));
    EXPECT_TRUE(near(grownTip, fromYUp(2, 0, 0)));
}

// Takes built in memory: each moves the nodes it names from x = 0 to x = 1 over its duration.
struct Take {
    std::string name;
    std::vector<std::string> moves;
    double duration = 10.0;
};

struct TakesCase {
    const char* name;
    std::vector<std::string> topNodes;  // "parent/child" puts a node below another
    std::vector<Take> takes;
    std::vector<int> played;
    int lengthFrames;
};

void PrintTo(const TakesCase& c, std::ostream* out) { *out << c.name; }

const TakesCase kTakesCases[] = {
    // Blender's default FBX of a rig and a separately keyed tag: the tag's action fits the armature
    // object too, and comes out as a take of its own.
    {"BlenderRigAndTag",
     {"Armature", "Armature/hips", "Armature/hips/spine", "tag_weapon"},
     {{"Armature|ArmatureAction", {"Armature", "hips", "spine"}, 10},
      {"Armature|tag_weaponAction", {"Armature", "hips", "spine"}, 30},
      {"tag_weapon|tag_weaponAction", {"tag_weapon"}, 10}},
     {0, 2},
     10},
    // Two keyed empties: each action fits both; each empty keeps the action named after it.
    {"BlenderTwoEmpties",
     {"tag_x", "tag_y"},
     {{"tag_x|tag_xAction", {"tag_x"}},
      {"tag_x|tag_yAction", {"tag_x"}},
      {"tag_y|tag_xAction", {"tag_y"}},
      {"tag_y|tag_yAction", {"tag_y"}}},
     {0, 3},
     10},
    // Actions named by the modeller: the armature's own are the ones no other object has.
    {"BlenderNamedActions",
     {"Armature", "Armature/hips", "tag_weapon"},
     {{"Armature|idle", {"Armature", "hips"}},
      {"Armature|swing", {"Armature"}},
      {"Armature|walk", {"Armature", "hips"}},
      {"tag_weapon|swing", {"tag_weapon"}}},
     {0, 3},
     10},
    // A node whose name holds '|' owns the take named after it.
    {"NodeNameWithBar", {"a|b", "c"}, {{"a|b|spin", {"a|b"}}, {"a|b|c", {"a|b"}}, {"c|cAction", {"c"}}}, {0, 2}, 10},
    // Takes of one figure under other names are alternatives: the first plays.
    {"AlternativeTakes", {"hips"}, {{"Take 001", {"hips"}}, {"Take 002", {"hips"}}}, {0}, 10},
    // A take named after an object that moves another one is not Blender's.
    {"TakeMovingAnotherObject",
     {"Armature", "tag_weapon"},
     {{"Armature|walk", {"Armature", "tag_weapon"}}, {"tag_weapon|swing", {"tag_weapon"}}},
     {0},
     10},
};

class FbxTakes : public ::testing::TestWithParam<TakesCase> {};

TEST_P(FbxTakes, PlayEachObjectsOwn) {
    const TakesCase& c = GetParam();
    aiScene file;
    file.mRootNode = new aiNode("RootNode");
    for (const std::string& path : c.topNodes) {
        // "a/b/c" adds c below b, which an earlier entry added.
        const size_t slash = path.rfind('/');
        aiNode* parent = file.mRootNode;
        if (slash != std::string::npos) {
            const size_t start = path.rfind('/', slash - 1);
            const std::string parentName = path.substr(start == std::string::npos ? 0 : start + 1,
                                                       slash - (start == std::string::npos ? 0 : start + 1));
            parent = file.mRootNode->FindNode(parentName.c_str());
            ASSERT_NE(parent, nullptr) << path;
        }
        addChild(*parent, path.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), aiMatrix4x4());
    }
    file.mNumAnimations = static_cast<unsigned>(c.takes.size());
    file.mAnimations = new aiAnimation*[c.takes.size()];
    for (size_t t = 0; t < c.takes.size(); ++t) {
        auto* take = new aiAnimation();
        take->mName = aiString(c.takes[t].name);
        take->mTicksPerSecond = 30;
        take->mDuration = c.takes[t].duration;
        take->mNumChannels = static_cast<unsigned>(c.takes[t].moves.size());
        take->mChannels = new aiNodeAnim*[take->mNumChannels];
        for (unsigned m = 0; m < take->mNumChannels; ++m) {
            auto* channel = new aiNodeAnim();
            channel->mNodeName = aiString(c.takes[t].moves[m]);
            channel->mNumPositionKeys = 2;
            channel->mPositionKeys =
                new aiVectorKey[2]{{0.0, {0, 0, 0}}, {c.takes[t].duration, {static_cast<float>(t + 1), 0, 0}}};
            take->mChannels[m] = channel;
        }
        file.mAnimations[t] = take;
    }
    host::Scene scene;
    const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "takes.fbx", {}, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, c.played);
    // Takes that play nothing (every node they move follows an earlier one) do not lengthen it.
    EXPECT_EQ(result.lengthFrames, c.lengthFrames);
    // Each played take's nodes end where it takes them (take t moves to x = t + 1).
    for (const int t : c.played) {
        for (const std::string& moved : c.takes[static_cast<size_t>(t)].moves) {
            host::SceneNode* node = scene.findNode(moved);
            ASSERT_NE(node, nullptr) << moved;
            const Matrix3 local =
                node->GetNodeTM(scenetest::ticksAt(10.0 / 30)) *
                Inverse(node->parent() != nullptr ? node->parent()->GetNodeTM(scenetest::ticksAt(10.0 / 30))
                                                  : Matrix3(TRUE));
            EXPECT_NEAR(local.GetTrans().x, t + 1.0, 1e-4) << moved;
        }
    }
    // The note names what plays.
    if (c.played.size() > 1 && c.played.size() < c.takes.size()) {
        bool named = false;
        for (const std::string& note : result.notes) {
            named = named ||
                    note.find("\"" + c.takes[static_cast<size_t>(c.played.back())].name + "\"") != std::string::npos;
        }
        EXPECT_TRUE(named);
    }

    // Asked, one take or all of them play.
    host::Scene one;
    host::SceneLoadOptions second;
    second.animationIndex = 1;
    EXPECT_EQ(host::scenefile::loadAssimpScene(file, "takes.fbx", second, {}, one).animationsPlayed,
              std::vector<int>{1});
    host::Scene all;
    host::SceneLoadOptions every;
    every.allAnimations = true;
    const host::SceneLoadResult allPlayed = host::scenefile::loadAssimpScene(file, "takes.fbx", every, {}, all);
    EXPECT_EQ(allPlayed.animationsPlayed.size(), c.takes.size());
    EXPECT_EQ(allPlayed.lengthFrames, c.lengthFrames);
}

INSTANTIATE_TEST_SUITE_P(Files, FbxTakes, ::testing::ValuesIn(kTakesCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Per-object takes as Blender bakes them, each object saved where it stands at the frame the file
// was saved at: objects placed along x, each take keyed once a frame (30 per second) along x.
struct SavedObject {
    std::string name;
    float x;  // where the file saves it
};

struct BakedTake {
    std::string name;
    std::vector<float> xs;  // x at frames 0, 1, ...
};

struct OwnTakesCase {
    const char* name;
    std::vector<SavedObject> objects;
    std::vector<BakedTake> takes;
    std::vector<int> played;  // unasked
    // Asked by an action's name: the takes that play, and where each object not moved by them
    // stands (its own take's first key, or where the file saves it).
    std::map<std::string, std::vector<int>> actions;
    std::map<std::string, std::map<std::string, float>> stillAt;
};

void PrintTo(const OwnTakesCase& c, std::ostream* out) { *out << c.name; }

const std::vector<float> kWalk = {0, 1, 2, 1, 0};
const std::vector<float> kWave = {0, 3, 0, 3, 0};

const OwnTakesCase kOwnTakesCases[] = {
    // Saved at frame 1: a walks (1 there), b waves (3 there). b's first take is the walk baked on it.
    {"SavedPoseTellsEachObjectsOwn",
     {{"a", 1}, {"b", 3}},
     {{"a|walk", kWalk}, {"a|wave", kWave}, {"b|walk", kWalk}, {"b|wave", kWave}},
     {0, 3},
     {{"walk", {0}}, {"wave", {3}}},
     {{"walk", {{"b", 0.0f}}}, {"wave", {{"a", 0.0f}}}}},
    // Saved at frame 0, where every action starts: any take holds the saved places, so nothing is
    // told (at frame 2 each object has one take through them, by chance: the wave), and each object
    // plays its first take; an action plays on every object that has it.
    {"SavedWhereEveryActionStarts",
     {{"a", 0}, {"b", 0}},
     {{"a|walk", kWalk}, {"a|wave", kWave}, {"b|walk", kWalk}, {"b|wave", kWave}},
     {0, 2},
     {{"walk", {0, 2}}, {"wave", {1, 3}}},
     {}},
    // A take that holds the object still is not its own: the one that moves it is.
    {"OnlyTakeThatMoves",
     {{"a", 5}, {"b", 2}},
     {{"a|rest", {5, 5, 5, 5, 5}}, {"a|wave", kWave}, {"b|hop", {2, 4, 2, 4, 2}}, {"b|rest", {2, 2, 2, 2, 2}}},
     {1, 2},
     {{"wave", {1}}, {"hop", {2}}},
     {{"wave", {{"b", 2.0f}}}, {"hop", {{"a", 0.0f}}}}},
    // Blender's default action name comes first, whatever the saved places say.
    // An action that is no object's own (a second action of a, kept besides its own) plays on
    // every object that has it.
    {"DefaultNameFirst",
     {{"a", 1}},
     {{"a|aAction", kWave}, {"a|walk", kWalk}},
     {0},
     {{"walk", {1}}, {"aAction", {0}}},
     {}},
};

class FbxOwnTakes : public ::testing::TestWithParam<OwnTakesCase> {};

TEST_P(FbxOwnTakes, PlayAsBlenderSavedThem) {
    const OwnTakesCase& c = GetParam();
    aiScene file;
    file.mRootNode = new aiNode("RootNode");
    for (const SavedObject& object : c.objects) {
        addChild(*file.mRootNode, object.name.c_str(), placed({object.x, 0, 0}, 1.0f));
    }
    file.mNumAnimations = static_cast<unsigned>(c.takes.size());
    file.mAnimations = new aiAnimation*[c.takes.size()];
    for (size_t t = 0; t < c.takes.size(); ++t) {
        const BakedTake& baked = c.takes[t];
        auto* take = new aiAnimation();
        take->mName = aiString(baked.name);
        take->mTicksPerSecond = 30;
        take->mDuration = static_cast<double>(baked.xs.size() - 1);
        auto* channel = new aiNodeAnim();
        channel->mNodeName = aiString(baked.name.substr(0, baked.name.find('|')));
        channel->mNumPositionKeys = static_cast<unsigned>(baked.xs.size());
        channel->mPositionKeys = new aiVectorKey[baked.xs.size()];
        for (size_t k = 0; k < baked.xs.size(); ++k) {
            channel->mPositionKeys[k] = {static_cast<double>(k), {baked.xs[k], 0, 0}};
        }
        take->mNumChannels = 1;
        take->mChannels = new aiNodeAnim* [1] { channel };
        file.mAnimations[t] = take;
    }
    const auto xAt = [](host::Scene& scene, const std::string& name, int frame) {
        return scene.findNode(name)->GetNodeTM(scenetest::ticksAt(frame / 30.0)).GetTrans().x;
    };

    host::Scene scene;
    const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "takes.fbx", {}, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.animationsPlayed, c.played);
    for (const int t : c.played) {
        const BakedTake& baked = c.takes[static_cast<size_t>(t)];
        for (int frame = 0; frame < static_cast<int>(baked.xs.size()); ++frame) {
            EXPECT_NEAR(xAt(scene, baked.name.substr(0, 1), frame), baked.xs[static_cast<size_t>(frame)], 1e-4)
                << baked.name << " frame " << frame;
        }
    }

    for (const auto& [action, takes] : c.actions) {
        host::Scene clip;
        host::SceneLoadOptions options;
        options.animationName = action;
        const host::SceneLoadResult played = host::scenefile::loadAssimpScene(file, "takes.fbx", options, {}, clip);
        ASSERT_TRUE(played.ok) << played.error;
        EXPECT_EQ(played.animationsPlayed, takes) << action;
        EXPECT_EQ(played.lengthFrames, 4) << action;
        std::set<std::string> moved;
        for (const int t : takes) {
            const BakedTake& baked = c.takes[static_cast<size_t>(t)];
            moved.insert(baked.name.substr(0, 1));
            EXPECT_NEAR(xAt(clip, baked.name.substr(0, 1), 1), baked.xs[1], 1e-4) << action << " " << baked.name;
        }
        for (const SavedObject& object : c.objects) {
            if (moved.count(object.name) > 0) {
                continue;
            }
            const auto still = c.stillAt.find(action);
            const float expected = still != c.stillAt.end() && still->second.count(object.name) > 0
                                       ? still->second.at(object.name)
                                       : object.x;
            for (int frame = 0; frame <= 4; ++frame) {
                EXPECT_NEAR(xAt(clip, object.name, frame), expected, 1e-4) << action << " " << object.name;
            }
        }
    }
    // An action the file has no take of is refused, naming the actions it has.
    host::Scene none;
    host::SceneLoadOptions missing;
    missing.animationName = "swim";
    const host::SceneLoadResult refused = host::scenefile::loadAssimpScene(file, "takes.fbx", missing, {}, none);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("its actions: \"" + c.takes[0].name.substr(2) + "\""), std::string::npos)
        << refused.error;
}

INSTANTIATE_TEST_SUITE_P(Files, FbxOwnTakes, ::testing::ValuesIn(kOwnTakesCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
