// libFuzzer target for the MD2 reader; accepted models must agree with their own headers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "modelformat/md2_reader.h"
#include "modelformat/model_limits.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void check(const modelformat::Md2ReadResult& result, const uint8_t* data, size_t size) {
    using namespace modelformat;
    if (!result.ok) {
        // A refusal names a byte of the file, or the end of the data when it is cut short.
        require(result.error != ReadError::None && !result.message.empty() && result.offset <= size);
        return;
    }
    const Md2Model& model = result.model;
    const Md2Header& h = model.header;
    require(model.texCoords.size() == static_cast<size_t>(h.numTexCoords));
    require(model.textureCoordinates.size() == model.texCoords.size());
    require(model.triangles.size() == static_cast<size_t>(h.numTriangles));
    require(model.positions.size() == static_cast<size_t>(h.numVertices));
    require(model.normals.size() == model.positions.size());
    require(h.numFrames == 0 ? model.frameIndex == -1 : (model.frameIndex >= 0 && model.frameIndex < h.numFrames));
    require(model.skinNames.size() == static_cast<size_t>(h.numSkins));
    require(model.allFrames.empty() || model.allFrames.size() == static_cast<size_t>(h.numFrames));
    for (const Md2DecodedFrame& frame : model.allFrames) {
        require(frame.positions.size() == static_cast<size_t>(h.numVertices));
        require(frame.normals.size() == frame.positions.size());
    }
    for (const Md2Triangle& triangle : model.triangles) {
        for (int16_t index : triangle.vertexIndices) {
            require(index >= 0 && index < h.numVertices);
        }
        for (int16_t index : triangle.texCoordIndices) {
            require(index >= 0 && index < h.numTexCoords);
        }
    }
    // What check reports on a file that reads names bytes of that file (or its end).
    for (const GameFault& fault : findMd2GameFaults(data, size, model)) {
        require(fault.offset <= size && !fault.message.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(modelformat::readMd2(data, size, modelformat::kMd2ImportFrame), data, size);
    check(modelformat::readMd2(data, size, std::numeric_limits<int32_t>::max()), data, size);
    check(modelformat::readMd2AllFrames(data, size), data, size);
    return 0;
}
