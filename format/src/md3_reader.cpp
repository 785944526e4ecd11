// MD3 parsing: every offset and count checked against the data, then each block read at its offset.
#include "modelformat/md3_reader.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "modelformat/block_reader.h"

namespace modelformat {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
// Bytes 12..19 of a tag name written by earlier versions of this exporter.
constexpr uint8_t kLegacyTagNameTail[8] = {'u', 'n', 'k', 'n', 'o', 'w', 'n', 0};

class Md3Parser {
public:
    Md3Parser(const uint8_t* data, size_t size, Md3Detail detail) : in_(data, size), detail_(detail) {}

    const ByteReader& input() const { return in_; }

    Md3ReadResult run() {
        Md3ReadResult result;
        result.model.fileSize = in_.size();
        result.model.detail = detail_;
        const bool fileRead = parseHeader(result.model) && checkFileBlocks(result.model.header) &&
                              checkFramesFollowHeader(result.model.header) && readFrames(result.model) &&
                              readTags(result.model);
        if (fileRead && readSurfaces(result.model)) {
            result.ok = true;
            return result;
        }
        in_.reportTo(result);
        if (fileRead) {
            // What lies before a broken surface is sound: a reader going front to back has it.
            result.failedSurface = failedSurface_;
            result.model.surfaces.resize(static_cast<size_t>(failedSurface_));
        } else {
            result.model = Md3Model{};
            result.model.detail = detail_;
        }
        return result;
    }

private:
    bool readText(size_t width, size_t maxLength, std::string& text) {
        uint8_t field[kMd3SurfaceNameLength] = {};
        static_assert(kMd3SurfaceNameLength >= kMd3ModelNameLength && kMd3SurfaceNameLength >= kMd3TagNameLength &&
                          kMd3SurfaceNameLength >= kMd3ShaderNameLength,
                      "name buffer must hold every MD3 text field");
        if (!in_.readBytes(field, width)) {
            return false;
        }
        text = textUpToZero(field, width, maxLength);
        return true;
    }

    bool parseHeader(Md3Model& model) {
        uint8_t magic[4] = {};
        if (!in_.readBytes(magic, sizeof magic)) {
            return in_.fail(ReadError::Truncated, in_.size(), "file is shorter than its magic");
        }
        if (std::memcmp(magic, kMd3Magic, sizeof magic) != 0) {
            return in_.fail(ReadError::BadMagic, 0, "file does not start with IDP3");
        }
        if (!in_.rangeFits(0, 1, kMd3HeaderSize)) {
            return in_.fail(ReadError::Truncated, in_.size(),
                            "file is shorter than the " + std::to_string(kMd3HeaderSize) + "-byte header");
        }
        Md3FileHeader& h = model.header;
        in_.readInt32(h.version);
        if (h.version != kMd3Version) {
            return in_.fail(ReadError::BadVersion, kMd3HeaderVersionAt,
                            "version " + std::to_string(h.version) + ", expected " + std::to_string(kMd3Version));
        }
        readText(kMd3ModelNameLength, kMd3ModelNameLength, h.modelName);
        in_.readInt32(h.frameCount);
        in_.readInt32(h.tagCount);
        in_.readInt32(h.surfaceCount);
        in_.readInt32(h.skinCount);
        in_.readInt32(h.framesOffset);
        in_.readInt32(h.tagsOffset);
        in_.readInt32(h.surfacesOffset);
        in_.readInt32(h.endOffset);
        if (in_.failed()) {
            return in_.failCutShort("file header is cut short");
        }
        return in_.refuseNegativeCounts({{"frame count", h.frameCount, kMd3HeaderFrameCountAt},
                                         {"tag count", h.tagCount, kMd3HeaderTagCountAt},
                                         {"surface count", h.surfaceCount, kMd3HeaderSurfaceCountAt},
                                         {"skin count", h.skinCount, kMd3HeaderSkinCountAt}});
    }

