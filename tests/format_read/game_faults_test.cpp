// Values a file may hold that the readers take as stored but the games cannot use: each is found,
// named in plain words, and placed at its byte.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "model_builders.h"
#include "modelformat/md2_reader.h"
#include "modelformat/md3_reader.h"
#include "modelformat/model_limits.h"

namespace {

using namespace modelformat;
using namespace testmodels;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The model of every MD3 case: 3 frames, 2 tags, 2 surfaces of 4 vertices.
constexpr int32_t kFrames = 3;
constexpr size_t kTagsAt = kMd3HeaderSize + kFrames * kMd3FrameSize;
constexpr size_t frameAt(size_t frame) { return kMd3HeaderSize + frame * kMd3FrameSize; }
constexpr size_t tagAt(size_t frame, size_t tag) { return kTagsAt + (frame * 2 + tag) * kMd3TagSize; }

struct Md3Case {
    const char* name;
    std::function<void(Md3Model&)> change;
    std::vector<std::string> where;  // of each fault, in order; none for a sound file
    // The byte of the first fault, from the file as written; also the text its message must hold.
    std::function<size_t(const Md3Model&)> at;
    std::string mentions;
};

size_t surfaceFrameCountAt(const Md3Model& written, size_t surface) {
    return written.surfaces[surface].fileOffset + kSurfAtFrameCount;
}

const Md3Case kMd3Cases[] = {
    {"Sound", [](Md3Model&) {}, {}, nullptr, ""},
    {"SurfaceWithFewerFrames",
     [](Md3Model& m) {
         m.surfaces[1].header.frameCount = 2;
         m.surfaces[1].vertices.resize(size_t{2} * 4);
     },
     {"surface surface_1"},
     [](const Md3Model& w) { return surfaceFrameCountAt(w, 1); },
     "2 frames where the file has 3"},
    {"NoFrames",
     [](Md3Model& m) {
         m = makeMd3Model(0, 0, 1);
         m.surfaces[0].header.frameCount = 1;
         m.surfaces[0].vertices.resize(4);
     },
     {"file", "surface surface_0"},
     [](const Md3Model&) { return size_t{kMd3AtFrameCount}; },
     "no frames"},
    {"NaNInFrameBounds",
     [](Md3Model& m) { m.frames[2].maxCorner.y = kNaN; },
     {"frames"},
     [](const Md3Model&) { return frameAt(2) + 12 + 4; },
     "frame 2's maximum corner"},
    {"InfiniteFrameOrigin",
     [](Md3Model& m) { m.frames[0].localOrigin.z = kInfinity; },
     {"frames"},
     [](const Md3Model&) { return frameAt(0) + 24 + 8; },
     "frame 0's local origin"},
    {"NaNRadiusInTwoFrames",
     [](Md3Model& m) {
         m.frames[1].radius = kNaN;
         m.frames[2].minCorner.x = -kInfinity;
     },
     {"frames"},
     [](const Md3Model&) { return frameAt(1) + 36; },
     "2 frame records hold"},
    {"NaNTagOrigin",
     [](Md3Model& m) { m.tags[3].origin.x = kNaN; },
     {"tags"},
     [](const Md3Model&) { return tagAt(1, 1) + 64; },
     "tag_1 in frame 1's origin"},
    {"InfiniteTagAxis",
     [](Md3Model& m) { m.tags[0].axes[2].z = -kInfinity; },
     {"tags"},
     [](const Md3Model&) { return tagAt(0, 0) + 76 + 24 + 8; },
     "tag_0 in frame 0's third axis"},
};

class Md3GameFaults : public ::testing::TestWithParam<Md3Case> {};

TEST_P(Md3GameFaults, AreFoundAtTheirByte) {
    Md3Model model = makeMd3Model(kFrames, 2, 2);
    GetParam().change(model);
    const std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::TrianglesFirst);
    const Md3ReadResult read = readMd3(bytes);
    ASSERT_TRUE(read.ok) << read.message;  // the reader takes these values as stored
    const std::vector<GameFault> faults = findMd3GameFaults(read.model);

