// Scene files in and out of the host's scene model, through the Open Asset Import Library.
#ifndef HOST_SCENEFILE_SCENE_FILE_H
#define HOST_SCENEFILE_SCENE_FILE_H

#include <string>
#include <vector>

#include "scene.h"

namespace host {

// Which way is up in the file. Files that say so (FBX, and COLLADA through assimp's own
// conversion) are followed when FromFile; every other file is taken as Y-up, as glTF always is
// and OBJ, 3DS (after assimp's conversion) and most exporters assume.
enum class SceneUpAxis { FromFile, Y, Z };

struct SceneLoadOptions {
    // The animation to sample: the one with this name when not empty, else the one at this
    // index, else every animation together when allAnimations is set. With none of them set: all
    // of the file's animations together when they move different nodes (as exporters write one
    // animation per animated object), else each object's own of takes made one per object and
    // action (Blender's FBX), else the file's first. Of takes made one per object and action
    // ("OBJECT|ACTION"), the name may also be an action's: its takes play together (those of the
    // objects whose own action it is, else all of them), the other objects stay as the file
    // places them.
    std::string animationName;
    int animationIndex = -1;
    bool allAnimations = false;
    // Frames per second of the host clock, set by loading (ticks per frame follow it). 0 takes the
    // animation's own key rate when it is a whole number from kMinFileFrameRate to
    // kMaxFileFrameRate (FBX keys count the file's frames), else kDefaultFrameRate (glTF keys are
    // in seconds, assimp gives them in milliseconds).
    int frameRate = 0;
    // Uniform scale of every position and translation, after the file's unit is turned into
    // metres (FBX's UnitScaleFactor, COLLADA's <unit>); never of a node's axes.
    float scale = 1.0f;
    SceneUpAxis upAxis = SceneUpAxis::FromFile;
    // Files the scene file refers to (glTF buffers, an OBJ's material library) are read only
    // from its own folder and below unless this is set; data: URIs and a GLB's own chunks are
    // part of the file.
    bool allowOutsideFiles = false;
    // The folder that images embedded in the file (a GLB's chunks, data: URIs, an FBX's embedded
    // media) are named in: such an image becomes the bitmap FOLDER/NAME.EXT ("" for none: NAME.EXT),
    // NAME the image's own name in the file, else its material's, else its node's, EXT told by its
    // bytes. Written with '/' between the parts.
    std::string embeddedTextureFolder;
};

// An image a scene file holds itself that a material uses, as named by loading.
struct EmbeddedImage {
    std::string bitmapName;            // FOLDER/NAME.EXT: the material's bitmap, the exported shader name
    std::string fileName;              // NAME.EXT
    std::vector<unsigned char> bytes;  // the image file as the scene file holds it (PNG, JPEG, TGA, ...)
};

struct SceneLoadResult {
    bool ok = false;
    std::string error;
    // Things loaded approximately or not at all (embedded textures, curve keys, unknown bones).
    std::vector<std::string> warnings;
    // Choices made for the caller that it may want to make differently (which animations play).
    std::vector<std::string> notes;
    // Every animation in the file, in file order; an unnamed one is listed as "".
    std::vector<std::string> animationNames;
    // When the file's takes are one per object and action ("OBJECT|ACTION", as Blender's FBX writer
    // makes them): every action once, in the order of its first take, each a name animationName
    // takes. Empty otherwise.
    std::vector<std::string> actionNames;
    // The animations sampled, by their index in animationNames; empty when the file has none.
    // When several play together, a node animated by more than one follows the first of them.
    std::vector<int> animationsPlayed;
    // The host clock's frame rate after loading.
    int frameRate = 0;
    // The sampled animation's length in seconds and in frames at frameRate: it is covered by
    // host frames 0 to lengthFrames, both included (0 for a still scene).
    double durationSeconds = 0.0;
    int lengthFrames = 0;
    // Nodes added to the scene, mesh nodes included.
    int nodeCount = 0;
    // The embedded images the scene's materials use, each once, in the order first used.
    std::vector<EmbeddedImage> embeddedImages;
};

constexpr int kDefaultFrameRate = 30;
// Key rates outside this range are time units (seconds, milliseconds, ticks), not frame rates.
constexpr int kMinFileFrameRate = 10;
constexpr int kMaxFileFrameRate = 120;

// Adds the file's nodes to the scene: names, hierarchy, transforms animated by the chosen
// animation, meshes (skinned and morphing ones computed only when converted), texture
// coordinates and diffuse bitmap materials, all converted to the host's Z-up frame. Sets the host
// clock's frame rate. On failure the scene is left as it was.
SceneLoadResult loadSceneFile(const std::string& path, const SceneLoadOptions& options, Scene& scene);

// Writes the scene at time 0 in the format the file name's extension asks for (.gltf, .glb,
// .obj, .dae, .ply, .stl, .3ds, .x, .fbx, ...): every node by name with its transform, meshes with
// texture coordinates, and materials naming their diffuse bitmap. Every file the format writes
// (a glTF file's buffer, an OBJ's material library) goes in place together with the scene file
// once all are complete, or none does. Answers false with a message in error when the format is
// unknown or writing fails; the files that were at the paths are then as they were.
bool saveSceneFile(const Scene& scene, const std::string& path, std::string& error);

// The file name extensions saveSceneFile knows, lower case, without the dot.
std::vector<std::string> sceneFileSaveExtensions();

}  // namespace host

#endif