    bool checkFileBlocks(const Md3FileHeader& h) {
        const uint64_t end = offsetValue(h.endOffset);
        if (end < offsetValue(h.tagsOffset) || end < offsetValue(h.surfacesOffset)) {
            return in_.fail(ReadError::BadEndOffset, kMd3HeaderEndOffsetAt,
                            "end offset " + std::to_string(end) + " lies before the tags or surfaces");
        }
        if (end > in_.size()) {
            return in_.fail(
                ReadError::Truncated, kMd3HeaderEndOffsetAt,
                "end offset " + std::to_string(end) + " is past the file's " + std::to_string(in_.size()) + " bytes");
        }
        const uint64_t tagRecords = static_cast<uint64_t>(h.frameCount) * static_cast<uint64_t>(h.tagCount);
        return in_.checkBlock({"frames", h.framesOffset, kMd3HeaderFramesOffsetAt, static_cast<uint64_t>(h.frameCount),
                               kMd3FrameSize, 0, kMd3HeaderSize}) &&
               in_.checkBlock(
                   {"tags", h.tagsOffset, kMd3HeaderTagsOffsetAt, tagRecords, kMd3TagSize, 0, kMd3HeaderSize}) &&
               // Each surface is at least its header long and the next starts after it, so the
               // surfaces need at least this many bytes; checked before reserving room for them.
               in_.checkBlock({"surfaces", h.surfacesOffset, kMd3HeaderSurfacesOffsetAt,
                               static_cast<uint64_t>(h.surfaceCount), kMd3SurfaceHeaderSize, 0, kMd3HeaderSize});
    }

    // Every writer puts the frame records right after the header, and readers that go through
    // the file front to back depend on it: a file placing them elsewhere is refused, as the
    // format's readers have always refused it.
    bool checkFramesFollowHeader(const Md3FileHeader& h) {
        if (h.framesOffset == kMd3HeaderSize) {
            return true;
        }
        return in_.fail(
            ReadError::BadFramesOffset, kMd3HeaderFramesOffsetAt,
            "frames offset " + std::to_string(h.framesOffset) + ", expected " + std::to_string(kMd3HeaderSize));
    }

    bool readVec3(Md3Vec3& v) { return in_.readFloat32(v.x) && in_.readFloat32(v.y) && in_.readFloat32(v.z); }

    bool readFrames(Md3Model& model) {
        const Md3FileHeader& h = model.header;
        in_.seek(offsetValue(h.framesOffset));
        model.frames.resize(static_cast<size_t>(model.heldFrameCount()));
        for (Md3FrameRecord& frame : model.frames) {
            readVec3(frame.minCorner);
            readVec3(frame.maxCorner);
            readVec3(frame.localOrigin);
            in_.readFloat32(frame.radius);
            readText(kMd3FrameNameLength, kMd3FrameNameLength, frame.name);
        }
        // Unreachable after checkFileBlocks; kept so that a mistake there cannot go unnoticed.
        return !in_.failed() || in_.failCutShort("frames are cut short");
    }

    bool readTags(Md3Model& model) {
        const Md3FileHeader& h = model.header;
        in_.seek(offsetValue(h.tagsOffset));
        model.tags.resize(static_cast<size_t>(model.heldFrameCount()) * static_cast<size_t>(h.tagCount));
        for (Md3TagRecord& tag : model.tags) {
            uint8_t nameField[kMd3TagNameLength] = {};
            in_.readBytes(nameField, sizeof nameField);
            tag.name = md3TagName(nameField);
            readVec3(tag.origin);
            for (Md3Vec3& axis : tag.axes) {
                readVec3(axis);
            }
        }
        return !in_.failed() || in_.failCutShort("tags are cut short");
    }

    bool readSurfaces(Md3Model& model) {
        const Md3FileHeader& h = model.header;
        model.surfaces.resize(static_cast<size_t>(h.surfaceCount));
        uint64_t start = offsetValue(h.surfacesOffset);
        for (int32_t index = 0; index < h.surfaceCount; ++index) {
            Md3Surface& surface = model.surfaces[static_cast<size_t>(index)];
            if (!readSurface(start, index, surface)) {
                failedSurface_ = index;
                return false;
            }
            // endOffset >= the header size was checked, so every surface starts after the last.
            start += offsetValue(surface.header.endOffset);
        }
        return true;
    }

