// Test-only MD3 and MD2 writers: byte-by-byte layouts with offsets computed from the records.
#include "model_builders.h"

#include <array>

#include <cstring>
#include <fstream>
#include <iterator>

namespace testmodels {

using namespace modelformat;

void LittleEndianWriter::i16(int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    u8(static_cast<uint8_t>(bits & 0xFF));
    u8(static_cast<uint8_t>(bits >> 8));
}

void LittleEndianWriter::i32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        u8(static_cast<uint8_t>((bits >> shift) & 0xFF));
    }
}

void LittleEndianWriter::f32(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    i32(static_cast<int32_t>(bits));
}

void LittleEndianWriter::text(const std::string& name, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        u8(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    }
}

void LittleEndianWriter::raw(const void* data, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + count);
}

void patchInt32(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        bytes.at(at + i) = static_cast<uint8_t>((bits >> (8 * i)) & 0xFF);
    }
}

int32_t peekInt32(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i) {
        bits |= static_cast<uint32_t>(bytes.at(at + i)) << (8 * i);
    }
    return static_cast<int32_t>(bits);
}

namespace {

void vec3(LittleEndianWriter& out, const Md3Vec3& v) {
    out.f32(v.x);
    out.f32(v.y);
    out.f32(v.z);
}

std::vector<uint8_t> surfaceBytes(const Md3Surface& surface, SurfaceBlockOrder order) {
    const Md3SurfaceHeader& h = surface.header;
    LittleEndianWriter shaders, triangles, texCoords, vertices;
    for (const Md3ShaderRecord& shader : surface.shaders) {
        if (shader.name.size() >= 64) {
            shaders.text(shader.name, kMd3ShaderNameLength);
        } else {
            shaders.text(shader.name, 64);
            shaders.i32(shader.shaderIndex);
        }
    }
    for (const Md3Triangle& triangle : surface.triangles) {
        for (int32_t index : triangle.indices) {
            triangles.i32(index);
        }
    }
    for (const Md3TexCoord& st : surface.texCoords) {
        texCoords.f32(st.s);
        texCoords.f32(st.t);
    }
    for (const Md3Vertex& v : surface.vertices) {
        vertices.i16(v.x);
        vertices.i16(v.y);
        vertices.i16(v.z);
        vertices.u8(v.normalPolar);
        vertices.u8(v.normalAzimuth);
    }

    struct Block {
        LittleEndianWriter* bytes;
        int32_t offset;
    };
    Block shaderBlock{&shaders, 0}, triangleBlock{&triangles, 0}, texCoordBlock{&texCoords, 0},
        vertexBlock{&vertices, 0};
    std::array<Block*, 4> sequence{};
    switch (order) {
    case SurfaceBlockOrder::ShadersFirst:
        sequence = {{&shaderBlock, &triangleBlock, &texCoordBlock, &vertexBlock}};
        break;
    case SurfaceBlockOrder::TrianglesFirst:
        sequence = {{&triangleBlock, &shaderBlock, &texCoordBlock, &vertexBlock}};
        break;
    case SurfaceBlockOrder::VerticesFirst:
        sequence = {{&vertexBlock, &texCoordBlock, &triangleBlock, &shaderBlock}};
        break;
    }
    int32_t at = kMd3SurfaceHeaderSize;
    for (Block* block : sequence) {
        block->offset = at;
        at += static_cast<int32_t>(block->bytes->size());
    }

    LittleEndianWriter out;
    out.raw(kMd3Magic, 4);
    out.text(h.name, kMd3SurfaceNameLength);
    out.i32(h.frameCount);
    out.i32(static_cast<int32_t>(surface.shaders.size()));
    out.i32(h.vertexCount);
    out.i32(static_cast<int32_t>(surface.triangles.size()));
    out.i32(triangleBlock.offset);
    out.i32(shaderBlock.offset);
    out.i32(texCoordBlock.offset);
    out.i32(vertexBlock.offset);
    out.i32(at);
    for (Block* block : sequence) {
        const std::vector<uint8_t> bytes = block->bytes->take();
        out.raw(bytes.data(), bytes.size());
    }
    return out.take();
}

}  // namespace

