// Tests of the MD3 reader: round trips in every block order, name rules, normals, hostile headers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "allocation_tracker.h"
#include "model_builders.h"
#include "modelformat/md3_reader.h"

namespace {

using namespace modelformat;
using namespace testmodels;

class Md3BlockOrder : public ::testing::TestWithParam<SurfaceBlockOrder> {};

TEST_P(Md3BlockOrder, ReadsBackEveryRecordThroughItsOffset) {
    const std::vector<uint8_t> bytes = buildMd3(makeMd3Model(3, 2, 2), GetParam());
    const Md3ReadResult result = readMd3(bytes);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.error, ReadError::None);
    EXPECT_EQ(result.model.fileSize, bytes.size());
    // Every field holds a distinct value, so writing the model read back gives the same bytes
    // only if each record and field was read from its own place.
    EXPECT_EQ(buildMd3(result.model, GetParam()), bytes);

    // Tags are frame-major: tag 1 of frame 2 is the sixth record.
    EXPECT_EQ(result.model.tag(2, 1).origin.x, 21.0f);
    EXPECT_EQ(result.model.tag(2, 1).name, "tag_1");
    // Per-frame vertices: frame 2 of surface 1 starts at record 2 x vertexCount.
    const Md3Surface& surface = result.model.surfaces[1];
    EXPECT_EQ(surface.frameVertices(2), &surface.vertices[8]);
    EXPECT_EQ(surface.frameVertices(2)->y, -64);
    EXPECT_EQ(surface.fileOffset,
              result.model.surfaces[0].fileOffset + static_cast<size_t>(result.model.surfaces[0].header.endOffset));
}

INSTANTIATE_TEST_SUITE_P(Layouts, Md3BlockOrder,
                         ::testing::Values(SurfaceBlockOrder::ShadersFirst, SurfaceBlockOrder::TrianglesFirst,
                                           SurfaceBlockOrder::VerticesFirst),
                         [](const auto& test) {
                             switch (test.param) {
                             case SurfaceBlockOrder::ShadersFirst:
                                 return std::string("ShadersFirst");
                             case SurfaceBlockOrder::TrianglesFirst:
                                 return std::string("TrianglesFirst");
                             case SurfaceBlockOrder::VerticesFirst:
                                 return std::string("VerticesFirst");
                             }
                             return std::string("Unknown");
                         });

// The first frame's records and the headers, read on their own, are those of the full read.
TEST_P(Md3BlockOrder, LesserDetailKeepsTheFullReadsFirstFrame) {
    const std::vector<uint8_t> bytes = buildMd3(makeMd3Model(3, 2, 2), GetParam());
    const Md3ReadResult full = readMd3(bytes);
    ASSERT_TRUE(full.ok) << full.message;
    for (Md3Detail detail : {Md3Detail::FirstFrame, Md3Detail::Headers}) {
        SCOPED_TRACE("detail " + std::to_string(static_cast<int>(detail)));
        const Md3ReadResult read = readMd3(bytes, detail);
        ASSERT_TRUE(read.ok) << read.message;
        const Md3Model& model = read.model;
        EXPECT_EQ(model.detail, detail);
        ASSERT_EQ(model.heldFrameCount(), 1);
        EXPECT_EQ(model.header.frameCount, 3);
        ASSERT_EQ(model.frames.size(), 1u);
        EXPECT_EQ(model.frames[0].name, full.model.frames[0].name);
        EXPECT_EQ(model.frames[0].maxCorner.x, full.model.frames[0].maxCorner.x);
        ASSERT_EQ(model.tags.size(), 2u);
        for (int32_t t = 0; t < 2; ++t) {
            EXPECT_EQ(model.tag(0, t).name, full.model.tag(0, t).name);
            EXPECT_EQ(model.tag(0, t).origin.x, full.model.tag(0, t).origin.x);
            EXPECT_EQ(model.tag(0, t).axes[2].z, full.model.tag(0, t).axes[2].z);
        }
        ASSERT_EQ(model.surfaces.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            const Md3Surface& surface = model.surfaces[i];
            const Md3Surface& expected = full.model.surfaces[i];
            EXPECT_EQ(surface.fileOffset, expected.fileOffset);
            EXPECT_EQ(surface.header.name, expected.header.name);
            EXPECT_EQ(surface.header.verticesOffset, expected.header.verticesOffset);
            ASSERT_EQ(surface.shaders.size(), expected.shaders.size());
            EXPECT_EQ(surface.shaders[1].name, expected.shaders[1].name);
            EXPECT_EQ(surface.shaders[1].shaderIndex, expected.shaders[1].shaderIndex);
            if (detail == Md3Detail::Headers) {
                EXPECT_TRUE(surface.triangles.empty() && surface.texCoords.empty() && surface.vertices.empty());
                continue;
            }
            ASSERT_EQ(surface.triangles.size(), expected.triangles.size());
            EXPECT_EQ(surface.triangles[1].indices, expected.triangles[1].indices);
            ASSERT_EQ(surface.texCoords.size(), expected.texCoords.size());
            EXPECT_EQ(surface.texCoords[3].s, expected.texCoords[3].s);
            ASSERT_EQ(surface.vertices.size(), 4u);
            for (size_t v = 0; v < 4; ++v) {
                EXPECT_EQ(surface.vertices[v].x, expected.vertices[v].x);
                EXPECT_EQ(surface.vertices[v].z, expected.vertices[v].z);
                EXPECT_EQ(surface.vertices[v].normalAzimuth, expected.vertices[v].normalAzimuth);
            }
        }
    }
}

