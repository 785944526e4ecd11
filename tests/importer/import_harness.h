// Test support for the importer's readers: model files, a scene to import into, a node-limited import.
#ifndef TESTS_IMPORTER_IMPORT_HARNESS_H
#define TESTS_IMPORTER_IMPORT_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <max.h>
#include <scene.h>

#include "scratch_folder.h"

// Readable failure messages for the host's geometry.
void PrintTo(const Point3& point, std::ostream* out);
void PrintTo(const Matrix3& transform, std::ostream* out);

namespace importtest {

// A scene and the import interface that adds nodes to it.
struct ImportScene {
    host::Scene scene;
    host::ImportInterface imports{scene};
    const std::vector<host::SceneNode*>& nodes() const { return imports.addedNodes(); }
    std::vector<std::string> names() const;
};

// The MD3 and MD2 readers on a file's bytes, as the import operation hands them over.
int readMd3Bytes(ImpInterface& into, const std::vector<uint8_t>& bytes);
int readMd2Bytes(ImpInterface& into, const std::vector<uint8_t>& bytes, int frameIndex);
// The whole import operation on a named file.
int importFile(ImpInterface& into, const std::string& path);

using testsupport::ScratchFolder;

// An import interface that hands out `nodeLimit` nodes from a scene's interface, then null.
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

// The mesh of an imported node; null when its object is not a triangle object.
Mesh* meshOf(const host::SceneNode* node);
// Every face and texture face of the mesh refers to vertices the mesh has.
::testing::AssertionResult indicesInRange(Mesh& mesh);

std::string samplePath(const std::string& relative);
bool samplesPresent();

}  // namespace importtest

#endif
