// The MD2 model file of Quake II: sizes, magic value and the records of the file.
// All multi-byte values are little-endian; offsets count from the start of the file.
#ifndef MODELFORMAT_MD2_FORMAT_H
#define MODELFORMAT_MD2_FORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace modelformat {

constexpr char kMd2Magic[4] = {'I', 'D', 'P', '2'};
constexpr int32_t kMd2Version = 8;  // what Quake II writes; the reader does not insist on it

constexpr int32_t kMd2HeaderSize = 68;       // 17 int32 fields
constexpr int32_t kMd2SkinNameSize = 64;     // skins are never read, only bounds-checked
constexpr int32_t kMd2TexCoordSize = 4;      // int16 s, int16 t
constexpr int32_t kMd2TriangleSize = 12;     // int16 vertex indices x3, int16 texcoord indices x3
constexpr int32_t kMd2GlCommandSize = 4;     // GL commands are never read, only bounds-checked
constexpr int32_t kMd2FrameHeaderSize = 40;  // scale, translate (3 floats each), name[16]
constexpr int32_t kMd2PackedVertexSize = 4;  // uint8 x, y, z, normal index
constexpr int kMd2FrameNameLength = 16;

// Byte offsets of the header's fields.
constexpr size_t kMd2HeaderSkinWidthAt = 8;
constexpr size_t kMd2HeaderSkinHeightAt = 12;
constexpr size_t kMd2HeaderFrameSizeAt = 16;
constexpr size_t kMd2HeaderNumSkinsAt = 20;
constexpr size_t kMd2HeaderNumVerticesAt = 24;
constexpr size_t kMd2HeaderNumTexCoordsAt = 28;
constexpr size_t kMd2HeaderNumTrianglesAt = 32;
constexpr size_t kMd2HeaderNumGlCommandsAt = 36;
constexpr size_t kMd2HeaderNumFramesAt = 40;
constexpr size_t kMd2HeaderOfsSkinsAt = 44;
constexpr size_t kMd2HeaderOfsTexCoordsAt = 48;
constexpr size_t kMd2HeaderOfsTrianglesAt = 52;
constexpr size_t kMd2HeaderOfsFramesAt = 56;
constexpr size_t kMd2HeaderOfsGlCommandsAt = 60;
constexpr size_t kMd2HeaderOfsEndAt = 64;

// The frame buffer of the original design holds 2048 packed vertices plus 128 bytes; a frame size
// larger than that is refused.
constexpr int32_t kMd2MaxFrameSize = 2048 * 4 + 128;

// Positions come out 4 times the stored units, with the file's Y and Z swapped: (4X, 4Z, -4Y).
constexpr float kMd2PositionScale = 4.0f;

struct Md2Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Md2Vec2 {
    float u = 0.0f;
    float v = 0.0f;
};

struct Md2Header {
    int32_t version = 0;
    int32_t skinWidth = 0;
    int32_t skinHeight = 0;
    int32_t frameSize = 0;
    int32_t numSkins = 0;
    int32_t numVertices = 0;
    int32_t numTexCoords = 0;
    int32_t numTriangles = 0;
    int32_t numGlCommands = 0;
    int32_t numFrames = 0;
    int32_t ofsSkins = 0;
    int32_t ofsTexCoords = 0;
    int32_t ofsTriangles = 0;
    int32_t ofsFrames = 0;
    int32_t ofsGlCommands = 0;
    int32_t ofsEnd = 0;
};

// Texture coordinate in texels of the skin.
struct Md2TexCoord {
    int16_t s = 0;
    int16_t t = 0;
};

struct Md2Triangle {
    std::array<int16_t, 3> vertexIndices{};
    std::array<int16_t, 3> texCoordIndices{};
};

struct Md2FrameHeader {
    Md2Vec3 scale;
    Md2Vec3 translate;
    std::string name;
};

struct Md2PackedVertex {
    std::array<uint8_t, 3> position{};  // scaled by the frame's scale, then translated
    uint8_t normalIndex = 0;            // into the 162-entry normal table
};

}  // namespace modelformat

#endif
