// An MD3 or MD2 file read whole into the host's terms: every frame of every surface and tag, the
// file's normals, shader names and frame names, with the importer plug-in's conventions so that
// frame k is what the importer would make of frame k.
#ifndef HOST_MODELFILE_ANIMATED_MODEL_H
#define HOST_MODELFILE_ANIMATED_MODEL_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <max.h>

namespace host::modelfile {

// One surface shaped like a host mesh: geometric vertices, texture vertices, and faces and texture
// faces in the host's winding (the reverse of the file's).
struct ModelSurface {
    std::string name;
    std::string shader;  // the texture the surface names, exactly as the file holds it; "" for none
    int vertexCount = 0;
    std::vector<std::array<int, 3>> faces;
    std::vector<UVVert> textureVertices;  // (u, v, 0) with v = 1 - the file's t
    std::vector<std::array<int, 3>> textureFaces;
    // frameCount x vertexCount, frame-major: positions in scene units and unit normals.
    std::vector<Point3> positions;
    std::vector<Point3> normals;

    const Point3* framePositions(int frame) const {
        return positions.data() + static_cast<size_t>(frame) * static_cast<size_t>(vertexCount);
    }
    const Point3* frameNormals(int frame) const {
        return normals.data() + static_cast<size_t>(frame) * static_cast<size_t>(vertexCount);
    }
    // Without a triangle there is nothing a scene file can draw (and nothing the exporter writes).
    bool empty() const { return faces.empty(); }
};

struct ModelTag {
    std::string name;
    std::vector<Matrix3> frames;  // per frame: the three axis rows and the origin, as stored
};

// Consecutive frames whose names share a stem: "run1" to "run6" make the group "run".
struct FrameGroup {
    std::string name;
    int firstFrame = 0;
    int frameCount = 0;
};

struct AnimatedModel {
    std::string kind;  // "MD3" or "MD2"
    int frameCount = 0;
    std::vector<std::string> frameNames;  // one per frame
    std::vector<ModelTag> tags;           // in file order
    std::vector<ModelSurface> surfaces;   // in file order
    // MD2 only, and only when the names make more than one group.
    std::vector<FrameGroup> frameGroups;
};

struct ModelReadResult {
    bool ok = false;
    std::string error;
    // What of the file does not arrive whole (a second shader, frames a surface lacks, ...).
    std::vector<std::string> warnings;
    AnimatedModel model;
};

// The MD3 or MD2 file in these bytes, told by its magic. The model's name for MD2 files is the
// importer's, "Quake MD2".
ModelReadResult readAnimatedModel(const std::vector<uint8_t>& bytes);
// The same, from a file; refused when it cannot be read.
ModelReadResult readAnimatedModelFile(const std::string& path);

// The name of a frame without its trailing digits.
std::string frameStem(const std::string& name);
// Runs of consecutive frames with the same stem; a frame whose name has no stem (only digits)
// belongs to no group. Empty when the names give a single group or none.
std::vector<FrameGroup> groupFramesByStem(const std::vector<std::string>& names);

// The importer plug-in's name for the one node of an MD2 file.
extern const char kMd2NodeName[];

}  // namespace host::modelfile

#endif
