// The scene collection's filters and its addressing by position.
#include <mesh_builders.h>
#include <node_collector.h>

#include "export_harness.h"

namespace {

std::vector<std::string> collectedNames(host::Scene& scene, TimeValue time = 0) {
    NodeCollector collector(&scene, time, exportOptions);
    std::vector<std::string> names;
    for (int i = 0; i < collector.count(); ++i) {
        names.emplace_back(collector.entryAt(i)->node->GetName());
    }
    return names;
}

host::Scene& sceneOf(host::Scene& scene, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        scene.addNode(name)->setMesh(host::makeTagMarker());
    }
    return scene;
}

using Names = std::vector<std::string>;

}  // namespace

class CollectorTest : public ExporterTest {};

TEST_F(CollectorTest, BipTagAndPrefixRules) {
    host::Scene scene;
    sceneOf(scene, {"Bip01", "bip01", "Biped", "Bi", "tag_head", "tag_head2", "tag_Head", "Tag_head", "head",
                    "headgear", "Head", "a_head", " body"});

    EXPECT_EQ(collectedNames(scene), (Names{"bip01", "Bi", "tag_head", "tag_head2", "tag_Head", "Tag_head", "head",
                                            "headgear", "Head", "a_head", " body"}));

    exportOptions.ignoreBip = false;
    EXPECT_EQ(collectedNames(scene).size(), 13u);

    exportOptions = ExportOptions();
    exportOptions.useTagList = true;
    exportOptions.tagNames = {"tag_head"};
    EXPECT_EQ(collectedNames(scene),
              (Names{"bip01", "Bi", "tag_head", "Tag_head", "head", "headgear", "Head", "a_head", " body"}));

    exportOptions.useNamePrefixes = true;
    exportOptions.namePrefixes = {"head", " b"};
    EXPECT_EQ(collectedNames(scene), (Names{"tag_head", "head", "headgear", " body"}));

    // Switched on with empty lists, nothing of that kind passes.
    exportOptions.tagNames.clear();
    exportOptions.namePrefixes.clear();
    EXPECT_TRUE(collectedNames(scene).empty());
}

TEST_F(CollectorTest, SelectionAndConvertibility) {
    host::Scene scene;
    sceneOf(scene, {"a", "tag_b", "c"});
    scene.addNode("camera")->setObject(std::make_unique<host::NonGeometricObject>());
    scene.addNode("tag_light")->setObject(std::make_unique<host::NonGeometricObject>());
    scene.addNode("nothing");
    scene.findNode("c")->setSelected(true);
    scene.findNode("camera")->setSelected(true);

    EXPECT_EQ(collectedNames(scene), (Names{"a", "tag_b", "c"}));
    exportOptions.selectedOnly = 1;
    EXPECT_EQ(collectedNames(scene), (Names{"c"}));
    // Unselected nodes are not even evaluated.
    EXPECT_EQ(scene.findNode("a")->evaluations(), 1);
    scene.findNode("c")->setSelected(false);
    EXPECT_TRUE(collectedNames(scene).empty());
}

TEST_F(CollectorTest, EntriesFollowEnumerationOrderAndStopAtTheEnd) {
    host::Scene scene;
    host::SceneNode* root = scene.addNode("root");
    root->setMesh(host::makeTagMarker());
    scene.addNode("child", root)->setMesh(host::makeTagMarker());
    scene.addNode("second")->setMesh(host::makeTagMarker());
    NodeCollector collector(&scene, 320, exportOptions);
    EXPECT_EQ(collector.time(), 320);
    ASSERT_EQ(collector.count(), 3);
    EXPECT_STREQ(collector.entryAt(1)->node->GetName(), "child");
    EXPECT_EQ(collector.entryAt(3), nullptr);
    EXPECT_EQ(collector.entryAt(-1), nullptr);
}

TEST_F(CollectorTest, EvaluationOwnsOnlyConvertedCopies) {
    host::Scene scene;
    host::SceneNode* fixed = scene.addNode("fixed");
    fixed->setMesh(host::makeTagMarker());
    host::SceneNode* moving = scene.addNode("moving");
    moving->setDeformingMesh([](TimeValue, Mesh& mesh) { mesh = host::makeTagMarker(); });
    host::SceneNode* light = scene.addNode("light");
    light->setObject(std::make_unique<host::NonGeometricObject>());

    bool release = true;
    EXPECT_EQ(NodeCollector::evaluateToTriObject(fixed, 0, release), fixed->object());
    EXPECT_FALSE(release);
    TriObject* copy = NodeCollector::evaluateToTriObject(moving, 0, release);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(release);
    copy->DeleteThis();
    EXPECT_EQ(NodeCollector::evaluateToTriObject(light, 0, release), nullptr);
    EXPECT_FALSE(release);
}

TEST_F(CollectorTest, OptionListsAreEmptiedAfterEveryExport) {
    host::Scene scene;
    sceneOf(scene, {"tag_a", "body"});
    for (const std::string& path : {outputPath(), directory() + "/missing/model.md3"}) {
        exportOptions.useTagList = true;
        exportOptions.tagNames = {"tag_a"};
        exportOptions.useNamePrefixes = true;
        exportOptions.namePrefixes = {"b"};
        Md3FileWriter writer;
        writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, TRUE, 0);
        EXPECT_TRUE(exportOptions.tagNames.empty()) << path;
        EXPECT_TRUE(exportOptions.namePrefixes.empty()) << path;
    }
}
