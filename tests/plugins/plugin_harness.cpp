// Test support for the loaded plug-in modules.
#include "plugin_harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <mesh_builders.h>

void PluginTest::SetUp() {
    SetFrameRate(30);
    catalogue.loadFolder(QMP_PLUGIN_DIR);
    ASSERT_TRUE(catalogue.errors().empty()) << catalogue.errors().front();
    ASSERT_EQ(catalogue.modules().size(), 2u);
    char pattern[] = "/tmp/qmp-plugins-XXXXXX";
    directory_ = mkdtemp(pattern);
}

void PluginTest::TearDown() {
    catalogue = host::PluginCatalogue();
    std::system(("rm -rf '" + directory_ + "'").c_str());
}

const host::PluginModule& PluginTest::module(const std::string& fileName) const {
    for (const auto& loaded : catalogue.modules()) {
        if (loaded->fileName() == fileName) {
            return *loaded;
        }
    }
    throw std::runtime_error("no module " + fileName);
}

std::unique_ptr<ExportPluginInterface> PluginTest::exporter() const {
    return std::unique_ptr<ExportPluginInterface>(catalogue.createExporter("md3"));
}

std::unique_ptr<ImportPluginInterface> PluginTest::importer() const {
    return std::unique_ptr<ImportPluginInterface>(catalogue.createImporter("md3"));
}

int PluginTest::exportScene(host::Scene& scene, BOOL suppressPrompts, DWORD options) {
    std::remove(outputPath().c_str());
    const int result =
        exporter()->DoExport(outputPath().c_str(), scene.exportContext(), &hostInterface, suppressPrompts, options);
    written = modelformat::readMd3(fileBytes(outputPath()));
    return result;
}

void buildCountingScene(host::Scene& scene) {
    host::SceneNode* tag = scene.addNode("tag_marker");
    tag->setMesh(host::makeTagMarker());
    tag->setTransformTrack([](TimeValue time) {
        return TransMatrix(Point3(static_cast<float>(time) / static_cast<float>(GetTicksPerFrame()), 0.0f, 0.0f));
    });
    for (const char* name : {"head", "headgear", "legs", "Bip01"}) {
        host::SceneNode* node = scene.addNode(name);
        node->setMesh(host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 1.0f, 1.0f)));
        host::Material* material = scene.addMaterial(name);
        material->setDiffuseMap(std::make_unique<host::BitmapTexture>(std::string("/q3/models/test/") + name + ".tga"));
        node->setMaterial(material);
    }
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
