// Whole imports through the loaded importer: the magic decides the reader, the finishing call
// comes only after success, and exporter output comes back as it went out.
#include <cmath>

#include <demo_scene.h>
#include <sample_files.h>

#include "plugin_harness.h"

namespace {

struct Imported {
    int result = 0;
    int redraws = 0;
    std::vector<host::SceneNode*> nodes;
};

}  // namespace

class ImportEntryTest : public PluginTest {
protected:
    Imported import(const std::string& file) {
        Imported imported;
        importInterface_ = std::make_unique<host::ImportInterface>(scene_);
        imported.result = importer()->DoImport(file.c_str(), importInterface_.get(), &hostInterface, FALSE);
        imported.redraws = importInterface_->redraws();
        imported.nodes = importInterface_->addedNodes();
        return imported;
    }

private:
    host::Scene scene_;
    std::unique_ptr<host::ImportInterface> importInterface_;
};

TEST_F(ImportEntryTest, FilesThatAreNotModelsAddNothing) {
    const std::vector<std::vector<uint8_t>> files = {
        {}, {'I'}, {'I', 'D'}, {'I', 'D', 'P'}, {'I', 'D', 'P', '4', 0, 0, 0, 0}, {'P', 'K', 3, 4, 1, 2, 3, 4, 5},
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string file = path("file" + std::to_string(i) + ".md3");
        writeFileBytes(file, files[i]);
        const Imported imported = import(file);
        EXPECT_EQ(imported.result, 0) << i;
        EXPECT_EQ(imported.redraws, 0) << i;
        EXPECT_TRUE(imported.nodes.empty()) << i;
    }
    EXPECT_EQ(import(path("missing.md3")).result, 0);
}

TEST_F(ImportEntryTest, ExportedFilesComeBackWithTheirGeometry) {
    host::Scene scene;
    host::buildDemoScene(scene);
    ASSERT_EQ(exportScene(scene, TRUE), 1);
    ASSERT_TRUE(written.ok) << written.message;

    const Imported imported = import(outputPath());
    ASSERT_EQ(imported.result, 1);
    EXPECT_EQ(imported.redraws, 1);
    const std::vector<std::string> expected = {"tag_torso", "tag_head", "tag_weapon", "legs",
                                               "torso",     "head",     "weapon"};
    ASSERT_EQ(imported.nodes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(imported.nodes[i]->name(), expected[i]);
    }
    // Tags sit where the file's first frame puts them.
    for (int32_t t = 0; t < 3; ++t) {
        const modelformat::Md3TagRecord& tag = written.model.tag(0, t);
        const Matrix3 tm = imported.nodes[static_cast<size_t>(t)]->GetObjectTM(0);
        EXPECT_FLOAT_EQ(tm.GetTrans().x, tag.origin.x);
        EXPECT_FLOAT_EQ(tm.GetTrans().z, tag.origin.z);
        EXPECT_FLOAT_EQ(tm.GetRow(0).y, tag.axes[0].y);
    }
    // Surfaces: the first frame's positions, the texture coordinates and the winding undone.
    for (size_t s = 0; s < written.model.surfaces.size(); ++s) {
        const modelformat::Md3Surface& surface = written.model.surfaces[s];
        Mesh& mesh = static_cast<TriObject*>(imported.nodes[3 + s]->object())->GetMesh();
        ASSERT_EQ(mesh.getNumVerts(), surface.header.vertexCount);
        ASSERT_EQ(mesh.getNumFaces(), surface.header.triangleCount);
        ASSERT_EQ(mesh.getNumTVerts(), surface.header.vertexCount);
        EXPECT_TRUE(imported.nodes[3 + s]->GetObjectTM(0).IsIdentity());
        for (int v = 0; v < mesh.getNumVerts(); ++v) {
            EXPECT_EQ(mesh.verts[v].x, surface.frameVertices(0)[v].x / 64.0f);
            EXPECT_EQ(mesh.verts[v].z, surface.frameVertices(0)[v].z / 64.0f);
            EXPECT_EQ(mesh.tVerts[v].y, 1.0f - surface.texCoords[static_cast<size_t>(v)].t);
        }
        for (int f = 0; f < mesh.getNumFaces(); ++f) {
            const std::array<int32_t, 3>& stored = surface.triangles[static_cast<size_t>(f)].indices;
            EXPECT_EQ(mesh.faces[f].v[0], static_cast<DWORD>(stored[0]));
            EXPECT_EQ(mesh.faces[f].v[1], static_cast<DWORD>(stored[2]));
            EXPECT_EQ(mesh.faces[f].v[2], static_cast<DWORD>(stored[1]));
            EXPECT_EQ(mesh.tvFace[f].t[1], static_cast<DWORD>(stored[2]));
        }
    }
}

TEST_F(ImportEntryTest, TheMagicDecidesWhateverTheName) {
    const std::string samples = QMP_SAMPLES_DIR;
    const std::vector<uint8_t> md2 = fileBytes(samples + "/ufoai-data/models/objects/store/box.md2");
    const std::vector<uint8_t> md3 = fileBytes(samples + "/openarena-data/models/players/sarge/head.md3");
    if (md2.empty() || md3.empty()) {
        QMP_SAMPLE_MISSING() << "the sample files are not beside the project (" << samples << ")";
    }
    writeFileBytes(path("box.md3"), md2);
    writeFileBytes(path("head.md2"), md3);
    Imported imported = import(path("box.md3"));
    ASSERT_EQ(imported.result, 1);
    ASSERT_EQ(imported.nodes.size(), 1u);
    EXPECT_EQ(imported.nodes[0]->name(), "Quake MD2");
    imported = import(path("head.md2"));
    ASSERT_EQ(imported.result, 1);
    EXPECT_EQ(imported.redraws, 1);
    ASSERT_FALSE(imported.nodes.empty());
    EXPECT_NE(imported.nodes[0]->name(), "Quake MD2");
}
