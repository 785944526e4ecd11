// MD3 and MD2 files read through the format's readers into every frame, in the importer's terms.
#include "animated_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include <modelformat/byte_reader.h>
#include <modelformat/md2_reader.h>
#include <modelformat/md3_format.h>
#include <modelformat/md3_reader.h>

namespace host::modelfile {

const char kMd2NodeName[] = "Quake MD2";

namespace {

Point3 toPoint(const modelformat::Md3Vec3& v) { return Point3(v.x, v.y, v.z); }

Matrix3 tagTransform(const modelformat::Md3TagRecord& tag) {
    Matrix3 transform(TRUE);
    transform.SetRow(0, toPoint(tag.axes[0]));
    transform.SetRow(1, toPoint(tag.axes[1]));
    transform.SetRow(2, toPoint(tag.axes[2]));
    transform.SetRow(3, toPoint(tag.origin));
    transform.ValidateFlags();
    return transform;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// The frames of an MD3 surface: positions are the stored values / 64, normals as the game decodes
// the two angle bytes; triangles (a, b, c) become faces (a, c, b) and texture coordinates (s, t)
// texture vertices (s, 1 - t), as the importer makes them.
ModelSurface surfaceOf(const modelformat::Md3Surface& file, int frameCount, std::vector<std::string>& warnings) {
    ModelSurface surface;
    surface.name = file.header.name;
    if (!file.shaders.empty()) {
        surface.shader = file.shaders.front().name;
        if (file.shaders.size() > 1) {
            warnings.push_back("surface " + quoted(surface.name) + " names " + std::to_string(file.shaders.size()) +
                               " shaders; the first, " + quoted(surface.shader) + ", is its texture");
        }
    }
    const int vertexCount = file.header.vertexCount;
    surface.vertexCount = vertexCount;
    surface.faces.reserve(file.triangles.size());
    for (const modelformat::Md3Triangle& triangle : file.triangles) {
        const std::array<int32_t, 3>& stored = triangle.indices;
        surface.faces.push_back({stored[0], stored[2], stored[1]});
    }
    surface.textureFaces = surface.faces;
    surface.textureVertices.reserve(file.texCoords.size());
    for (const modelformat::Md3TexCoord& st : file.texCoords) {
        surface.textureVertices.emplace_back(st.s, 1.0f - st.t, 0.0f);
    }

    const int ownFrames = file.header.frameCount;
    if (ownFrames != frameCount) {
        warnings.push_back(
            "surface " + quoted(surface.name) + " has " + std::to_string(ownFrames) + " frames where the file has " +
            std::to_string(frameCount) +
            (ownFrames < frameCount ? "; its last frame stands for the missing ones" : "; the rest are left out"));
    }
    const size_t count = static_cast<size_t>(frameCount) * static_cast<size_t>(vertexCount);
    surface.positions.reserve(count);
    surface.normals.reserve(count);
    for (int frame = 0; frame < frameCount; ++frame) {
        const modelformat::Md3Vertex* stored = file.frameVertices(std::min(frame, ownFrames - 1));
        for (int v = 0; v < vertexCount; ++v) {
            const modelformat::Md3Vertex& vertex = stored[v];
            surface.positions.emplace_back(vertex.x * modelformat::kMd3PositionUnit,
                                           vertex.y * modelformat::kMd3PositionUnit,
                                           vertex.z * modelformat::kMd3PositionUnit);
            surface.normals.push_back(toPoint(modelformat::decodeMd3Normal(vertex.normalPolar, vertex.normalAzimuth)));
        }
    }
    return surface;
}

bool fromMd3(const std::vector<uint8_t>& bytes, ModelReadResult& result) {
    const modelformat::Md3ReadResult read = modelformat::readMd3(bytes);
    if (!read.ok) {
        result.error = std::string("not a readable MD3 file (") + modelformat::readErrorName(read.error) + ": " +
                       read.message + ")";
        return false;
    }
    const modelformat::Md3Model& file = read.model;
    AnimatedModel& model = result.model;
    model.kind = "MD3";
    model.frameCount = file.header.frameCount;
    for (const modelformat::Md3FrameRecord& frame : file.frames) {
        model.frameNames.push_back(frame.name);
    }
    if (model.frameCount == 0) {
        // Tags are stored per frame, so they have no place; surfaces hold their own frames.
        for (const modelformat::Md3Surface& surface : file.surfaces) {
            model.frameCount = std::max(model.frameCount, surface.header.frameCount);
        }
        model.frameNames.assign(static_cast<size_t>(model.frameCount), "");
        if (file.header.tagCount > 0) {
            result.warnings.push_back("the file has no frames, so its " + std::to_string(file.header.tagCount) +
                                      " tags have no place and are left out");
        }
    } else {
        for (int32_t t = 0; t < file.header.tagCount; ++t) {
            ModelTag tag;
            tag.name = file.tag(0, t).name;
            tag.frames.reserve(static_cast<size_t>(model.frameCount));
            for (int32_t frame = 0; frame < model.frameCount; ++frame) {
                tag.frames.push_back(tagTransform(file.tag(frame, t)));
            }
            model.tags.push_back(std::move(tag));
        }
    }
    for (const modelformat::Md3Surface& surface : file.surfaces) {
        model.surfaces.push_back(surfaceOf(surface, model.frameCount, result.warnings));
    }
    return true;
}

// The frames of an MD2 file: positions as the reader decodes them, (4X, 4Z, -4Y), and the
// table's normals turned the same way, (x, z, -y), so that they stay the surface's normals.
bool fromMd2(const std::vector<uint8_t>& bytes, ModelReadResult& result) {
    const modelformat::Md2ReadResult read = modelformat::readMd2AllFrames(bytes);
    if (!read.ok) {
        result.error = std::string("not a readable MD2 file (") + modelformat::readErrorName(read.error) + ": " +
                       read.message + ")";
        return false;
    }
    const modelformat::Md2Model& file = read.model;
    AnimatedModel& model = result.model;
    model.kind = "MD2";
    model.frameCount = file.header.numFrames;
    for (const modelformat::Md2DecodedFrame& frame : file.allFrames) {
        model.frameNames.push_back(frame.header.name);
    }
    model.frameGroups = groupFramesByStem(model.frameNames);

    ModelSurface surface;
    surface.name = kMd2NodeName;
    if (!file.skinNames.empty()) {
        surface.shader = file.skinNames.front();
        if (file.skinNames.size() > 1) {
            result.warnings.push_back("the model has " + std::to_string(file.skinNames.size()) + " skins; the first, " +
                                      quoted(surface.shader) + ", is its texture");
        }
    }
    surface.vertexCount = file.header.numVertices;
    for (const modelformat::Md2Vec2& uv : file.textureCoordinates) {
        surface.textureVertices.emplace_back(uv.u, uv.v, 0.0f);
    }
    for (const modelformat::Md2Triangle& triangle : file.triangles) {
        const std::array<int16_t, 3>& v = triangle.vertexIndices;
        const std::array<int16_t, 3>& t = triangle.texCoordIndices;
        surface.faces.push_back({v[0], v[2], v[1]});
        surface.textureFaces.push_back({t[0], t[2], t[1]});
    }
    for (const modelformat::Md2DecodedFrame& frame : file.allFrames) {
        for (size_t v = 0; v < frame.positions.size(); ++v) {
            const modelformat::Md2Vec3& p = frame.positions[v];
            const modelformat::Md2Vec3& n = frame.normals[v];
            surface.positions.emplace_back(p.x, p.y, p.z);
            surface.normals.emplace_back(n.x, n.z, -n.y);
        }
    }
    if (file.badNormalIndexCount > 0) {
        result.warnings.push_back(std::to_string(file.badNormalIndexCount) +
                                  " vertex normals name no entry of the normal table and point up");
    }
    model.surfaces.push_back(std::move(surface));
    return true;
}

}  // namespace

std::string frameStem(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') {
        --end;
    }
    return name.substr(0, end);
}

std::vector<FrameGroup> groupFramesByStem(const std::vector<std::string>& names) {
    std::vector<FrameGroup> groups;
    bool open = false;
    for (size_t frame = 0; frame < names.size(); ++frame) {
        const std::string stem = frameStem(names[frame]);
        if (stem.empty()) {
            open = false;
            continue;
        }
        if (open && groups.back().name == stem) {
            ++groups.back().frameCount;
            continue;
        }
        groups.push_back(FrameGroup{stem, static_cast<int>(frame), 1});
        open = true;
    }
    if (groups.size() < 2) {
        groups.clear();
    }
    return groups;
}

ModelReadResult readAnimatedModel(const std::vector<uint8_t>& bytes) {
    ModelReadResult result;
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), modelformat::kMd3Magic, 4) == 0) {
        result.ok = fromMd3(bytes, result);
    } else if (bytes.size() >= 4 && std::memcmp(bytes.data(), modelformat::kMd2Magic, 4) == 0) {
        result.ok = fromMd2(bytes, result);
    } else {
        result.error = "not an MD3 or MD2 file (it starts with neither IDP3 nor IDP2)";
    }
    if (!result.ok) {
        result.model = AnimatedModel();
    }
    return result;
}

ModelReadResult readAnimatedModelFile(const std::string& path) {
    ModelReadResult result;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file == nullptr) {
        result.error = "cannot open " + path;
        return result;
    }
    std::vector<uint8_t> bytes;
    const modelformat::ReadError read =
        modelformat::readFileBytes(file.get(), modelformat::FileReadStart::FileStart, bytes);
    if (read != modelformat::ReadError::None) {
        result.error = "cannot read " + path + " (" + modelformat::readErrorName(read) + ")";
        return result;
    }
    return readAnimatedModel(bytes);
}

}  // namespace host::modelfile
