// Saving scenes through assimp and loading them again: nodes, transforms, geometry, texture
// coordinates and bitmap materials survive.
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "mesh_builders.h"
#include "scene_checks.h"
#include "scene_file.h"
#include "scratch_folder.h"

namespace {

using scenetest::meshAt;
using scenetest::near;

const std::string kFigure = std::string(QMP_TEST_DATA_DIR) + "/figure.gltf";

// A triangle as the world sees it at time 0: positions and texture coordinates per corner,
// starting from its smallest corner so that equal triangles compare equal whatever the order
// of their corners (the winding is kept).
struct WorldTriangle {
    std::array<Point3, 3> positions;
    std::array<UVVert, 3> uvs;
};

bool lessPoint(const Point3& a, const Point3& b) {
    constexpr float kGrid = 1e-3f;  // coordinates compare at this precision
    const auto cell = [](float f) { return std::lround(f / kGrid); };
    if (cell(a.x) != cell(b.x)) {
        return cell(a.x) < cell(b.x);
    }
    if (cell(a.y) != cell(b.y)) {
        return cell(a.y) < cell(b.y);
    }
    return cell(a.z) < cell(b.z);
}

std::vector<WorldTriangle> worldTriangles(host::SceneNode& node) {
    std::vector<WorldTriangle> triangles;
    if (node.object() == nullptr) {
        return triangles;
    }
    Mesh mesh = meshAt(node, 0);
    const Matrix3 toWorld = node.GetObjectTM(0);
    const bool mapped = mesh.getNumTVerts() > 0 && mesh.tvFace != nullptr;
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        WorldTriangle triangle;
        for (int c = 0; c < 3; ++c) {
            triangle.positions[c] = mesh.verts[mesh.faces[f].v[c]] * toWorld;
            triangle.uvs[c] = mapped ? mesh.tVerts[mesh.tvFace[f].t[c]] : UVVert();
        }
        int first = 0;
        for (int c = 1; c < 3; ++c) {
            if (lessPoint(triangle.positions[c], triangle.positions[first])) {
                first = c;
            }
        }
        std::rotate(triangle.positions.begin(), triangle.positions.begin() + first, triangle.positions.end());
        std::rotate(triangle.uvs.begin(), triangle.uvs.begin() + first, triangle.uvs.end());
        triangles.push_back(triangle);
    }
    std::sort(triangles.begin(), triangles.end(), [](const WorldTriangle& a, const WorldTriangle& b) {
        for (int c = 0; c < 3; ++c) {
            if (lessPoint(a.positions[c], b.positions[c])) {
                return true;
            }
            if (lessPoint(b.positions[c], a.positions[c])) {
                return false;
            }
        }
        return false;
    });
    return triangles;
}

std::vector<WorldTriangle> allWorldTriangles(const host::Scene& scene) {
    std::vector<WorldTriangle> all;
    for (host::SceneNode* node : scene.nodes()) {
        const std::vector<WorldTriangle> some = worldTriangles(*node);
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end(), [](const WorldTriangle& a, const WorldTriangle& b) {
        for (int c = 0; c < 3; ++c) {
            if (lessPoint(a.positions[c], b.positions[c])) {
                return true;
            }
            if (lessPoint(b.positions[c], a.positions[c])) {
                return false;
            }
        }
        return false;
    });
    return all;
}

void expectSameTriangles(const std::vector<WorldTriangle>& actual, const std::vector<WorldTriangle>& expected,
                         const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t t = 0; t < actual.size(); ++t) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(near(actual[t].positions[c], expected[t].positions[c], 1e-3f)) << what << " triangle " << t;
            EXPECT_TRUE(near(actual[t].uvs[c], expected[t].uvs[c], 1e-4f)) << what << " triangle " << t;
        }
    }
}

std::string parentName(host::SceneNode& node) { return node.parent() != nullptr ? node.parent()->name() : ""; }

using testsupport::ScratchFolder;

struct SavedFormat {
    std::string extension;
    bool keepsHierarchy;  // OBJ keeps only geometry, placed in the world
};

void PrintTo(const SavedFormat& format, std::ostream* out) { *out << format.extension; }

class FigureRoundTrip : public ::testing::TestWithParam<SavedFormat> {};

