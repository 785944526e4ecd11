// Reading an MD2 file from untrusted bytes: skin names, texture coordinates, triangles and one
// decoded frame, or every frame.
#ifndef MODELFORMAT_MD2_READER_H
#define MODELFORMAT_MD2_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modelformat/block_reader.h"
#include "modelformat/md2_format.h"

namespace modelformat {

// One frame as decoded: its head and every vertex's position and normal.
struct Md2DecodedFrame {
    Md2FrameHeader header;           // scale, translate and name
    std::vector<Md2Vec3> positions;  // (4X, 4Z, -4Y) with X = x * scale.x + translate.x ...
    std::vector<Md2Vec3> normals;    // table entries as stored (file axes, not swapped)
};

struct Md2Model {
    size_t fileSize = 0;
    Md2Header header;
    std::vector<std::string> skinNames;       // numSkins entries, each up to its first zero
    std::vector<Md2TexCoord> texCoords;       // numTexCoords entries, in texels
    std::vector<Md2Vec2> textureCoordinates;  // the same as (s / skinWidth, 1 - t / skinHeight)
    std::vector<Md2Triangle> triangles;       // indices checked against numVertices / numTexCoords

    int32_t frameIndex = -1;                     // the frame decoded; -1 when the file has no frames
    Md2FrameHeader frame;                        // its scale, translate and name
    std::vector<Md2PackedVertex> frameVertices;  // numVertices entries as stored
    std::vector<Md2Vec3> positions;              // (4X, 4Z, -4Y) with X = x * scale.x + translate.x ...
    std::vector<Md2Vec3> normals;                // table entries as stored (file axes, not swapped)
    size_t badNormalIndexCount = 0;              // normal indices >= 162, decoded as (0, 0, 1)

    // Every frame in file order; filled by readMd2AllFrames only.
    std::vector<Md2DecodedFrame> allFrames;
};

struct Md2ReadResult : ReadStatus {
    Md2Model model;  // complete when ok; empty otherwise
};

// Parses a whole MD2 file (starting with its "IDP2" magic) and decodes frame `frameIndex`,
// lowered to numFrames - 1 when it is not smaller than numFrames (and raised to 0 when negative).
// Never throws for bad input, never reads outside [data, data + size).
Md2ReadResult readMd2(const uint8_t* data, size_t size, int32_t frameIndex);
inline Md2ReadResult readMd2(const std::vector<uint8_t>& bytes, int32_t frameIndex) {
    return readMd2(bytes.data(), bytes.size(), frameIndex);
}

// Parses a whole MD2 file and decodes every frame into allFrames; the single frame's fields hold
// frame 0. The decoded frames take a small multiple of the frames' bytes in the file.
Md2ReadResult readMd2AllFrames(const uint8_t* data, size_t size);
inline Md2ReadResult readMd2AllFrames(const std::vector<uint8_t>& bytes) {
    return readMd2AllFrames(bytes.data(), bytes.size());
}

// The import decodes this frame: with one frame that is frame 0, otherwise frame 1.
constexpr int32_t kMd2ImportFrame = 1;

}  // namespace modelformat

#endif