std::vector<uint8_t> buildMd3(const Md3Model& model, SurfaceBlockOrder order) {
    const Md3FileHeader& h = model.header;
    std::vector<std::vector<uint8_t>> surfaces;
    size_t surfaceBytesTotal = 0;
    for (const Md3Surface& surface : model.surfaces) {
        surfaces.push_back(surfaceBytes(surface, order));
        surfaceBytesTotal += surfaces.back().size();
    }
    const auto framesOffset = kMd3HeaderSize;
    const auto tagsOffset = framesOffset + static_cast<int32_t>(model.frames.size()) * kMd3FrameSize;
    const auto surfacesOffset = tagsOffset + static_cast<int32_t>(model.tags.size()) * kMd3TagSize;
    const auto endOffset = surfacesOffset + static_cast<int32_t>(surfaceBytesTotal);

    LittleEndianWriter out;
    out.raw(kMd3Magic, 4);
    out.i32(h.version);
    out.text(h.modelName, kMd3ModelNameLength);
    out.i32(static_cast<int32_t>(model.frames.size()));
    out.i32(h.tagCount);
    out.i32(static_cast<int32_t>(model.surfaces.size()));
    out.i32(h.skinCount);
    out.i32(framesOffset);
    out.i32(tagsOffset);
    out.i32(surfacesOffset);
    out.i32(endOffset);
    for (const Md3FrameRecord& frame : model.frames) {
        vec3(out, frame.minCorner);
        vec3(out, frame.maxCorner);
        vec3(out, frame.localOrigin);
        out.f32(frame.radius);
        out.text(frame.name, kMd3FrameNameLength);
    }
    for (const Md3TagRecord& tag : model.tags) {
        out.text(tag.name, kMd3TagNameLength);
        vec3(out, tag.origin);
        for (const Md3Vec3& axis : tag.axes) {
            vec3(out, axis);
        }
    }
    for (const std::vector<uint8_t>& surface : surfaces) {
        out.raw(surface.data(), surface.size());
    }
    return out.take();
}

Md3Model makeMd3Model(int32_t frameCount, int32_t tagCount, int32_t surfaceCount) {
    Md3Model model;
    model.header.modelName = "models/test/crate.md3";
    model.header.frameCount = frameCount;
    model.header.tagCount = tagCount;
    model.header.surfaceCount = surfaceCount;
    for (int32_t f = 0; f < frameCount; ++f) {
        const auto ff = static_cast<float>(f);
        Md3FrameRecord frame;
        frame.minCorner = {-1.0f - ff, -2.0f, -3.0f};
        frame.maxCorner = {1.0f + ff, 2.0f, 3.5f};
        frame.localOrigin = {0.25f * ff, 0.0f, -0.5f};
        frame.radius = 4.0f + ff;
        frame.name = "frame" + std::to_string(f);
        model.frames.push_back(frame);
        for (int32_t t = 0; t < tagCount; ++t) {
            Md3TagRecord tag;
            tag.name = "tag_" + std::to_string(t);
            tag.origin = {ff * 10.0f + static_cast<float>(t), -ff, 0.125f * static_cast<float>(t)};
            tag.axes = {Md3Vec3{1.0f, 0.0f, 0.0f}, Md3Vec3{0.0f, 1.0f, ff}, Md3Vec3{0.0f, 0.0f, 1.0f + ff}};
            model.tags.push_back(tag);
        }
    }
    for (int32_t s = 0; s < surfaceCount; ++s) {
        Md3Surface surface;
        Md3SurfaceHeader& h = surface.header;
        h.name = "surface_" + std::to_string(s);
        h.frameCount = frameCount;
        h.vertexCount = 4;
        surface.shaders = {Md3ShaderRecord{"textures/test/skin" + std::to_string(s) + ".tga", s},
                           Md3ShaderRecord{"textures/test/glow.tga", 7}};
        surface.triangles = {Md3Triangle{{0, 1, 2}}, Md3Triangle{{2, 3, 0}}};
        for (int32_t v = 0; v < h.vertexCount; ++v) {
            surface.texCoords.push_back(
                Md3TexCoord{0.25f * static_cast<float>(v), 1.0f - 0.125f * static_cast<float>(s)});
        }
        for (int32_t f = 0; f < frameCount; ++f) {
            for (int32_t v = 0; v < h.vertexCount; ++v) {
                surface.vertices.push_back(Md3Vertex{static_cast<int16_t>(64 * v - 100 * s),
                                                     static_cast<int16_t>(-32 * f), static_cast<int16_t>(v * f - 30000),
                                                     static_cast<uint8_t>(v * 40 + f),
                                                     static_cast<uint8_t>(255 - v - s)});
            }
        }
        model.surfaces.push_back(surface);
    }
    return model;
}

