// The readers on real files from other tools: right counts; truncations and byte changes survived.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "model_builders.h"
#include "model_checks.h"
#include "modelformat/md2_reader.h"
#include "modelformat/md3_reader.h"
#include "sample_files.h"

namespace {

using namespace modelformat;
using testmodels::expectConsistent;

enum class Format { Md3, Md2 };

struct Sample {
    const char* name;  // test name
    const char* path;  // under the samples folder
    Format format;
    bool everyTruncation;  // small enough to try every length
};

const Sample kSamples[] = {
    {"SargeHead", "openarena-data/models/players/sarge/head.md3", Format::Md3, true},
    {"SargeUpper", "openarena-data/models/players/sarge/upper.md3", Format::Md3, false},
    {"Bfg", "openarena-data/models/weapons2/bfg/bfg.md3", Format::Md3, true},
    {"Kamboom2", "openarena-data/models/weaphits/kamboom2.md3", Format::Md3, true},
    {"Box", "ufoai-data/models/objects/store/box.md2", Format::Md2, true},
    {"Assault", "ufoai-data/models/weapons/assault/assault.md2", Format::Md2, true},
};

std::vector<uint8_t> loadSample(const Sample& sample) {
    return testmodels::loadFile(std::string(QMP_SAMPLES_DIR) + "/" + sample.path);
}

#define SKIP_WITHOUT_SAMPLE(bytes, sample)                                            \
    if ((bytes).empty())                                                              \
    QMP_SAMPLE_MISSING() << "sample file " << QMP_SAMPLES_DIR << "/" << (sample).path \
                         << " is not there (the samples live beside the project, in shared/samples)"

// Reads bytes as the sample's format; true when accepted (and then checks consistency).
bool readAndCheck(const Sample& sample, const std::vector<uint8_t>& bytes) {
    if (sample.format == Format::Md3) {
        const Md3ReadResult result = readMd3(bytes);
        if (result.ok) {
            expectConsistent(result.model);
        } else {
            EXPECT_NE(result.error, ReadError::None);
            EXPECT_FALSE(result.message.empty());
        }
        return result.ok;
    }
    const Md2ReadResult result = readMd2(bytes, kMd2ImportFrame);
    if (result.ok) {
        expectConsistent(result.model);
    } else {
        EXPECT_NE(result.error, ReadError::None);
        EXPECT_FALSE(result.message.empty());
    }
    return result.ok;
}

// A run of records in the file: its first byte, how many, and how long each is.
struct Block {
    size_t offset;
    size_t count;
    size_t recordSize;
    bool header = false;  // every byte of a header is a field boundary
};

// Every block the header (and each MD3 surface header) of an accepted file describes, headers included.
std::vector<Block> blocksOf(const Sample& sample, const std::vector<uint8_t>& bytes) {
    std::vector<Block> blocks;
    if (sample.format == Format::Md3) {
        const Md3Model m = readMd3(bytes).model;
        const Md3FileHeader& h = m.header;
        blocks.push_back({0, 1, kMd3HeaderSize, true});
        blocks.push_back({static_cast<size_t>(h.framesOffset), m.frames.size(), kMd3FrameSize});
        blocks.push_back({static_cast<size_t>(h.tagsOffset), m.tags.size(), kMd3TagSize});
        for (const Md3Surface& s : m.surfaces) {
            const Md3SurfaceHeader& sh = s.header;
            blocks.push_back({s.fileOffset, 1, kMd3SurfaceHeaderSize, true});
            blocks.push_back({s.fileOffset + static_cast<size_t>(sh.shadersOffset), s.shaders.size(), kMd3ShaderSize});
            blocks.push_back(
                {s.fileOffset + static_cast<size_t>(sh.trianglesOffset), s.triangles.size(), kMd3TriangleSize});
            blocks.push_back(
                {s.fileOffset + static_cast<size_t>(sh.texCoordsOffset), s.texCoords.size(), kMd3TexCoordSize});
            blocks.push_back(
                {s.fileOffset + static_cast<size_t>(sh.verticesOffset), s.vertices.size(), kMd3VertexSize});
        }
    } else {
        const Md2Header h = readMd2(bytes, 0).model.header;
        const auto count = [](int32_t n) { return static_cast<size_t>(n); };
        blocks.push_back({0, 1, kMd2HeaderSize, true});
        blocks.push_back({count(h.ofsSkins), count(h.numSkins), kMd2SkinNameSize});
        blocks.push_back({count(h.ofsTexCoords), count(h.numTexCoords), kMd2TexCoordSize});
        blocks.push_back({count(h.ofsTriangles), count(h.numTriangles), kMd2TriangleSize});
        blocks.push_back({count(h.ofsGlCommands), count(h.numGlCommands), kMd2GlCommandSize});
        for (int32_t f = 0; f < h.numFrames; ++f) {
            const size_t frameAt = count(h.ofsFrames) + count(f) * count(h.frameSize);
            blocks.push_back({frameAt, 1, kMd2FrameHeaderSize, true});
            blocks.push_back({frameAt + kMd2FrameHeaderSize, count(h.numVertices), kMd2PackedVertexSize});
        }
    }
    return blocks;
}

// Header bytes in full; of other records the first and last byte, for the first and last four
// records of each block (the ones whose neighbours are other blocks or the end of the file).
std::set<size_t> boundaryPositions(const std::vector<Block>& blocks, size_t fileSize) {
    std::set<size_t> positions;
    for (const Block& block : blocks) {
        if (block.header) {
            for (size_t i = 0; i < block.recordSize; ++i) {
                positions.insert(block.offset + i);
            }
            continue;
        }
        for (size_t r = 0; r < block.count; ++r) {
            if (r >= 4 && r + 4 < block.count) {
                r = block.count - 4;
            }
            positions.insert(block.offset + r * block.recordSize);
            positions.insert(block.offset + (r + 1) * block.recordSize - 1);
        }
    }
    positions.erase(positions.lower_bound(fileSize), positions.end());
    return positions;
}

class SampleFile : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleFile, LoadsConsistently) {
    const std::vector<uint8_t> bytes = loadSample(GetParam());
    SKIP_WITHOUT_SAMPLE(bytes, GetParam());
    EXPECT_TRUE(readAndCheck(GetParam(), bytes));
    if (GetParam().format == Format::Md3) {
        for (Md3Detail detail : {Md3Detail::FirstFrame, Md3Detail::Headers}) {
            const Md3ReadResult result = readMd3(bytes, detail);
            ASSERT_TRUE(result.ok) << result.message;
            expectConsistent(result.model);
        }
    }
}

