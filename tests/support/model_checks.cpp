// Consistency checks every model a reader accepts must pass, for the tests that read whole files.
#include "model_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace testmodels {

using namespace modelformat;

void expectConsistent(const Md3Model& m) {
    const Md3FileHeader& h = m.header;
    const size_t heldFrames = static_cast<size_t>(m.heldFrameCount());
    ASSERT_EQ(heldFrames, m.detail == Md3Detail::EveryFrame ? static_cast<size_t>(h.frameCount)
                                                            : static_cast<size_t>(std::min(h.frameCount, 1)));
    ASSERT_EQ(m.frames.size(), heldFrames);
    ASSERT_EQ(m.tags.size(), heldFrames * static_cast<size_t>(h.tagCount));
    ASSERT_EQ(m.surfaces.size(), static_cast<size_t>(h.surfaceCount));
    EXPECT_LE(static_cast<uint32_t>(h.endOffset), m.fileSize);
    for (const Md3Surface& s : m.surfaces) {
        ASSERT_GT(s.header.frameCount, 0);
        ASSERT_EQ(s.shaders.size(), static_cast<size_t>(s.header.shaderCount));
        const bool geometry = m.detail != Md3Detail::Headers;
        const size_t surfaceFrames =
            m.detail == Md3Detail::EveryFrame ? static_cast<size_t>(s.header.frameCount) : (geometry ? 1u : 0u);
        ASSERT_EQ(s.triangles.size(), geometry ? static_cast<size_t>(s.header.triangleCount) : 0u);
        ASSERT_EQ(s.texCoords.size(), geometry ? static_cast<size_t>(s.header.vertexCount) : 0u);
        ASSERT_EQ(s.vertices.size(), surfaceFrames * static_cast<size_t>(s.header.vertexCount));
        EXPECT_LE(s.fileOffset + static_cast<uint32_t>(s.header.endOffset), m.fileSize);
        EXPECT_LE(s.header.name.size(), kMd3SurfaceNameMaxLength);
        for (const Md3Triangle& t : s.triangles) {
            for (int32_t index : t.indices) {
                ASSERT_TRUE(index >= 0 && index < s.header.vertexCount);
            }
        }
    }
    for (const Md3TagRecord& tag : m.tags) {
        EXPECT_LE(tag.name.size(), kMd3MaxNameLength);
    }
}

void expectConsistent(const Md2Model& m) {
    const Md2Header& h = m.header;
    ASSERT_EQ(m.texCoords.size(), static_cast<size_t>(h.numTexCoords));
    ASSERT_EQ(m.textureCoordinates.size(), m.texCoords.size());
    ASSERT_EQ(m.triangles.size(), static_cast<size_t>(h.numTriangles));
    ASSERT_EQ(m.positions.size(), static_cast<size_t>(h.numVertices));
    ASSERT_EQ(m.normals.size(), m.positions.size());
    ASSERT_EQ(m.frameVertices.size(), m.positions.size());
    if (h.numFrames > 0) {
        ASSERT_TRUE(m.frameIndex >= 0 && m.frameIndex < h.numFrames);
    } else {
        ASSERT_EQ(m.frameIndex, -1);
    }
    for (const Md2Triangle& t : m.triangles) {
        for (int16_t index : t.vertexIndices) {
            ASSERT_TRUE(index >= 0 && index < h.numVertices);
        }
        for (int16_t index : t.texCoordIndices) {
            ASSERT_TRUE(index >= 0 && index < h.numTexCoords);
        }
    }
    for (const Md2Vec3& n : m.normals) {
        ASSERT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-4f);
    }
    EXPECT_LE(h.frameSize, kMd2MaxFrameSize);
}

}  // namespace testmodels
