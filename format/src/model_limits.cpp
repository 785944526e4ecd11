// The games' and tools' limits on MD3 and MD2 models, and the stored values the games cannot use.
#include "modelformat/model_limits.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "modelformat/byte_reader.h"
#include "modelformat/md2_normals.h"

namespace modelformat {

namespace {

void checkName(const std::string& kind, const std::string& name, std::vector<LimitBreach>& breaches) {
    if (name.size() > kMd3MaxNameLength) {
        breaches.push_back({kind + " " + name, "its name has " + std::to_string(name.size()) +
                                                   " characters; MD3 tools read at most " +
                                                   std::to_string(kMd3MaxNameLength)});
    }
}

}  // namespace

std::vector<LimitBreach> checkMd3Limits(const Md3Model& model) {
    std::vector<LimitBreach> breaches;
    const Md3FileHeader& header = model.header;
    if (header.frameCount > kMd3MaxFrames) {
        breaches.push_back({"file", std::to_string(header.frameCount) + " frames; MD3 tools accept at most 1024"});
    }
    if (header.surfaceCount > kMd3MaxSurfaces) {
        breaches.push_back({"file", std::to_string(header.surfaceCount) + " surfaces; MD3 tools accept at most 32"});
    }
    if (header.tagCount > kMd3MaxTags) {
        breaches.push_back({"file", std::to_string(header.tagCount) + " tags; MD3 tools accept at most 16"});
    }
    checkName("model", header.modelName, breaches);
    for (int32_t t = 0; t < header.tagCount && model.heldFrameCount() > 0; ++t) {
        checkName("tag", model.tag(0, t).name, breaches);
    }
    for (const Md3Surface& surface : model.surfaces) {
        const std::string where = "surface " + surface.header.name;
        if (surface.header.vertexCount > kMd3MaxSurfaceVertices) {
            breaches.push_back({where, std::to_string(surface.header.vertexCount) +
                                           " vertices; Quake III refuses a surface of 1000 or more"});
        }
        if (surface.header.triangleCount > kMd3MaxSurfaceTriangles) {
            breaches.push_back({where, std::to_string(surface.header.triangleCount) +
                                           " triangles; Quake III refuses a surface of more than 1999"});
        }
        checkName("surface", surface.header.name, breaches);
        for (const Md3ShaderRecord& shader : surface.shaders) {
            checkName("shader of surface " + surface.header.name + ":", shader.name, breaches);
        }
    }
    return breaches;
}

std::vector<LimitBreach> checkMd2Limits(const Md2Model& model) {
    std::vector<LimitBreach> breaches;
    const Md2Header& header = model.header;
    if (header.numVertices > kMd2MaxVertices) {
        breaches.push_back({"file", std::to_string(header.numVertices) + " vertices; Quake II accepts at most 2048"});
    }
    if (header.numTriangles > kMd2MaxTriangles) {
        breaches.push_back({"file", std::to_string(header.numTriangles) + " triangles; Quake II accepts at most 4096"});
    }
    if (header.numFrames > kMd2MaxFrames) {
        breaches.push_back({"file", std::to_string(header.numFrames) + " frames; Quake II accepts at most 512"});
    }
    return breaches;
}

namespace {

// Byte offsets inside the records whose floats are checked.
constexpr size_t kFrameMinCornerAt = 0;
constexpr size_t kFrameMaxCornerAt = 12;
constexpr size_t kFrameLocalOriginAt = 24;
constexpr size_t kFrameRadiusAt = 36;
constexpr size_t kTagOriginAt = 64;
constexpr size_t kTagAxesAt = 76;
constexpr size_t kGlCommandVertexWords = 3;  // float s, float t, int32 vertex index

// The first component of v that is not a finite number (0, 1 or 2), or -1.
int firstNonFinite(const Md3Vec3& v) {
    const float components[] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(components[i])) {
            return i;
        }
    }
    return -1;
}

// A vector field of a record: its name, where it lies in the record, its value.
struct VectorField {
    const char* name;
    size_t at;
    const Md3Vec3& value;
};

// Notes the records holding a value that is not a finite number: how many, and the first.
struct NonFiniteRecords {
    size_t records = 0;
    size_t firstOffset = 0;
    std::string first;

