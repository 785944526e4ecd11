// Telling the takes an FBX file holds one per object and action, as Blender's FBX writer makes
// them, and choosing each object's own.
#ifndef HOST_SCENEFILE_OBJECT_TAKES_H
#define HOST_SCENEFILE_OBJECT_TAKES_H

#include <string>
#include <unordered_map>
#include <vector>

#include <assimp/scene.h>

namespace host::scenefile {

// The file's nodes as the loader numbers them: the index of each name (the first node of a name)
// and each node's parent (-1 for the root).
struct NodeTree {
    const std::unordered_map<std::string, int>& indexOf;
    const std::vector<int>& parents;
};

// Blender's FBX writer (with its default "All Actions") writes, for every animated object, one take
// per action that fits it, named "OBJECT|ACTION" and moving that object and its bones alone:
// its own action, and every other action whose channels the object also has (an empty's action
// of location and rotation fits every object). Such takes are recognised by their names and what
// they move (shape-key weights, which Blender bakes into every take, do not count), and one take
// per object is chosen to play: the take of the object's default action ("OBJECTAction", the name
// Blender gives the action it makes for the object), else the first take of an action no other
// object has, else the object's first take. Answers the chosen takes in file order, or nothing
// when the takes are not of that shape.
std::vector<int> chooseObjectTakes(const aiScene& file, const NodeTree& nodes);

}  // namespace host::scenefile

#endif
