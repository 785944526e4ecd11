// The glTF interpolation reader: what it finds in real documents, and that broken ones are refused.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gltf_interpolation.h"
#include "scratch_folder.h"

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

void expectFigure(const std::vector<GltfInterpolations>& animations) {
    ASSERT_EQ(animations.size(), 2u);
    expectFigureWalk(animations[0]);
    EXPECT_EQ(animations[1].byTarget.size(), 2u);
    EXPECT_EQ(animations[1].of("tag_weapon", GltfPath::Translation), KeyInterpolation::Linear);
}

bool readDocument(const std::string& bytes, std::vector<GltfInterpolations>& out) {
    host::scenefile::GltfDocumentSummary summary;
    const bool read = host::scenefile::readGltfSummaryFromDocument(bytes, summary);
    out = std::move(summary.animations);
    return read;
}

bool readFile(const std::string& path, std::vector<GltfInterpolations>& out) {
    host::scenefile::GltfDocumentSummary summary;
    const bool read = host::scenefile::readGltfSummary(path, summary);
    out = std::move(summary.animations);
    return read;
}

TEST(GltfInterpolation, ReadsEachChannelsSamplerFromGltfAndGlb) {
    std::vector<GltfInterpolations> animations;
    ASSERT_TRUE(readFile(kFigure, animations));
    expectFigure(animations);

    // A GLB with a binary chunk after its JSON, as files have: the JSON chunk alone is read.
    std::string glb = glbWith(readText(kFigure));
    appendUint32(glb, 8);
    glb += std::string("BIN\0", 4) + std::string(8, '\x7f');
    const testsupport::ScratchFolder folder;
    const std::string glbPath = folder.file("figure_interpolation.glb");
    std::ofstream(glbPath, std::ios::binary) << glb;
    std::vector<GltfInterpolations> fromGlb;
    ASSERT_TRUE(readFile(glbPath, fromGlb));
    expectFigure(fromGlb);
    std::vector<GltfInterpolations> fromMemory;
    ASSERT_TRUE(readDocument(glb, fromMemory));
    expectFigure(fromMemory);

    std::vector<GltfInterpolations> untouched;
    EXPECT_FALSE(readFile(std::string(QMP_TEST_DATA_DIR) + "/z_up_mast.dae", untouched));
    EXPECT_TRUE(untouched.empty());
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
    std::vector<GltfInterpolations> read;
    ASSERT_TRUE(readDocument(json, read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].of("tag_\xC3\xA9t\xC3\xA9", GltfPath::Scale), KeyInterpolation::Step);
    EXPECT_EQ(read[0].of("nodes[1]", GltfPath::Rotation), KeyInterpolation::Linear);
    EXPECT_TRUE(read[0].cubicSpline);
    EXPECT_EQ(read[0].byTarget.size(), 3u) << "channels naming a missing sampler or node are skipped";
}

// Only whole, non-negative indices name a sampler or a node, and only the four paths count.
TEST(GltfInterpolation, SkipsChannelsWithoutAUsableTarget) {
    const std::vector<std::string> channels = {
        R"({"sampler": 0.5, "target": {"node": 0, "path": "scale"}})",
        R"({"sampler": -1, "target": {"node": 0, "path": "scale"}})",
        R"({"sampler": 0, "target": {"node": 1e30, "path": "scale"}})",
        R"({"sampler": 0, "target": {"node": "0", "path": "scale"}})",
        R"({"sampler": 0, "target": {"node": 0, "path": "pointer"}})",
        R"({"sampler": 0, "target": {"node": 0}})",
        R"({"sampler": 0, "target": [0, "scale"]})",
        R"({"sampler": 0})",
        R"([0, {"node": 0, "path": "scale"}])",
        R"("channel")",
    };
    for (const std::string& channel : channels) {
        const std::string json = R"({"nodes": [{"name": "a"}], "animations": [{"samplers": [{"interpolation": "STEP"}],
            "channels": [)" + channel +
                                 "]}]}";
        std::vector<GltfInterpolations> read;
        ASSERT_TRUE(readDocument(json, read)) << channel;
        ASSERT_EQ(read.size(), 1u);
        EXPECT_TRUE(read[0].byTarget.empty()) << channel;
    }
}