    void check(size_t recordAt, const std::string& record, std::initializer_list<VectorField> fields) {
        for (const VectorField& field : fields) {
            const int component = firstNonFinite(field.value);
            if (component >= 0) {
                if (records == 0) {
                    firstOffset = recordAt + field.at + 4 * static_cast<size_t>(component);
                    first = record + "'s " + field.name;
                }
                ++records;
                return;
            }
        }
    }
};

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<GameFault> findMd3GameFaults(const Md3Model& model) {
    std::vector<GameFault> faults;
    const Md3FileHeader& header = model.header;
    if (header.frameCount == 0) {
        faults.push_back({kMd3HeaderFrameCountAt, "file", "no frames; the game shows a model's frame 0"});
    }
    for (const Md3Surface& surface : model.surfaces) {
        if (surface.header.frameCount != header.frameCount) {
            faults.push_back({surface.fileOffset + kMd3SurfaceFrameCountAt, "surface " + surface.header.name,
                              plural(static_cast<size_t>(surface.header.frameCount), "frame", "frames") +
                                  " where the file has " + std::to_string(header.frameCount) +
                                  "; the game takes the file's frame from every surface"});
        }
    }

    NonFiniteRecords frames;
    for (size_t f = 0; f < model.frames.size(); ++f) {
        const Md3FrameRecord& frame = model.frames[f];
        const Md3Vec3 radius{frame.radius, 0.0f, 0.0f};
        frames.check(offsetValue(header.framesOffset) + f * kMd3FrameSize, "frame " + std::to_string(f),
                     {{"minimum corner", kFrameMinCornerAt, frame.minCorner},
                      {"maximum corner", kFrameMaxCornerAt, frame.maxCorner},
                      {"local origin", kFrameLocalOriginAt, frame.localOrigin},
                      {"radius", kFrameRadiusAt, radius}});
    }
    if (frames.records > 0) {
        faults.push_back({frames.firstOffset, "frames",
                          plural(frames.records, "frame record holds", "frame records hold") +
                              " bounds or an origin that are not finite numbers (the first: " + frames.first + ")"});
    }

    NonFiniteRecords tags;
    const auto tagCount = static_cast<size_t>(header.tagCount);
    for (size_t r = 0; r < model.tags.size(); ++r) {
        const Md3TagRecord& tag = model.tags[r];
        tags.check(offsetValue(header.tagsOffset) + r * kMd3TagSize,
                   tag.name + " in frame " + std::to_string(r / tagCount),
                   {{"origin", kTagOriginAt, tag.origin},
                    {"first axis", kTagAxesAt, tag.axes[0]},
                    {"second axis", kTagAxesAt + 12, tag.axes[1]},
                    {"third axis", kTagAxesAt + 24, tag.axes[2]}});
    }
    if (tags.records > 0) {
        faults.push_back({tags.firstOffset, "tags",
                          plural(tags.records, "tag record holds", "tag records hold") +
                              " a transform that is not finite numbers (the first: " + tags.first + ")"});
    }
    return faults;
}

std::vector<GameFault> findMd2GameFaults(const uint8_t* data, size_t size, const Md2Model& model) {
    std::vector<GameFault> faults;
    const Md2Header& h = model.header;
    // The reader has checked that every block lies inside the data; reading goes through the
    // bounds-checked cursor all the same, and stops where it fails.
    ByteReader in(data, size);

    size_t badNormals = 0;
    size_t framesWithBadNormals = 0;
    size_t firstBadNormalAt = 0;
    std::string firstBadNormal;
    for (int32_t f = 0; f < h.numFrames; ++f) {
        const uint64_t frameAt =
            offsetValue(h.ofsFrames) + static_cast<uint64_t>(f) * static_cast<uint64_t>(h.frameSize);
        if (!in.seek(static_cast<size_t>(frameAt + kMd2FrameHeaderSize))) {
            break;
        }
        bool frameCounted = false;
        for (int32_t v = 0; v < h.numVertices; ++v) {
            uint8_t normalIndex = 0;
            if (!in.skip(3) || !in.readUInt8(normalIndex)) {
                break;
            }
            if (normalIndex < kMd2NormalCount) {
                continue;
            }
            if (badNormals == 0) {
                firstBadNormalAt = in.position() - 1;
                firstBadNormal =
                    std::to_string(normalIndex) + ", in frame " + std::to_string(f) + " at vertex " + std::to_string(v);
            }
            ++badNormals;
            framesWithBadNormals += frameCounted ? 0 : 1;
            frameCounted = true;
        }
    }
    if (badNormals > 0) {
        faults.push_back({firstBadNormalAt, "frames",
                          plural(badNormals, "vertex normal index", "vertex normal indices") + " in " +
                              plural(framesWithBadNormals, "frame", "frames") + " lie past the " +
                              std::to_string(kMd2NormalCount) + "-entry normal table (the first: " + firstBadNormal +
                              ")"});
    }

    // The GL command list: commands of a vertex count (positive for a strip, negative for a fan)
    // and that many (s, t, vertex index) triples, ended by a count of zero.
    const size_t blockAt = offsetValue(h.ofsGlCommands);
    const auto words = static_cast<size_t>(h.numGlCommands);
    size_t word = 0;
    size_t badReferences = 0;
    size_t firstBadReferenceAt = 0;
    int32_t firstBadReference = 0;
    bool ended = false;
    in.seek(blockAt);
    while (word < words) {
        const size_t commandAt = blockAt + 4 * word;
        int32_t count = 0;
        if (!in.seek(commandAt) || !in.readInt32(count)) {
            break;
        }
        ++word;
        if (count == 0) {
            ended = true;
            break;
        }
        const uint64_t vertices = static_cast<uint64_t>(std::llabs(static_cast<long long>(count)));
        if (vertices * kGlCommandVertexWords > words - word) {
            faults.push_back({commandAt, "GL commands",
                              "a command of " + plural(vertices, "vertex", "vertices") +
                                  " runs past the end of the GL command block"});
            return faults;
        }
        for (uint64_t v = 0; v < vertices; ++v) {
            int32_t index = 0;
            in.skip(8);  // s and t
            const size_t indexAt = in.position();
            if (!in.readInt32(index)) {
                break;
            }
            if (index < 0 || index >= h.numVertices) {
                if (badReferences == 0) {
                    firstBadReferenceAt = indexAt;
                    firstBadReference = index;
                }
                ++badReferences;
            }
        }
        word += static_cast<size_t>(vertices) * kGlCommandVertexWords;
    }
    if (badReferences > 0) {
        faults.push_back({firstBadReferenceAt, "GL commands",
                          plural(badReferences, "vertex reference points", "vertex references point") +
                              " past the model's " + plural(static_cast<size_t>(h.numVertices), "vertex", "vertices") +
                              " (the first: vertex " + std::to_string(firstBadReference) + ")"});
    }
    // A file may carry no GL commands at all (some tools and engines draw from the triangles);
    // a list that is there must end, or whoever walks it reads on past its block.
    if (!ended && words > 0) {
        faults.push_back({blockAt + 4 * words, "GL commands", "the list does not end with a zero count"});
    }
    return faults;
}

}  // namespace modelformat
