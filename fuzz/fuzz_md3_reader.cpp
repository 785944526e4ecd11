// libFuzzer target for the MD3 reader at each detail: accepted models must agree with their own
// headers, and the lesser details must accept, refuse and decode as the full read does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "modelformat/md3_reader.h"
#include "modelformat/model_limits.h"

namespace {

using namespace modelformat;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkAccepted(const Md3Model& model, size_t size) {
    const Md3FileHeader& h = model.header;
    const auto heldFrames = static_cast<size_t>(model.heldFrameCount());
    require(model.frames.size() == heldFrames);
    require(model.tags.size() == heldFrames * static_cast<size_t>(h.tagCount));
    require(model.surfaces.size() == static_cast<size_t>(h.surfaceCount));
    for (const Md3Surface& surface : model.surfaces) {
        const Md3SurfaceHeader& s = surface.header;
        require(s.frameCount > 0);
        require(surface.fileOffset + static_cast<uint32_t>(s.endOffset) <= size);
        require(surface.shaders.size() == static_cast<size_t>(s.shaderCount));
        if (model.detail == Md3Detail::Headers) {
            require(surface.triangles.empty() && surface.texCoords.empty() && surface.vertices.empty());
            continue;
        }
        const size_t frames = model.detail == Md3Detail::EveryFrame ? static_cast<size_t>(s.frameCount) : 1;
        require(surface.texCoords.size() == static_cast<size_t>(s.vertexCount));
        require(surface.vertices.size() == frames * static_cast<size_t>(s.vertexCount));
        for (const Md3Triangle& triangle : surface.triangles) {
            for (int32_t index : triangle.indices) {
                require(index >= 0 && index < s.vertexCount);
            }
        }
    }
}

Md3ReadResult readChecked(const uint8_t* data, size_t size, Md3Detail detail) {
    Md3ReadResult result = readMd3(data, size, detail);
    if (result.ok) {
        checkAccepted(result.model, size);
    } else {
        // A refusal names a byte of the file, or the end of the data when it is cut short.
        require(result.error != ReadError::None && !result.message.empty() && result.offset <= size);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Md3ReadResult full = readChecked(data, size, Md3Detail::EveryFrame);
    const Md3ReadResult first = readChecked(data, size, Md3Detail::FirstFrame);
    const Md3ReadResult headers = readChecked(data, size, Md3Detail::Headers);

    // The first-frame read sees everything but the later frames, so it decides as the full read.
    require(first.ok == full.ok && first.error == full.error && first.offset == full.offset);
    // Reading the headers skips triangle indices only: it accepts what the full read accepts, and
    // refuses at the same byte unless the full read stopped at a triangle index first.
    require(!full.ok || headers.ok);
    require(headers.ok || !full.ok);
    require(full.ok || full.error == ReadError::IndexOutOfRange ||
            (headers.error == full.error && headers.offset == full.offset));
    if (!full.ok) {
        return 0;
    }
    // What check reports on a file that reads names bytes of that file.
    for (const GameFault& fault : findMd3GameFaults(full.model)) {
        require(fault.offset < size && !fault.message.empty());
    }
    for (size_t s = 0; s < full.model.surfaces.size(); ++s) {
        const Md3Surface& all = full.model.surfaces[s];
        const Md3Surface& one = first.model.surfaces[s];
        require(one.vertices.empty() ||
                std::memcmp(one.vertices.data(), all.vertices.data(), one.vertices.size() * sizeof(Md3Vertex)) == 0);
        require(headers.model.surfaces[s].fileOffset == all.fileOffset);
    }
    return 0;
}
