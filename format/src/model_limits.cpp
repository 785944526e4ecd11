// The games' and tools' limits on MD3 and MD2 models.
#include "modelformat/model_limits.h"

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

}  // namespace modelformat
