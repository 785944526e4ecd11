// Animated models written as glTF, read back by the Open Asset Import Library (a reader this
// project does not contain) and by the scene loader: meshes, morph targets and animations
// counted, names and shader names as the file gave them, tags keyed as stored.
#include <gtest/gtest.h>

#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <animated_model.h>
#include <gltf_model_writer.h>
#include <scene_file.h>

#include "model_files.h"
#include "sample_files.h"

namespace {

using host::modelfile::AnimatedModel;
using host::modelfile::GltfModelOptions;
using modeltest::bytesOf;
using modeltest::md2Named;
using modeltest::md3With;
using modeltest::mentions;
using modeltest::modelOf;
using modeltest::ScratchFolder;
using modeltest::triangleSurface;

std::vector<std::string> write(const AnimatedModel& model, const std::string& path) {
    return modeltest::writeGltf(model, path);
}

struct Counts {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;  // empty: the sample is missing
    unsigned meshes;
    unsigned targets;     // of every mesh
    unsigned animations;  // the whole, then one per group of frames
    unsigned nodeChannels;
};

std::function<std::vector<uint8_t>()> sample(const std::string& name) {
    return [name] { return testmodels::loadFile(std::string(QMP_SAMPLES_DIR) + "/" + name); };
}

const Counts kCounts[] = {
    {"UpperBody", sample("openarena-data/models/players/sarge/upper.md3"), 1, 155, 1, 2},
    {"Explosion", sample("openarena-data/models/weaphits/kamboom2.md3"), 24, 0, 0, 0},
    {"Box", sample("ufoai-data/models/objects/store/box.md2"), 1, 30, 1, 0},
    {"Rifle", sample("ufoai-data/models/weapons/assault/assault.md2"), 1, 0, 0, 0},
    {"NamedGroups",
     [] {
         return md2Named({"stand1", "stand2", "run1", "run2", "run3"});
     },
     1, 5, 3, 0},
    {"TagsOnly", [] { return bytesOf(testmodels::makeMd3Model(4, 3, 0)); }, 0, 0, 1, 3},
    // Nothing to key: glTF wants a channel in every animation.
    {"OnlyAnEmptySurface",
     [] {
         modelformat::Md3Surface empty = triangleSurface("ghost", "", 4);
         empty.triangles.clear();
         return bytesOf(md3With(4, {empty}));
     },
     0, 0, 0, 0},
};

void PrintTo(const Counts& counts, std::ostream* out) { *out << counts.name; }

class SavedGltf : public ::testing::TestWithParam<Counts> {};

TEST_P(SavedGltf, LoadsInAssimpWithItsMeshesTargetsAndAnimations) {
    const Counts& expected = GetParam();
    const std::vector<uint8_t> bytes = expected.bytes();
    if (bytes.empty()) {
        QMP_SAMPLE_MISSING() << "no sample for " << expected.name;
    }
    const AnimatedModel model = modelOf(bytes);
    ScratchFolder folder;
    for (const char* extension : {".glb", ".gltf"}) {
        const std::string path = folder.file(std::string(expected.name) + extension);
        write(model, path);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        EXPECT_EQ(scene->mNumMeshes, expected.meshes) << path;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            EXPECT_EQ(scene->mMeshes[m]->mNumAnimMeshes, expected.targets) << path;
        }
        ASSERT_EQ(scene->mNumAnimations, expected.animations) << path;
        for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
            const aiAnimation* animation = scene->mAnimations[a];
            EXPECT_EQ(animation->mNumChannels, expected.nodeChannels) << path;
            EXPECT_EQ(animation->mNumMorphMeshChannels, expected.targets > 0 ? expected.meshes : 0u) << path;
        }
        if (expected.animations > 0) {
            // The whole animation: one key per frame, the last at frame count - 1 thirtieths.
            const aiAnimation* whole = scene->mAnimations[0];
            const double seconds = whole->mDuration / whole->mTicksPerSecond;
            EXPECT_NEAR(seconds, (model.frameCount - 1) / 30.0, 1e-5) << path;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Models, SavedGltf, ::testing::ValuesIn(kCounts),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(GltfModel, NamesShadersAndFrameNamesAreKeptAsTheFileGaveThem) {
    modelformat::Md3Model file =
        md3With(3, {triangleSurface("Hair", "models\\players\\bob\\hair", 3), triangleSurface("Hair", "bare_shader", 3),
                    triangleSurface("face", "skins/my face%20.tga", 3), triangleSurface("plain", "", 3)});
    file.frames[1].name = "run 1";
    ScratchFolder folder;
    const std::string path = folder.file("named.gltf");
    write(modelOf(bytesOf(file)), path);

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mRootNode->mNumChildren, 4u);
    const char* names[] = {"Hair", "Hair", "face", "plain"};
    const char* shaders[] = {"models\\players\\bob\\hair", "bare_shader", "skins/my face%20.tga", ""};
    for (unsigned n = 0; n < 4; ++n) {
        const aiNode* node = scene->mRootNode->mChildren[n];
        EXPECT_STREQ(node->mName.C_Str(), names[n]);
        ASSERT_EQ(node->mNumMeshes, 1u);
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[0]];
        aiString texture;
        scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture);
        EXPECT_STREQ(texture.C_Str(), shaders[n]);
        ASSERT_EQ(mesh->mNumAnimMeshes, 3u);
        EXPECT_STREQ(mesh->mAnimMeshes[0]->mName.C_Str(), "frame0");
        EXPECT_STREQ(mesh->mAnimMeshes[1]->mName.C_Str(), "run 1");
    }
    EXPECT_EQ(scene->mNumMaterials, 4u) << "three shaders and assimp's default for the plain surface";
}

