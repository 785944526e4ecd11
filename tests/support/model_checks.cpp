// Consistency checks every model a reader accepts must pass, for the tests that read whole files.
#include "model_checks.h"

#include <gtest/gtest.h>

namespace testmodels {

using namespace modelformat;

void expectConsistent(const Md3Model& m) {
    const Md3FileHeader& h = m.header;
    ASSERT_EQ(m.frames.size(), static_cast<size_t>(h.frameCount));
    ASSERT_EQ(m.tags.size(), static_cast<size_t>(h.frameCount) * static_cast<size_t>(h.tagCount));
    ASSERT_EQ(m.surfaces.size(), static_cast<size_t>(h.surfaceCount));
    EXPECT_LE(static_cast<uint32_t>(h.endOffset), m.fileSize);
    for (const Md3Surface& s : m.surfaces) {
        ASSERT_GT(s.header.frameCount, 0);
        ASSERT_EQ(s.shaders.size(), static_cast<size_t>(s.header.shaderCount));
        ASSERT_EQ(s.triangles.size(), static_cast<size_t>(s.header.triangleCount));
        ASSERT_EQ(s.texCoords.size(), static_cast<size_t>(s.header.vertexCount));
        ASSERT_EQ(s.vertices.size(),
                  static_cast<size_t>(s.header.frameCount) * static_cast<size_t>(s.header.vertexCount));
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
