// libFuzzer target for the MD3 reader; accepted models must agree with their own headers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "modelformat/md3_reader.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace modelformat;
    const Md3ReadResult result = readMd3(data, size);
    if (!result.ok) {
        // A refusal names a byte of the file, or the end of the data when it is cut short.
        require(result.error != ReadError::None && !result.message.empty() && result.offset <= size);
        return 0;
    }
    const Md3Model& model = result.model;
    const Md3FileHeader& h = model.header;
    require(model.frames.size() == static_cast<size_t>(h.frameCount));
    require(model.tags.size() == static_cast<size_t>(h.frameCount) * static_cast<size_t>(h.tagCount));
    require(model.surfaces.size() == static_cast<size_t>(h.surfaceCount));
    for (const Md3Surface& surface : model.surfaces) {
        const Md3SurfaceHeader& s = surface.header;
        require(s.frameCount > 0);
        require(surface.fileOffset + static_cast<uint32_t>(s.endOffset) <= size);
        require(surface.shaders.size() == static_cast<size_t>(s.shaderCount));
        require(surface.texCoords.size() == static_cast<size_t>(s.vertexCount));
        require(surface.vertices.size() == static_cast<size_t>(s.frameCount) * static_cast<size_t>(s.vertexCount));
        for (const Md3Triangle& triangle : surface.triangles) {
            for (int32_t index : triangle.indices) {
                require(index >= 0 && index < s.vertexCount);
            }
        }
    }
    return 0;
}
