// Welding a scene file's vertices into geometric vertices: a grid of cells a tolerance wide finds
// the candidates at a position, and the first candidate that agrees in every attribute is taken.
#include "mesh_welding.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace host::scenefile {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool isFinite(const aiVector3D& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool withinEach(const aiVector3D& a, const aiVector3D& b, double tolerance) {
    return std::fabs(static_cast<double>(a.x) - b.x) <= tolerance &&
           std::fabs(static_cast<double>(a.y) - b.y) <= tolerance &&
           std::fabs(static_cast<double>(a.z) - b.z) <= tolerance;
}

double length(const aiVector3D& v) {
    return std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y + static_cast<double>(v.z) * v.z);
}

// Two normals point the same way; zero normals agree only with each other.
bool sameDirection(const aiVector3D& a, const aiVector3D& b, double minimumCosine) {
    const double la = length(a);
    const double lb = length(b);
    if (la == 0.0 || lb == 0.0) {
        return la == lb;
    }
    const double dot = static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
    return dot >= minimumCosine * la * lb;
}

struct Cell {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t z = 0;
    bool operator==(const Cell& other) const { return x == other.x && y == other.y && z == other.z; }
};

struct CellHash {
    size_t operator()(const Cell& c) const {
        const auto mix = [](std::uint64_t h, std::int64_t v) {
            return (h ^ static_cast<std::uint64_t>(v)) * 0x100000001B3ull;
        };
        return static_cast<size_t>(mix(mix(mix(0xCBF29CE484222325ull, c.x), c.y), c.z));
    }
};

// The geometric vertices in each cell, in the order they were made: an open-addressing table of
// the cells in use, each the head and tail of a list threaded through the vertices.
class CellGrid {
public:
    explicit CellGrid(size_t vertices) {
        size_t capacity = 16;
        while (capacity < vertices * 2) {
            capacity *= 2;
            ++bits_;
        }
        slots_.resize(capacity);
        next_.reserve(vertices);
    }

    void add(const Cell& cell, std::uint32_t geometric) {
        if (next_.size() <= geometric) {
            next_.resize(static_cast<size_t>(geometric) + 1, kEnd);
        }
        Slot& slot = slots_[indexOf(cell)];
        if (!slot.used) {
            slot.used = true;
            slot.cell = cell;
            slot.head = slot.tail = geometric;
            return;
        }
        next_[slot.tail] = geometric;
        slot.tail = geometric;
    }

    // The first vertex of the cell (kEnd for none) and the one after a vertex.
    std::uint32_t first(const Cell& cell) const {
        const Slot& slot = slots_[indexOf(cell)];
        return slot.used ? slot.head : kEnd;
    }
    std::uint32_t after(std::uint32_t geometric) const { return next_[geometric]; }

    static constexpr std::uint32_t kEnd = 0xFFFFFFFFu;

private:
    struct Slot {
        Cell cell;
        std::uint32_t head = kEnd;
        std::uint32_t tail = kEnd;
        bool used = false;
    };

    // The cell's slot, or the free slot where it would go: the table is never more than half full.
    size_t indexOf(const Cell& cell) const {
        const size_t mask = slots_.size() - 1;
        // The hash's high bits, which its multiplications have mixed from all of the cell's.
        const std::uint64_t mixed = static_cast<std::uint64_t>(CellHash()(cell)) * 0x9E3779B97F4A7C15ull;
        for (auto at = static_cast<size_t>(mixed >> (64 - bits_));; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (!slot.used || slot.cell == cell) {
                return at;
            }
        }
    }

    std::vector<Slot> slots_;
    unsigned bits_ = 4;  // slots_ holds 2^bits_
    std::vector<std::uint32_t> next_;
};

class Welder {
public:
    Welder(const aiMesh& mesh, const std::vector<std::vector<SkinInfluence>>& influences)
        : mesh_(mesh),
          normalCosine_(std::cos(kWeldNormalDegrees * kPi / 180.0)),
          normalOffsetTolerance_(std::sin(kWeldNormalDegrees * kPi / 180.0)),
          grid_(mesh.mNumVertices) {
        // The larger of the mesh's size and its farthest coordinate: positions far from the
        // origin are rounded in steps of their own size. In double, so that no float overflows.
        double low[3] = {0.0, 0.0, 0.0};
        double high[3] = {0.0, 0.0, 0.0};
        double farthest = 0.0;
        bool first = true;
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D& p = mesh.mVertices[v];
            if (!isFinite(p)) {
                continue;
            }
            for (unsigned axis = 0; axis < 3; ++axis) {
                const double c = p[axis];
                low[axis] = first ? c : std::min(low[axis], c);
                high[axis] = first ? c : std::max(high[axis], c);
                farthest = std::max(farthest, std::fabs(c));
            }
            first = false;
        }
        const double diagonal = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
        const double extent = std::max(farthest, diagonal);
        // Every finite coordinate then lies within 1 / kWeldPositionTolerance tolerances of the
        // origin, so cell numbers fit; a mesh all at the origin needs no tolerance at all.
        tolerance_ = extent > 0.0 ? extent * kWeldPositionTolerance : 1.0;

