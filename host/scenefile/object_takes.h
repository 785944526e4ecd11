// Telling the takes an FBX file holds one per object and action, as Blender's FBX writer makes
// them, choosing each object's own, and gathering the takes of one action.
#ifndef HOST_SCENEFILE_OBJECT_TAKES_H
#define HOST_SCENEFILE_OBJECT_TAKES_H

#include <string>
#include <unordered_map>
#include <vector>

#include <assimp/scene.h>

namespace host::scenefile {

// The file's nodes as the loader numbers them (depth first, parents before children): the index
// of each name (the first node of a name), each node's parent (-1 for the root) and the node.
struct NodeTree {
    const std::unordered_map<std::string, int>& indexOf;
    const std::vector<int>& parents;
    const std::vector<const aiNode*>& nodes;
};

// How an object's own take was told.
enum class OwnTake {
    Only,         // the object has one take
    DefaultName,  // named after the action Blender makes for the object, "OBJECTAction"
    OnlyMoving,   // the one take of the object whose keys move it
    SavedPose,    // the one take that holds the object's saved transform at the file's frame
    OnlyObject,   // the first take of an action no other object has a take of
    First,        // none of those: the object's first take, a guess
};

// Blender's FBX writer (with its default "All Actions") writes, for every animated object, one take
// per action that fits it, named "OBJECT|ACTION" and moving that object and its bones alone: its
// own action, and every other action whose channels the object also has (an action of location
// and rotation fits every object), baked on it with the object's other channels held where they
// stand. Such takes are recognised by their names and what they move (shape-key weights, which
// Blender bakes into every take, do not count).
struct ObjectTakes {
    struct Take {
        int object = -1;  // the node the take belongs to
        std::string action;
    };
    std::vector<Take> takes;  // one per take of the file, in file order; empty when not of that shape
    // Each object's own take, in file order, and how it was told (by object, in the same order).
    std::vector<int> own;
    std::vector<OwnTake> how;
    // Every action once, in the order of its first take.
    std::vector<std::string> actions;

    bool recognised() const { return !takes.empty(); }
    // The takes that play the action as a clip: those of the objects whose own take it is (told
    // by anything but a guess), else, when it is no object's own, every take of the action. In
    // file order; empty for an action the file has no take of.
    std::vector<int> takesOfAction(const std::string& action) const;
    // The own takes (told by anything but a guess) of the objects none of the played takes moves.
    std::vector<int> ownTakesBesides(const std::vector<int>& played) const;
};

// Reads the file's takes as Blender's per-object takes; ObjectTakes::recognised() is false when
// they are not of that shape. Each object's own take is, in this order: the take of its default
// action ("OBJECTAction"); else the one take whose keys move the object (the others holding it
// still); else the one take that holds, at the frame Blender saved the scene at, the transform the
// file saves for every node it moves (Blender saves each object as its own action has it at the
// current frame; that frame is one for all objects, so it is the key time at which every object
// has such a take, and an object counts only when the same take is the one at every such time);
// else the first take of an action no other object has; else its first take.
ObjectTakes readObjectTakes(const aiScene& file, const NodeTree& nodes);

}  // namespace host::scenefile

#endif
