// Blender's per-object FBX takes: recognising them and choosing each object's own.
#include "object_takes.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace host::scenefile {

namespace {

struct TakeOwner {
    int node = -1;
    std::string object;
    std::string action;
};

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
bool ownerOf(const aiAnimation& take, const NodeTree& nodes, const std::vector<int>& sizes, TakeOwner& owner) {
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
            owner = {first, name.substr(0, bar), name.substr(bar + 1)};
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<int> chooseObjectTakes(const aiScene& file, const NodeTree& nodes) {
    const unsigned count = file.mNumAnimations;
    if (count < 2) {
        return {};
    }
    const std::vector<int> sizes = subtreeSizes(nodes.parents);
    std::vector<TakeOwner> owners(count);
    std::unordered_map<std::string, std::unordered_set<int>> objectsOfAction;
    std::vector<int> objects;  // in the order of their first take
    std::unordered_map<int, std::vector<unsigned>> takesOfObject;
    for (unsigned t = 0; t < count; ++t) {
        if (!ownerOf(*file.mAnimations[t], nodes, sizes, owners[t])) {
            return {};
        }
        objectsOfAction[owners[t].action].insert(owners[t].node);
        std::vector<unsigned>& takes = takesOfObject[owners[t].node];
        if (takes.empty()) {
            objects.push_back(owners[t].node);
        }
        takes.push_back(t);
    }
    std::vector<int> chosen;
    for (const int object : objects) {
        const std::vector<unsigned>& takes = takesOfObject[object];
        const auto defaultAction = std::find_if(
            takes.begin(), takes.end(), [&](unsigned t) { return owners[t].action == owners[t].object + "Action"; });
        const auto ownAction = std::find_if(takes.begin(), takes.end(),
                                            [&](unsigned t) { return objectsOfAction[owners[t].action].size() == 1; });
        const unsigned take =
            defaultAction != takes.end() ? *defaultAction : (ownAction != takes.end() ? *ownAction : takes.front());
        chosen.push_back(static_cast<int>(take));
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

}  // namespace host::scenefile
