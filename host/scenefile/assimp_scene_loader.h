// The scene loader behind loadSceneFile, over a scene assimp has already read, or one built in
// memory (the glTF fuzz target builds them from its input, keys and hierarchies assimp's readers
// would rarely make).
#ifndef HOST_SCENEFILE_ASSIMP_SCENE_LOADER_H
#define HOST_SCENEFILE_ASSIMP_SCENE_LOADER_H

#include <string>
#include <vector>

#include "gltf_interpolation.h"
#include "scene_file.h"

struct aiScene;

namespace host::scenefile {

// Everything loadSceneFile does once the file is read: path names the file in messages and
// resolves texture names; interpolations are its glTF document's, by animation (none for other
// formats). options.scale must be a positive finite number.
SceneLoadResult loadAssimpScene(const aiScene& file, const std::string& path, const SceneLoadOptions& options,
                                std::vector<GltfInterpolations> interpolations, Scene& scene);

}  // namespace host::scenefile

#endif