TEST_P(SampleFile, RefusesEveryTruncation) {
    const Sample& sample = GetParam();
    const std::vector<uint8_t> bytes = loadSample(sample);
    SKIP_WITHOUT_SAMPLE(bytes, sample);
    // These files end exactly at their end offset, so no shorter prefix is a whole file.
    const size_t endOffset = static_cast<size_t>(sample.format == Format::Md3 ? testmodels::peekInt32(bytes, 104)
                                                                              : testmodels::peekInt32(bytes, 64));
    ASSERT_EQ(endOffset, bytes.size());

    std::vector<size_t> lengths;
    if (sample.everyTruncation) {
        for (size_t length = 0; length < bytes.size(); ++length) {
            lengths.push_back(length);
        }
    } else {
        for (size_t at : boundaryPositions(blocksOf(sample, bytes), bytes.size())) {
            lengths.push_back(at);
            lengths.push_back(at + 1);
        }
    }
    for (size_t length : lengths) {
        if (length >= bytes.size()) {
            continue;
        }
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_FALSE(readAndCheck(sample, prefix)) << "a prefix of " << length << " bytes was accepted";
    }
}

TEST_P(SampleFile, SurvivesEveryByteChangeAtBoundaries) {
    const Sample& sample = GetParam();
    std::vector<uint8_t> bytes = loadSample(sample);
    SKIP_WITHOUT_SAMPLE(bytes, sample);
    const std::set<size_t> positions = boundaryPositions(blocksOf(sample, bytes), bytes.size());
    ASSERT_GT(positions.size(), 100u);
    size_t accepted = 0, refused = 0;
    for (size_t at : positions) {
        const uint8_t original = bytes[at];
        for (uint8_t changed :
             {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x80}, uint8_t{0x7F}, static_cast<uint8_t>(original ^ 1)}) {
            if (changed == original) {
                continue;
            }
            bytes[at] = changed;
            if (readAndCheck(sample, bytes)) {
                ++accepted;
            } else {
                ++refused;
            }
            if (::testing::Test::HasFatalFailure()) {
                FAIL() << "byte " << at << " set to " << int{changed};
            }
        }
        bytes[at] = original;
    }
    // Both outcomes occur: changed counts and offsets are refused, changed coordinates are not.
    EXPECT_GT(accepted, 0u);
    EXPECT_GT(refused, 0u);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleFile, ::testing::ValuesIn(kSamples),
                         [](const auto& test) { return std::string(test.param.name); });

