// Tests of the MD2 reader: decoding, frame choice, normal indices and hostile headers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "allocation_tracker.h"
#include "model_builders.h"
#include "modelformat/md2_normals.h"
#include "modelformat/md2_reader.h"

namespace {

using namespace modelformat;
using namespace testmodels;

TEST(Md2Decoding, VertexAndTextureCoordinateExamples) {
    Md2Build build = makeMd2Build(1, 3);
    build.frames[0].scale = {0.5f, 0.5f, 0.5f};
    build.frames[0].translate = {10.0f, 20.0f, 30.0f};
    build.frames[0].vertices[0] = Md2PackedVertex{{1, 2, 3}, 0};
    build.texCoords[0] = Md2TexCoord{64, 32};
    build.skinWidth = 256;
    build.skinHeight = 128;
    const Md2ReadResult result = readMd2(buildMd2(build), kMd2ImportFrame);
    ASSERT_TRUE(result.ok) << result.message;
    const Md2Model& model = result.model;

    // X = 1 x 0.5 + 10, Y = 2 x 0.5 + 20, Z = 3 x 0.5 + 30; position = (4X, 4Z, -4Y).
    EXPECT_EQ(model.positions[0].x, 42.0f);
    EXPECT_EQ(model.positions[0].y, 126.0f);
    EXPECT_EQ(model.positions[0].z, -84.0f);
    // The normal is the table entry as stored, not turned like the position.
    EXPECT_EQ(model.normals[0].x, -0.525731f);
    EXPECT_EQ(model.normals[0].y, 0.0f);
    EXPECT_EQ(model.normals[0].z, 0.850651f);
    EXPECT_EQ(model.textureCoordinates[0].u, 0.25f);
    EXPECT_EQ(model.textureCoordinates[0].v, 0.75f);
    EXPECT_EQ(model.texCoords[0].s, 64);
    EXPECT_EQ(model.frame.name, "stand1");
    EXPECT_EQ(model.badNormalIndexCount, 0u);
}

TEST(Md2Decoding, KeepsTrianglesAndTextureCoordinatesAsStored) {
    const Md2Build build = makeMd2Build(2, 5);  // 6 texture coordinates for 5 vertices
    const Md2ReadResult result = readMd2(buildMd2(build), 0);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(result.model.texCoords.size(), 6u);
    ASSERT_EQ(result.model.triangles.size(), build.triangles.size());
    for (size_t i = 0; i < build.triangles.size(); ++i) {
        EXPECT_EQ(result.model.triangles[i].vertexIndices, build.triangles[i].vertexIndices);
        EXPECT_EQ(result.model.triangles[i].texCoordIndices, build.triangles[i].texCoordIndices);
    }
    for (size_t i = 0; i < build.texCoords.size(); ++i) {
        EXPECT_EQ(result.model.texCoords[i].t, build.texCoords[i].t);
        EXPECT_FLOAT_EQ(result.model.textureCoordinates[i].v, 1.0f - static_cast<float>(build.texCoords[i].t) / 128.0f);
    }
    ASSERT_EQ(result.model.frameVertices.size(), 5u);
    EXPECT_EQ(result.model.frameVertices[4].position, (std::array<uint8_t, 3>{4, 8, 251}));
    EXPECT_EQ(result.model.header.numFrames, 2);
}

struct FrameChoice {
    int32_t frameCount;
    int32_t requested;
    int32_t expected;
};

class Md2FrameChoice : public ::testing::TestWithParam<FrameChoice> {};

TEST_P(Md2FrameChoice, LowersTheRequestToTheLastFrame) {
    const FrameChoice& choice = GetParam();
    const Md2ReadResult result = readMd2(buildMd2(makeMd2Build(choice.frameCount, 3)), choice.requested);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.model.frameIndex, choice.expected);
    // Frame f is translated by f along the file's X, which becomes 4f along X.
    EXPECT_EQ(result.model.frame.translate.x, static_cast<float>(choice.expected));
    EXPECT_EQ(result.model.positions[1].x, 4.0f * (0.5f + static_cast<float>(choice.expected)));
    EXPECT_EQ(result.model.frame.name, "stand" + std::to_string(choice.expected + 1));
}

