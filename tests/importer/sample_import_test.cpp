// Real MD3 and MD2 files made by other tools through the whole import, and damaged copies of them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include <modelformat/md2_reader.h>
#include <modelformat/md3_reader.h>

#include "import_harness.h"
#include "model_builders.h"
#include "sample_files.h"

using importtest::ImportScene;
using importtest::meshOf;

namespace {

struct SampleFile {
    const char* path;  // under the sample folder
    bool md3;
    std::vector<std::string> tags;  // MD3: the tag nodes, in file order
    size_t surfaceCount;            // MD3: the surface nodes after them
};

void PrintTo(const SampleFile& sample, std::ostream* out) { *out << sample.path; }

std::string sampleName(const ::testing::TestParamInfo<SampleFile>& info) {
    std::string name = info.param.path;
    name = name.substr(name.find_last_of('/') + 1);
    name[name.find('.')] = '_';
    return name;
}

const SampleFile kUpper = {"openarena-data/models/players/sarge/upper.md3", true, {"tag_weapon", "tag_head"}, 1};
const SampleFile kHead = {"openarena-data/models/players/sarge/head.md3", true, {}, 1};
const SampleFile kBfg = {"openarena-data/models/weapons2/bfg/bfg.md3", true, {"tag_flash", "tag_barrel"}, 2};
const SampleFile kKamboom = {"openarena-data/models/weaphits/kamboom2.md3", true, {}, 24};
// Both MD2 files have more texture coordinates than vertices.
const SampleFile kBox = {"ufoai-data/models/objects/store/box.md2", false, {}, 0};
const SampleFile kAssault = {"ufoai-data/models/weapons/assault/assault.md2", false, {}, 0};

// The first, a middle and the last of count vertices.
std::vector<int> someVertices(int count) {
    return count == 0 ? std::vector<int>{} : std::vector<int>{0, count / 2, count - 1};
}

void expectMd3Nodes(const ImportScene& s, const SampleFile& sample, const modelformat::Md3Model& model) {
    ASSERT_EQ(model.surfaces.size(), sample.surfaceCount);
    std::vector<std::string> names = sample.tags;
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        names.push_back(surface.header.name);
    }
    ASSERT_EQ(s.names(), names);
    for (size_t t = 0; t < sample.tags.size(); ++t) {
        const modelformat::Md3Vec3& origin = model.tag(0, static_cast<int32_t>(t)).origin;
        EXPECT_EQ(s.nodes()[t]->localTransform(0).GetTrans(), Point3(origin.x, origin.y, origin.z));
    }
    for (size_t n = 0; n < model.surfaces.size(); ++n) {
        const modelformat::Md3Surface& surface = model.surfaces[n];
        SCOPED_TRACE(surface.header.name);
        Mesh* mesh = meshOf(s.nodes()[sample.tags.size() + n]);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->getNumVerts(), surface.header.vertexCount);
        EXPECT_EQ(mesh->getNumTVerts(), surface.header.vertexCount);
        EXPECT_EQ(mesh->getNumFaces(), surface.header.triangleCount);
        EXPECT_TRUE(importtest::indicesInRange(*mesh));
        for (int v : someVertices(mesh->getNumVerts())) {
            const modelformat::Md3Vertex& stored = surface.frameVertices(0)[v];
            EXPECT_EQ(mesh->verts[v], Point3(stored.x / 64.0f, stored.y / 64.0f, stored.z / 64.0f)) << v;
        }
    }
}

void expectMd2Node(const ImportScene& s, const modelformat::Md2Model& model) {
    ASSERT_EQ(s.names(), std::vector<std::string>{"Quake MD2"});
    Mesh* mesh = meshOf(s.nodes()[0]);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumVerts(), model.header.numVertices);
    EXPECT_EQ(mesh->getNumTVerts(), model.header.numTexCoords);
    EXPECT_EQ(mesh->getNumFaces(), model.header.numTriangles);
    EXPECT_TRUE(importtest::indicesInRange(*mesh));
    for (int v : someVertices(mesh->getNumVerts())) {
        const modelformat::Md2Vec3& p = model.positions[static_cast<size_t>(v)];
        EXPECT_EQ(mesh->verts[v], Point3(p.x, p.y, p.z)) << v;
    }
}

}  // namespace

