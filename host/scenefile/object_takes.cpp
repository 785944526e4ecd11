// Blender's per-object FBX takes: recognising them, choosing each object's own, and the takes of
// one action.
#include "object_takes.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <unordered_set>

namespace host::scenefile {

namespace {

// Samples compared with the saved transforms at most: a file of more takes, nodes and key times
// than that goes without the comparison (each sample bisects keys).
constexpr size_t kSavedPoseBudget = size_t{1} << 22;
// Transforms agree within float rounding of what Blender computed twice: translations and scales
// within 1e-4 of their size (and 1e-4 near zero), rotations within 1e-4 radians.
constexpr float kRelativeTolerance = 1e-4f;
constexpr float kAngleTolerance = 1e-4f;

// How many nodes each node's subtree holds. The nodes are numbered depth first, parents before
// children, so a subtree is the run of indices [node, node + size).
std::vector<int> subtreeSizes(const std::vector<int>& parents) {
    std::vector<int> sizes(parents.size(), 1);
    for (size_t i = parents.size(); i > 0; --i) {
        const int parent = parents[i - 1];
        if (parent >= 0) {
            sizes[static_cast<size_t>(parent)] += sizes[i - 1];
        }
    }
    return sizes;
}

// The object a take named "OBJECT|ACTION" belongs to: a node named by the part before a '|' (names
// may hold '|' themselves, so each is tried) that holds every node the take moves. A take that
// moves no node, or one that is not there, belongs to none.
bool ownerOf(const aiAnimation& take, const NodeTree& nodes, const std::vector<int>& sizes, ObjectTakes::Take& owner) {
    const std::string name = take.mName.C_Str();
    if (take.mNumChannels == 0) {
        return false;
    }
    // A subtree is a run of indices: it holds every moved node when it holds the lowest and the
    // highest of their indices.
    int lowest = std::numeric_limits<int>::max();
    int highest = -1;
    for (unsigned c = 0; c < take.mNumChannels; ++c) {
        const auto moved = nodes.indexOf.find(take.mChannels[c]->mNodeName.C_Str());
        if (moved == nodes.indexOf.end()) {
            return false;
        }
        lowest = std::min(lowest, moved->second);
        highest = std::max(highest, moved->second);
    }
    for (size_t bar = name.find('|'); bar != std::string::npos; bar = name.find('|', bar + 1)) {
        const auto object = nodes.indexOf.find(name.substr(0, bar));
        if (object == nodes.indexOf.end()) {
            continue;
        }
        const int first = object->second;
        if (lowest >= first && highest < first + sizes[static_cast<size_t>(first)]) {
            owner = {first, name.substr(bar + 1)};
            return true;
        }
    }
    return false;
}

struct Pose {
    aiVector3D position;
    aiQuaternion rotation;
    aiVector3D scaling{1.0f, 1.0f, 1.0f};
};

bool nearVector(const aiVector3D& a, const aiVector3D& b) {
    const float size = std::max({1.0f, a.Length(), b.Length()});
    return (a - b).Length() <= kRelativeTolerance * size;
}

bool nearRotation(const aiQuaternion& a, const aiQuaternion& b) {
    const float lengths =
        std::sqrt((a.w * a.w + a.x * a.x + a.y * a.y + a.z * a.z) * (b.w * b.w + b.x * b.x + b.y * b.y + b.z * b.z));
    if (!(lengths > 0.0f)) {
        return false;
    }
    const float cosine = std::min(1.0f, std::fabs(a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z) / lengths);
    return 2.0f * std::acos(cosine) <= kAngleTolerance;
}

bool samePose(const Pose& a, const Pose& b) {
    return nearVector(a.position, b.position) && nearRotation(a.rotation, b.rotation) &&
           nearVector(a.scaling, b.scaling);
}

template <typename Key>
bool keysInOrder(const Key* keys, unsigned count) {
    for (unsigned k = 0; k < count; ++k) {
        if (!std::isfinite(keys[k].mTime) || (k > 0 && keys[k].mTime < keys[k - 1].mTime)) {
            return false;
        }
    }
    return true;
}

// A channel whose keys can be sampled: times finite and in order.
bool sampleable(const aiNodeAnim& channel) {
    return keysInOrder(channel.mPositionKeys, channel.mNumPositionKeys) &&
           keysInOrder(channel.mRotationKeys, channel.mNumRotationKeys) &&
           keysInOrder(channel.mScalingKeys, channel.mNumScalingKeys);
}

// The keys around a time: the last key at or before it and the next one (both the end key
// outside them). Answers the blend between them.
template <typename Key>
float around(const Key* keys, unsigned count, double time, unsigned& before, unsigned& after) {
    const Key* next =
        std::upper_bound(keys, keys + count, time, [](double t, const Key& key) { return t < key.mTime; });
    after = static_cast<unsigned>(std::min<std::ptrdiff_t>(next - keys, count - 1));
    before = next == keys ? 0 : static_cast<unsigned>(next - keys - 1);
    const double span = keys[after].mTime - keys[before].mTime;
    return span > 0.0 ? static_cast<float>((time - keys[before].mTime) / span) : 0.0f;
}

aiVector3D sampleVector(const aiVectorKey* keys, unsigned count, double time, const aiVector3D& rest) {
    if (count == 0) {
        return rest;
    }
    unsigned before = 0;
    unsigned after = 0;
    const float blend = around(keys, count, time, before, after);
    return keys[before].mValue + (keys[after].mValue - keys[before].mValue) * blend;
}

aiQuaternion sampleRotation(const aiQuatKey* keys, unsigned count, double time, const aiQuaternion& rest) {
    if (count == 0) {
        return rest;
    }
    unsigned before = 0;
    unsigned after = 0;
    const float blend = around(keys, count, time, before, after);
    aiQuaternion rotation;
    aiQuaternion::Interpolate(rotation, keys[before].mValue, keys[after].mValue, blend);
    return rotation;
}

Pose sample(const aiNodeAnim& channel, double time, const Pose& rest) {
    return {sampleVector(channel.mPositionKeys, channel.mNumPositionKeys, time, rest.position),
            sampleRotation(channel.mRotationKeys, channel.mNumRotationKeys, time, rest.rotation),
            sampleVector(channel.mScalingKeys, channel.mNumScalingKeys, time, rest.scaling)};
}

// Whether the channel's keys move its node: not all of them hold one value.
bool moves(const aiNodeAnim& channel) {
    for (unsigned k = 1; k < channel.mNumPositionKeys; ++k) {
        if (!nearVector(channel.mPositionKeys[k].mValue, channel.mPositionKeys[0].mValue)) {
            return true;
        }
    }
    for (unsigned k = 1; k < channel.mNumRotationKeys; ++k) {
        if (!nearRotation(channel.mRotationKeys[k].mValue, channel.mRotationKeys[0].mValue)) {
            return true;
        }
    }
    for (unsigned k = 1; k < channel.mNumScalingKeys; ++k) {
        if (!nearVector(channel.mScalingKeys[k].mValue, channel.mScalingKeys[0].mValue)) {
            return true;
        }
    }
    return false;
}

bool takeMoves(const aiAnimation& take) {
    for (unsigned c = 0; c < take.mNumChannels; ++c) {
        if (moves(*take.mChannels[c])) {
            return true;
        }
    }
    return false;
}

// The saved-pose comparison: for every object, the one take that holds the transforms the file
// saves for the nodes it moves, at the key time Blender saved the scene at. Blender saves each
// object as its own action places it at the current frame; another action baked on the object
// holds them too where its keys pass through those values (often at its first key, where actions
// start from rest). The frame is unknown, but one for all objects: it is taken among the key
// times at which every object that holds its saved transforms somewhere has exactly one take that
// does, and an object's take counts only when it is the same at all such times. When at a frame
// that may be the saved one every take of an object holds them, nothing is told.
std::unordered_map<int, int> takesHoldingSavedPose(
    const aiScene& file, const NodeTree& nodes, const std::unordered_map<int, std::vector<unsigned>>& takesOfObject) {
    std::unordered_map<int, int> found;
    std::vector<double> times;
    size_t channels = 0;
    for (unsigned t = 0; t < file.mNumAnimations; ++t) {
        const aiAnimation& take = *file.mAnimations[t];
        channels += take.mNumChannels;
        for (unsigned c = 0; c < take.mNumChannels; ++c) {
            const aiNodeAnim& channel = *take.mChannels[c];
            for (unsigned k = 0; k < channel.mNumPositionKeys; ++k) {
                times.push_back(channel.mPositionKeys[k].mTime);
            }
            for (unsigned k = 0; k < channel.mNumRotationKeys; ++k) {
                times.push_back(channel.mRotationKeys[k].mTime);
            }
            for (unsigned k = 0; k < channel.mNumScalingKeys; ++k) {
                times.push_back(channel.mScalingKeys[k].mTime);
            }
            if (times.size() > kSavedPoseBudget) {
                return found;
            }
        }
    }
    times.erase(std::remove_if(times.begin(), times.end(), [](double time) { return !std::isfinite(time); }),
                times.end());
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    if (times.empty() || channels > kSavedPoseBudget / times.size()) {
        return found;
    }

    // holds[t][i]: take t holds the saved transforms at times[i].
    std::vector<std::vector<bool>> holds(file.mNumAnimations, std::vector<bool>(times.size(), false));
    for (unsigned t = 0; t < file.mNumAnimations; ++t) {
        const aiAnimation& take = *file.mAnimations[t];
        std::vector<std::pair<const aiNodeAnim*, Pose>> saved;
        bool usable = true;
        for (unsigned c = 0; c < take.mNumChannels && usable; ++c) {
            const aiNodeAnim& channel = *take.mChannels[c];
            usable = sampleable(channel);
            Pose pose;
            const int node = nodes.indexOf.at(channel.mNodeName.C_Str());
            nodes.nodes[static_cast<size_t>(node)]->mTransformation.Decompose(pose.scaling, pose.rotation,
                                                                              pose.position);
            saved.emplace_back(&channel, pose);
        }
        for (size_t i = 0; i < times.size() && usable; ++i) {
            holds[t][i] = std::all_of(saved.begin(), saved.end(), [&](const auto& channel) {
                return samePose(sample(*channel.first, times[i], channel.second), channel.second);
            });
        }
    }
    // The objects that hold their saved transforms somewhere. The frame Blender saved the scene at
    // is one at which each of them has a take holding them; the frame is taken among those at which
    // each has exactly one.
    std::vector<const std::vector<unsigned>*> holding;
    for (const auto& entry : takesOfObject) {
        const std::vector<unsigned>& own = entry.second;
        if (std::any_of(own.begin(), own.end(), [&](unsigned t) {
                return std::find(holds[t].begin(), holds[t].end(), true) != holds[t].end();
            })) {
            holding.push_back(&own);
        }
    }
    std::vector<bool> candidate(times.size(), true);
    for (size_t i = 0; i < times.size(); ++i) {
        bool possible = true;
        bool everyTake = false;
        for (const std::vector<unsigned>* own : holding) {
            const auto held = std::count_if(own->begin(), own->end(), [&](unsigned t) { return holds[t][i]; });
            possible = possible && held > 0;
            everyTake = everyTake || (own->size() > 1 && static_cast<size_t>(held) == own->size());
            candidate[i] = candidate[i] && held == 1;
        }
        // Saved where every take of an object holds it (a frame where its actions all rest),
        // the saved transforms tell nothing, and a frame elsewhere where each object happens to
        // have one take through them would tell wrong.
        if (possible && everyTake) {
            return found;
        }
    }
    for (const auto& [object, own] : takesOfObject) {
        int only = -1;
        bool same = true;
        for (size_t i = 0; i < times.size(); ++i) {
            for (const unsigned t : own) {
                if (candidate[i] && holds[t][i]) {
                    same = same && (only < 0 || only == static_cast<int>(t));
                    only = static_cast<int>(t);
                }
            }
        }
        if (same && only >= 0) {
            found[object] = only;
        }
    }
    return found;
}

}  // namespace

std::vector<int> ObjectTakes::takesOfAction(const std::string& action) const {
    std::unordered_set<int> owners;
    for (size_t o = 0; o < own.size(); ++o) {
        const Take& take = takes[static_cast<size_t>(own[o])];
        if (how[o] != OwnTake::First && take.action == action) {
            owners.insert(take.object);
        }
    }
    std::vector<int> played;
    for (size_t t = 0; t < takes.size(); ++t) {
        if (takes[t].action == action && (owners.empty() || owners.count(takes[t].object) > 0)) {
            played.push_back(static_cast<int>(t));
        }
    }
    return played;
}

std::vector<int> ObjectTakes::ownTakesBesides(const std::vector<int>& played) const {
    std::unordered_set<int> moved;
    for (const int t : played) {
        moved.insert(takes[static_cast<size_t>(t)].object);
    }
    std::vector<int> held;
    for (size_t o = 0; o < own.size(); ++o) {
        if (how[o] != OwnTake::First && moved.count(takes[static_cast<size_t>(own[o])].object) == 0) {
            held.push_back(own[o]);
        }
    }
    return held;
}

ObjectTakes readObjectTakes(const aiScene& file, const NodeTree& nodes) {
    ObjectTakes result;
    const unsigned count = file.mNumAnimations;
    if (count == 0) {
        return result;
    }
    const std::vector<int> sizes = subtreeSizes(nodes.parents);
    std::vector<ObjectTakes::Take> takes(count);
    std::unordered_map<std::string, std::unordered_set<int>> objectsOfAction;
    std::vector<int> objects;  // in the order of their first take
    std::unordered_map<int, std::vector<unsigned>> takesOfObject;
    for (unsigned t = 0; t < count; ++t) {
        if (!ownerOf(*file.mAnimations[t], nodes, sizes, takes[t])) {
            return result;
        }
        std::unordered_set<int>& objectsOfIt = objectsOfAction[takes[t].action];
        if (objectsOfIt.empty()) {
            result.actions.push_back(takes[t].action);
        }
        objectsOfIt.insert(takes[t].object);
        std::vector<unsigned>& own = takesOfObject[takes[t].object];
        if (own.empty()) {
            objects.push_back(takes[t].object);
        }
        own.push_back(t);
    }
    const std::unordered_map<int, int> savedPose = takesHoldingSavedPose(file, nodes, takesOfObject);
    std::vector<std::pair<int, OwnTake>> chosen;
    for (const int object : objects) {
        const std::vector<unsigned>& own = takesOfObject[object];
        const std::string& objectName = nodes.nodes[static_cast<size_t>(object)]->mName.data;
        const auto defaultAction =
            std::find_if(own.begin(), own.end(), [&](unsigned t) { return takes[t].action == objectName + "Action"; });
        std::vector<unsigned> moving;
        std::copy_if(own.begin(), own.end(), std::back_inserter(moving),
                     [&](unsigned t) { return takeMoves(*file.mAnimations[t]); });
        const auto saved = savedPose.find(object);
        const auto onlyObject = std::find_if(own.begin(), own.end(),
                                             [&](unsigned t) { return objectsOfAction[takes[t].action].size() == 1; });
        if (own.size() == 1) {
            chosen.emplace_back(own.front(), OwnTake::Only);
        } else if (defaultAction != own.end()) {
            chosen.emplace_back(*defaultAction, OwnTake::DefaultName);
        } else if (moving.size() == 1) {
            chosen.emplace_back(moving.front(), OwnTake::OnlyMoving);
        } else if (saved != savedPose.end()) {
            chosen.emplace_back(saved->second, OwnTake::SavedPose);
        } else if (onlyObject != own.end()) {
            chosen.emplace_back(*onlyObject, OwnTake::OnlyObject);
        } else {
            chosen.emplace_back(own.front(), OwnTake::First);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    for (const auto& [take, how] : chosen) {
        result.own.push_back(take);
        result.how.push_back(how);
    }
    result.takes = std::move(takes);
    return result;
}

}  // namespace host::scenefile
