// MD2 parsing: header checked against the data, then skin names, texture coordinates, triangles
// and one frame or every frame read.
#include "modelformat/md2_reader.h"

#include <cstring>
#include <utility>

#include "modelformat/block_reader.h"
#include "modelformat/md2_normals.h"

namespace modelformat {

namespace {

// Asks the parser for every frame rather than one.
constexpr int32_t kAllFrames = -2;

class Md2Parser {
public:
    Md2Parser(const uint8_t* data, size_t size) : in_(data, size) {}

    const ByteReader& input() const { return in_; }

    // frameIndex: the frame to decode, or kAllFrames.
    Md2ReadResult run(int32_t frameIndex) {
        Md2ReadResult result;
        result.model.fileSize = in_.size();
        if (parseHeader(result.model.header) && checkBlocks(result.model.header) && readSkinNames(result.model) &&
            readTexCoords(result.model) && readTriangles(result.model) &&
            (frameIndex == kAllFrames ? readAllFrames(result.model) : readFrame(result.model, frameIndex))) {
            result.ok = true;
            return result;
        }
        in_.reportTo(result);
        result.model = Md2Model{};
        return result;
    }

private:
    bool parseHeader(Md2Header& h) {
        uint8_t magic[4] = {};
        if (!in_.readBytes(magic, sizeof magic)) {
            return in_.fail(ReadError::Truncated, in_.size(), "file is shorter than its magic");
        }
        if (std::memcmp(magic, kMd2Magic, sizeof magic) != 0) {
            return in_.fail(ReadError::BadMagic, 0, "file does not start with IDP2");
        }
        int32_t* const fields[] = {&h.version,       &h.skinWidth,   &h.skinHeight,    &h.frameSize,
                                   &h.numSkins,      &h.numVertices, &h.numTexCoords,  &h.numTriangles,
                                   &h.numGlCommands, &h.numFrames,   &h.ofsSkins,      &h.ofsTexCoords,
                                   &h.ofsTriangles,  &h.ofsFrames,   &h.ofsGlCommands, &h.ofsEnd};
        static_assert(sizeof fields / sizeof fields[0] * 4 + 4 == kMd2HeaderSize, "MD2 header is 17 int32 fields");
        for (int32_t* field : fields) {
            in_.readInt32(*field);
        }
        if (in_.failed()) {
            return in_.fail(ReadError::Truncated, in_.size(),
                            "file is shorter than the " + std::to_string(kMd2HeaderSize) + "-byte header");
        }
        if (!in_.refuseNegativeCounts({{"skin count", h.numSkins, kMd2HeaderNumSkinsAt},
                                       {"vertex count", h.numVertices, kMd2HeaderNumVerticesAt},
                                       {"texture coordinate count", h.numTexCoords, kMd2HeaderNumTexCoordsAt},
                                       {"triangle count", h.numTriangles, kMd2HeaderNumTrianglesAt},
                                       {"GL command count", h.numGlCommands, kMd2HeaderNumGlCommandsAt},
                                       {"frame count", h.numFrames, kMd2HeaderNumFramesAt}})) {
            return false;
        }
        // Texture coordinates are divided by the skin size.
        if (h.skinWidth <= 0 || h.skinHeight <= 0) {
            return in_.fail(ReadError::BadSkinSize, h.skinWidth <= 0 ? kMd2HeaderSkinWidthAt : kMd2HeaderSkinHeightAt,
                            "skin size " + std::to_string(h.skinWidth) + " x " + std::to_string(h.skinHeight));
        }
        if (h.frameSize > kMd2MaxFrameSize) {
            return in_.fail(
                ReadError::BadFrameSize, kMd2HeaderFrameSizeAt,
                "frame size " + std::to_string(h.frameSize) + " exceeds " + std::to_string(kMd2MaxFrameSize));
        }
        const int64_t neededFrameSize = int64_t{kMd2FrameHeaderSize} + int64_t{kMd2PackedVertexSize} * h.numVertices;
        if (h.frameSize < neededFrameSize) {
            return in_.fail(ReadError::BadFrameSize, kMd2HeaderFrameSizeAt,
                            "frame size " + std::to_string(h.frameSize) + " cannot hold " +
                                std::to_string(h.numVertices) + " vertices");
        }
        if (h.numVertices > 0 && h.numFrames == 0) {
            return in_.fail(ReadError::MissingFrames, kMd2HeaderNumFramesAt, "vertices but no frames");
        }
        return true;
    }