INSTANTIATE_TEST_SUITE_P(Frames, Md2FrameChoice,
                         ::testing::Values(FrameChoice{1, kMd2ImportFrame, 0}, FrameChoice{2, kMd2ImportFrame, 1},
                                           FrameChoice{198, kMd2ImportFrame, 1}, FrameChoice{2, 0, 0},
                                           FrameChoice{5, 500, 4}, FrameChoice{3, -7, 0}));

TEST(Md2Decoding, EveryFrameDecodesAsTheOneFrameReaderDecodesIt) {
    Md2Build build = makeMd2Build(4, 5);
    build.skinCount = 2;
    build.frames[2].vertices[3].normalIndex = 200;
    const std::vector<uint8_t> bytes = buildMd2(build);
    const Md2ReadResult all = readMd2AllFrames(bytes);
    ASSERT_TRUE(all.ok) << all.message;
    EXPECT_EQ(all.model.skinNames, (std::vector<std::string>{"models/test/skin0.pcx", "models/test/skin1.pcx"}));
    ASSERT_EQ(all.model.allFrames.size(), 4u);
    EXPECT_EQ(all.model.frameIndex, 0);
    EXPECT_EQ(all.model.badNormalIndexCount, 1u);
    for (int32_t f = 0; f < 4; ++f) {
        const Md2ReadResult one = readMd2(bytes, f);
        ASSERT_TRUE(one.ok) << one.message;
        EXPECT_EQ(one.model.skinNames, all.model.skinNames);
        const Md2DecodedFrame& frame = all.model.allFrames[static_cast<size_t>(f)];
        EXPECT_EQ(frame.header.name, "stand" + std::to_string(f + 1));
        EXPECT_EQ(frame.header.translate.x, static_cast<float>(f));
        ASSERT_EQ(frame.positions.size(), 5u);
        for (size_t v = 0; v < 5; ++v) {
            EXPECT_EQ(frame.positions[v].x, one.model.positions[v].x) << f << " " << v;
            EXPECT_EQ(frame.positions[v].y, one.model.positions[v].y) << f << " " << v;
            EXPECT_EQ(frame.positions[v].z, one.model.positions[v].z) << f << " " << v;
            EXPECT_EQ(frame.normals[v].x, one.model.normals[v].x) << f << " " << v;
            EXPECT_EQ(frame.normals[v].z, one.model.normals[v].z) << f << " " << v;
        }
    }
    EXPECT_EQ(all.model.positions[4].x, all.model.allFrames[0].positions[4].x);
    EXPECT_TRUE(readMd2(bytes, 0).model.allFrames.empty()) << "only asked for, every frame is decoded";
}

TEST(Md2Decoding, NormalIndicesPastTheTableReadAsUp) {
    Md2Build build = makeMd2Build(1, 4);
    build.frames[0].vertices[0].normalIndex = 161;
    build.frames[0].vertices[1].normalIndex = 162;
    build.frames[0].vertices[2].normalIndex = 255;
    build.frames[0].vertices[3].normalIndex = 84;  // straight down
    const Md2ReadResult result = readMd2(buildMd2(build), 0);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.model.normals[0].x, kMd2Normals[161].x);
    EXPECT_EQ(result.model.normals[0].z, kMd2Normals[161].z);
    for (size_t i : {1u, 2u}) {
        EXPECT_EQ(result.model.normals[i].x, 0.0f);
        EXPECT_EQ(result.model.normals[i].y, 0.0f);
        EXPECT_EQ(result.model.normals[i].z, 1.0f);
    }
    EXPECT_EQ(result.model.normals[3].z, -1.0f);
    EXPECT_EQ(result.model.badNormalIndexCount, 2u);
    EXPECT_EQ(result.model.frameVertices[2].normalIndex, 255);
}