        normals_ = mesh.HasNormals();
        for (unsigned t = 0; t < mesh.mNumAnimMeshes; ++t) {
            const aiAnimMesh* target = mesh.mAnimMeshes[t];
            if (target != nullptr && target->HasPositions() && target->mNumVertices == mesh.mNumVertices) {
                targets_.push_back(target);
            }
        }
        // Each vertex's influences by bone, equal bones summed, weights normalised.
        weights_.resize(influences.size());
        for (size_t v = 0; v < influences.size(); ++v) {
            std::vector<SkinInfluence> own = influences[v];
            std::sort(own.begin(), own.end(),
                      [](const SkinInfluence& a, const SkinInfluence& b) { return a.bone < b.bone; });
            float total = 0.0f;
            for (const SkinInfluence& influence : own) {
                total += influence.weight;
                if (!weights_[v].empty() && weights_[v].back().bone == influence.bone) {
                    weights_[v].back().weight += influence.weight;
                } else {
                    weights_[v].push_back(influence);
                }
            }
            for (SkinInfluence& influence : weights_[v]) {
                influence.weight = total > 0.0f ? influence.weight / total : 0.0f;
            }
        }
    }

    WeldedVertices weld() {
        WeldedVertices result;
        result.geometricOf.resize(mesh_.mNumVertices);
        for (unsigned v = 0; v < mesh_.mNumVertices; ++v) {
            const aiVector3D& p = mesh_.mVertices[v];
            const bool weldable = isFinite(p) && (!normals_ || isFinite(mesh_.mNormals[v]));
            Cell cell;
            if (weldable) {
                cell = cellOf(p);
                const std::uint32_t found = findMatch(v, cell, result.sourceOf);
                if (found != kNone) {
                    result.geometricOf[v] = found;
                    continue;
                }
            }
            const auto geometric = static_cast<std::uint32_t>(result.sourceOf.size());
            result.sourceOf.push_back(v);
            result.geometricOf[v] = geometric;
            if (weldable) {
                grid_.add(cell, geometric);
            }
        }
        return result;
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    Cell cellOf(const aiVector3D& p) const {
        return Cell{static_cast<std::int64_t>(std::floor(p.x / tolerance_)),
                    static_cast<std::int64_t>(std::floor(p.y / tolerance_)),
                    static_cast<std::int64_t>(std::floor(p.z / tolerance_))};
    }

    // The earliest geometric vertex in the cells around `cell` that file vertex v agrees with.
    std::uint32_t findMatch(unsigned v, const Cell& cell, const std::vector<std::uint32_t>& sourceOf) const {
        std::uint32_t best = kNone;
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                for (std::int64_t dz = -1; dz <= 1; ++dz) {
                    // A cell lists its vertices in the order they were made: past `best` none can win.
                    for (std::uint32_t geometric = grid_.first(Cell{cell.x + dx, cell.y + dy, cell.z + dz});
                         geometric != CellGrid::kEnd && geometric < best; geometric = grid_.after(geometric)) {
                        if (agree(v, sourceOf[geometric])) {
                            best = geometric;
                            break;
                        }
                    }
                }
            }
        }
        return best;
    }

    bool agree(unsigned a, unsigned b) const {
        if (!withinEach(mesh_.mVertices[a], mesh_.mVertices[b], tolerance_)) {
            return false;
        }
        if (normals_ && !sameDirection(mesh_.mNormals[a], mesh_.mNormals[b], normalCosine_)) {
            return false;
        }
        if (!sameInfluences(a, b)) {
            return false;
        }
        for (const aiAnimMesh* target : targets_) {
            if (!withinEach(target->mVertices[a] - mesh_.mVertices[a], target->mVertices[b] - mesh_.mVertices[b],
                            tolerance_)) {
                return false;
            }
            if (normals_ && target->HasNormals() &&
                !withinEach(target->mNormals[a] - mesh_.mNormals[a], target->mNormals[b] - mesh_.mNormals[b],
                            normalOffsetTolerance_)) {
                return false;
            }
        }
        return true;
    }

    bool sameInfluences(unsigned a, unsigned b) const {
        if (weights_.empty()) {
            return true;
        }
        const std::vector<SkinInfluence>& first = weights_[a];
        const std::vector<SkinInfluence>& second = weights_[b];
        if (first.size() != second.size()) {
            return false;
        }
        for (size_t i = 0; i < first.size(); ++i) {
            if (first[i].bone != second[i].bone ||
                std::fabs(first[i].weight - second[i].weight) > kWeldWeightTolerance) {
                return false;
            }
        }
        return true;
    }

    const aiMesh& mesh_;
    const double normalCosine_;
    const double normalOffsetTolerance_;
    double tolerance_ = 1.0;
    bool normals_ = false;
    std::vector<const aiAnimMesh*> targets_;
    std::vector<std::vector<SkinInfluence>> weights_;
    CellGrid grid_;
};

}  // namespace

WeldedVertices weldVertices(const aiMesh& mesh, const std::vector<std::vector<SkinInfluence>>& influences) {
    return Welder(mesh, influences).weld();
}

}  // namespace host::scenefile