// A read of the headers does not stop at a triangle index, so it goes on to what lies beyond.
TEST(Md3Reader, HeadersReadGoesPastTriangleIndices) {
    std::vector<uint8_t> bytes = buildMd3(makeMd3Model(1, 0, 2), SurfaceBlockOrder::ShadersFirst);
    const Md3Model sound = readMd3(bytes).model;
    const size_t firstTriangle =
        sound.surfaces[0].fileOffset + static_cast<size_t>(sound.surfaces[0].header.trianglesOffset);
    patchInt32(bytes, firstTriangle, 99);
    bytes[sound.surfaces[1].fileOffset] = 'X';

    const Md3ReadResult full = readMd3(bytes);
    EXPECT_EQ(full.error, ReadError::IndexOutOfRange);
    EXPECT_EQ(full.offset, firstTriangle);
    EXPECT_EQ(full.failedSurface, 0);
    const Md3ReadResult headers = readMd3(bytes, Md3Detail::Headers);
    EXPECT_EQ(headers.error, ReadError::BadMagic);
    EXPECT_EQ(headers.offset, sound.surfaces[1].fileOffset);
    EXPECT_EQ(headers.failedSurface, 1);
}

// What a first-frame read allocates does not grow with the frames the file holds.
TEST(Md3Reader, FirstFrameReadsDoNotGrowWithTheFrames) {
    const auto largestAllocation = [](int32_t frameCount, Md3Detail detail) {
        Md3Model model = makeMd3Model(frameCount, 2, 2);
        for (Md3Surface& surface : model.surfaces) {
            surface.header.vertexCount = 40;
            surface.texCoords.resize(40);
            surface.vertices.resize(static_cast<size_t>(frameCount) * 40);
        }
        const std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::ShadersFirst);
        LargestAllocation allocation;
        EXPECT_TRUE(readMd3(bytes, detail).ok);
        return allocation.bytes();
    };
    EXPECT_EQ(largestAllocation(400, Md3Detail::FirstFrame), largestAllocation(2, Md3Detail::FirstFrame));
    EXPECT_EQ(largestAllocation(400, Md3Detail::Headers), largestAllocation(2, Md3Detail::Headers));
    EXPECT_GE(largestAllocation(400, Md3Detail::EveryFrame), 400u * 40u * 8u);  // all the vertices
}

TEST(Md3Reader, AcceptsUnusualButSoundFiles) {
    // No frames, tags or surfaces at all.
    {
        const Md3ReadResult result = readMd3(buildMd3(makeMd3Model(0, 0, 0), SurfaceBlockOrder::ShadersFirst));
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(result.model.frames.empty() && result.model.tags.empty() && result.model.surfaces.empty());
    }
    // A surface with fewer frames than the file, and bytes after the end offset.
    {
        Md3Model model = makeMd3Model(3, 1, 1);
        model.surfaces[0].header.frameCount = 1;
        model.surfaces[0].vertices.resize(4);
        std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::TrianglesFirst);
        bytes.insert(bytes.end(), 13, 0xEE);
        const Md3ReadResult result = readMd3(bytes);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.model.header.frameCount, 3);
        EXPECT_EQ(result.model.surfaces[0].header.frameCount, 1);
        EXPECT_EQ(result.model.surfaces[0].vertices.size(), 4u);
        EXPECT_EQ(result.model.fileSize, bytes.size());
    }
    // Empty blocks may carry any offset inside the file, even zero.
    {
        Md3Model model = makeMd3Model(1, 0, 1);
        model.surfaces[0].shaders.clear();
        model.surfaces[0].triangles.clear();
        std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::ShadersFirst);
        const size_t surface = kMd3HeaderSize + kMd3FrameSize;
        patchInt32(bytes, surface + kSurfAtShadersOffset, 0);
        patchInt32(bytes, surface + kSurfAtTrianglesOffset, 0);
        patchInt32(bytes, kMd3AtTagsOffset, 0);
        const Md3ReadResult result = readMd3(bytes);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(result.model.surfaces[0].shaders.empty());
    }
}