// Everything but the nodes' names and the animations' samplers and channels is dropped while
// it is read, at any size or depth, without changing what is found.
TEST(GltfInterpolation, ReadsAroundExtrasOfAnySizeOrDepth) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    std::string wide = "[0";
    for (int i = 1; i < 100000; ++i) {
        wide += "," + std::to_string(i);
    }
    wide += "]";
    for (const std::string& extra : {deep, wide, std::string(R"({"name": "b", "nodes": [{"name": "c"}]})")}) {
        const std::string json = R"({"extras": )" + extra + R"(, "nodes": [{"name": "a", "extras": )" + extra +
                                 R"(}, {"name": )" + extra + R"(}], "animations": [{"extras": )" + extra +
                                 R"(, "samplers": [{"interpolation": "STEP", "extras": )" + extra +
                                 R"(}], "channels": [{"sampler": 0, "extras": )" + extra +
                                 R"(, "target": {"node": 0, "path": "translation", "extras": )" + extra +
                                 R"(}}, {"sampler": 0, "target": {"node": 1, "path": "rotation"}}]}]})";
        std::vector<GltfInterpolations> read;
        ASSERT_TRUE(readDocument(json, read));
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].of("a", GltfPath::Translation), KeyInterpolation::Step);
        EXPECT_EQ(read[0].of("nodes[1]", GltfPath::Rotation), KeyInterpolation::Step)
            << "a name that is not a string is no name";
        EXPECT_EQ(read[0].byTarget.size(), 2u);
    }
}

TEST(GltfInterpolation, ReadsDocumentsWithoutNodesOrAnimations) {
    // A section that is not a list holds nothing.
    for (const std::string json :
         {R"({})", R"({"nodes": []})", R"({"animations": []})", R"({"animations": {"samplers": []}, "nodes": []})",
          R"({"animations": [], "nodes": 3})"}) {
        std::vector<GltfInterpolations> read;
        EXPECT_TRUE(readDocument(json, read)) << json;
        EXPECT_TRUE(read.empty()) << json;
    }
    std::vector<GltfInterpolations> read;
    ASSERT_TRUE(readDocument(R"({"animations": [{"samplers": [{}], "channels": [{"sampler": 0,
        "target": {"node": 0, "path": "scale"}}]}]})",
                             read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_TRUE(read[0].byTarget.empty()) << "a channel naming a node the document lacks is skipped";
}

TEST(GltfInterpolation, FindsTheFirstSkinWithoutInverseBindMatrices) {
    const std::vector<std::pair<std::string, long long>> cases = {
        {R"("skins": [{"joints": [0], "inverseBindMatrices": 1}, {"joints": [0]}, {"joints": [0]}])", 1},
        {R"("skins": [{"joints": [0]}])", 0},
        {R"("skins": [{"joints": [0], "inverseBindMatrices": 0}])", -1},
        {R"("skins": [])", -1},
        {R"("skins": 7)", -1},
        {R"("extras": {"skins": [{}]})", -1},
    };
    for (const auto& [skins, first] : cases) {
        host::scenefile::GltfDocumentSummary summary;
        ASSERT_TRUE(host::scenefile::readGltfSummaryFromDocument(R"({"nodes": [{}], "animations": [], )" + skins + "}",
                                                                 summary))
            << skins;
        EXPECT_EQ(summary.firstSkinWithoutInverseBinds, first) << skins;
    }
}

TEST(GltfInterpolation, RefusesEveryTruncationOfADocument) {
    const std::string json = readText(kFigure);
    ASSERT_GT(json.size(), 1000u);
    // Every prefix up to the closing brace is incomplete JSON.
    const size_t closing = json.rfind('}');
    for (size_t length = 0; length < closing; ++length) {
        std::vector<GltfInterpolations> read;
        ASSERT_FALSE(readDocument(json.substr(0, length), read)) << length;
        ASSERT_TRUE(read.empty());
    }
}

TEST(GltfInterpolation, RefusesBrokenDocumentsAndContainers) {
    std::vector<GltfInterpolations> read;
    EXPECT_FALSE(readDocument(std::string(100000, '[') + std::string(100000, ']'), read));
    EXPECT_FALSE(readDocument(R"({"a": "\uZZZZ"})", read));
    EXPECT_FALSE(readDocument(R"({"animations": [], "nodes": []} x)", read));
    EXPECT_FALSE(readDocument("[]", read));
    EXPECT_FALSE(readDocument("", read));
    EXPECT_FALSE(readDocument("glTF", read));
    EXPECT_TRUE(read.empty());

    const std::string figure = readText(kFigure);
    std::string overlong = glbWith(figure);
    overlong[12] = static_cast<char>(0xFF);  // the JSON chunk claims more bytes than the file has
    overlong[13] = static_cast<char>(0xFF);
    overlong[14] = static_cast<char>(0xFF);
    overlong += std::string(3, '\0');
    EXPECT_FALSE(readDocument(overlong, read));
    const testsupport::ScratchFolder folder;
    const std::string path = folder.file("overlong.glb");
    std::ofstream(path, std::ios::binary) << overlong;
    EXPECT_FALSE(readFile(path, read));
    std::string notJson = glbWith(figure);
    notJson[16] = 'B';  // a first chunk that is not the JSON
    EXPECT_FALSE(readDocument(notJson, read));
    EXPECT_TRUE(read.empty());
}

}  // namespace
