// Small MD3 and MD2 files for the whole-model tests.
#include "model_files.h"

#include <algorithm>
#include <cmath>

#include <gltf_model_writer.h>

namespace modeltest {

modelformat::Md3Surface triangleSurface(const std::string& name, const std::string& shader, int frames,
                                        int16_t offset) {
    modelformat::Md3Surface surface;
    surface.header.name = name;
    surface.header.frameCount = frames;
    surface.header.vertexCount = 3;
    if (!shader.empty()) {
        surface.shaders = {modelformat::Md3ShaderRecord{shader, 0}};
    }
    surface.triangles = {modelformat::Md3Triangle{{0, 1, 2}}};
    surface.texCoords = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
    for (int f = 0; f < frames; ++f) {
        for (int v = 0; v < 3; ++v) {
            surface.vertices.push_back(modelformat::Md3Vertex{static_cast<int16_t>(64 * f + 64 * (v == 1)),
                                                              static_cast<int16_t>(64 * (v == 2)), offset,
                                                              static_cast<uint8_t>(10 * f + 20), 40});
        }
    }
    return surface;
}

modelformat::Md3Model md3With(int frames, const std::vector<modelformat::Md3Surface>& surfaces,
                              const std::vector<modelformat::Md3TagRecord>& tags, int tagCount) {
    modelformat::Md3Model model = testmodels::makeMd3Model(frames, 0, 0);
    model.surfaces = surfaces;
    model.header.surfaceCount = static_cast<int32_t>(surfaces.size());
    model.tags = tags;
    model.header.tagCount = tagCount;
    return model;
}

std::vector<uint8_t> bytesOf(const modelformat::Md3Model& model) {
    return testmodels::buildMd3(model, testmodels::SurfaceBlockOrder::ShadersFirst);
}

std::vector<uint8_t> md2Named(const std::vector<std::string>& names) {
    testmodels::Md2Build build = testmodels::makeMd2Build(static_cast<int32_t>(names.size()), 4);
    for (size_t f = 0; f < names.size(); ++f) {
        build.frames[f].name = names[f];
        // Inside the MD3 range of +/-512 units once scaled by 4.
        build.frames[f].scale = {0.25f, 0.125f, 0.375f};
        // Each frame its own shape, not only its own place.
        build.frames[f].vertices[3].position[2] = static_cast<uint8_t>(100 + 10 * f);
        build.frames[f].vertices[3].normalIndex = static_cast<uint8_t>(5 * f);
    }
    return testmodels::buildMd2(build);
}

modelformat::Md3TagRecord tagRecord(const std::string& name, float degrees, modelformat::Md3Vec3 scale, bool mirrored,
                                    modelformat::Md3Vec3 origin) {
    const double angle = degrees * 3.14159265358979323846 / 180.0;
    const auto c = static_cast<float>(std::cos(angle));
    const auto s = static_cast<float>(std::sin(angle));
    modelformat::Md3TagRecord tag;
    tag.name = name;
    tag.origin = origin;
    const float first = mirrored ? -scale.x : scale.x;
    tag.axes = {modelformat::Md3Vec3{c * first, s * first, 0.0f}, modelformat::Md3Vec3{-s * scale.y, c * scale.y, 0.0f},
                modelformat::Md3Vec3{0.0f, 0.0f, scale.z}};
    return tag;
}

host::modelfile::AnimatedModel modelOf(const std::vector<uint8_t>& bytes) {
    const host::modelfile::ModelReadResult read = host::modelfile::readAnimatedModel(bytes);
    EXPECT_TRUE(read.ok) << read.error;
    return read.model;
}

std::vector<std::string> writeGltf(const host::modelfile::AnimatedModel& model, const std::string& path,
                                   int framesPerSecond) {
    host::modelfile::GltfModelOptions options;
    options.binary = std::filesystem::path(path).extension() == ".glb";
    options.framesPerSecond = framesPerSecond;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_TRUE(host::modelfile::writeGltfModel(model, path, options, error, warnings)) << error;
    return warnings;
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
}

}  // namespace modeltest
