// Test support for the exporter: recording desktop, temporary output folder, scene helpers.
#include "export_harness.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <mesh_builders.h>
#include <plugin_module.h>

std::vector<std::string> ExporterTest::progressTexts() const {
    std::vector<std::string> texts;
    for (const auto& change : desktop.textChanges) {
        texts.push_back(change.text);
    }
    return texts;
}

void ExporterTest::SetUp() {
    static bool attached = false;
    if (!attached) {
        DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
        attached = true;
    }
    SetFrameRate(30);
    exportOptions = ExportOptions();
    exportOptions.ticksPerFrame = GetTicksPerFrame();
    char pattern[] = "/tmp/qmp-export-XXXXXX";
    directory_ = mkdtemp(pattern);
}

void ExporterTest::TearDown() { std::system(("rm -rf '" + directory_ + "'").c_str()); }

ExportRun ExporterTest::exportScene(host::Scene& scene, DWORD options, BOOL suppressPrompts,
                                    modelformat::TargetOutputStream* stream) {
    ExportRun run;
    Md3FileWriter writer(stream);
    run.result =
        writer.writeFile(outputPath().c_str(), scene.exportContext(), &hostInterface, suppressPrompts, options);
    run.written = fileExists(outputPath());
    if (run.written) {
        run.bytes = readFileBytes(outputPath());
        run.read = modelformat::readMd3(run.bytes);
    }
    return run;
}

host::SceneNode* addTag(host::Scene& scene, const std::string& name, const Matrix3& transform,
                        host::SceneNode* parent) {
    host::SceneNode* node = scene.addNode(name, parent);
    node->setMesh(host::makeTagMarker());
    node->setTransform(transform);
    return node;
}

host::SceneNode* addBox(host::Scene& scene, const std::string& name, const Point3& at, host::SceneNode* parent) {
    host::SceneNode* node = scene.addNode(name, parent);
    node->setMesh(host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 1.0f, 1.0f)));
    node->setTransform(TransMatrix(at));
    return node;
}

void giveTexture(host::Scene& scene, host::SceneNode* node, const std::string& file) {
    host::Material* material = scene.addMaterial(node->name());
    material->setDiffuseMap(std::make_unique<host::BitmapTexture>(file));
    node->setMaterial(material);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int32_t int32At(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes.at(at + i)) << (8 * i);
    }
    return static_cast<int32_t>(value);
}

float float32At(const std::vector<uint8_t>& bytes, size_t at) {
    const uint32_t bits = static_cast<uint32_t>(int32At(bytes, at));
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

int folderEntries(const std::string& path) {
    int count = 0;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                ++count;
            }
        }
        closedir(dir);
    }
    return count;
}