TEST(Md2Decoding, AModelWithoutVerticesNeedsNoFrames) {
    Md2Build build = makeMd2Build(0, 0);
    build.texCoords.clear();
    const Md2ReadResult result = readMd2(buildMd2(build), kMd2ImportFrame);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.model.frameIndex, -1);
    EXPECT_TRUE(result.model.positions.empty());
}

// Where a refusal must be reported, found in the undamaged file.
using ExpectedOffset = std::function<size_t(const std::vector<uint8_t>&)>;

struct HostileMd2 {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    ReadError expected;
    ExpectedOffset at;
};

void setField(std::vector<uint8_t>& b, int field, int32_t value) { patchInt32(b, md2HeaderField(field), value); }
int32_t field(const std::vector<uint8_t>& b, int index) { return peekInt32(b, md2HeaderField(index)); }

ExpectedOffset fixed(size_t at) {
    return [at](const std::vector<uint8_t>&) { return at; };
}
ExpectedOffset header(int index) { return fixed(md2HeaderField(index)); }
ExpectedOffset inTriangles(size_t at) {
    return [at](const std::vector<uint8_t>& b) { return static_cast<size_t>(field(b, kFieldOfsTriangles)) + at; };
}

const HostileMd2 kHostileMd2[] = {
    {"EmptyFile", [](auto& b) { b.clear(); }, ReadError::Truncated, fixed(0)},
    {"ShorterThanHeader", [](auto& b) { b.resize(kMd2HeaderSize - 1); }, ReadError::Truncated,
     fixed(kMd2HeaderSize - 1)},
    {"WrongMagic", [](auto& b) { b[0] = 'J'; }, ReadError::BadMagic, fixed(0)},
    {"NegativeSkinCount", [](auto& b) { setField(b, kFieldNumSkins, -1); }, ReadError::NegativeCount,
     header(kFieldNumSkins)},
    {"NegativeVertexCount", [](auto& b) { setField(b, kFieldNumVertices, -1); }, ReadError::NegativeCount,
     header(kFieldNumVertices)},
    {"NegativeTexCoordCount", [](auto& b) { setField(b, kFieldNumTexCoords, INT32_MIN); }, ReadError::NegativeCount,
     header(kFieldNumTexCoords)},
    {"NegativeTriangleCount", [](auto& b) { setField(b, kFieldNumTriangles, -3); }, ReadError::NegativeCount,
     header(kFieldNumTriangles)},
    {"NegativeGlCommandCount", [](auto& b) { setField(b, kFieldNumGlCommands, -1); }, ReadError::NegativeCount,
     header(kFieldNumGlCommands)},
    {"NegativeFrameCount", [](auto& b) { setField(b, kFieldNumFrames, -1); }, ReadError::NegativeCount,
     header(kFieldNumFrames)},
    {"ZeroSkinWidth", [](auto& b) { setField(b, kFieldSkinWidth, 0); }, ReadError::BadSkinSize,
     header(kFieldSkinWidth)},
    {"NegativeSkinHeight", [](auto& b) { setField(b, kFieldSkinHeight, -128); }, ReadError::BadSkinSize,
     header(kFieldSkinHeight)},
    {"FrameSizeOverTheBuffer", [](auto& b) { setField(b, kFieldFrameSize, kMd2MaxFrameSize + 1); },
     ReadError::BadFrameSize, header(kFieldFrameSize)},
    {"FrameSizeTooSmallForVertices", [](auto& b) { setField(b, kFieldFrameSize, field(b, kFieldFrameSize) - 1); },
     ReadError::BadFrameSize, header(kFieldFrameSize)},
    {"MoreVerticesThanAFrameHolds", [](auto& b) { setField(b, kFieldNumVertices, 2049); }, ReadError::BadFrameSize,
     header(kFieldFrameSize)},
    {"HugeVertexCount", [](auto& b) { setField(b, kFieldNumVertices, 2000000000); }, ReadError::BadFrameSize,
     header(kFieldFrameSize)},
    {"VerticesWithoutFrames", [](auto& b) { setField(b, kFieldNumFrames, 0); }, ReadError::MissingFrames,
     header(kFieldNumFrames)},
    {"EndPastTheFile", [](auto& b) { setField(b, kFieldOfsEnd, static_cast<int32_t>(b.size()) + 1); },
     ReadError::Truncated, header(kFieldOfsEnd)},
    {"HugeTriangleCount", [](auto& b) { setField(b, kFieldNumTriangles, 2000000000); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsTriangles)},
    // 2^30 triangles x 12 bytes is 3 x 2^32: zero bytes to a reader that multiplies in 32 bits.
    {"TriangleBlockSizeWrapsIn32Bits", [](auto& b) { setField(b, kFieldNumTriangles, 1 << 30); },
     ReadError::BlockOutOfBounds, header(kFieldOfsTriangles)},
    {"HugeFrameCount", [](auto& b) { setField(b, kFieldNumFrames, 2000000000); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsFrames)},
    {"HugeTexCoordCount", [](auto& b) { setField(b, kFieldNumTexCoords, 1000000); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsTexCoords)},
    // GL commands are never read, but a file that says they run past its end is cut short, as is
    // one whose skin names do.
    {"SkinsPastTheEnd", [](auto& b) { setField(b, kFieldNumSkins, 100); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsSkins)},
    {"GlCommandsPastTheEnd", [](auto& b) { setField(b, kFieldOfsGlCommands, static_cast<int32_t>(b.size()) - 4); },
     ReadError::BlockOutOfBounds, header(kFieldOfsGlCommands)},
    {"FramesOffsetNegative", [](auto& b) { setField(b, kFieldOfsFrames, -40); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsFrames)},
    {"TexCoordsOffsetWraps", [](auto& b) { setField(b, kFieldOfsTexCoords, INT32_MAX); }, ReadError::BlockOutOfBounds,
     header(kFieldOfsTexCoords)},
    {"TrianglesInsideHeader", [](auto& b) { setField(b, kFieldOfsTriangles, 8); }, ReadError::BlockOverlapsHeader,
     header(kFieldOfsTriangles)},
    {"TriangleVertexIndexTooLarge",
     [](auto& b) {
         patchInt32(b, static_cast<size_t>(field(b, kFieldOfsTriangles)) + 4, 0x00000005);
     },  // vertices 2: 5, 0
     ReadError::IndexOutOfRange, inTriangles(4)},
    {"TriangleVertexIndexNegative",
     [](auto& b) { b[static_cast<size_t>(field(b, kFieldOfsTriangles)) + 1] = 0xFF; },  // vertex 0 becomes -256
     ReadError::IndexOutOfRange, inTriangles(0)},
    {"TriangleTexCoordIndexTooLarge",
     [](auto& b) { b[static_cast<size_t>(field(b, kFieldOfsTriangles)) + 12 + 10] = 6; },  // 6 texcoords: 0..5
     ReadError::IndexOutOfRange, inTriangles(12 + 10)},
};

class Md2Hostile : public ::testing::TestWithParam<HostileMd2> {};

TEST_P(Md2Hostile, IsRefusedBeforeAllocatingForIt) {
    std::vector<uint8_t> bytes = buildMd2(makeMd2Build(2, 5));
    ASSERT_TRUE(readMd2(bytes, 1).ok);
    const size_t expectedOffset = GetParam().at(bytes);
    GetParam().damage(bytes);
    const std::function<Md2ReadResult()> readers[] = {[&bytes] { return readMd2(bytes, 1); },
                                                      [&bytes] { return readMd2AllFrames(bytes); }};
    for (const auto& read : readers) {
        LargestAllocation allocation;
        const Md2ReadResult result = read();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, GetParam().expected) << readErrorName(result.error) << ": " << result.message;
        EXPECT_EQ(result.offset, expectedOffset) << result.message;
        EXPECT_FALSE(result.message.empty());
        EXPECT_TRUE(result.model.positions.empty() && result.model.triangles.empty() &&
                    result.model.texCoords.empty() && result.model.allFrames.empty());
        EXPECT_LT(allocation.bytes(), 16u * 1024u);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, Md2Hostile, ::testing::ValuesIn(kHostileMd2),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