TEST(GltfModel, AnEmptySurfaceIsANamedNodeAndAWarning) {
    modelformat::Md3Surface empty = triangleSurface("ghost", "ghost_shader", 2);
    empty.triangles.clear();
    const AnimatedModel model =
        modelOf(bytesOf(md3With(2, {triangleSurface("body", "skin", 2), empty, triangleSurface("arm", "skin", 2)})));
    ScratchFolder folder;
    const std::string path = folder.file("empty.glb");
    const std::vector<std::string> warnings = write(model, path);
    EXPECT_TRUE(mentions(warnings, "\"ghost\" has no triangles")) << ::testing::PrintToString(warnings);

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mRootNode->mNumChildren, 3u);
    EXPECT_STREQ(scene->mRootNode->mChildren[1]->mName.C_Str(), "ghost");
    EXPECT_EQ(scene->mRootNode->mChildren[1]->mNumMeshes, 0u);
    EXPECT_EQ(scene->mNumMeshes, 2u);
}

TEST(GltfModel, SkewedTagAxesKeepTheNearestRotationWithAWarning) {
    // makeMd3Model's tags lean their second axis by the frame number: perpendicular in frame 0 only.
    const AnimatedModel model = modelOf(bytesOf(testmodels::makeMd3Model(3, 1, 0)));
    ScratchFolder folder;
    const std::vector<std::string> warnings = write(model, folder.file("skewed.glb"));
    EXPECT_TRUE(mentions(warnings, "tag \"tag_0\": its axes are not perpendicular in 2 frames"))
        << ::testing::PrintToString(warnings);
}

TEST(GltfModel, NamesThatAreNotUtf8AreWrittenAsLatin1) {
    // A Latin-1 letter, an overlong zero, a UTF-16 surrogate: none of them UTF-8.
    const AnimatedModel model =
        modelOf(bytesOf(md3With(1, {triangleSurface("caf\xe9", "", 1), triangleSurface("a\xc0\x80", "", 1),
                                    triangleSurface("\xed\xa0\x80", "", 1), triangleSurface("na\xc3\xafve", "", 1)})));
    ScratchFolder folder;
    const std::string path = folder.file("latin.glb");
    EXPECT_TRUE(mentions(write(model, path), "not UTF-8"));
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mRootNode->mNumChildren, 4u);
    const char* names[] = {"caf\xc3\xa9", "a\xc3\x80\xc2\x80", "\xc3\xad\xc2\xa0\xc2\x80", "na\xc3\xafve"};
    for (unsigned n = 0; n < 4; ++n) {
        EXPECT_STREQ(scene->mRootNode->mChildren[n]->mName.C_Str(), names[n]) << "UTF-8 stays as it is";
    }
}

