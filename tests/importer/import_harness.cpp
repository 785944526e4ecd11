// Test support for the importer's readers: streams, scratch files, node-limited imports, meshes.
#include "import_harness.h"

#include <filesystem>
#include <fstream>

#include <model_importer.h>
#include <model_readers.h>

namespace importtest {

OpenFile openBytes(const std::vector<uint8_t>& bytes, long position) {
    OpenFile file(std::tmpfile());
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fseek(file.get(), position, SEEK_SET) != 0) {
        return nullptr;
    }
    return file;
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "importer-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

ScratchFolder::~ScratchFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string ScratchFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = path_ + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out) << "could not write " << path;
    return path;
}

ImpNode* NodeLimitedImport::CreateNode() {
    if (nodesLeft_ <= 0) {
        return nullptr;
    }
    --nodesLeft_;
    return scene_.CreateNode();
}

int ImportTest::readMd3Bytes(const std::vector<uint8_t>& bytes, ImpInterface* into) {
    const OpenFile file = openBytes(bytes, 4);
    EXPECT_NE(file, nullptr);
    return readMd3Model(into != nullptr ? into : &imports, file.get());
}

int ImportTest::readMd2Bytes(const std::vector<uint8_t>& bytes, int frameIndex, ImpInterface* into) {
    const OpenFile file = openBytes(bytes, 0);
    EXPECT_NE(file, nullptr);
    return readMd2Model(into != nullptr ? into : &imports, file.get(), frameIndex);
}

int ImportTest::importFile(const std::string& path, ImpInterface* into) {
    ModelImporter importer;
    return importer.DoImport(path.c_str(), into != nullptr ? into : &imports, &hostInterface, TRUE);
}

std::vector<std::string> ImportTest::nodeNames() const {
    std::vector<std::string> names;
    for (const host::SceneNode* node : nodes()) names.push_back(node->name());
    return names;
}

Mesh* meshOf(const host::SceneNode* node) {
    Object* object = node != nullptr ? node->object() : nullptr;
    if (object == nullptr || !(object->ClassID() == triObjectClassID)) {
        return nullptr;
    }
    return &static_cast<TriObject*>(object)->GetMesh();
}

::testing::AssertionResult samePoint(const Point3& actual, const Point3& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << ") instead of ("
                                         << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

::testing::AssertionResult isIdentity(const Matrix3& transform) {
    const Matrix3 identity;
    for (int row = 0; row < 4; ++row) {
        const ::testing::AssertionResult same = samePoint(transform.GetRow(row), identity.GetRow(row));
        if (!same) {
            return ::testing::AssertionFailure() << "row " << row << ": " << same.message();
        }
    }
    return ::testing::AssertionSuccess();
}

std::string samplePath(const std::string& relative) { return std::string(QMP_SAMPLES_DIR) + "/" + relative; }

bool samplesPresent() { return std::filesystem::is_directory(QMP_SAMPLES_DIR); }

}  // namespace importtest