// Writes a raw tag-name field into the first tag of a one-frame, one-tag file and reads it back.
std::string tagNameRead(const std::vector<uint8_t>& field) {
    std::vector<uint8_t> bytes = buildMd3(makeMd3Model(1, 1, 0), SurfaceBlockOrder::ShadersFirst);
    const size_t tagAt = kMd3HeaderSize + kMd3FrameSize;
    std::copy(field.begin(), field.end(), bytes.begin() + static_cast<std::ptrdiff_t>(tagAt));
    const Md3ReadResult result = readMd3(bytes);
    EXPECT_TRUE(result.ok) << result.message;
    return result.ok ? result.model.tags[0].name : std::string("<refused>");
}

std::vector<uint8_t> field(const std::string& text, size_t width, uint8_t fill = 0) {
    std::vector<uint8_t> bytes(width, fill);
    std::copy(text.begin(), text.end(), bytes.begin());
    return bytes;
}

TEST(Md3Names, TagNamesFollowTheZeroAndTheLegacyRule) {
    EXPECT_EQ(tagNameRead(field("tag_weapon", 64)), "tag_weapon");
    // Earlier versions of this exporter: 12 characters, no zero, then "unknown" and a zero.
    std::vector<uint8_t> legacy = field("tag_torso_01unknown", 64, 'x');
    legacy[19] = 0;
    EXPECT_EQ(tagNameRead(legacy), "tag_torso_01");
    // A zero inside the first 12 bytes means an ordinary name, whatever follows.
    std::vector<uint8_t> shortName = field("tag_a", 64, 0);
    std::memcpy(shortName.data() + 12, "unknown", 8);
    EXPECT_EQ(tagNameRead(shortName), "tag_a");
    // "unknown" not followed by a zero is part of the name.
    std::vector<uint8_t> longName = field("tag_torso_01unknownX", 64);
    EXPECT_EQ(tagNameRead(longName), "tag_torso_01unknownX");
    // 64 bytes without a zero: the last byte counts as the terminator.
    EXPECT_EQ(tagNameRead(field("", 64, 'q')), std::string(63, 'q'));
}

TEST(Md3Names, SurfaceShaderAndModelNamesUseTheirWholeFields) {
    Md3Model model = makeMd3Model(1, 0, 1);
    model.header.modelName = std::string(68, 'm');
    model.surfaces[0].header.name = std::string(68, 's');
    model.surfaces[0].shaders[0].name = std::string(68, 'h');  // takes the index word too
    model.surfaces[0].shaders[1].name = std::string(63, 'k');
    model.surfaces[0].shaders[1].shaderIndex = 0x01020304;
    const Md3ReadResult result = readMd3(buildMd3(model, SurfaceBlockOrder::ShadersFirst));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.model.header.modelName, std::string(68, 'm'));
    EXPECT_EQ(result.model.surfaces[0].header.name, std::string(65, 's'));  // the 66th byte ends it
    EXPECT_EQ(result.model.surfaces[0].shaders[0].name, std::string(68, 'h'));
    EXPECT_EQ(result.model.surfaces[0].shaders[0].shaderIndex, 0x68686868);  // the name's last 4 bytes
    EXPECT_EQ(result.model.surfaces[0].shaders[1].name, std::string(63, 'k'));
    EXPECT_EQ(result.model.surfaces[0].shaders[1].shaderIndex, 0x01020304);
}