class SampleImport : public ::testing::TestWithParam<SampleFile> {
protected:
    void SetUp() override {
        if (!importtest::samplesPresent()) {
            QMP_SAMPLE_MISSING() << "no sample folder at " << QMP_SAMPLES_DIR;
        }
        path = importtest::samplePath(GetParam().path);
        bytes = testmodels::loadFile(path);
        ASSERT_FALSE(bytes.empty()) << path;
    }

    std::string path;
    std::vector<uint8_t> bytes;
};

TEST_P(SampleImport, GivesItsNodesAndMeshes) {
    ImportScene s;
    ASSERT_EQ(importtest::importFile(s.imports, path), 1);
    EXPECT_EQ(s.imports.redraws(), 1);
    if (GetParam().md3) {
        const modelformat::Md3ReadResult parsed = modelformat::readMd3(bytes);
        ASSERT_TRUE(parsed.ok) << parsed.message;
        expectMd3Nodes(s, GetParam(), parsed.model);
    } else {
        const modelformat::Md2ReadResult parsed = modelformat::readMd2(bytes, modelformat::kMd2ImportFrame);
        ASSERT_TRUE(parsed.ok) << parsed.message;
        expectMd2Node(s, parsed.model);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleImport, ::testing::Values(kUpper, kHead, kBfg, kKamboom, kBox, kAssault),
                         sampleName);

// Damaged copies go through the whole import: each is refused (without the finishing call) or
// imported into meshes whose faces stay inside their vertices; the sanitizers see anything worse.
using DamagedSampleImport = SampleImport;

TEST_P(DamagedSampleImport, IsRefusedOrImportedSafely) {
    importtest::ScratchFolder folder;
    const auto importDamaged = [&](const std::string& what, const std::vector<uint8_t>& damaged) {
        SCOPED_TRACE(what);
        ImportScene s;
        const int answer = importtest::importFile(s.imports, folder.write("damaged", damaged));
        ASSERT_TRUE(answer == 0 || answer == 1);
        EXPECT_EQ(s.imports.redraws(), answer);
        for (const host::SceneNode* node : s.nodes()) {
            Mesh* mesh = meshOf(node);
            ASSERT_NE(mesh, nullptr);
            EXPECT_TRUE(importtest::indicesInRange(*mesh)) << node->name();
        }
    };
    for (size_t length = 0; length < bytes.size(); length += 1 + bytes.size() / 24) {
        importDamaged("cut to " + std::to_string(length),
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
    }
    // Every count and offset of the file header, and of an MD3's first surface header.
    std::vector<size_t> fields;
    if (GetParam().md3) {
        fields.push_back(testmodels::kMd3AtVersion);
        for (size_t at = testmodels::kMd3AtFrameCount; at <= testmodels::kMd3AtEndOffset; at += 4) {
            fields.push_back(at);
        }
        const auto surface = static_cast<size_t>(testmodels::peekInt32(bytes, testmodels::kMd3AtSurfacesOffset));
        for (size_t at = testmodels::kSurfAtFrameCount; at <= testmodels::kSurfAtEndOffset; at += 4) {
            fields.push_back(surface + at);
        }
    } else {
        for (int field = testmodels::kFieldVersion; field <= testmodels::kFieldOfsEnd; ++field) {
            fields.push_back(testmodels::md2HeaderField(field));
        }
    }
    for (size_t at : fields) {
        for (int32_t value : {-1, 1, 0x7FFFFFFF, testmodels::peekInt32(bytes, at) + 4}) {
            std::vector<uint8_t> damaged = bytes;
            testmodels::patchInt32(damaged, at, value);
            importDamaged("field at " + std::to_string(at) + " set to " + std::to_string(value), damaged);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedSampleImport, ::testing::Values(kHead, kBfg, kBox, kAssault), sampleName);
