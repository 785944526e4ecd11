// Keys as a scene file gives them are checked before they are sampled: sampling bisects keys by
// time and blends their values, which needs finite numbers in time order.
#ifndef HOST_SCENEFILE_ANIMATION_KEYS_H
#define HOST_SCENEFILE_ANIMATION_KEYS_H

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include <assimp/anim.h>

#include "file_animation.h"

namespace host::scenefile {

// What was dropped from the keys of one load, reported once for all of them.
struct DroppedKeys {
    size_t notFinite = 0;        // a time or a value that is not a finite number
    size_t outOfOrder = 0;       // a time before the time of the key kept before it
    std::string firstNotFinite;  // where the first of each was found ("translation of node \"x\"")
    std::string firstOutOfOrder;

    // One warning per kind of drop, none when nothing was dropped.
    std::vector<std::string> warnings() const {
        std::vector<std::string> lines;
        const auto counted = [](size_t count) {
            return std::to_string(count) + (count == 1 ? " animation key" : " animation keys");
        };
        if (notFinite > 0) {
            lines.push_back("dropped " + counted(notFinite) +
                            " whose time or value is not a finite number (first in the " + firstNotFinite + ")");
        }
        if (outOfOrder > 0) {
            lines.push_back("dropped " + counted(outOfOrder) + " earlier than the key before (first in the " +
                            firstOutOfOrder + ")");
        }
        return lines;
    }
};

inline bool isFinite(double value) { return std::isfinite(value); }
inline bool isFinite(const aiVector3D& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
inline bool isFinite(const aiQuaternion& q) {
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}
inline bool isFinite(const std::vector<float>& values) {
    for (float value : values) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

inline double timeOf(const aiVectorKey& key) { return key.mTime; }
inline double timeOf(const aiQuatKey& key) { return key.mTime; }
inline double timeOf(const MorphChannel::Key& key) { return key.time; }
inline bool valueIsFinite(const aiVectorKey& key) { return isFinite(key.mValue); }
inline bool valueIsFinite(const aiQuatKey& key) { return isFinite(key.mValue); }
inline bool valueIsFinite(const MorphChannel::Key& key) { return isFinite(key.weights); }

// Keeps the keys whose time and value are finite and whose time is not before the time of the
// key kept before it (equal times are kept: a jump). Dropping an out-of-order key rather than
// sorting keeps the keys that agree with the ones before them, as a player reading the keys in
// order would; a file that lists them out of order is broken, not ambiguous. where names the
// series in the warning.
template <typename Key>
void dropUnusableKeys(std::vector<Key>& keys, const std::string& where, DroppedKeys& dropped) {
    size_t kept = 0;
    for (size_t k = 0; k < keys.size(); ++k) {
        const double time = timeOf(keys[k]);
        if (!isFinite(time) || !valueIsFinite(keys[k])) {
            if (dropped.notFinite++ == 0) {
                dropped.firstNotFinite = where;
            }
            continue;
        }
        if (kept > 0 && time < timeOf(keys[kept - 1])) {
            if (dropped.outOfOrder++ == 0) {
                dropped.firstOutOfOrder = where;
            }
            continue;
        }
        if (kept != k) {
            keys[kept] = std::move(keys[k]);
        }
        ++kept;
    }
    keys.resize(kept);
}

}  // namespace host::scenefile

#endif
