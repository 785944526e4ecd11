// One frame of an animated model as host nodes, for the scene formats that keep no animation and
// for what plughost lists.
#ifndef HOST_MODELFILE_MODEL_SCENE_H
#define HOST_MODELFILE_MODEL_SCENE_H

#include <scene.h>

#include "animated_model.h"

namespace host::modelfile {

// Adds the model at `frame` to the scene, in the importer's order: one node per tag (its transform
// in that frame, no object), then one node per surface (a static mesh with the frame's positions,
// the file's normals as its specified normals, and a material named after its shader whose bitmap
// is the shader). An empty surface is a node without an object.
void addFrameNodes(const AnimatedModel& model, int frame, Scene& scene);

}  // namespace host::modelfile

#endif
