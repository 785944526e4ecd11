// Test support for the importer's readers: model bytes as open streams and named files, a scene
// to import into, an import interface that runs out of nodes, and the meshes of imported nodes.
#ifndef TESTS_IMPORTER_IMPORT_HARNESS_H
#define TESTS_IMPORTER_IMPORT_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <max.h>
#include <scene.h>

namespace importtest {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// A temporary stream holding bytes, positioned at `position` (4 = just after an MD3 magic).
OpenFile openBytes(const std::vector<uint8_t>& bytes, long position);

// A folder of its own under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Writes bytes to a file of the folder and answers its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// An import interface that hands out `nodeLimit` nodes from the scene's own and then answers null.
class NodeLimitedImport : public ImpInterface {
public:
    NodeLimitedImport(host::ImportInterface& scene, int nodeLimit) : scene_(scene), nodesLeft_(nodeLimit) {}
    ImpNode* CreateNode() override;
    void AddNodeToScene(ImpNode* node) override { scene_.AddNodeToScene(node); }
    void RedrawViews() override { scene_.RedrawViews(); }

private:
    host::ImportInterface& scene_;
    int nodesLeft_;
};

// A scene and its import interface, with the readers and the import operation run against them.
class ImportTest : public ::testing::Test {
protected:
    // The MD3 reader on a stream standing after the file's magic, as the import leaves it.
    int readMd3Bytes(const std::vector<uint8_t>& bytes, ImpInterface* into = nullptr);
    int readMd2Bytes(const std::vector<uint8_t>& bytes, int frameIndex, ImpInterface* into = nullptr);
    // The whole import operation on a named file.
    int importFile(const std::string& path, ImpInterface* into = nullptr);

    const std::vector<host::SceneNode*>& nodes() const { return imports.addedNodes(); }
    std::vector<std::string> nodeNames() const;

    host::Scene scene;
    host::ImportInterface imports{scene};
    host::HostInterface hostInterface;
    ScratchFolder folder;
};

// The mesh of an imported node; null when its object is not a triangle object.
Mesh* meshOf(const host::SceneNode* node);

::testing::AssertionResult samePoint(const Point3& actual, const Point3& expected);
::testing::AssertionResult isIdentity(const Matrix3& transform);

// A file of the sample folder; empty when the folder is absent.
std::string samplePath(const std::string& relative);
bool samplesPresent();

}  // namespace importtest

#endif