    // Every block the header describes must lie inside the file, whether it is read or not.
    bool checkBlock(const char* name, int32_t offset, size_t offsetAt, int32_t count, int32_t recordSize) {
        return in_.checkBlock({name, offset, offsetAt, static_cast<uint64_t>(count), static_cast<uint64_t>(recordSize),
                               0, kMd2HeaderSize});
    }

    bool checkBlocks(const Md2Header& h) {
        if (offsetValue(h.ofsEnd) > in_.size()) {
            return in_.fail(ReadError::Truncated, kMd2HeaderOfsEndAt,
                            "end offset " + std::to_string(offsetValue(h.ofsEnd)) + " is past the file's " +
                                std::to_string(in_.size()) + " bytes");
        }
        return checkBlock("skins", h.ofsSkins, kMd2HeaderOfsSkinsAt, h.numSkins, kMd2SkinNameSize) &&
               checkBlock("texture coordinates", h.ofsTexCoords, kMd2HeaderOfsTexCoordsAt, h.numTexCoords,
                          kMd2TexCoordSize) &&
               checkBlock("triangles", h.ofsTriangles, kMd2HeaderOfsTrianglesAt, h.numTriangles, kMd2TriangleSize) &&
               checkBlock("frames", h.ofsFrames, kMd2HeaderOfsFramesAt, h.numFrames, h.frameSize) &&
               checkBlock("GL commands", h.ofsGlCommands, kMd2HeaderOfsGlCommandsAt, h.numGlCommands,
                          kMd2GlCommandSize);
    }

    bool readTexCoords(Md2Model& model) {
        const Md2Header& h = model.header;
        in_.seek(offsetValue(h.ofsTexCoords));
        model.texCoords.resize(static_cast<size_t>(h.numTexCoords));
        model.textureCoordinates.resize(model.texCoords.size());
        const float width = static_cast<float>(h.skinWidth);
        const float height = static_cast<float>(h.skinHeight);
        for (size_t i = 0; i < model.texCoords.size(); ++i) {
            Md2TexCoord& st = model.texCoords[i];
            in_.readInt16(st.s);
            in_.readInt16(st.t);
            model.textureCoordinates[i] =
                Md2Vec2{static_cast<float>(st.s) / width, 1.0f - static_cast<float>(st.t) / height};
        }
        return !in_.failed() || in_.failCutShort("texture coordinates are cut short");
    }

    bool readTriangles(Md2Model& model) {
        const Md2Header& h = model.header;
        in_.seek(offsetValue(h.ofsTriangles));
        model.triangles.resize(static_cast<size_t>(h.numTriangles));
        for (size_t t = 0; t < model.triangles.size(); ++t) {
            Md2Triangle& triangle = model.triangles[t];
            const size_t recordAt = in_.position();
            for (int16_t& index : triangle.vertexIndices) {
                in_.readInt16(index);
            }
            for (int16_t& index : triangle.texCoordIndices) {
                in_.readInt16(index);
            }
            for (size_t corner = 0; corner < 3; ++corner) {
                const int16_t index = triangle.vertexIndices[corner];
                if (index < 0 || index >= h.numVertices) {
                    return in_.fail(ReadError::IndexOutOfRange, recordAt + 2 * corner,
                                    "triangle " + std::to_string(t) + " uses vertex " + std::to_string(index) + " of " +
                                        std::to_string(h.numVertices));
                }
            }
            for (size_t corner = 0; corner < 3; ++corner) {
                const int16_t index = triangle.texCoordIndices[corner];
                if (index < 0 || index >= h.numTexCoords) {
                    return in_.fail(ReadError::IndexOutOfRange, recordAt + 6 + 2 * corner,
                                    "triangle " + std::to_string(t) + " uses texture coordinate " +
                                        std::to_string(index) + " of " + std::to_string(h.numTexCoords));
                }
            }
        }
        return !in_.failed() || in_.failCutShort("triangles are cut short");
    }

    bool readVec3(Md2Vec3& v) { return in_.readFloat32(v.x) && in_.readFloat32(v.y) && in_.readFloat32(v.z); }

    // The skin block lies inside the file (checkBlocks), so numSkins names fit in its bytes.
    bool readSkinNames(Md2Model& model) {
        const Md2Header& h = model.header;
        in_.seek(offsetValue(h.ofsSkins));
        model.skinNames.resize(static_cast<size_t>(h.numSkins));
        for (std::string& name : model.skinNames) {
            uint8_t field[kMd2SkinNameSize] = {};
            in_.readBytes(field, sizeof field);
            name = textUpToZero(field, sizeof field, sizeof field);
        }
        return !in_.failed() || in_.failCutShort("skin names are cut short");
    }

