// The MD3 model file of Quake III Arena: sizes, magic values and the records of the file.
// All multi-byte values are little-endian. Offsets inside a surface count from the first byte
// of its surface header; offsets in the file header count from the start of the file.
#ifndef MODELFORMAT_MD3_FORMAT_H
#define MODELFORMAT_MD3_FORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace modelformat {

constexpr char kMd3Magic[4] = {'I', 'D', 'P', '3'};
constexpr int32_t kMd3Version = 15;

constexpr int32_t kMd3HeaderSize = 108;
constexpr int32_t kMd3FrameSize = 56;
constexpr int32_t kMd3TagSize = 112;
constexpr int32_t kMd3SurfaceHeaderSize = 108;
constexpr int32_t kMd3ShaderSize = 68;
constexpr int32_t kMd3TriangleSize = 12;
constexpr int32_t kMd3TexCoordSize = 8;
constexpr int32_t kMd3VertexSize = 8;

// Text field widths. The model name, surface name and shader name are written as 68-byte fields:
// the published layout's 64-byte name and the flags or index word after it, which stays zero
// because a name written holds at most kMd3MaxNameLength characters. A tag name takes 64 bytes; a
// frame name 16.
constexpr int kMd3ModelNameLength = 68;
constexpr int kMd3SurfaceNameLength = 68;
constexpr int kMd3ShaderNameLength = 68;
constexpr int kMd3TagNameLength = 64;
constexpr int kMd3FrameNameLength = 16;

// The published layout's name field is 64 bytes, and the game and the format's tools read a name
// from it only up to its terminating zero: at most 63 characters.
constexpr int kMd3NameFieldLength = 64;
constexpr size_t kMd3MaxNameLength = kMd3NameFieldLength - 1;
static_assert(kMd3TagNameLength == kMd3NameFieldLength, "a tag name is the published 64-byte name field");
static_assert(kMd3ModelNameLength - kMd3NameFieldLength == 4 && kMd3SurfaceNameLength - kMd3NameFieldLength == 4 &&
                  kMd3ShaderNameLength - kMd3NameFieldLength == 4,
              "a 64-byte name and the 4-byte word after it");

// Byte offsets of the file header's fields.
constexpr size_t kMd3HeaderVersionAt = 4;
constexpr size_t kMd3HeaderFrameCountAt = 76;
constexpr size_t kMd3HeaderTagCountAt = 80;
constexpr size_t kMd3HeaderSurfaceCountAt = 84;
constexpr size_t kMd3HeaderSkinCountAt = 88;
constexpr size_t kMd3HeaderFramesOffsetAt = 92;
constexpr size_t kMd3HeaderTagsOffsetAt = 96;
constexpr size_t kMd3HeaderSurfacesOffsetAt = 100;
constexpr size_t kMd3HeaderEndOffsetAt = 104;

// Byte offsets of a surface header's fields, from the surface's first byte.
constexpr size_t kMd3SurfaceFrameCountAt = 72;
constexpr size_t kMd3SurfaceShaderCountAt = 76;
constexpr size_t kMd3SurfaceVertexCountAt = 80;
constexpr size_t kMd3SurfaceTriangleCountAt = 84;
constexpr size_t kMd3SurfaceTrianglesOffsetAt = 88;
constexpr size_t kMd3SurfaceShadersOffsetAt = 92;
constexpr size_t kMd3SurfaceTexCoordsOffsetAt = 96;
constexpr size_t kMd3SurfaceVerticesOffsetAt = 100;
constexpr size_t kMd3SurfaceEndOffsetAt = 104;

// One stored position unit is 1/64 of a scene unit.
constexpr float kMd3PositionScale = 64.0f;
constexpr float kMd3PositionUnit = 1.0f / 64.0f;

// Values every frame record starts with until real bounds are known, and its name.
constexpr char kMd3FrameName[] = "(Larkbrind)";
static_assert(sizeof kMd3FrameName <= kMd3FrameNameLength, "the frame name and its zero fit the field");

struct Md3Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Md3FileHeader {
    int32_t version = kMd3Version;
    std::string modelName;
    int32_t frameCount = 0;
    int32_t tagCount = 0;
    int32_t surfaceCount = 0;
    int32_t skinCount = 0;
    int32_t framesOffset = kMd3HeaderSize;
    int32_t tagsOffset = 0;
    int32_t surfacesOffset = 0;
    int32_t endOffset = 0;
};

struct Md3FrameRecord {
    Md3Vec3 minCorner;
    Md3Vec3 maxCorner;
    Md3Vec3 localOrigin;
    float radius = 0.0f;
    std::string name;
};

struct Md3TagRecord {
    std::string name;
    Md3Vec3 origin;
    std::array<Md3Vec3, 3> axes;
};

struct Md3SurfaceHeader {
    std::string name;
    int32_t frameCount = 0;
    int32_t shaderCount = 0;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t trianglesOffset = 0;
    int32_t shadersOffset = kMd3SurfaceHeaderSize;
    int32_t texCoordsOffset = 0;
    int32_t verticesOffset = 0;
    int32_t endOffset = 0;
};

struct Md3ShaderRecord {
    std::string name;
    int32_t shaderIndex = 0;  // the published layout's index word; part of the name here when it is long
};

struct Md3Triangle {
    std::array<int32_t, 3> indices{};
};

struct Md3TexCoord {
    float s = 0.0f;
    float t = 0.0f;
};

struct Md3Vertex {
    int16_t x = 0;
    int16_t y = 0;
    int16_t z = 0;
    uint8_t normalPolar = 0;    // angle from +Z, 0..255 for 0..2pi
    uint8_t normalAzimuth = 0;  // angle about +Z from +X toward +Y
};

}  // namespace modelformat

#endif
