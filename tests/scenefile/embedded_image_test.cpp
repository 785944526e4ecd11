// Images a scene file holds itself: the bitmap names their materials get (FOLDER/NAME.EXT, NAME
// from the image, the material or the node, EXT from the bytes) and the bytes kept for writing.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <assimp/scene.h>

#include "assimp_scene_loader.h"
#include "embedded_images.h"
#include "gltf_builder.h"
#include "scene_checks.h"
#include "scene_file.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using scenetest::GltfBuilder;

std::vector<char> bytesOf(const std::vector<unsigned char>& values) { return {values.begin(), values.end()}; }

// File starts as their formats define them, each followed by bytes that are no picture: naming
// reads only the start (and a TGA's footer).
const std::vector<char> kPng = bytesOf({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
const std::vector<char> kJpeg = bytesOf({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0});
const std::vector<char> kBmp = bytesOf({'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0});

// A 1 x 1 true-colour TGA: the 18-byte header (type 2, 32 bits a pixel), the pixel, and the
// version 2 footer (two offsets, the signature and its zero).
std::vector<char> tgaFile(bool withFooter) {
    std::vector<unsigned char> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 8};
    bytes.insert(bytes.end(), {10, 20, 30, 255});
    if (withFooter) {
        bytes.insert(bytes.end(), 8, 0);
        const char signature[] = "TRUEVISION-XFILE.";
        bytes.insert(bytes.end(), signature, signature + sizeof signature);
    }
    return bytesOf(bytes);
}

using testsupport::ScratchFolder;

// One textured triangle on a node, its image embedded in a .glb's binary chunk or as a data: URI.
struct EmbeddedCase {
    const char* name;
    std::string imageName;
    std::string mimeType;
    std::vector<char> bytes;
    bool glb;
    std::string materialName;
    std::string folder;
    std::string expectedBitmap;
};

void PrintTo(const EmbeddedCase& c, std::ostream* out) { *out << c.name; }

const EmbeddedCase kEmbeddedCases[] = {
    {"NamedImageInGlbChunk", "ball", "image/png", kPng, true, "skin", "models/mapobjects/ball",
     "models/mapobjects/ball/ball.png"},
    {"NamedImageAsDataUri", "ball", "image/png", kPng, false, "skin", "", "ball.png"},
    {"ImageNameWithExtensionAndBlanks", "My Ball.PNG", "image/png", kPng, true, "skin", "", "My_Ball.png"},
    {"UnnamedImageTakesTheMaterialsName", "", "image/png", kPng, false, "crate skin", "", "crate_skin.png"},
    {"UnnamedImageAndMaterialTakeTheNodesName", "", "image/png", kPng, true, "", "", "sphere.png"},
    {"JpegBytesWhateverTheMimeTypeSays", "photo", "image/png", kJpeg, true, "skin", "", "photo.jpg"},
    {"BmpByTheReadersHint", "old", "image/bmp", kBmp, false, "skin", "textures/old", "textures/old/old.bmp"},
};

class EmbeddedImageNaming : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(EmbeddedImageNaming, NamesTheBitmapAndKeepsTheBytes) {
    const EmbeddedCase& c = GetParam();
    ScratchFolder folder;
    GltfBuilder gltf;
    const int mesh = gltf.mesh({0, 0, 0, 1, 0, 0, 0, 1, 0});
    gltf.useMaterial(mesh, gltf.material(c.materialName, gltf.image(c.bytes, c.imageName, c.mimeType, c.glb)),
                     {0, 0, 1, 0, 0, 1});
    gltf.node({{"name", "sphere"}, {"mesh", mesh}});
    const std::string path =
        c.glb ? gltf.writeGlb(folder.path() / "scene.glb") : gltf.write(folder.path() / "scene.gltf");

    host::Scene scene;
    host::SceneLoadOptions options;
    options.embeddedTextureFolder = c.folder;
    const host::SceneLoadResult result = host::loadSceneFile(path, options, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(scenetest::diffuseMapName(*scene.findNode("sphere")), c.expectedBitmap);
    ASSERT_EQ(result.embeddedImages.size(), 1u);
    const host::EmbeddedImage& image = result.embeddedImages[0];
    EXPECT_EQ(image.bitmapName, c.expectedBitmap);
    EXPECT_EQ(image.fileName, fs::path(c.expectedBitmap).filename().string());
    EXPECT_EQ(image.bytes, std::vector<unsigned char>(c.bytes.begin(), c.bytes.end()));
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
}

INSTANTIATE_TEST_SUITE_P(Files, EmbeddedImageNaming, ::testing::ValuesIn(kEmbeddedCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Two images of one name get two files; an image two materials use is one file.
TEST(EmbeddedImages, ShareAFileOnlyWhenTheyAreOneImage) {
    ScratchFolder folder;
    GltfBuilder gltf;
    const std::vector<char> otherPng = [] {
        std::vector<char> bytes = kPng;
        bytes.push_back('2');
        return bytes;
    }();
    const int first = gltf.image(kPng, "Ball", "image/png", true);
    const int second = gltf.image(otherPng, "ball", "image/png", true);
    const int firstMaterial = gltf.material("red", first);
    const int againFirst = gltf.material("red again", first);
    const int secondMaterial = gltf.material("blue", second);
    const std::vector<float> triangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::vector<float> uvs = {0, 0, 1, 0, 0, 1};
    const char* names[] = {"a", "b", "c"};
    const int materials[] = {firstMaterial, againFirst, secondMaterial};
    for (int i = 0; i < 3; ++i) {
        const int mesh = gltf.mesh(triangle);
        gltf.useMaterial(mesh, materials[i], uvs);
        gltf.node({{"name", names[i]}, {"mesh", mesh}});
    }
    host::Scene scene;
    const host::SceneLoadResult result = host::loadSceneFile(gltf.writeGlb(folder.path() / "two.glb"), {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(scenetest::diffuseMapName(*scene.findNode("a")), "Ball.png");
    EXPECT_EQ(scenetest::diffuseMapName(*scene.findNode("b")), "Ball.png");
    // Archives and Windows do not tell "Ball.png" from "ball.png".
    EXPECT_EQ(scenetest::diffuseMapName(*scene.findNode("c")), "ball_2.png");
    ASSERT_EQ(result.embeddedImages.size(), 2u);
    EXPECT_EQ(result.embeddedImages[1].bytes, std::vector<unsigned char>(otherPng.begin(), otherPng.end()));
}

// FBX files keep an embedded image under the name of the file it came from, and materials name
// it so; "*N" names the N-th image (glTF, assimp's own FBX writer). Built in memory.
struct InMemoryTexture {
    const char* name;
    std::string reference;  // what the material names
    std::string imageFile;  // the image's own file name
    unsigned height;        // 0: compressed file bytes; else raw pixels
    std::string expectedBitmap;
    std::string expectedWarning;  // a part of it; "" for none
};

void PrintTo(const InMemoryTexture& c, std::ostream* out) { *out << c.name; }

const InMemoryTexture kInMemoryCases[] = {
    {"FbxMediaByFileName", "card.fbm/ball.png", "card.fbm/ball.png", 0, "ball.png", ""},
    {"FbxMediaByWindowsPath", "C:\\art\\ball.png", "D:\\export\\ball.png", 0, "ball.png", ""},
    {"ByNumber", "*0", "", 0, "card_skin.png", ""},
    {"NumberPastTheImages", "*3", "ball.png", 0, "", "names the embedded image \"*3\", which the file does not hold"},
    {"NumberThatIsNotOne", "*0x", "ball.png", 0, "", "which the file does not hold"},
    {"RawPixels", "*0", "ball.png", 1, "", "is held as raw pixels"},
};

class InMemoryTextures : public ::testing::TestWithParam<InMemoryTexture> {};

TEST_P(InMemoryTextures, FindTheirImageOrSayWhy) {
    const InMemoryTexture& c = GetParam();
    aiScene file;
    file.mRootNode = new aiNode("RootNode");
    auto* card = new aiNode("card");
    card->mParent = file.mRootNode;
    card->mNumMeshes = 1;
    card->mMeshes = new unsigned[1]{0};
    file.mRootNode->mNumChildren = 1;
    file.mRootNode->mChildren = new aiNode* [1] { card };
    auto* mesh = new aiMesh();
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    file.mNumMeshes = 1;
    file.mMeshes = new aiMesh* [1] { mesh };
    auto* material = new aiMaterial();
    const aiString materialName("card_skin");
    material->AddProperty(&materialName, AI_MATKEY_NAME);
    const aiString reference(c.reference);
    material->AddProperty(&reference, AI_MATKEY_TEXTURE_DIFFUSE(0));
    file.mNumMaterials = 1;
    file.mMaterials = new aiMaterial* [1] { material };
    auto* texture = new aiTexture();
    texture->mFilename = aiString(c.imageFile);
    texture->mWidth = c.height == 0 ? static_cast<unsigned>(kPng.size()) : 1;
    texture->mHeight = c.height;
    texture->pcData = new aiTexel[kPng.size()];
    std::memcpy(texture->pcData, kPng.data(), c.height == 0 ? kPng.size() : sizeof(aiTexel));
    file.mNumTextures = 1;
    file.mTextures = new aiTexture* [1] { texture };

    host::Scene scene;
    const host::SceneLoadResult result = host::scenefile::loadAssimpScene(file, "card.fbx", {}, {}, scene);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(scenetest::diffuseMapName(*scene.findNode("card")), c.expectedBitmap);
    EXPECT_EQ(result.embeddedImages.size(), c.expectedBitmap.empty() ? 0u : 1u);
    bool warned = false;
    for (const std::string& warning : result.warnings) {
        warned = warned || (!c.expectedWarning.empty() && warning.find(c.expectedWarning) != std::string::npos);
    }
    EXPECT_EQ(warned, !c.expectedWarning.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, InMemoryTextures, ::testing::ValuesIn(kInMemoryCases),
                         [](const auto& param) { return std::string(param.param.name); });

struct ExtensionCase {
    const char* name;
    std::vector<char> bytes;
    const char* hint;
    const char* expected;
};

void PrintTo(const ExtensionCase& c, std::ostream* out) { *out << c.name; }

const ExtensionCase kExtensionCases[] = {
    {"Png", kPng, "", "png"},
    {"PngWhateverTheHint", kPng, "jpg", "png"},
    {"Jpeg", kJpeg, "", "jpg"},
    {"TgaFooter", tgaFile(true), "", "tga"},
    {"TgaFooterWhateverTheHint", tgaFile(true), "png", "tga"},
    {"TgaHeaderWithItsHint", tgaFile(false), "tga", "tga"},
    {"TgaHeaderWithoutAHint", tgaFile(false), "", "tga"},
    {"TgaHeaderWithAnotherHint", tgaFile(false), "dds", "dds"},
    {"JpegHintSpelledOut", bytesOf({1, 2, 3}), "jpeg", "jpg"},
    {"HintUpperCase", bytesOf({1, 2, 3}), "DDS", "dds"},
    {"HintThatIsNoWord", bytesOf({1, 2, 3}), "x-tga", ""},
    {"NothingToTell", bytesOf({1, 2, 3}), "", ""},
    {"Empty", {}, "", ""},
};

class ImageExtension : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ImageExtension, ComesFromTheBytesThenTheHint) {
    const ExtensionCase& c = GetParam();
    char hint[HINTMAXTEXTURELEN] = {};
    std::strncpy(hint, c.hint, sizeof hint - 1);
    EXPECT_EQ(
        host::scenefile::imageExtension(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), hint),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(Bytes, ImageExtension, ::testing::ValuesIn(kExtensionCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ImageFileStem, KeepsTheNameAndWhatFileNamesAllow) {
    const std::pair<const char*, const char*> cases[] = {
        {"ball", "ball"},
        {"ball.png", "ball"},
        {"textures\\wood\\Plank.JPEG", "Plank"},
        {"ball.001", "ball.001"},  // Blender's copies keep their number
        {"my ball (1).tga", "my_ball__1_"},
        {".hidden.png", "_hidden"},
        {"b\xc3\xa4ll", "b__ll"},
        {"models/", ""},
        {"", ""},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(host::scenefile::imageFileStem(name), expected) << name;
    }
}

}  // namespace
