// What the games and the formats' tools accept, checked on models that read correctly: Quake III
// refuses a surface of 1000 or more vertices or more than 1999 triangles; the MD3 tools stop at
// 1024 frames, 32 surfaces, 16 tags and names of 64 characters; Quake II stops at 2048 vertices,
// 4096 triangles and 512 frames of an MD2.
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

}  // namespace modelformat

#endif