TEST_P(FigureRoundTrip, KeepsNodesGeometryAndTextures) {
    const SavedFormat format = GetParam();
    ScratchFolder folder;
    host::Scene original;
    // The embedded image is named as a file in the scratch folder: an absolute name, which every
    // format keeps as it is.
    host::SceneLoadOptions options;
    options.embeddedTextureFolder = folder.path().string();
    ASSERT_TRUE(host::loadSceneFile(kFigure, options, original).ok);
    const std::string saved = folder.file("figure." + format.extension);
    std::string error;
    ASSERT_TRUE(host::saveSceneFile(original, saved, error)) << error;

    host::Scene reloaded;
    const host::SceneLoadResult result = host::loadSceneFile(saved, {}, reloaded);
    ASSERT_TRUE(result.ok) << result.error;
    expectSameTriangles(allWorldTriangles(reloaded), allWorldTriangles(original), "whole scene");

    if (format.keepsHierarchy) {
        EXPECT_EQ(reloaded.size(), original.size());
        for (host::SceneNode* node : original.nodes()) {
            host::SceneNode* copy = reloaded.findNode(node->name());
            ASSERT_NE(copy, nullptr) << node->name();
            EXPECT_EQ(parentName(*copy), parentName(*node)) << node->name();
            EXPECT_EQ(copy->object() != nullptr, node->object() != nullptr) << node->name();
            const Matrix3 before = node->GetNodeTM(0);
            const Matrix3 after = copy->GetNodeTM(0);
            for (int row = 0; row < 4; ++row) {
                EXPECT_TRUE(near(after.GetRow(row), before.GetRow(row))) << node->name() << " row " << row;
            }
            if (node->object() != nullptr) {
                expectSameTriangles(worldTriangles(*copy), worldTriangles(*node), node->name());
                EXPECT_EQ(scenetest::diffuseMapName(*copy), scenetest::diffuseMapName(*node)) << node->name();
            }
        }
    } else {
        std::set<std::string> maps;
        for (host::SceneNode* node : reloaded.nodes()) {
            maps.insert(scenetest::diffuseMapName(*node));
        }
        EXPECT_EQ(maps.count(scenetest::diffuseMapName(*original.findNode("body"))), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FigureRoundTrip,
                         ::testing::Values(SavedFormat{"gltf", true}, SavedFormat{"glb", true},
                                           SavedFormat{"dae", true}, SavedFormat{"obj", false},
                                           SavedFormat{"fbx", true}),
                         [](const ::testing::TestParamInfo<SavedFormat>& param) { return param.param.extension; });

// A scene made in the host: a box whose corners all lie on texture seams, a tag marker below it,
// a mesh computed per time, a bitmap with a relative name and a node without geometry.
class HostSceneRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        host::Material* crate = scene.addMaterial("crate");
        crate->setDiffuseMap(std::make_unique<host::BitmapTexture>("maps/crate.png"));
        host::SceneNode* box = scene.addNode("box");
        box->setMesh(host::makeBox(Point3(-1.0f, -1.0f, 0.0f), Point3(1.0f, 1.0f, 2.0f)));
        box->setMaterial(crate);
        Matrix3 placed = RotateZMatrix(0.5f);
        placed.SetTrans(Point3(4.0f, 5.0f, 6.0f));
        box->setTransform(placed);
        host::SceneNode* tag = scene.addNode("tag_lid", box);
        tag->setMesh(host::makeTagMarker());
        tag->setTransform(TransMatrix(Point3(0.0f, 0.0f, 2.0f)));
        host::SceneNode* wave = scene.addNode("wave");
        wave->setDeformingMesh([](TimeValue time, Mesh& mesh) {
            mesh.setNumVerts(3);
            mesh.setNumFaces(1);
            mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
            mesh.verts[1] = Point3(1.0f, 0.0f, static_cast<float>(time) / TIME_TICKSPERSEC);
            mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
            mesh.faces[0].setVerts(0, 1, 2);
        });
        host::SceneNode* helper = scene.addNode("helper", box);
        helper->setTransform(TransMatrix(Point3(0.0f, 3.0f, 0.0f)));
    }

    host::Scene scene;
};

TEST_F(HostSceneRoundTrip, SplitsSeamCornersAndKeepsEveryNode) {
    ScratchFolder folder;
    const std::string saved = folder.file("crate.gltf");
    std::string error;
    ASSERT_TRUE(host::saveSceneFile(scene, saved, error)) << error;
    host::Scene reloaded;
    const host::SceneLoadResult result = host::loadSceneFile(saved, {}, reloaded);
    ASSERT_TRUE(result.ok) << result.error;

    EXPECT_EQ(reloaded.size(), scene.size());
    for (host::SceneNode* node : scene.nodes()) {
        host::SceneNode* copy = reloaded.findNode(node->name());
        ASSERT_NE(copy, nullptr) << node->name();
        EXPECT_EQ(parentName(*copy), parentName(*node));
        EXPECT_TRUE(near(copy->GetNodeTM(0).GetTrans(), node->GetNodeTM(0).GetTrans())) << node->name();
        expectSameTriangles(worldTriangles(*copy), worldTriangles(*node), node->name());
    }
    EXPECT_EQ(reloaded.findNode("helper")->object(), nullptr);
    // Each of the box's corners is on three sides with three texture coordinates: the file splits
    // it, and loading welds it back into one vertex with its texture coordinates apart.
    Mesh box = meshAt(*reloaded.findNode("box"), 0);
    EXPECT_EQ(box.getNumFaces(), 12);
    EXPECT_EQ(box.getNumVerts(), 8);
    EXPECT_GT(box.getNumTVerts(), 8);
    EXPECT_EQ(scenetest::diffuseMapName(*reloaded.findNode("box")), "maps/crate.png") << "as the host named it";
    // The deforming mesh was saved as it is at time 0.
    Mesh wave = meshAt(*reloaded.findNode("wave"), 0);
    ASSERT_EQ(wave.getNumVerts(), 3);
    for (int v = 0; v < 3; ++v) {
        EXPECT_FLOAT_EQ(wave.verts[v].z, 0.0f);
    }
}

