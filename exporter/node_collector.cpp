// The scene collection's filters: selection, convertibility, "Bip", tag list and name prefixes.
#include "node_collector.h"

#include <cstring>

namespace {

// A byte comparison over at most the prefix's length that stops at the end of the shorter text:
// a name shorter than the prefix never matches.
bool startsWith(const char* name, const char* prefix) { return std::strncmp(name, prefix, std::strlen(prefix)) == 0; }

}  // namespace

NodeCollector::NodeCollector(IScene* scene, TimeValue time, const ExportOptions& options)
    : options_(options), time_(time) {
    if (scene != nullptr) {
        scene->EnumTree(this);
    }
}

NodeCollector::~NodeCollector() {
    entries_.clear();
    first_ = nullptr;
    last_ = nullptr;
    count_ = 0;
}

int NodeCollector::callback(INode* node) {
    if (node == nullptr) {
        return TREE_CONTINUE;
    }
    if (options_.selectedOnly && node->Selected() == 0) {
        return TREE_CONTINUE;
    }
    Object* object = node->EvalWorldState(time_, TRUE).obj;
    const char* name = node->GetName();
    if (name == nullptr) {
        name = "";
    }
    if (object == nullptr || !object->CanConvertToType(triObjectClassID)) {
        return TREE_CONTINUE;
    }
    if (options_.ignoreBip && startsWith(name, "Bip")) {
        return TREE_CONTINUE;
    }
    if (startsWith(name, "tag_")) {
        if (!options_.useTagList) {
            addNode(node);
            return TREE_CONTINUE;
        }
        for (const std::string& tagName : options_.tagNames) {
            if (tagName == name) {
                addNode(node);
                break;
            }
        }
        return TREE_CONTINUE;
    }
    if (!options_.useNamePrefixes) {
        addNode(node);
        return TREE_CONTINUE;
    }
    for (const std::string& prefix : options_.namePrefixes) {
        if (startsWith(name, prefix.c_str())) {
            addNode(node);
            break;
        }
    }
    return TREE_CONTINUE;
}

void NodeCollector::addNode(INode* node) {
    entries_.push_back(CollectedNode{node, nullptr});
    CollectedNode* entry = &entries_.back();
    if (last_ != nullptr) {
        last_->next = entry;
    } else {
        first_ = entry;
    }
    last_ = entry;
    ++count_;
}

const CollectedNode* NodeCollector::entryAt(int position) const {
    if (position < 0 || position >= count_) {
        return nullptr;
    }
    return &entries_[static_cast<size_t>(position)];
}

INode* NodeCollector::nodeAt(int position) const {
    const CollectedNode* entry = entryAt(position);
    return entry != nullptr ? entry->node : nullptr;
}

TriObject* NodeCollector::evaluateToTriObject(INode* node, TimeValue time, bool& release) {
    release = false;
    if (node == nullptr) {
        return nullptr;
    }
    Object* object = node->EvalWorldState(time, TRUE).obj;
    if (object == nullptr || !object->CanConvertToType(triObjectClassID)) {
        return nullptr;
    }
    Object* converted = object->ConvertToType(time, triObjectClassID);
    if (converted == nullptr) {
        return nullptr;
    }
    if (converted != object) {
        release = true;
    }
    return static_cast<TriObject*>(converted);
}