TEST(Md3Normals, DecodeAsTheGameDoes) {
    const auto near = [](const Md3Vec3& n, float x, float y, float z) {
        return std::fabs(n.x - x) < 1e-6f && std::fabs(n.y - y) < 1e-6f && std::fabs(n.z - z) < 1e-6f;
    };
    EXPECT_TRUE(near(decodeMd3Normal(0, 0), 0, 0, 1));  // polar 0: up, whatever the azimuth
    EXPECT_TRUE(near(decodeMd3Normal(0, 77), 0, 0, 1));
    EXPECT_TRUE(near(decodeMd3Normal(64, 0), 1, 0, 0));   // a quarter turn from +Z toward +X
    EXPECT_TRUE(near(decodeMd3Normal(64, 64), 0, 1, 0));  // then a quarter turn about +Z
    EXPECT_TRUE(near(decodeMd3Normal(64, 128), -1, 0, 0));
    EXPECT_TRUE(near(decodeMd3Normal(128, 0), 0, 0, -1));
    const Md3Vec3 n = decodeMd3Normal(32, 32);  // 45 degrees from +Z, 45 degrees about it
    EXPECT_TRUE(near(n, 0.5f, 0.5f, std::sqrt(0.5f)));
    for (int polar = 0; polar < 256; ++polar) {
        for (int azimuth = 0; azimuth < 256; azimuth += 5) {
            const Md3Vec3 v = decodeMd3Normal(static_cast<uint8_t>(polar), static_cast<uint8_t>(azimuth));
            ASSERT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-5f);
        }
    }
}

// Where a refusal must be reported, found in the undamaged file.
using ExpectedOffset = std::function<size_t(const std::vector<uint8_t>&)>;

// A damaged two-surface file, the refusal it must earn and the byte it must name.
struct HostileMd3 {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    ReadError expected;
    ExpectedOffset at;
};

// Start of surface `index` in the file built by hostileBase().
size_t surfaceAt(const std::vector<uint8_t>& bytes, int index) {
    size_t at = static_cast<size_t>(peekInt32(bytes, kMd3AtSurfacesOffset));
    for (int i = 0; i < index; ++i) {
        at += static_cast<size_t>(peekInt32(bytes, at + kSurfAtEndOffset));
    }
    return at;
}

std::vector<uint8_t> hostileBase() { return buildMd3(makeMd3Model(2, 2, 2), SurfaceBlockOrder::TrianglesFirst); }

void setHeader(std::vector<uint8_t>& b, size_t at, int32_t value) { patchInt32(b, at, value); }
void setSurface(std::vector<uint8_t>& b, int surface, size_t at, int32_t value) {
    patchInt32(b, surfaceAt(b, surface) + at, value);
}

constexpr int32_t kHuge = 2000000000;

ExpectedOffset fixed(size_t at) {
    return [at](const std::vector<uint8_t>&) { return at; };
}
ExpectedOffset inSurface(int surface, size_t at) {
    return [surface, at](const std::vector<uint8_t>& b) { return surfaceAt(b, surface) + at; };
}

