// Exported files read back by the Open Asset Import Library, a reader this project does not
// contain: the same surfaces, face counts, positions within one stored unit and texture
// coordinates exactly.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <algorithm>
#include <array>
#include <cmath>

#include <demo_scene.h>
#include <mesh_builders.h>
#include <node_collector.h>

#include "export_harness.h"

namespace {

using Corner = std::array<float, 5>;  // x, y, z, s, t

// The corners the file must hold for a node at frame 0, in the game's frame: positions
// truncated to 1/64, texture coordinates with t flipped.
std::vector<Corner> expectedCorners(host::SceneNode* node, const Matrix3& toFile) {
    EvaluatedMesh evaluated(node, 0);
    Mesh& mesh = *evaluated.mesh();
    std::vector<Corner> corners;
    for (int f = 0; f < mesh.numFaces; ++f) {
        for (int c = 0; c < 3; ++c) {
            const Point3 p = toFile.PointTransform(mesh.verts[mesh.faces[f].v[c]]);
            const UVVert& uv = mesh.tVerts[mesh.tvFace[f].t[c]];
            corners.push_back({std::trunc(p.x * 64.0f) / 64.0f, std::trunc(p.y * 64.0f) / 64.0f,
                               std::trunc(p.z * 64.0f) / 64.0f, uv.x, 1.0f - uv.y});
        }
    }
    std::sort(corners.begin(), corners.end());
    return corners;
}

std::vector<Corner> assimpCorners(const aiMesh* mesh, bool flipT) {
    std::vector<Corner> corners;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        for (unsigned c = 0; c < mesh->mFaces[f].mNumIndices; ++c) {
            const unsigned i = mesh->mFaces[f].mIndices[c];
            const aiVector3D& p = mesh->mVertices[i];
            const aiVector3D uv = mesh->HasTextureCoords(0) ? mesh->mTextureCoords[0][i] : aiVector3D();
            corners.push_back({p.x, p.y, p.z, uv.x, flipT ? 1.0f - uv.y : uv.y});
        }
    }
    std::sort(corners.begin(), corners.end());
    return corners;
}

const aiMesh* meshNamed(const aiScene* scene, const std::string& surface) {
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        aiString name;
        scene->mMaterials[scene->mMeshes[m]->mMaterialIndex]->Get(AI_MATKEY_NAME, name);
        if (std::string(name.C_Str()).find("[" + surface + "]") != std::string::npos) {
            return scene->mMeshes[m];
        }
    }
    return nullptr;
}

}  // namespace

class AssimpRoundTrip : public ExporterTest {};

TEST_F(AssimpRoundTrip, TheDemoFigureReadsBackWithItsGeometry) {
    host::Scene scene;
    host::buildDemoScene(scene);
    exportOptions.relativeToTag = false;
    setFrames(0, 5);
    const ExportRun run = exportScene(scene);
    ASSERT_EQ(run.result, 1);

    Assimp::Importer importer;
    const aiScene* loaded = importer.ReadFile(outputPath(), 0);
    ASSERT_NE(loaded, nullptr) << importer.GetErrorString();
    ASSERT_EQ(loaded->mNumMeshes, 4u);

    for (const char* name : {"legs", "torso", "head", "weapon"}) {
        host::SceneNode* node = scene.findNode(name);
        const aiMesh* mesh = meshNamed(loaded, name);
        ASSERT_NE(mesh, nullptr) << name;
        const std::vector<Corner> expected = expectedCorners(node, node->GetObjectTM(0));
        const std::vector<Corner> actual = assimpCorners(mesh, true);
        ASSERT_EQ(mesh->mNumFaces * 3, expected.size()) << name;
        ASSERT_EQ(actual.size(), expected.size()) << name;
        for (size_t i = 0; i < expected.size(); ++i) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(actual[i][k], expected[i][k], 1.0f / 64.0f) << name << " corner " << i;
            }
            EXPECT_EQ(actual[i][3], expected[i][3]) << name << " corner " << i;
            EXPECT_EQ(actual[i][4], expected[i][4]) << name << " corner " << i;
        }
    }
}
