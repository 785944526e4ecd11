// The glTF interpolation reader: what it finds in real documents, and that broken ones are refused.
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "gltf_interpolation.h"

namespace {

using host::scenefile::GltfInterpolations;
using host::scenefile::GltfPath;
using host::scenefile::KeyInterpolation;

const std::string kFigure = std::string(QMP_TEST_DATA_DIR) + "/figure.gltf";

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void appendUint32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// A GLB holding only a JSON chunk, padded with spaces to four bytes as the container requires.
std::string glbWith(std::string json) {
    while (json.size() % 4 != 0) {
        json += ' ';
    }
    std::string glb = "glTF";
    appendUint32(glb, 2);
    appendUint32(glb, static_cast<std::uint32_t>(12 + 8 + json.size()));
    appendUint32(glb, static_cast<std::uint32_t>(json.size()));
    glb += "JSON";
    return glb + json;
}

void expectFigureWalk(const GltfInterpolations& walk) {
    EXPECT_EQ(walk.of("tag_weapon", GltfPath::Translation), KeyInterpolation::Step);
    EXPECT_EQ(walk.of("tag_weapon", GltfPath::Rotation), KeyInterpolation::Linear);
    EXPECT_EQ(walk.of("hips", GltfPath::Translation), KeyInterpolation::Linear);
    EXPECT_EQ(walk.byTarget.size(), 6u);
    EXPECT_FALSE(walk.cubicSpline);
}

TEST(GltfInterpolation, ReadsEachChannelsSamplerFromGltfAndGlb) {
    GltfInterpolations walk;
    ASSERT_TRUE(host::scenefile::readGltfInterpolations(kFigure, 0, walk));
    expectFigureWalk(walk);
    GltfInterpolations idle;
    ASSERT_TRUE(host::scenefile::readGltfInterpolations(kFigure, 1, idle));
    EXPECT_EQ(idle.byTarget.size(), 2u);
    EXPECT_EQ(idle.of("tag_weapon", GltfPath::Translation), KeyInterpolation::Linear);

    const std::string glbPath = ::testing::TempDir() + "figure_interpolation.glb";
    {
        std::ofstream glb(glbPath, std::ios::binary);
        glb << glbWith(readText(kFigure));
    }
    GltfInterpolations fromGlb;
    ASSERT_TRUE(host::scenefile::readGltfInterpolations(glbPath, 0, fromGlb));
    expectFigureWalk(fromGlb);
    std::remove(glbPath.c_str());

    GltfInterpolations untouched;
    EXPECT_FALSE(
        host::scenefile::readGltfInterpolations(std::string(QMP_TEST_DATA_DIR) + "/z_up_mast.dae", 0, untouched));
    EXPECT_FALSE(host::scenefile::readGltfInterpolations(kFigure, 2, untouched));
    EXPECT_TRUE(untouched.byTarget.empty());
}

TEST(GltfInterpolation, NamesNodesAsAssimpDoes) {
    const std::string json = R"({"nodes": [{"name": "tag_\u00e9t\u00e9"}, {}],
        "animations": [{"samplers": [{"input": 0, "output": 1, "interpolation": "STEP"},
                                     {"input": 0, "output": 2, "interpolation": "CUBICSPLINE"},
                                     {"input": 0, "output": 3}],
                        "channels": [{"sampler": 0, "target": {"node": 0, "path": "scale"}},
                                     {"sampler": 1, "target": {"node": 1, "path": "rotation"}},
                                     {"sampler": 2, "target": {"node": 1, "path": "weights"}},
                                     {"sampler": 7, "target": {"node": 1, "path": "translation"}},
                                     {"sampler": 0, "target": {"node": 9, "path": "translation"}}]}]})";
    GltfInterpolations read;
    ASSERT_TRUE(host::scenefile::readGltfInterpolationsFromJson(json, 0, read));
    EXPECT_EQ(read.of("tag_\xC3\xA9t\xC3\xA9", GltfPath::Scale), KeyInterpolation::Step);
    EXPECT_EQ(read.of("nodes[1]", GltfPath::Rotation), KeyInterpolation::Linear);
    EXPECT_TRUE(read.cubicSpline);
    EXPECT_EQ(read.byTarget.size(), 3u) << "channels naming a missing sampler or node are skipped";
}

TEST(GltfInterpolation, RefusesEveryTruncationOfADocument) {
    const std::string json = readText(kFigure);
    ASSERT_GT(json.size(), 1000u);
    // Every prefix up to the closing brace is incomplete JSON.
    const size_t closing = json.rfind('}');
    for (size_t length = 0; length < closing; ++length) {
        GltfInterpolations read;
        ASSERT_FALSE(host::scenefile::readGltfInterpolationsFromJson(json.substr(0, length), 0, read)) << length;
    }
}

TEST(GltfInterpolation, RefusesBrokenContainersAndDeepNesting) {
    GltfInterpolations read;
    EXPECT_FALSE(
        host::scenefile::readGltfInterpolationsFromJson(std::string(100000, '[') + std::string(100000, ']'), 0, read));
    EXPECT_FALSE(host::scenefile::readGltfInterpolationsFromJson(R"({"a": "\uZZZZ"})", 0, read));
    EXPECT_FALSE(host::scenefile::readGltfInterpolationsFromJson(R"({"animations": [], "nodes": []} x)", 0, read));

    const std::string figure = readText(kFigure);
    std::string overlong = glbWith(figure);
    overlong[12] = static_cast<char>(0xFF);  // the JSON chunk claims more bytes than the file has
    overlong[13] = static_cast<char>(0xFF);
    overlong[14] = static_cast<char>(0xFF);
    const std::string path = ::testing::TempDir() + "overlong.glb";
    {
        std::ofstream glb(path, std::ios::binary);
        glb << overlong << std::string(3, '\0');
    }
    EXPECT_FALSE(host::scenefile::readGltfInterpolations(path, 0, read));
    std::remove(path.c_str());
}

}  // namespace
