// The import operation: reader chosen by magic, finishing call on success only, running out of nodes.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "allocation_tracker.h"
#include "import_harness.h"
#include "model_builders.h"

using importtest::ImportScene;

namespace {

const std::vector<std::string> kMd3Names = {"tag_0", "tag_1", "surface_0", "surface_1"};

std::vector<uint8_t> md3File() {
    return testmodels::buildMd3(testmodels::makeMd3Model(2, 2, 2), testmodels::SurfaceBlockOrder::ShadersFirst);
}

std::vector<uint8_t> md2File() { return testmodels::buildMd2(testmodels::makeMd2Build(2, 4)); }

}  // namespace

TEST(ImportOperation, TheMagicChoosesTheReaderAndEachSuccessFinishesOnce) {
    const struct {
        std::string fileName;
        std::vector<uint8_t> bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"model.md2", md3File(), kMd3Names},
        {"model.md3", md2File(), {"Quake MD2"}},
        {"model", md3File(), kMd3Names},
        {"MODEL.MD3", md2File(), {"Quake MD2"}},
    };
    importtest::ScratchFolder folder;
    ImportScene s;
    int imported = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName);
        const size_t nodesBefore = s.nodes().size();
        ASSERT_EQ(importtest::importFile(s.imports, folder.write(c.fileName, c.bytes)), 1);
        EXPECT_EQ(s.imports.redraws(), ++imported);
        const std::vector<std::string> names = s.names();
        EXPECT_EQ(std::vector<std::string>(names.begin() + static_cast<long>(nodesBefore), names.end()), c.names);
    }
}

TEST(ImportOperation, FilesThatCannotBeReadAnswerZeroWithoutFinishing) {
    std::vector<uint8_t> brokenSecondSurface = md3File();
    const size_t secondSurface = modelformat::readMd3(brokenSecondSurface).model.surfaces[1].fileOffset;
    testmodels::patchInt32(brokenSecondSurface, secondSurface + testmodels::kSurfAtEndOffset, -8);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t nodesLeft;
    } cases[] = {
        {"empty", {}, 0},
        {"1 byte", {'I'}, 0},
        {"2 bytes", {'I', 'D'}, 0},
        {"3 bytes", {'I', 'D', 'P'}, 0},
        {"MD3 magic only", {'I', 'D', 'P', '3'}, 0},
        {"MD2 magic only", {'I', 'D', 'P', '2'}, 0},
        {"neither magic", {'I', 'D', 'P', '1', 15, 0, 0, 0}, 0},
        {"MD3 whose second surface is broken", brokenSecondSurface, 3},
    };
    importtest::ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImportScene s;
        EXPECT_EQ(importtest::importFile(s.imports, folder.write("file.md3", c.bytes)), 0);
        EXPECT_EQ(s.imports.redraws(), 0);
        EXPECT_EQ(s.nodes().size(), c.nodesLeft);
    }
    ImportScene s;
    EXPECT_EQ(importtest::importFile(s.imports, folder.file("missing.md3")), 0);
    EXPECT_EQ(s.imports.redraws(), 0);
}

// When the host cannot make another node the import stops: the object meant for it is destroyed
// (the leak checker of the sanitizer build sees one that is not), and the nodes made before stay.
TEST(ImportOperation, RunningOutOfNodesStopsTheImport) {
    importtest::ScratchFolder folder;
    const std::string md3Path = folder.write("model.md3", md3File());
    const std::string md2Path = folder.write("model.md2", md2File());
    const struct {
        const std::string& path;
        int nodeLimit;
        int answer;
        std::vector<std::string> names;
    } cases[] = {
        {md3Path, 0, 0, {}},
        {md3Path, 1, 0, {kMd3Names[0]}},
        {md3Path, 2, 0, {kMd3Names[0], kMd3Names[1]}},
        {md3Path, 3, 0, {kMd3Names[0], kMd3Names[1], kMd3Names[2]}},
        {md3Path, 4, 1, kMd3Names},
        {md2Path, 0, 0, {}},
        {md2Path, 1, 1, {"Quake MD2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " with nodes for " + std::to_string(c.nodeLimit));
        ImportScene s;
        importtest::NodeLimitedImport limited(s.imports, c.nodeLimit);
        EXPECT_EQ(importtest::importFile(limited, c.path), c.answer);
        EXPECT_EQ(s.imports.redraws(), c.answer);
        EXPECT_EQ(s.names(), c.names);
        EXPECT_EQ(s.scene.size(), c.names.size());
        for (const host::SceneNode* node : s.nodes()) {
            EXPECT_NE(importtest::meshOf(node), nullptr) << node->name();
        }
    }
}

namespace {

// A host that runs out of memory when the importer asks it for a node.
class OutOfMemoryImport : public ImpInterface {
public:
    ImpNode* CreateNode() override { throw std::bad_alloc(); }
    void AddNodeToScene(ImpNode* /*node*/) override {}
    void RedrawViews() override { ++redraws; }
    int redraws = 0;
};

}  // namespace

// Memory running out is the import's failure, not an exception thrown across the plug-in boundary;
// the object meant for the node is destroyed (the sanitizer build's leak checker sees one that is not).
TEST(ImportOperation, RunningOutOfMemoryFailsTheImport) {
    importtest::ScratchFolder folder;
    for (const std::string& path : {folder.write("model.md3", md3File()), folder.write("model.md2", md2File())}) {
        SCOPED_TRACE(path);
        OutOfMemoryImport host;
        EXPECT_EQ(importtest::importFile(host, path), 0);
        EXPECT_EQ(host.redraws, 0);
    }
}

// The file is read into memory once, and only the frame the import uses is decoded: nothing else
// allocated comes near the size of the file, whose bytes are nearly all later frames.
TEST(ImportOperation, ReadsTheFileOnceAndDecodesOnlyTheFrameItUses) {
    modelformat::Md3Model md3 = testmodels::makeMd3Model(300, 2, 1);
    for (modelformat::Md3Surface& surface : md3.surfaces) {
        surface.header.vertexCount = 100;
        surface.texCoords.resize(100);
        surface.vertices.resize(size_t{300} * 100);
    }
    testmodels::Md2Build md2 = testmodels::makeMd2Build(300, 100);
    importtest::ScratchFolder folder;
    for (const std::vector<uint8_t>& bytes :
         {testmodels::buildMd3(md3, testmodels::SurfaceBlockOrder::ShadersFirst), testmodels::buildMd2(md2)}) {
        ASSERT_GT(bytes.size(), 100000u);
        const std::string path = folder.write("many-frames", bytes);
        ImportScene s;
        testmodels::LargeAllocationCount large(bytes.size() / 2);
        ASSERT_EQ(importtest::importFile(s.imports, path), 1);
        EXPECT_EQ(large.count(), 1u);  // the file's bytes
        EXPECT_EQ(s.nodes().size(), bytes[3] == '3' ? 3u : 1u);
    }
}
