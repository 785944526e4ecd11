// The host scene's walks over its hierarchy, as plug-ins see them through EnumTree: depth first,
// parents before children in the order they were added, the callback's answers obeyed, and no
// limit on depth.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene.h"

namespace {

// Records every node it is called with; answers `answer` at the node named `at`.
class Recorder : public ITreeEnumProc {
public:
    Recorder(std::string at = "", int answer = TREE_CONTINUE) : at_(std::move(at)), answer_(answer) {}
    int callback(INode* node) override {
        visited.emplace_back(node->GetName());
        return visited.back() == at_ ? answer_ : TREE_CONTINUE;
    }
    std::vector<std::string> visited;

private:
    std::string at_;
    int answer_;
};

// a (b (c, d), e), f (g), added in an order that differs from the walk's.
void buildSmallTree(host::Scene& scene) {
    host::SceneNode* a = scene.addNode("a");
    host::SceneNode* f = scene.addNode("f");
    host::SceneNode* b = scene.addNode("b", a);
    scene.addNode("g", f);
    scene.addNode("c", b);
    scene.addNode("e", a);
    scene.addNode("d", b);
}

struct WalkCase {
    std::string at;
    int answer;
    std::vector<std::string> visited;
    int result;
};

TEST(SceneTree, EnumTreeObeysEveryAnswer) {
    const std::vector<WalkCase> cases = {
        {"", TREE_CONTINUE, {"a", "b", "c", "d", "e", "f", "g"}, 0},
        {"b", TREE_IGNORECHILDREN, {"a", "b", "e", "f", "g"}, 0},
        {"a", TREE_IGNORECHILDREN, {"a", "f", "g"}, 0},
        {"g", TREE_IGNORECHILDREN, {"a", "b", "c", "d", "e", "f", "g"}, 0},
        {"d", TREE_ABORT, {"a", "b", "c", "d"}, 1},
        {"a", TREE_ABORT, {"a"}, 1},
        {"g", TREE_ABORT, {"a", "b", "c", "d", "e", "f", "g"}, 1},
    };
    host::Scene scene;
    buildSmallTree(scene);
    for (const WalkCase& c : cases) {
        Recorder recorder(c.at, c.answer);
        EXPECT_EQ(scene.EnumTree(&recorder), c.result) << c.at << " answers " << c.answer;
        EXPECT_EQ(recorder.visited, c.visited) << c.at << " answers " << c.answer;
    }
    std::vector<std::string> listed;
    for (host::SceneNode* node : scene.nodes()) {
        listed.push_back(node->name());
    }
    EXPECT_EQ(listed, cases.front().visited) << "nodes() lists in the walk's order";
    EXPECT_EQ(scene.EnumTree(nullptr), 0);
}

TEST(SceneTree, WalksAChainOfAnyDepth) {
    constexpr int kDepth = 200000;
    host::Scene scene;
    host::SceneNode* parent = nullptr;
    for (int i = 0; i < kDepth; ++i) {
        parent = scene.addNode(std::to_string(i), parent);
        parent->setTransform(TransMatrix(Point3(i == 0 ? 0.0f : 1.0f, 0.0f, 0.0f)));
    }
    Recorder recorder;
    EXPECT_EQ(scene.EnumTree(&recorder), 0);
    ASSERT_EQ(recorder.visited.size(), static_cast<size_t>(kDepth));
    for (int i = 0; i < kDepth; i += kDepth / 10) {
        EXPECT_EQ(recorder.visited[static_cast<size_t>(i)], std::to_string(i));
    }
    EXPECT_EQ(scene.nodes().size(), static_cast<size_t>(kDepth));
    EXPECT_FLOAT_EQ(parent->GetNodeTM(0).GetTrans().x, static_cast<float>(kDepth - 1));
    Recorder stopper(std::to_string(kDepth - 1), TREE_ABORT);
    EXPECT_EQ(scene.EnumTree(&stopper), 1);
}

}  // namespace