    // Decodes frame `index` (below numFrames) into `frame`, and its packed vertices when asked.
    void decodeFrame(Md2Model& model, int32_t index, Md2DecodedFrame& frame, std::vector<Md2PackedVertex>* packed) {
        const Md2Header& h = model.header;
        const uint64_t frameStart =
            offsetValue(h.ofsFrames) + static_cast<uint64_t>(index) * static_cast<uint64_t>(h.frameSize);
        in_.seek(static_cast<size_t>(frameStart));
        readVec3(frame.header.scale);
        readVec3(frame.header.translate);
        uint8_t nameField[kMd2FrameNameLength] = {};
        in_.readBytes(nameField, sizeof nameField);
        frame.header.name = textUpToZero(nameField, sizeof nameField, sizeof nameField);

        const size_t vertexCount = static_cast<size_t>(h.numVertices);
        frame.positions.resize(vertexCount);
        frame.normals.resize(vertexCount);
        if (packed != nullptr) {
            packed->resize(vertexCount);
        }
        const Md2Vec3& scale = frame.header.scale;
        const Md2Vec3& translate = frame.header.translate;
        for (size_t i = 0; i < vertexCount; ++i) {
            Md2PackedVertex vertex;
            for (uint8_t& coordinate : vertex.position) {
                in_.readUInt8(coordinate);
            }
            in_.readUInt8(vertex.normalIndex);
            const float x = static_cast<float>(vertex.position[0]) * scale.x + translate.x;
            const float y = static_cast<float>(vertex.position[1]) * scale.y + translate.y;
            const float z = static_cast<float>(vertex.position[2]) * scale.z + translate.z;
            frame.positions[i] = Md2Vec3{kMd2PositionScale * x, kMd2PositionScale * z, -kMd2PositionScale * y};
            if (vertex.normalIndex >= kMd2NormalCount) {
                ++model.badNormalIndexCount;
            }
            frame.normals[i] = md2Normal(vertex.normalIndex);
            if (packed != nullptr) {
                (*packed)[i] = vertex;
            }
        }
    }

    bool readFrame(Md2Model& model, int32_t requested) {
        const Md2Header& h = model.header;
        if (h.numFrames == 0) {
            return true;  // nothing to place: numVertices is 0 here
        }
        model.frameIndex = requested >= h.numFrames ? h.numFrames - 1 : (requested < 0 ? 0 : requested);
        Md2DecodedFrame frame;
        decodeFrame(model, model.frameIndex, frame, &model.frameVertices);
        model.frame = std::move(frame.header);
        model.positions = std::move(frame.positions);
        model.normals = std::move(frame.normals);
        return !in_.failed() || in_.failCutShort("frame is cut short");
    }

    // The frames block lies inside the file and every frame holds its numVertices packed vertices
    // (parseHeader, checkBlocks), so the decoded frames take at most 6 times the block's bytes.
    bool readAllFrames(Md2Model& model) {
        const Md2Header& h = model.header;
        model.allFrames.resize(static_cast<size_t>(h.numFrames));
        for (int32_t index = 0; index < h.numFrames; ++index) {
            decodeFrame(model, index, model.allFrames[static_cast<size_t>(index)],
                        index == 0 ? &model.frameVertices : nullptr);
        }
        if (h.numFrames > 0) {
            model.frameIndex = 0;
            model.frame = model.allFrames.front().header;
            model.positions = model.allFrames.front().positions;
            model.normals = model.allFrames.front().normals;
        }
        return !in_.failed() || in_.failCutShort("frames are cut short");
    }

    BlockReader in_;
};

}  // namespace

namespace {

Md2ReadResult parse(const uint8_t* data, size_t size, int32_t frameIndex) {
    Md2Parser parser(data, size);
    return refuseWhenMemoryRunsOut<Md2ReadResult>(parser.input(),
                                                  [&parser, frameIndex] { return parser.run(frameIndex); });
}

}  // namespace

Md2ReadResult readMd2(const uint8_t* data, size_t size, int32_t frameIndex) {
    // A negative request means frame 0, never every frame.
    return parse(data, size, frameIndex < 0 ? 0 : frameIndex);
}

Md2ReadResult readMd2AllFrames(const uint8_t* data, size_t size) { return parse(data, size, kAllFrames); }

}  // namespace modelformat
