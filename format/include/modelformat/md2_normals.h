// The 162 precomputed vertex normals an MD2 packed vertex refers to by index.
#ifndef MODELFORMAT_MD2_NORMALS_H
#define MODELFORMAT_MD2_NORMALS_H

#include <array>
#include <cstddef>

#include "modelformat/md2_format.h"

namespace modelformat {

constexpr size_t kMd2NormalCount = 162;

// The table in the order the file's indices use, in the file's axes.
extern const std::array<Md2Vec3, kMd2NormalCount> kMd2Normals;

// Entry `index`, or the up vector (0, 0, 1) for an index past the table.
Md2Vec3 md2Normal(size_t index);

}  // namespace modelformat

#endif