const HostileMd3 kHostileMd3[] = {
    {"ShorterThanHeader", [](auto& b) { b.resize(kMd3HeaderSize - 1); }, ReadError::Truncated,
     fixed(kMd3HeaderSize - 1)},
    {"EmptyFile", [](auto& b) { b.clear(); }, ReadError::Truncated, fixed(0)},
    {"WrongMagic", [](auto& b) { b[3] = '2'; }, ReadError::BadMagic, fixed(0)},
    {"Version14", [](auto& b) { setHeader(b, kMd3AtVersion, 14); }, ReadError::BadVersion, fixed(kMd3AtVersion)},
    {"NegativeFrameCount", [](auto& b) { setHeader(b, kMd3AtFrameCount, -1); }, ReadError::NegativeCount,
     fixed(kMd3AtFrameCount)},
    {"NegativeTagCount", [](auto& b) { setHeader(b, kMd3AtTagCount, -2); }, ReadError::NegativeCount,
     fixed(kMd3AtTagCount)},
    {"NegativeSurfaceCount", [](auto& b) { setHeader(b, kMd3AtSurfaceCount, INT32_MIN); }, ReadError::NegativeCount,
     fixed(kMd3AtSurfaceCount)},
    {"NegativeSkinCount", [](auto& b) { setHeader(b, kMd3AtSkinCount, -1); }, ReadError::NegativeCount,
     fixed(kMd3AtSkinCount)},
    {"HugeFrameCount", [](auto& b) { setHeader(b, kMd3AtFrameCount, kHuge); }, ReadError::BlockOutOfBounds,
     fixed(kMd3AtFramesOffset)},
    {"HugeTagCount", [](auto& b) { setHeader(b, kMd3AtTagCount, kHuge); }, ReadError::BlockOutOfBounds,
     fixed(kMd3AtTagsOffset)},
    // 2 frames x 2^27 tags x 112 bytes is 7 x 2^32: zero bytes to a reader that multiplies in 32 bits.
    {"TagBlockSizeWrapsIn32Bits", [](auto& b) { setHeader(b, kMd3AtTagCount, 134217728); }, ReadError::BlockOutOfBounds,
     fixed(kMd3AtTagsOffset)},
    {"HugeSurfaceCount", [](auto& b) { setHeader(b, kMd3AtSurfaceCount, kHuge); }, ReadError::BlockOutOfBounds,
     fixed(kMd3AtSurfacesOffset)},
    {"FramesPastTheEnd", [](auto& b) { setHeader(b, kMd3AtFramesOffset, static_cast<int32_t>(b.size())); },
     ReadError::BlockOutOfBounds, fixed(kMd3AtFramesOffset)},
    {"FramesOffsetNegative", [](auto& b) { setHeader(b, kMd3AtFramesOffset, -56); }, ReadError::BlockOutOfBounds,
     fixed(kMd3AtFramesOffset)},
    {"TagsInsideHeader", [](auto& b) { setHeader(b, kMd3AtTagsOffset, 0); }, ReadError::BlockOverlapsHeader,
     fixed(kMd3AtTagsOffset)},
    {"FramesInsideHeader", [](auto& b) { setHeader(b, kMd3AtFramesOffset, 100); }, ReadError::BlockOverlapsHeader,
     fixed(kMd3AtFramesOffset)},
    {"FramesAfterAGap", [](auto& b) { setHeader(b, kMd3AtFramesOffset, 112); }, ReadError::BadFramesOffset,
     fixed(kMd3AtFramesOffset)},
    {"EndBeforeSurfaces", [](auto& b) { setHeader(b, kMd3AtEndOffset, peekInt32(b, kMd3AtSurfacesOffset) - 1); },
     ReadError::BadEndOffset, fixed(kMd3AtEndOffset)},
    {"EndBeforeTags", [](auto& b) { setHeader(b, kMd3AtEndOffset, 200); }, ReadError::BadEndOffset,
     fixed(kMd3AtEndOffset)},
    {"SurfacesOffsetWraps", [](auto& b) { setHeader(b, kMd3AtSurfacesOffset, -1); }, ReadError::BadEndOffset,
     fixed(kMd3AtEndOffset)},
    {"EndPastTheFile", [](auto& b) { setHeader(b, kMd3AtEndOffset, static_cast<int32_t>(b.size()) + 1); },
     ReadError::Truncated, fixed(kMd3AtEndOffset)},
    {"SurfaceMagic", [](auto& b) { b[surfaceAt(b, 1)] = 'X'; }, ReadError::BadMagic, inSurface(1, 0)},
    {"SurfaceWithoutFrames", [](auto& b) { setSurface(b, 0, kSurfAtFrameCount, 0); }, ReadError::MissingFrames,
     inSurface(0, kSurfAtFrameCount)},
    {"SurfaceNegativeVertexCount", [](auto& b) { setSurface(b, 1, kSurfAtVertexCount, -4); }, ReadError::NegativeCount,
     inSurface(1, kSurfAtVertexCount)},
    {"SurfaceNegativeShaderCount", [](auto& b) { setSurface(b, 0, kSurfAtShaderCount, -1); }, ReadError::NegativeCount,
     inSurface(0, kSurfAtShaderCount)},
    {"SurfaceHugeVertexCount", [](auto& b) { setSurface(b, 0, kSurfAtVertexCount, kHuge); },
     ReadError::BlockOutOfBounds, inSurface(0, kSurfAtTexCoordsOffset)},
    {"SurfaceHugeTriangleCount", [](auto& b) { setSurface(b, 1, kSurfAtTriangleCount, kHuge); },
     ReadError::BlockOutOfBounds, inSurface(1, kSurfAtTrianglesOffset)},
    {"SurfaceHugeFrameCount", [](auto& b) { setSurface(b, 0, kSurfAtFrameCount, kHuge); }, ReadError::BlockOutOfBounds,
     inSurface(0, kSurfAtVerticesOffset)},
    // The vertex block holds 2 frames; claiming 3 needs bytes past the surface's end.
    {"VertexBlockSmallerThanFrames", [](auto& b) { setSurface(b, 0, kSurfAtFrameCount, 3); },
     ReadError::BlockOutOfBounds, inSurface(0, kSurfAtVerticesOffset)},
    {"VerticesOffsetWraps", [](auto& b) { setSurface(b, 0, kSurfAtVerticesOffset, INT32_MAX - 4); },
     ReadError::BlockOutOfBounds, inSurface(0, kSurfAtVerticesOffset)},
    {"VerticesOffsetNegative", [](auto& b) { setSurface(b, 1, kSurfAtVerticesOffset, -8); },
     ReadError::BlockOutOfBounds, inSurface(1, kSurfAtVerticesOffset)},
    {"ShadersInsideSurfaceHeader", [](auto& b) { setSurface(b, 0, kSurfAtShadersOffset, 40); },
     ReadError::BlockOverlapsHeader, inSurface(0, kSurfAtShadersOffset)},
    {"SurfaceEndZero", [](auto& b) { setSurface(b, 0, kSurfAtEndOffset, 0); }, ReadError::BadEndOffset,
     inSurface(0, kSurfAtEndOffset)},
    {"SurfaceEndInsideHeader", [](auto& b) { setSurface(b, 1, kSurfAtEndOffset, 107); }, ReadError::BadEndOffset,
     inSurface(1, kSurfAtEndOffset)},
    {"SurfaceEndPastTheFile", [](auto& b) { setSurface(b, 1, kSurfAtEndOffset, 100000); }, ReadError::BlockOutOfBounds,
     inSurface(1, kSurfAtEndOffset)},
    {"SurfaceEndCutsItsBlocks", [](auto& b) { setSurface(b, 1, kSurfAtEndOffset, 120); }, ReadError::BlockOutOfBounds,
     inSurface(1, kSurfAtShadersOffset)},
    {"ThirdSurfacePastTheEnd", [](auto& b) { setHeader(b, kMd3AtSurfaceCount, 3); }, ReadError::BlockOutOfBounds,
     [](const auto& b) { return b.size(); }},
    {"TriangleIndexEqualsVertexCount", [](auto& b) { patchInt32(b, surfaceAt(b, 0) + kMd3SurfaceHeaderSize + 4, 4); },
     ReadError::IndexOutOfRange, inSurface(0, kMd3SurfaceHeaderSize + 4)},
    {"TriangleIndexNegative", [](auto& b) { patchInt32(b, surfaceAt(b, 1) + kMd3SurfaceHeaderSize + 20, -1); },
     ReadError::IndexOutOfRange, inSurface(1, kMd3SurfaceHeaderSize + 20)},
};