std::vector<uint8_t> buildMd2(const Md2Build& build) {
    const int32_t frameSize = kMd2FrameHeaderSize + kMd2PackedVertexSize * build.vertexCount;
    const int32_t ofsSkins = kMd2HeaderSize;
    const int32_t ofsTexCoords = ofsSkins + build.skinCount * kMd2SkinNameSize;
    const int32_t ofsTriangles = ofsTexCoords + static_cast<int32_t>(build.texCoords.size()) * kMd2TexCoordSize;
    const int32_t ofsFrames = ofsTriangles + static_cast<int32_t>(build.triangles.size()) * kMd2TriangleSize;
    const int32_t ofsGlCommands = ofsFrames + static_cast<int32_t>(build.frames.size()) * frameSize;
    const auto glCommandCount = static_cast<int32_t>(build.glCommands.size());
    const int32_t ofsEnd = ofsGlCommands + glCommandCount * kMd2GlCommandSize;

    LittleEndianWriter out;
    out.raw(kMd2Magic, 4);
    for (int32_t field : {kMd2Version, build.skinWidth, build.skinHeight, frameSize, build.skinCount, build.vertexCount,
                          static_cast<int32_t>(build.texCoords.size()), static_cast<int32_t>(build.triangles.size()),
                          glCommandCount, static_cast<int32_t>(build.frames.size()), ofsSkins, ofsTexCoords,
                          ofsTriangles, ofsFrames, ofsGlCommands, ofsEnd}) {
        out.i32(field);
    }
    for (int32_t s = 0; s < build.skinCount; ++s) {
        out.text("models/test/skin" + std::to_string(s) + ".pcx", kMd2SkinNameSize);
    }
    for (const Md2TexCoord& st : build.texCoords) {
        out.i16(st.s);
        out.i16(st.t);
    }
    for (const Md2Triangle& triangle : build.triangles) {
        for (int16_t index : triangle.vertexIndices) {
            out.i16(index);
        }
        for (int16_t index : triangle.texCoordIndices) {
            out.i16(index);
        }
    }
    for (const Md2Frame& frame : build.frames) {
        for (const Md2Vec3* v : {&frame.scale, &frame.translate}) {
            out.f32(v->x);
            out.f32(v->y);
            out.f32(v->z);
        }
        out.text(frame.name, kMd2FrameNameLength);
        for (int32_t v = 0; v < build.vertexCount; ++v) {
            const Md2PackedVertex packed = static_cast<size_t>(v) < frame.vertices.size()
                                               ? frame.vertices[static_cast<size_t>(v)]
                                               : Md2PackedVertex{};
            for (uint8_t coordinate : packed.position) {
                out.u8(coordinate);
            }
            out.u8(packed.normalIndex);
        }
    }
    for (int32_t word : build.glCommands) {
        out.i32(word);
    }
    return out.take();
}

std::vector<int32_t> glCommand(int32_t count, const std::vector<int32_t>& vertices) {
    std::vector<int32_t> words = {count};
    for (int32_t vertex : vertices) {
        const float s = 0.25f;
        const float t = 0.75f;
        int32_t bits = 0;
        std::memcpy(&bits, &s, sizeof bits);
        words.push_back(bits);
        std::memcpy(&bits, &t, sizeof bits);
        words.push_back(bits);
        words.push_back(vertex);
    }
    return words;
}

Md2Build makeMd2Build(int32_t frameCount, int32_t vertexCount) {
    Md2Build build;
    build.vertexCount = vertexCount;
    // One more texture coordinate than vertices, as files with seams have.
    for (int32_t i = 0; i <= vertexCount; ++i) {
        build.texCoords.push_back(Md2TexCoord{static_cast<int16_t>(16 * i), static_cast<int16_t>(8 * i)});
    }
    for (int32_t i = 0; i + 2 < vertexCount; ++i) {
        build.triangles.push_back(
            Md2Triangle{{static_cast<int16_t>(i), static_cast<int16_t>(i + 1), static_cast<int16_t>(i + 2)},
                        {static_cast<int16_t>(i + 1), static_cast<int16_t>(i + 2), static_cast<int16_t>(i)}});
    }
    for (int32_t f = 0; f < frameCount; ++f) {
        Md2Frame frame;
        frame.scale = {0.5f, 0.25f, 2.0f};
        frame.translate = {static_cast<float>(f), -8.0f, 3.0f};
        frame.name = "stand" + std::to_string(f + 1);
        for (int32_t v = 0; v < vertexCount; ++v) {
            frame.vertices.push_back(
                Md2PackedVertex{{static_cast<uint8_t>(v), static_cast<uint8_t>(2 * v), static_cast<uint8_t>(255 - v)},
                                static_cast<uint8_t>(v % 162)});
        }
        build.frames.push_back(frame);
    }
    return build;
}

std::vector<uint8_t> loadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testmodels