// Counts documented for the sample files (shared/samples/README.md).
class SampleCounts : public ::testing::Test {
protected:
    std::vector<uint8_t> load(const char* path) {
        bytes_ = testmodels::loadFile(std::string(QMP_SAMPLES_DIR) + "/" + path);
        return bytes_;
    }
    std::vector<uint8_t> bytes_;
};

TEST_F(SampleCounts, Md3FilesFromOtherTools) {
    if (load(kSamples[1].path).empty()) {
        QMP_SAMPLE_MISSING() << "samples folder " << QMP_SAMPLES_DIR << " is not there";
    }
    {
        const Md3ReadResult upper = readMd3(load("openarena-data/models/players/sarge/upper.md3"));
        ASSERT_TRUE(upper.ok) << upper.message;
        EXPECT_EQ(upper.model.header.frameCount, 155);
        ASSERT_EQ(upper.model.header.tagCount, 2);
        std::set<std::string> firstFrameTags = {upper.model.tag(0, 0).name, upper.model.tag(0, 1).name};
        EXPECT_EQ(firstFrameTags, (std::set<std::string>{"tag_head", "tag_weapon"}));
        // Every frame names the same tags in the same order.
        for (int32_t f = 1; f < upper.model.header.frameCount; ++f) {
            EXPECT_EQ(upper.model.tag(f, 1).name, upper.model.tag(0, 1).name);
        }
        for (const Md3Surface& s : upper.model.surfaces) {
            EXPECT_EQ(s.header.trianglesOffset, kMd3SurfaceHeaderSize);  // triangles before shaders
            EXPECT_EQ(s.header.shadersOffset, kMd3SurfaceHeaderSize + kMd3TriangleSize * s.header.triangleCount);
            EXPECT_EQ(s.header.frameCount, 155);
            EXPECT_FALSE(s.shaders.empty());
        }
    }
    {
        const Md3ReadResult head = readMd3(load("openarena-data/models/players/sarge/head.md3"));
        ASSERT_TRUE(head.ok) << head.message;
        EXPECT_EQ(head.model.header.frameCount, 1);
        EXPECT_EQ(head.model.surfaces.size(), 1u);
    }
    {
        const Md3ReadResult bfg = readMd3(load("openarena-data/models/weapons2/bfg/bfg.md3"));
        ASSERT_TRUE(bfg.ok) << bfg.message;
        EXPECT_GT(bfg.model.header.tagCount, 0);
        for (const Md3TagRecord& tag : bfg.model.tags) {
            EXPECT_EQ(tag.name.rfind("tag_", 0), 0u) << tag.name;
        }
    }
    {
        const Md3ReadResult kamboom = readMd3(load("openarena-data/models/weaphits/kamboom2.md3"));
        ASSERT_TRUE(kamboom.ok) << kamboom.message;
        EXPECT_EQ(kamboom.model.surfaces.size(), 24u);
    }
}

TEST_F(SampleCounts, Md2FilesFromOtherTools) {
    if (load(kSamples[4].path).empty()) {
        QMP_SAMPLE_MISSING() << "samples folder " << QMP_SAMPLES_DIR << " is not there";
    }
    {
        const Md2ReadResult box = readMd2(load("ufoai-data/models/objects/store/box.md2"), kMd2ImportFrame);
        ASSERT_TRUE(box.ok) << box.message;
        EXPECT_EQ(box.model.header.numFrames, 30);
        EXPECT_EQ(box.model.frameIndex, 1);
    }
    {
        const Md2ReadResult assault = readMd2(load("ufoai-data/models/weapons/assault/assault.md2"), kMd2ImportFrame);
        ASSERT_TRUE(assault.ok) << assault.message;
        EXPECT_EQ(assault.model.header.numFrames, 1);
        EXPECT_EQ(assault.model.frameIndex, 0);
        EXPECT_NE(assault.model.header.numTexCoords, assault.model.header.numVertices);
        EXPECT_EQ(assault.model.badNormalIndexCount, 0u);
    }
}

}  // namespace