TEST_F(HostSceneRoundTrip, RefusesUnknownFormatsAndUnwritablePlaces) {
    std::string error;
    EXPECT_FALSE(host::saveSceneFile(scene, "/tmp/scene.unknownformat", error));
    EXPECT_NE(error.find("unknownformat"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(host::saveSceneFile(scene, "/nonexistent-folder/deeper/scene.obj", error));
    EXPECT_FALSE(error.empty());
}

// FBX states its axes; a file that says Z is up (as one from this host would) or X is up is
// turned accordingly. The file is written Y-up and its axis settings rewritten.
std::string withFbxAxes(std::string fbx, const std::map<std::string, int>& settings) {
    for (const auto& [name, value] : settings) {
        const std::string key = "P: \"" + name + "\", \"int\", \"Integer\", \"\", ";
        const size_t at = fbx.find(key);
        EXPECT_NE(at, std::string::npos) << name;
        if (at != std::string::npos) {
            const size_t end = fbx.find('\n', at);
            fbx.replace(at + key.size(), end - at - key.size(), std::to_string(value));
        }
    }
    return fbx;
}

TEST(SceneFileLoad, TurnsFbxFilesByTheAxesTheyState) {
    ScratchFolder folder;
    host::Scene scene;
    host::SceneNode* marker = scene.addNode("tag_marker");
    marker->setTransform(TransMatrix(Point3(1.0f, 2.0f, 3.0f)));
    const std::string saved = folder.file("marker.fbx");
    std::string error;
    ASSERT_TRUE(host::saveSceneFile(scene, saved, error)) << error;
    std::string fbx;
    {
        std::ifstream in(saved, std::ios::binary);
        fbx.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // As written, Y-up: the host's (1, 2, 3) is stored as (1, 3, -2) and comes back.
    struct Case {
        std::map<std::string, int> axes;
        Point3 expected;
    };
    const std::vector<Case> cases = {
        {{}, Point3(1.0f, 2.0f, 3.0f)},
        // Z up, front -Y, right +X: the host's own axes, so the stored numbers stand.
        {{{"UpAxis", 2},
          {"UpAxisSign", 1},
          {"FrontAxis", 1},
          {"FrontAxisSign", -1},
          {"CoordAxis", 0},
          {"CoordAxisSign", 1}},
         Point3(1.0f, 3.0f, -2.0f)},
        // X up, front +Z, right -Y: file (x, y, z) is host (-y, -z, x).
        {{{"UpAxis", 0},
          {"UpAxisSign", 1},
          {"FrontAxis", 2},
          {"FrontAxisSign", 1},
          {"CoordAxis", 1},
          {"CoordAxisSign", -1}},
         Point3(-3.0f, 2.0f, 1.0f)},
    };
    for (const Case& axes : cases) {
        const std::string patched = folder.file("patched.fbx");
        {
            std::ofstream out(patched, std::ios::binary);
            out << withFbxAxes(fbx, axes.axes);
        }
        host::Scene reloaded;
        const host::SceneLoadResult result = host::loadSceneFile(patched, {}, reloaded);
        ASSERT_TRUE(result.ok) << result.error;
        host::SceneNode* copy = reloaded.findNode("tag_marker");
        ASSERT_NE(copy, nullptr);
        const Matrix3 tm = copy->GetNodeTM(0);
        EXPECT_TRUE(near(tm.GetTrans(), axes.expected));
        EXPECT_TRUE(near(CrossProd(tm.GetRow(0), tm.GetRow(1)), tm.GetRow(2))) << "a rotation, not a mirror";
    }
}

TEST(SceneFileSave, KnowsTheCommonFormats) {
    const std::vector<std::string> extensions = host::sceneFileSaveExtensions();
    for (const char* wanted : {"gltf", "glb", "obj", "dae", "fbx"}) {
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), wanted), extensions.end()) << wanted;
    }
}

}  // namespace