class Md3Hostile : public ::testing::TestWithParam<HostileMd3> {};

TEST_P(Md3Hostile, IsRefusedBeforeAllocatingForIt) {
    std::vector<uint8_t> bytes = hostileBase();
    ASSERT_TRUE(readMd3(bytes).ok);
    const size_t expectedOffset = GetParam().at(bytes);
    GetParam().damage(bytes);
    for (Md3Detail detail : {Md3Detail::EveryFrame, Md3Detail::FirstFrame, Md3Detail::Headers}) {
        SCOPED_TRACE("detail " + std::to_string(static_cast<int>(detail)));
        LargestAllocation allocation;
        const Md3ReadResult result = readMd3(bytes, detail);
        if (detail == Md3Detail::Headers && GetParam().expected == ReadError::IndexOutOfRange) {
            // Reading the headers only never looks at triangles.
            EXPECT_TRUE(result.ok) << result.message;
            continue;
        }
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, GetParam().expected) << readErrorName(result.error) << ": " << result.message;
        EXPECT_EQ(result.offset, expectedOffset) << result.message;
        EXPECT_FALSE(result.message.empty());
        if (result.failedSurface >= 0) {
            // A refused surface keeps the file's frames and tags and the surfaces before it.
            EXPECT_EQ(result.model.surfaces.size(), static_cast<size_t>(result.failedSurface));
            EXPECT_EQ(result.model.frames.size(), static_cast<size_t>(result.model.heldFrameCount()));
        } else {
            EXPECT_TRUE(result.model.surfaces.empty() && result.model.tags.empty() && result.model.frames.empty());
        }
        // The whole well-formed file is about 1.5 KiB; nothing may come near a claimed count.
        EXPECT_LT(allocation.bytes(), 16u * 1024u);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, Md3Hostile, ::testing::ValuesIn(kHostileMd3),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
