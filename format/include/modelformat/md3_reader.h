// Reading an MD3 file from untrusted bytes into plain records: every frame, the first frame only,
// or the headers only, the structure of the whole file checked in each case.
#ifndef MODELFORMAT_MD3_READER_H
#define MODELFORMAT_MD3_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modelformat/block_reader.h"
#include "modelformat/md3_format.h"

namespace modelformat {

// How much of an MD3 file a read decodes. Every level checks the structure of the whole file
// before it keeps anything: the header, the bounds of every block of the file and of every
// surface, and the chain of surfaces; they differ in the records they decode.
enum class Md3Detail {
    // The header, the first frame's frame record and tags, every surface header and its shaders.
    // No triangles, texture coordinates or vertices are decoded, so triangle indices go unchecked.
    Headers,
    // As Headers, with every triangle (its indices checked), every texture coordinate and the
    // first frame's vertices of each surface: what an import uses.
    FirstFrame,
    // Every record of the file.
    EveryFrame,
};

struct Md3Surface {
    size_t fileOffset = 0;  // where the surface header starts in the file
    Md3SurfaceHeader header;
    std::vector<Md3ShaderRecord> shaders;
    std::vector<Md3Triangle> triangles;  // indices checked: each is in 0..vertexCount-1 (none for Headers)
    std::vector<Md3TexCoord> texCoords;  // vertexCount entries (none for Headers)
    // Frame-major: frameCount x vertexCount for EveryFrame, the first frame's vertexCount for
    // FirstFrame, none for Headers.
    std::vector<Md3Vertex> vertices;

    // The vertexCount vertices of one frame whose vertices were decoded.
    const Md3Vertex* frameVertices(int32_t frame) const {
        return vertices.data() + static_cast<size_t>(frame) * static_cast<size_t>(header.vertexCount);
    }
};

struct Md3Model {
    size_t fileSize = 0;
    Md3Detail detail = Md3Detail::EveryFrame;
    Md3FileHeader header;
    std::vector<Md3FrameRecord> frames;  // heldFrameCount() entries
    std::vector<Md3TagRecord> tags;      // heldFrameCount() x header.tagCount, frame-major
    std::vector<Md3Surface> surfaces;    // header.surfaceCount entries, in file order

    // The frames whose frame records and tags were decoded: all of them, or the first.
    int32_t heldFrameCount() const {
        return detail == Md3Detail::EveryFrame ? header.frameCount : (header.frameCount > 0 ? 1 : 0);
    }

    // Tag `index` of `frame` (frame < heldFrameCount(), index < header.tagCount).
    const Md3TagRecord& tag(int32_t frame, int32_t index) const {
        return tags[static_cast<size_t>(frame) * static_cast<size_t>(header.tagCount) + static_cast<size_t>(index)];
    }
};

struct Md3ReadResult : ReadStatus {
    // Complete when ok. When a surface is refused after the file's header, frames and tags have
    // read, the model keeps them and the surfaces before the refused one, whose index is
    // failedSurface; after any other refusal the model is empty and failedSurface is -1.
    Md3Model model;
    int32_t failedSurface = -1;
};

// Parses an MD3 file (starting with its "IDP3" magic) to the given detail. Never throws for bad
// input, never reads outside [data, data + size), and allocates no more than a small multiple of
// size. The levels accept and refuse the same files, except that Headers does not look at
// triangle indices; a refusal names the same byte at every level that sees it.
Md3ReadResult readMd3(const uint8_t* data, size_t size, Md3Detail detail = Md3Detail::EveryFrame);
inline Md3ReadResult readMd3(const std::vector<uint8_t>& bytes, Md3Detail detail = Md3Detail::EveryFrame) {
    return readMd3(bytes.data(), bytes.size(), detail);
}

// A vertex normal as the game decodes it: byte 0 is the polar angle from +Z, byte 1 the azimuth
// about +Z from +X, each in steps of 2*pi/256.
Md3Vec3 decodeMd3Normal(uint8_t polar, uint8_t azimuth);

// Name rules for the text fields (exposed so that tools and tests agree with the reader).
// A tag name: up to the first zero within 64 bytes, at most 63 characters. Files written by earlier
// versions of this exporter hold 12 characters with no zero, then "unknown" and a zero at byte 19;
// their name is the 12 characters.
std::string md3TagName(const uint8_t (&field)[kMd3TagNameLength]);
// A surface name: up to the first zero, at most 65 characters (the 66th byte ends it).
std::string md3SurfaceName(const uint8_t (&field)[kMd3SurfaceNameLength]);

constexpr size_t kMd3LegacyTagNameLength = 12;
constexpr size_t kMd3SurfaceNameMaxLength = 65;

}  // namespace modelformat

#endif