    bool readSurface(uint64_t start, int32_t index, Md3Surface& surface) {
        const std::string owner = "surface " + std::to_string(index) + " ";
        const size_t at = static_cast<size_t>(start);
        if (!in_.rangeFits(start, 1, kMd3SurfaceHeaderSize)) {
            return in_.fail(ReadError::BlockOutOfBounds, at,
                            owner + "header at " + std::to_string(start) + " runs past the end");
        }
        surface.fileOffset = at;
        in_.seek(at);
        uint8_t magic[4] = {};
        in_.readBytes(magic, sizeof magic);
        if (std::memcmp(magic, kMd3Magic, sizeof magic) != 0) {
            return in_.fail(ReadError::BadMagic, at, owner + "does not start with IDP3");
        }

        Md3SurfaceHeader& s = surface.header;
        uint8_t nameField[kMd3SurfaceNameLength] = {};
        in_.readBytes(nameField, sizeof nameField);
        s.name = md3SurfaceName(nameField);
        in_.readInt32(s.frameCount);
        in_.readInt32(s.shaderCount);
        in_.readInt32(s.vertexCount);
        in_.readInt32(s.triangleCount);
        in_.readInt32(s.trianglesOffset);
        in_.readInt32(s.shadersOffset);
        in_.readInt32(s.texCoordsOffset);
        in_.readInt32(s.verticesOffset);
        in_.readInt32(s.endOffset);
        if (in_.failed()) {
            return in_.failCutShort(owner + "header is cut short");
        }
        if (!in_.refuseNegativeCounts({{"frame count", s.frameCount, at + kMd3SurfaceFrameCountAt},
                                       {"shader count", s.shaderCount, at + kMd3SurfaceShaderCountAt},
                                       {"vertex count", s.vertexCount, at + kMd3SurfaceVertexCountAt},
                                       {"triangle count", s.triangleCount, at + kMd3SurfaceTriangleCountAt}},
                                      owner)) {
            return false;
        }
        if (s.frameCount == 0) {
            return in_.fail(ReadError::MissingFrames, at + kMd3SurfaceFrameCountAt, owner + "has no frames");
        }

        const uint64_t length = offsetValue(s.endOffset);
        if (length < static_cast<uint64_t>(kMd3SurfaceHeaderSize)) {
            return in_.fail(ReadError::BadEndOffset, at + kMd3SurfaceEndOffsetAt,
                            owner + "end offset " + std::to_string(s.endOffset) + " lies inside its header");
        }
        if (!in_.rangeFits(start, 1, length)) {
            return in_.fail(ReadError::BlockOutOfBounds, at + kMd3SurfaceEndOffsetAt,
                            owner + "(" + std::to_string(length) + " bytes at " + std::to_string(start) +
                                ") runs past the end of the file");
        }
        const uint64_t limit = start + length;
        const uint64_t vertexRecords = static_cast<uint64_t>(s.frameCount) * static_cast<uint64_t>(s.vertexCount);
        const auto block = [&](const char* name, int32_t offset, size_t offsetAt, uint64_t count, uint64_t size) {
            return in_.checkBlock({name, offset, at + offsetAt, count, size, start, kMd3SurfaceHeaderSize, limit},
                                  owner);
        };
        if (!block("shaders", s.shadersOffset, kMd3SurfaceShadersOffsetAt, static_cast<uint64_t>(s.shaderCount),
                   kMd3ShaderSize) ||
            !block("triangles", s.trianglesOffset, kMd3SurfaceTrianglesOffsetAt, static_cast<uint64_t>(s.triangleCount),
                   kMd3TriangleSize) ||
            !block("texture coordinates", s.texCoordsOffset, kMd3SurfaceTexCoordsOffsetAt,
                   static_cast<uint64_t>(s.vertexCount), kMd3TexCoordSize) ||
            !block("vertices", s.verticesOffset, kMd3SurfaceVerticesOffsetAt, vertexRecords, kMd3VertexSize)) {
            return false;
        }

        // Blocks are read each through its own offset: writers disagree on their order.
        in_.seek(static_cast<size_t>(start + offsetValue(s.shadersOffset)));
        surface.shaders.resize(static_cast<size_t>(s.shaderCount));
        for (Md3ShaderRecord& shader : surface.shaders) {
            // The name may run into the index word (this project's writer uses all 68 bytes), so
            // the word is read again on its own from the last four bytes of the record.
            const size_t recordStart = in_.position();
            readText(kMd3ShaderNameLength, kMd3ShaderNameLength, shader.name);
            in_.seek(recordStart + kMd3ShaderSize - 4);
            in_.readInt32(shader.shaderIndex);
        }

        if (detail_ == Md3Detail::Headers) {
            return true;
        }

        in_.seek(static_cast<size_t>(start + offsetValue(s.trianglesOffset)));
        surface.triangles.resize(static_cast<size_t>(s.triangleCount));
        for (size_t t = 0; t < surface.triangles.size(); ++t) {
            for (int32_t& vertex : surface.triangles[t].indices) {
                const size_t indexAt = in_.position();
                in_.readInt32(vertex);
                if (vertex < 0 || vertex >= s.vertexCount) {
                    return in_.fail(ReadError::IndexOutOfRange, indexAt,
                                    owner + "triangle " + std::to_string(t) + " uses vertex " + std::to_string(vertex) +
                                        " of " + std::to_string(s.vertexCount));
                }
            }
        }

        in_.seek(static_cast<size_t>(start + offsetValue(s.texCoordsOffset)));
        surface.texCoords.resize(static_cast<size_t>(s.vertexCount));
        for (Md3TexCoord& st : surface.texCoords) {
            in_.readFloat32(st.s);
            in_.readFloat32(st.t);
        }

        in_.seek(static_cast<size_t>(start + offsetValue(s.verticesOffset)));
        surface.vertices.resize(detail_ == Md3Detail::EveryFrame ? static_cast<size_t>(vertexRecords)
                                                                 : static_cast<size_t>(s.vertexCount));
        for (Md3Vertex& vertex : surface.vertices) {
            in_.readInt16(vertex.x);
            in_.readInt16(vertex.y);
            in_.readInt16(vertex.z);
            in_.readUInt8(vertex.normalPolar);
            in_.readUInt8(vertex.normalAzimuth);
        }
        return !in_.failed() || in_.failCutShort(owner + "records are cut short");
    }