TEST(GltfModel, AFailedWriteLeavesNoFileAndSaysWhy) {
    const AnimatedModel model = modelOf(bytesOf(md3With(1, {triangleSurface("body", "", 1)})));
    ScratchFolder folder;
    std::string error;
    std::vector<std::string> warnings;
    const std::string path = folder.file("missing/folder/model.glb");
    EXPECT_FALSE(host::modelfile::writeGltfModel(model, path, GltfModelOptions(), error, warnings));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(GltfModel, FramesAreKeyedAtTheHostsFrameTimes) {
    EXPECT_DOUBLE_EQ(host::modelfile::frameSeconds(3, 30), 0.1);
    EXPECT_DOUBLE_EQ(host::modelfile::frameSeconds(24, 24), 1.0);
    // 4800 ticks a second give 7 frames a second 685 ticks each.
    EXPECT_DOUBLE_EQ(host::modelfile::frameSeconds(7, 7), 7 * 685 / 4800.0);
}

}  // namespace

namespace {

struct TextureNameCase {
    const char* name;
    const char* folder;   // where the scene file is saved, under the scratch folder
    const char* written;  // the texture name in the file
    const char* loaded;   // the name loaded; "@" stands for the scratch folder
};

void PrintTo(const TextureNameCase& c, std::ostream* out) { *out << c.name; }

class TextureNames : public ::testing::TestWithParam<TextureNameCase> {};

TEST_P(TextureNames, ComeBackAsTheGameNamesThem) {
    const TextureNameCase& c = GetParam();
    ScratchFolder scratch;
    if (scratch.path().string().find("models") != std::string::npos) {
        GTEST_SKIP() << "the temporary folder lies in a folder named models";
    }
    const std::filesystem::path folder = scratch.path() / c.folder;
    std::filesystem::create_directories(folder);
    const std::string saved = (folder / "model.glb").string();
    write(modelOf(bytesOf(md3With(1, {triangleSurface("body", c.written, 1)}))), saved);
    host::Scene scene;
    const host::SceneLoadResult loaded = host::loadSceneFile(saved, {}, scene);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    Mtl* material = scene.findNode("body")->GetMtl();
    ASSERT_NE(material, nullptr);
    Texmap* map = material->GetSubTexmap(ID_DI);
    ASSERT_NE(map, nullptr);
    std::string expected = c.loaded;
    if (expected[0] == '@') {
        expected = scratch.path().string() + expected.substr(1);
    }
    EXPECT_EQ(std::string(static_cast<BitmapTex*>(map)->GetMapName()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, TextureNames,
    ::testing::Values(
        TextureNameCase{"BareShader", "plain", "cmuz_rck_fuzz4", "cmuz_rck_fuzz4"},
        TextureNameCase{"GamePath", "plain", "models\\weapons2\\bfg\\bfgtube", "models\\weapons2\\bfg\\bfgtube"},
        TextureNameCase{"RelativePath", "plain", "textures/skin.png", "textures/skin.png"},
        TextureNameCase{"InsideAModelsTree", "mod/models/players/bob", "skin.tga", "@/mod/models/players/bob/skin.tga"},
        TextureNameCase{"BesideInAModelsTree", "mod/models/players/bob", "..\\alice\\skin.tga",
                        "@/mod/models/players/alice/skin.tga"},
        TextureNameCase{"WindowsAbsolute", "plain", "E:\\art\\skin.tga", "E:\\art\\skin.tga"},
        TextureNameCase{"Absolute", "plain", "/opt/art/skin.tga", "/opt/art/skin.tga"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
