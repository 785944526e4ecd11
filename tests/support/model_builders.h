// Test-only writers that lay out small MD3 and MD2 files byte by byte, every field under test control.
#ifndef TESTS_SUPPORT_MODEL_BUILDERS_H
#define TESTS_SUPPORT_MODEL_BUILDERS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modelformat/md2_format.h"
#include "modelformat/md3_reader.h"

namespace testmodels {

class LittleEndianWriter {
public:
    void u8(uint8_t value) { bytes_.push_back(value); }
    void i16(int16_t value);
    void i32(int32_t value);
    void f32(float value);
    // name in a field of `width` bytes, zero-filled; a longer name is cut to width.
    void text(const std::string& name, size_t width);
    void raw(const void* data, size_t count);
    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

void patchInt32(std::vector<uint8_t>& bytes, size_t at, int32_t value);
int32_t peekInt32(const std::vector<uint8_t>& bytes, size_t at);

// How a surface's blocks follow its header.
enum class SurfaceBlockOrder {
    ShadersFirst,    // this project's writer: shaders at 108, triangles, texcoords, vertices
    TrianglesFirst,  // most other tools: triangles at 108, then shaders, texcoords, vertices
    VerticesFirst,   // reversed, to prove blocks are found through their offsets alone
};

// Lays out `model` (counts taken from its vectors and surface headers; offsets computed here).
// Shader names of 64 characters or more take the index word too.
std::vector<uint8_t> buildMd3(const modelformat::Md3Model& model, SurfaceBlockOrder order);

// A model with distinct values in every field: `frameCount` frames, `tagCount` tags per frame,
// `surfaceCount` surfaces of 4 vertices, 2 triangles and 2 shaders.
modelformat::Md3Model makeMd3Model(int32_t frameCount, int32_t tagCount, int32_t surfaceCount);

struct Md2Frame {
    modelformat::Md2Vec3 scale;
    modelformat::Md2Vec3 translate;
    std::string name;
    std::vector<modelformat::Md2PackedVertex> vertices;
};

struct Md2Build {
    int32_t skinWidth = 256;
    int32_t skinHeight = 128;
    int32_t skinCount = 1;
    std::vector<int32_t> glCommands = {0, 0, 0};  // the GL command block's words, as stored
    std::vector<modelformat::Md2TexCoord> texCoords;
    std::vector<modelformat::Md2Triangle> triangles;
    std::vector<Md2Frame> frames;
    int32_t vertexCount = 0;  // every frame holds this many vertices
};

// Layout: header, skins, texcoords, triangles, frames, GL commands.
std::vector<uint8_t> buildMd2(const Md2Build& build);

// The words of one GL command: its count (negative for a fan) and an (s, t, vertex) triple for
// each vertex index given.
std::vector<int32_t> glCommand(int32_t count, const std::vector<int32_t>& vertices);

// A model with `frameCount` frames of `vertexCount` vertices; frame f is translated by (f, 0, 0).
Md2Build makeMd2Build(int32_t frameCount, int32_t vertexCount);

// Byte position of MD2 header field `index` (0 = version ... 15 = ofsEnd), after the magic.
constexpr size_t md2HeaderField(int index) { return 4 + 4 * static_cast<size_t>(index); }
enum Md2Field {
    kFieldVersion,
    kFieldSkinWidth,
    kFieldSkinHeight,
    kFieldFrameSize,
    kFieldNumSkins,
    kFieldNumVertices,
    kFieldNumTexCoords,
    kFieldNumTriangles,
    kFieldNumGlCommands,
    kFieldNumFrames,
    kFieldOfsSkins,
    kFieldOfsTexCoords,
    kFieldOfsTriangles,
    kFieldOfsFrames,
    kFieldOfsGlCommands,
    kFieldOfsEnd,
};

// Byte positions inside an MD3 file header and surface header.
enum Md3HeaderAt : size_t {
    kMd3AtVersion = 4,
    kMd3AtFrameCount = 76,
    kMd3AtTagCount = 80,
    kMd3AtSurfaceCount = 84,
    kMd3AtSkinCount = 88,
    kMd3AtFramesOffset = 92,
    kMd3AtTagsOffset = 96,
    kMd3AtSurfacesOffset = 100,
    kMd3AtEndOffset = 104,
};
enum Md3SurfaceAt : size_t {
    kSurfAtFrameCount = 72,
    kSurfAtShaderCount = 76,
    kSurfAtVertexCount = 80,
    kSurfAtTriangleCount = 84,
    kSurfAtTrianglesOffset = 88,
    kSurfAtShadersOffset = 92,
    kSurfAtTexCoordsOffset = 96,
    kSurfAtVerticesOffset = 100,
    kSurfAtEndOffset = 104,
};

// Reads a whole file; empty when it cannot be opened.
std::vector<uint8_t> loadFile(const std::string& path);

}  // namespace testmodels

#endif