    BlockReader in_;
    Md3Detail detail_;
    int32_t failedSurface_ = -1;
};

}  // namespace

Md3ReadResult readMd3(const uint8_t* data, size_t size, Md3Detail detail) {
    Md3Parser parser(data, size, detail);
    return refuseWhenMemoryRunsOut<Md3ReadResult>(parser.input(), [&parser] { return parser.run(); });
}

Md3Vec3 decodeMd3Normal(uint8_t polar, uint8_t azimuth) {
    const double polarAngle = polar * kTwoPi / 256.0;
    const double azimuthAngle = azimuth * kTwoPi / 256.0;
    return Md3Vec3{static_cast<float>(std::cos(azimuthAngle) * std::sin(polarAngle)),
                   static_cast<float>(std::sin(azimuthAngle) * std::sin(polarAngle)),
                   static_cast<float>(std::cos(polarAngle))};
}

std::string md3TagName(const uint8_t (&field)[kMd3TagNameLength]) {
    bool zeroInLegacyName = false;
    for (size_t i = 0; i < kMd3LegacyTagNameLength; ++i) {
        zeroInLegacyName = zeroInLegacyName || field[i] == 0;
    }
    if (!zeroInLegacyName &&
        std::memcmp(field + kMd3LegacyTagNameLength, kLegacyTagNameTail, sizeof kLegacyTagNameTail) == 0) {
        return textUpToZero(field, kMd3TagNameLength, kMd3LegacyTagNameLength);
    }
    return textUpToZero(field, kMd3TagNameLength, kMd3MaxNameLength);
}

std::string md3SurfaceName(const uint8_t (&field)[kMd3SurfaceNameLength]) {
    return textUpToZero(field, kMd3SurfaceNameLength, kMd3SurfaceNameMaxLength);
}

}  // namespace modelformat
