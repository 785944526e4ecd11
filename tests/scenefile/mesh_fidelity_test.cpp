// Meshes from scene files shaped as the host's own: texture seams welded into one geometric vertex
// with texture vertices apart, creases and differently deformed vertices kept apart, the file's
// normals kept, and morph targets that tilt them.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "scene_checks.h"
#include "scene_file.h"

namespace {

using scenetest::fromYUp;
using scenetest::meshAt;
using scenetest::near;
using scenetest::ticksAt;

constexpr double kPi = 3.14159265358979323846;
// What make_fidelity_files.py wrote.
constexpr int kRings = 10;
constexpr int kSegments = 16;
constexpr int kTubeSegments = 8;

std::string dataFile(const std::string& name) { return std::string(QMP_TEST_DATA_DIR) + "/" + name; }

Point3 fromYUp(const Point3& p) { return fromYUp(p.x, p.y, p.z); }

class LoadedFile {
public:
    explicit LoadedFile(const std::string& name) : scene_(std::make_unique<host::Scene>()) {
        result_ = host::loadSceneFile(dataFile(name), {}, *scene_);
        if (!result_.ok) {
            throw std::runtime_error(result_.error);
        }
    }
    host::SceneNode& node(const std::string& name) {
        host::SceneNode* found = scene_->findNode(name);
        if (found == nullptr) {
            throw std::runtime_error("no node " + name);
        }
        return *found;
    }

private:
    std::unique_ptr<host::Scene> scene_;
    host::SceneLoadResult result_;
};

// The sphere's point at ring r and segment s, in the file's axes.
Point3 spherePoint(int ring, int segment) {
    const double theta = kPi * ring / kRings;
    const double phi = 2 * kPi * segment / kSegments;
    return Point3(std::sin(theta) * std::cos(phi), std::cos(theta), -std::sin(theta) * std::sin(phi));
}

class SeamedSphere : public ::testing::TestWithParam<const char*> {};

TEST_P(SeamedSphere, WeldsEverySeamAndPoleIntoOneGeometricVertex) {
    LoadedFile file("seamed_sphere.gltf");
    Mesh sphere = meshAt(file.node(GetParam()), 0);
    // One vertex per ring and segment between the poles, and one per pole.
    EXPECT_EQ(sphere.getNumVerts(), 2 + (kRings - 1) * kSegments);
    ASSERT_EQ(sphere.getNumFaces(), 2 * (kRings - 1) * kSegments);
    ASSERT_GT(sphere.getNumTVerts(), sphere.getNumVerts());
    for (int a = 0; a < sphere.getNumVerts(); ++a) {
        for (int b = a + 1; b < sphere.getNumVerts(); ++b) {
            EXPECT_GT(Length(sphere.verts[a] - sphere.verts[b]), 0.1f) << "vertices " << a << " and " << b;
        }
    }
    // Every corner keeps its texture coordinate (u = segment / 16, v = ring / 10 as glTF has it,
    // which assimp stores as 1 - v) and lies where that coordinate says.
    for (int f = 0; f < sphere.getNumFaces(); ++f) {
        for (int corner = 0; corner < 3; ++corner) {
            const UVVert uv = sphere.tVerts[sphere.tvFace[f].t[corner]];
            const auto segment = static_cast<int>(std::lround(uv.x * kSegments));
            const auto ring = static_cast<int>(std::lround((1.0f - uv.y) * kRings));
            EXPECT_TRUE(near(sphere.verts[sphere.faces[f].v[corner]], fromYUp(spherePoint(ring, segment))))
                << "face " << f << " corner " << corner;
        }
    }
    sphere.checkNormals(TRUE);
    for (int v = 0; v < sphere.getNumVerts(); ++v) {
        // A unit sphere's normal is its position: the file's normals, or those built from faces.
        const float tolerance = sphere.hasSpecifiedNormals() ? 1e-5f : 0.06f;
        EXPECT_TRUE(near(sphere.getNormal(v), sphere.verts[v].Normalize(), tolerance)) << "vertex " << v;
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutNormals, SeamedSphere, ::testing::Values("smooth_sphere", "plain_sphere"));

TEST(SceneFileNormals, OnlyFilesWithNormalsSpecifyThem) {
    LoadedFile file("seamed_sphere.gltf");
    EXPECT_TRUE(meshAt(file.node("smooth_sphere"), 0).hasSpecifiedNormals());
    EXPECT_FALSE(meshAt(file.node("plain_sphere"), 0).hasSpecifiedNormals());
}

// Two triangles meeting on an edge, each with its own copies of the edge's vertices whose normals
// differ by the fold's angle: copies within a tenth of a degree are one vertex, creases stay.
struct Fold {
    const char* node;
    double degrees;
    bool welded;
};

class Folds : public ::testing::TestWithParam<Fold> {};

TEST_P(Folds, JoinSeamsAndKeepCreases) {
    const Fold fold = GetParam();
    LoadedFile file("authored_normals.gltf");
    Mesh mesh = meshAt(file.node(fold.node), 0);
    EXPECT_EQ(mesh.getNumVerts(), fold.welded ? 4 : 6);
    ASSERT_EQ(mesh.getNumFaces(), 2);
    EXPECT_EQ(mesh.getNumTVerts(), 6) << "every corner keeps its texture coordinate";
    // Each side's corners carry its own normal, which the host keeps as the file gave it.
    const double a = fold.degrees * kPi / 180.0;
    const Point3 sides[2] = {fromYUp(0, 1, 0), fromYUp(-std::sin(a), std::cos(a), 0)};
    mesh.checkNormals(TRUE);
    for (int corner = 0; corner < 3; ++corner) {
        EXPECT_TRUE(near(mesh.getNormal(static_cast<int>(mesh.faces[0].v[corner])), sides[0], 1e-5f));
        const float tolerance = fold.welded ? 1e-3f : 1e-5f;
        EXPECT_TRUE(near(mesh.getNormal(static_cast<int>(mesh.faces[1].v[corner])), sides[1], tolerance));
    }
}

INSTANTIATE_TEST_SUITE_P(Angles, Folds,
                         ::testing::Values(Fold{"fold_0", 0.0, true}, Fold{"fold_0_05", 0.05, true},
                                           Fold{"fold_1", 1.0, false}, Fold{"fold_10", 10.0, false},
                                           Fold{"fold_90", 90.0, false}),
                         [](const ::testing::TestParamInfo<Fold>& test) { return std::string(test.param.node); });

TEST(SceneFileNormals, MorphTargetsTiltNormalsAndKeepVerticesThatMoveApart) {
    LoadedFile file("authored_normals.gltf");
    host::SceneNode& bend = file.node("bend");
    // Six file vertices: the one at vertex 0's place moves as it does and joins it; the one at
    // vertex 3's place is lifted half as far and stays apart.
    const Point3 up = fromYUp(0, 1, 0);
    const Point3 tilted = fromYUp(std::sqrt(0.5), std::sqrt(0.5), 0);
    for (double weight : {0.0, 0.25, 0.5, 1.0}) {
        SCOPED_TRACE("weight " + std::to_string(weight));
        Mesh mesh = meshAt(bend, ticksAt(weight));
        ASSERT_EQ(mesh.getNumVerts(), 5);
        mesh.checkNormals(TRUE);
        int lifted = 0;
        for (int v = 0; v < mesh.getNumVerts(); ++v) {
            // glTF's y is the host's z: the target lifts one vertex by the weight, one by half.
            const float lift = mesh.verts[v].z;
            lifted += lift > 1e-6f ? 1 : 0;
            EXPECT_TRUE(std::fabs(lift - weight) < 1e-5 || std::fabs(lift - weight / 2) < 1e-5 || lift == 0.0f)
                << "vertex " << v << " lifted by " << lift;
            const Point3 expected = (up + (tilted - up) * static_cast<float>(weight)).Normalize();
            EXPECT_TRUE(near(mesh.getNormal(v), expected, 1e-5f)) << "vertex " << v;
        }
        EXPECT_EQ(lifted, weight > 0.0 ? 2 : 0);
    }
}

TEST(SceneFileNormals, NormalsThatAreNotDirectionsAreBuiltFromTheFaces) {
    LoadedFile file("authored_normals.gltf");
    // A triangle facing up whose file normals are zero, not a number, and up.
    Mesh mesh = meshAt(file.node("broken"), 0);
    ASSERT_EQ(mesh.getNumVerts(), 3);
    EXPECT_TRUE(mesh.hasSpecifiedNormals());
    mesh.checkNormals(TRUE);
    for (int v = 0; v < 3; ++v) {
        EXPECT_TRUE(near(mesh.getNormal(v), fromYUp(0, 1, 0), 1e-5f)) << "vertex " << v;
    }
}

TEST(SceneFileNormals, SkinnedSeamsWeldButDifferentBonesKeepVerticesApart) {
    LoadedFile file("skinned_tube.gltf");
    // The tube's seam column is welded: three rings of eight.
    EXPECT_EQ(meshAt(file.node("tube"), 0).getNumVerts(), 3 * kTubeSegments);
    // The hinge's halves meet at y = 1 with alike vertices on different bones: kept apart, they
    // part once the upper bone turns.
    host::SceneNode& hinge = file.node("hinge");
    const Mesh rest = meshAt(hinge, 0);
    ASSERT_EQ(rest.getNumVerts(), 8);
    const Mesh turned = meshAt(hinge, ticksAt(1.0));
    ASSERT_EQ(turned.getNumVerts(), 8);
    int together = 0;
    int parted = 0;
    for (int a = 0; a < 8; ++a) {
        for (int b = a + 1; b < 8; ++b) {
            if (near(rest.verts[a], rest.verts[b], 1e-5f)) {
                ++together;
                parted += Length(turned.verts[a] - turned.verts[b]) > 0.1f ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(together, 2);
    EXPECT_EQ(parted, 2);
}

}  // namespace
