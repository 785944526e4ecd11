// What the games and the formats' tools accept, checked on models that read correctly: Quake III
// refuses a surface of 1000 or more vertices or more than 1999 triangles; the MD3 tools stop at
// 1024 frames, 32 surfaces, 16 tags and names of 64 characters; Quake II stops at 2048 vertices,
// 4096 triangles and 512 frames of an MD2. And the values a file may hold that the readers take
// as stored but that the games cannot use.
#ifndef MODELFORMAT_MODEL_LIMITS_H
#define MODELFORMAT_MODEL_LIMITS_H

#include <string>
#include <vector>

#include "md2_reader.h"
#include "md3_reader.h"

namespace modelformat {

constexpr int kMd3MaxSurfaceVertices = 999;
constexpr int kMd3MaxSurfaceTriangles = 1999;
constexpr int kMd3MaxFrames = 1024;
constexpr int kMd3MaxSurfaces = 32;
constexpr int kMd3MaxTags = 16;

constexpr int kMd2MaxVertices = 2048;
constexpr int kMd2MaxTriangles = 4096;
constexpr int kMd2MaxFrames = 512;

struct LimitBreach {
    std::string where;    // "file", "surface legs", "tag tag_weapon", ...
    std::string message;  // in plain words
};

std::vector<LimitBreach> checkMd3Limits(const Md3Model& model);
std::vector<LimitBreach> checkMd2Limits(const Md2Model& model);

// A value in a file that reads, which the game cannot use.
struct GameFault {
    size_t offset = 0;    // the byte of the file where it lies (the first, when there are several)
    std::string where;    // "file", "surface legs", "frames", "tags", "GL commands", ...
    std::string message;  // in plain words
};

// In a model read with Md3Detail::EveryFrame: a file without frames (the game shows frame 0), a
// surface whose frame count differs from the file's (the game takes every surface's vertices
// of the file's frame), and frame bounds, origins, radii or tag transforms that are not finite
// numbers (the game culls, lights and attaches models by them).
std::vector<GameFault> findMd3GameFaults(const Md3Model& model);

// In an MD2 file that reads (its bytes and what readMd2 made of them): vertex normal indices of
// 162 or more in any frame, past the game's table of 162 normals, and GL commands (the strips and
// fans the game draws) that point past the vertices, run past their block, or, when there are
// any, do not end with a zero count.
std::vector<GameFault> findMd2GameFaults(const uint8_t* data, size_t size, const Md2Model& model);

}  // namespace modelformat

#endif
