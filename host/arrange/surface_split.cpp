// Surfaces cut into parts within the game's limits.
#include "surface_split.h"

#include <cctype>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace host::arrange {

namespace {

// One part being grown: its triangles and the MD3 vertices they make.
class GrowingPart {
public:
    GrowingPart(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles, const SurfaceLimits& limits)
        : mesh_(mesh), triangles_(triangles), limits_(limits), mapped_(hasMapping(mesh)) {}

    // Takes the triangle when the part still fits with it.
    bool take(size_t t) {
        if (static_cast<long long>(taken_.size()) >= limits_.maxTriangles) {
            return false;
        }
        int added = 0;
        Md3VertexKey keys[3];
        for (size_t c = 0; c < 3; ++c) {
            keys[c] = md3VertexKey(mesh_, triangles_[t].corners[c], mapped_);
            bool repeated = pairs_.count(keys[c]) > 0;
            for (size_t earlier = 0; earlier < c && !repeated; ++earlier) {
                repeated = keys[earlier] == keys[c];
            }
            added += repeated ? 0 : 1;
        }
        if (static_cast<long long>(pairs_.size()) + added > limits_.maxVertices) {
            return false;
        }
        for (const Md3VertexKey& key : keys) {
            pairs_.insert(key);
        }
        taken_.push_back(triangles_[t]);
        return true;
    }

    // Whether no further triangle can fit: the triangle limit reached, or no room for a triangle
    // of three new vertices (one that reuses vertices may still fit, so this is only a shortcut).
    bool full() const {
        return static_cast<long long>(taken_.size()) >= limits_.maxTriangles ||
               static_cast<long long>(pairs_.size()) >= limits_.maxVertices;
    }

    std::vector<SurfaceTriangle> release() { return std::move(taken_); }

private:
    const Mesh& mesh_;
    const std::vector<SurfaceTriangle>& triangles_;
    const SurfaceLimits& limits_;
    bool mapped_;
    std::unordered_set<Md3VertexKey, Md3VertexKeyHash> pairs_;
    std::vector<SurfaceTriangle> taken_;
};

}  // namespace

std::vector<std::vector<SurfaceTriangle>> splitToFit(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles,
                                                     const SurfaceLimits& limits) {
    std::vector<std::vector<SurfaceTriangle>> parts;
    if (fitsLimits(mesh, triangles, limits)) {
        parts.push_back(triangles);
        return parts;
    }
    // The triangles around each geometric vertex.
    std::unordered_map<int, std::vector<size_t>> around;
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (const Corner& corner : triangles[t].corners) {
            std::vector<size_t>& list = around[corner.vertex];
            if (list.empty() || list.back() != t) {
                list.push_back(t);
            }
        }
    }
    std::vector<bool> taken(triangles.size(), false);
    size_t nextSeed = 0;
    size_t left = triangles.size();
    while (left > 0) {
        GrowingPart part(mesh, triangles, limits);
        // Triangles queued for this part (a triangle that did not fit is left for a later part).
        std::vector<bool> queued(triangles.size(), false);
        std::deque<size_t> frontier;
        bool tookAny = false;
        while (!part.full()) {
            if (frontier.empty()) {
                while (nextSeed < triangles.size() && (taken[nextSeed] || queued[nextSeed])) {
                    ++nextSeed;
                }
                if (nextSeed == triangles.size()) {
                    break;
                }
                frontier.push_back(nextSeed);
                queued[nextSeed] = true;
            }
            const size_t t = frontier.front();
            frontier.pop_front();
            if (!part.take(t)) {
                continue;
            }
            taken[t] = true;
            tookAny = true;
            --left;
            for (const Corner& corner : triangles[t].corners) {
                for (const size_t neighbour : around[corner.vertex]) {
                    if (!taken[neighbour] && !queued[neighbour]) {
                        queued[neighbour] = true;
                        frontier.push_back(neighbour);
                    }
                }
            }
        }
        if (!tookAny) {
            break;  // cannot happen with limits that hold one triangle; never loop for ever
        }
        parts.push_back(part.release());
        nextSeed = 0;
    }
    return parts;
}

std::string skinLookupName(const std::string& surfaceName) {
    std::string name = surfaceName;
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (name.size() > 2 && name[name.size() - 2] == '_') {
        name.resize(name.size() - 2);
    }
    return name;
}

std::vector<std::string> partNames(const std::string& surfaceName, size_t count) {
    std::string stem = surfaceName;
    if (stem.size() > 2 && stem[stem.size() - 2] == '_') {
        stem.resize(stem.size() - 2);
    }
    std::vector<std::string> names{surfaceName};
    static const char kSuffixes[] = "123456789abcdefghijklmnopqrstuvwxyz";
    for (const char* suffix = kSuffixes; *suffix != '\0' && names.size() < count; ++suffix) {
        const std::string name = stem + "_" + *suffix;
        if (skinLookupName(name) != skinLookupName(surfaceName) || name == surfaceName) {
            continue;
        }
        names.push_back(name);
    }
    if (names.size() < count) {
        names.clear();
    }
    return names;
}

}  // namespace host::arrange