    std::vector<std::string> where;
    for (const GameFault& fault : faults) {
        where.push_back(fault.where);
        EXPECT_FALSE(fault.message.empty());
        EXPECT_LT(fault.offset, bytes.size());
    }
    EXPECT_EQ(where, GetParam().where);
    if (!faults.empty()) {
        EXPECT_EQ(faults[0].offset, GetParam().at(read.model));
        EXPECT_NE(faults[0].message.find(GetParam().mentions), std::string::npos) << faults[0].message;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Md3GameFaults, ::testing::ValuesIn(kMd3Cases),
                         [](const auto& test) { return std::string(test.param.name); });

// The model of every MD2 case: 2 frames of 5 vertices, then the GL commands.
constexpr int32_t kMd2Vertices = 5;
constexpr size_t kMd2FrameSize = kMd2FrameHeaderSize + kMd2Vertices * kMd2PackedVertexSize;

size_t md2FramesAt(const std::vector<uint8_t>& b) {
    return static_cast<size_t>(peekInt32(b, md2HeaderField(kFieldOfsFrames)));
}
size_t md2GlCommandsAt(const std::vector<uint8_t>& b) {
    return static_cast<size_t>(peekInt32(b, md2HeaderField(kFieldOfsGlCommands)));
}
// Within a frame, the byte of a vertex's normal index (the last of its four bytes).
constexpr size_t md2NormalIndexAt(size_t vertex) { return kMd2FrameHeaderSize + vertex * kMd2PackedVertexSize + 3; }
// Within the GL commands, the byte of a 4-byte word.
constexpr size_t glWordAt(size_t word) { return word * kMd2GlCommandSize; }

struct Md2Case {
    const char* name;
    std::function<void(Md2Build&)> change;
    std::vector<std::string> where;
    std::function<size_t(const std::vector<uint8_t>&)> at;
    std::string mentions;
};

std::vector<int32_t> joined(std::initializer_list<std::vector<int32_t>> parts) {
    std::vector<int32_t> words;
    for (const std::vector<int32_t>& part : parts) {
        words.insert(words.end(), part.begin(), part.end());
    }
    return words;
}

const Md2Case kMd2Cases[] = {
    {"Sound", [](Md2Build&) {}, {}, nullptr, ""},
    {"LastNormalOfTheTable", [](Md2Build& b) { b.frames[1].vertices[4].normalIndex = 161; }, {}, nullptr, ""},
    {"NormalIndex162",
     [](Md2Build& b) { b.frames[1].vertices[3].normalIndex = 162; },
     {"frames"},
     [](const std::vector<uint8_t>& b) { return md2FramesAt(b) + kMd2FrameSize + md2NormalIndexAt(3); },
     "1 vertex normal index in 1 frame"},
    {"NormalIndicesInBothFrames",
     [](Md2Build& b) {
         b.frames[0].vertices[2].normalIndex = 255;
         b.frames[1].vertices[0].normalIndex = 200;
         b.frames[1].vertices[1].normalIndex = 170;
     },
     {"frames"},
     [](const std::vector<uint8_t>& b) { return md2FramesAt(b) + md2NormalIndexAt(2); },
     "3 vertex normal indices in 2 frames"},
    {"CommandsWithinTheVertices",
     [](Md2Build& b) {
         b.glCommands = joined({glCommand(3, {0, 1, 2}), glCommand(-4, {4, 3, 2, 1}), {0}});
     },
     {},
     nullptr,
     ""},
    {"NoCommandsAtAll", [](Md2Build& b) { b.glCommands.clear(); }, {}, nullptr, ""},
    {"StripAtVertex30000",
     [](Md2Build& b) {
         b.glCommands = joined({glCommand(3, {0, 1, 30000}), {0}});
     },
     {"GL commands"},
     [](const std::vector<uint8_t>& b) { return md2GlCommandsAt(b) + glWordAt(1 + 3 + 3 + 2); },
     "vertex 30000"},
    {"FanAtANegativeVertex",
     [](Md2Build& b) {
         b.glCommands = joined({glCommand(3, {0, 1, 2}), glCommand(-3, {-1, 0, 5}), {0}});
     },
     {"GL commands"},
     [](const std::vector<uint8_t>& b) { return md2GlCommandsAt(b) + glWordAt(10 + 1 + 2); },
     "2 vertex references point past the model's 5 vertices"},
    {"CommandRunsPastItsBlock",
     [](Md2Build& b) {
         b.glCommands = joined({glCommand(3, {0, 1, 2}), glCommand(5, {0, 1, 2}), {0}});
     },
     {"GL commands"},
     [](const std::vector<uint8_t>& b) { return md2GlCommandsAt(b) + glWordAt(10); },
     "5 vertices runs past the end"},
    {"ListWithoutItsZero",
     [](Md2Build& b) {
         b.glCommands = glCommand(3, {0, 1, 2});
     },
     {"GL commands"},
     [](const std::vector<uint8_t>& b) { return md2GlCommandsAt(b) + glWordAt(10); },
     "does not end with a zero"},
};

class Md2GameFaults : public ::testing::TestWithParam<Md2Case> {};

TEST_P(Md2GameFaults, AreFoundAtTheirByte) {
    Md2Build build = makeMd2Build(2, kMd2Vertices);
    GetParam().change(build);
    const std::vector<uint8_t> bytes = buildMd2(build);
    const Md2ReadResult read = readMd2(bytes, 0);
    ASSERT_TRUE(read.ok) << read.message;
    const std::vector<GameFault> faults = findMd2GameFaults(bytes.data(), bytes.size(), read.model);

    std::vector<std::string> where;
    for (const GameFault& fault : faults) {
        where.push_back(fault.where);
        EXPECT_LE(fault.offset, bytes.size());
    }
    EXPECT_EQ(where, GetParam().where);
    if (!faults.empty()) {
        EXPECT_EQ(faults[0].offset, GetParam().at(bytes));
        EXPECT_NE(faults[0].message.find(GetParam().mentions), std::string::npos) << faults[0].message;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Md2GameFaults, ::testing::ValuesIn(kMd2Cases),
                         [](const auto& test) { return std::string(test.param.name); });

// Files made by other tools, which their games show, hold none of these.
TEST(GameFaults, NoneInTheSampleFiles) {
    const std::string samples = QMP_SAMPLES_DIR;
    const std::vector<uint8_t> upper = loadFile(samples + "/openarena-data/models/players/sarge/upper.md3");
    if (upper.empty()) {
        GTEST_SKIP() << "samples folder " << samples << " is not there";
    }
    for (const char* path :
         {"openarena-data/models/players/sarge/upper.md3", "openarena-data/models/players/sarge/lower.md3",
          "openarena-data/models/weapons2/bfg/bfg.md3", "openarena-data/models/weaphits/kamboom2.md3"}) {
        const Md3ReadResult read = readMd3(loadFile(samples + "/" + path));
        ASSERT_TRUE(read.ok) << path;
        EXPECT_TRUE(findMd3GameFaults(read.model).empty()) << path;
    }
    for (const char* path :
         {"ufoai-data/models/objects/store/box.md2", "ufoai-data/models/weapons/assault/assault.md2"}) {
        const std::vector<uint8_t> bytes = loadFile(samples + "/" + path);
        const Md2ReadResult read = readMd2(bytes, 0);
        ASSERT_TRUE(read.ok) << path;
        EXPECT_TRUE(findMd2GameFaults(bytes.data(), bytes.size(), read.model).empty()) << path;
    }
}

}  // namespace
