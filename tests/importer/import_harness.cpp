// Test support for the importer's readers: streams, scratch files, node-limited imports, meshes.
#include "import_harness.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include <model_importer.h>
#include <model_readers.h>

void PrintTo(const Point3& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ", " << point.z << ")";
}

void PrintTo(const Matrix3& transform, std::ostream* out) {
    for (int row = 0; row < 4; ++row) {
        PrintTo(transform.GetRow(row), out);
    }
}

namespace importtest {

std::vector<std::string> ImportScene::names() const {
    std::vector<std::string> names;
    for (const host::SceneNode* node : nodes()) {
        names.push_back(node->name());
    }
    return names;
}

int readMd3Bytes(ImpInterface& into, const std::vector<uint8_t>& bytes) {
    return readMd3Model(&into, bytes.data(), bytes.size());
}

int readMd2Bytes(ImpInterface& into, const std::vector<uint8_t>& bytes, int frameIndex) {
    return readMd2Model(&into, bytes.data(), bytes.size(), frameIndex);
}

int importFile(ImpInterface& into, const std::string& path) {
    ModelImporter importer;
    host::HostInterface hostInterface;
    return importer.DoImport(path.c_str(), &into, &hostInterface, TRUE);
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "importer-test-XXXXXX").string();
    EXPECT_NE(mkdtemp(pattern.data()), nullptr) << "no scratch folder";
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string file = path(name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out) << "could not write " << file;
    return file;
}

ImpNode* NodeLimitedImport::CreateNode() {
    if (nodesLeft_ <= 0) {
        return nullptr;
    }
    --nodesLeft_;
    return scene_.CreateNode();
}

Mesh* meshOf(const host::SceneNode* node) {
    Object* object = node != nullptr ? node->object() : nullptr;
    if (object == nullptr || !(object->ClassID() == triObjectClassID)) {
        return nullptr;
    }
    return &static_cast<TriObject*>(object)->GetMesh();
}

::testing::AssertionResult indicesInRange(Mesh& mesh) {
    const auto numVerts = static_cast<DWORD>(mesh.getNumVerts());
    const auto numTVerts = static_cast<DWORD>(mesh.getNumTVerts());
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        for (int corner = 0; corner < 3; ++corner) {
            if (mesh.faces[f].v[corner] >= numVerts) {
                return ::testing::AssertionFailure() << "face " << f << " refers to vertex " << mesh.faces[f].v[corner];
            }
            // Meshes without texture vertices (the tag markers) have no texture faces.
            if (numTVerts > 0 && mesh.tvFace[f].t[corner] >= numTVerts) {
                return ::testing::AssertionFailure()
                       << "texture face " << f << " refers to texture vertex " << mesh.tvFace[f].t[corner];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

std::string samplePath(const std::string& relative) { return std::string(QMP_SAMPLES_DIR) + "/" + relative; }

bool samplesPresent() { return std::filesystem::is_directory(QMP_SAMPLES_DIR); }

}  // namespace importtest
