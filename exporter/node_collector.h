// The scene collection: the nodes that take part in an export, judged at one host time, in the
// host's enumeration order and addressed by position.
#ifndef BRINDLARK_NODE_COLLECTOR_H
#define BRINDLARK_NODE_COLLECTOR_H

#include <deque>

#include <max.h>

#include "export_options.h"

struct CollectedNode {
    INode* node = nullptr;
    // Deliberately kept as the original links its entries; nothing here walks it (entries go by position).
    CollectedNode* next = nullptr;
};

class NodeCollector : public ITreeEnumProc {
public:
    // Collects at once: enumerates the whole scene, judging each node at the time by the
    // options' filters. The options must outlive the collector.
    NodeCollector(IScene* scene, TimeValue time, const ExportOptions& options);
    ~NodeCollector() override;
    NodeCollector(const NodeCollector&) = delete;
    NodeCollector& operator=(const NodeCollector&) = delete;

    // Applies the filters to one node; always answers TREE_CONTINUE.
    int callback(INode* node) override;
    void addNode(INode* node);

    int count() const { return count_; }
    TimeValue time() const { return time_; }
    // The entry at a zero-based position, or null past the last entry.
    const CollectedNode* entryAt(int position) const;
    // The node at a position, or null past the last entry.
    INode* nodeAt(int position) const;

    // The node's object as a triangle object at the time, or null when it does not convert.
    // release is set when the caller owns the result and frees it with DeleteThis.
    static TriObject* evaluateToTriObject(INode* node, TimeValue time, bool& release);

private:
    const ExportOptions& options_;
    std::deque<CollectedNode> entries_;  // a deque keeps the entries' addresses stable
    CollectedNode* first_ = nullptr;
    CollectedNode* last_ = nullptr;
    int count_ = 0;
    TimeValue time_ = 0;
};

// A triangle object from evaluateToTriObject, released when it goes out of scope if the caller
// owns it.
class EvaluatedMesh {
public:
    EvaluatedMesh(INode* node, TimeValue time) : object_(NodeCollector::evaluateToTriObject(node, time, release_)) {}
    ~EvaluatedMesh() {
        if (release_ && object_ != nullptr) {
            object_->DeleteThis();
        }
    }
    EvaluatedMesh(const EvaluatedMesh&) = delete;
    EvaluatedMesh& operator=(const EvaluatedMesh&) = delete;

    TriObject* object() const { return object_; }
    Mesh* mesh() const { return object_ != nullptr ? &object_->GetMesh() : nullptr; }

private:
    bool release_ = false;
    TriObject* object_;
};

#endif
