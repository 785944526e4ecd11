// An animated model written as glTF 2.0 (.gltf or .glb) through tinygltf: every frame a morph
// target played by a morph-weight animation, tags as nodes keyed in every frame.
#ifndef HOST_MODELFILE_GLTF_MODEL_WRITER_H
#define HOST_MODELFILE_GLTF_MODEL_WRITER_H

#include <string>
#include <vector>

#include "animated_model.h"

namespace host::modelfile {

struct GltfModelOptions {
    bool binary = true;  // .glb; else .gltf with its buffer embedded
    // Frame k is keyed at the host's time of frame k at this rate: k x (4800 / rate) ticks.
    int framesPerSecond = 30;
    // The name of the animation that plays every frame (the model file's name, say).
    std::string animationName = "frames";
};

// Seconds of frame `frame` at a frame rate, as the host counts it (whole ticks per frame).
double frameSeconds(int frame, int framesPerSecond);

// Writes the model to `path`, replacing a file there only once the new one is complete. Adds to
// `warnings` what the file cannot hold as it is (an empty surface, tag axes that are not a rotation
// and a scale, a name that is not UTF-8). False with a message in `error` when writing failed.
bool writeGltfModel(const AnimatedModel& model, const std::string& path, const GltfModelOptions& options,
                    std::string& error, std::vector<std::string>& warnings);

}  // namespace host::modelfile

#endif
