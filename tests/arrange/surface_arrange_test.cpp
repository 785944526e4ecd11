// Surfaces cut into parts within the game's limits, their names, and simplified levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <mesh_builders.h>

#include "surface_simplify.h"
#include "surface_split.h"
#include "surface_triangles.h"

namespace {

using host::arrange::SurfaceLimits;
using host::arrange::SurfaceTriangle;

// A mesh with its description, for parameterised cases.
struct MeshCase {
    const char* name;
    Mesh (*make)();
};

// A cylinder of 64 x 40 quads: 2 * 64 * 40 + 128 triangles, 64 * 41 + 2 geometric vertices and a
// texture seam down one side.
Mesh bigCylinder() { return host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 10.0f, 40.0f, 64, 40); }

// The same without texture vertices: the exporter then writes one vertex per geometric vertex.
Mesh bigUnmappedCylinder() {
    Mesh mesh = bigCylinder();
    mesh.setNumTVerts(0);
    mesh.setNumTVFaces(0);
    return mesh;
}

// A sphere mapped with a seam and poles.
Mesh bigSphere() { return host::makeSphere(Point3(0.0f, 0.0f, 0.0f), 10.0f, 80, 50); }

// 300 separate boxes: many small pieces, every corner on a texture seam.
Mesh manyBoxes() {
    Mesh all;
    const int boxes = 300;
    all.setNumVerts(boxes * 8);
    all.setNumFaces(boxes * 12);
    all.setNumTVerts(4);
    all.setNumTVFaces(boxes * 12);
    for (int b = 0; b < boxes; ++b) {
        const auto offset = static_cast<float>(b * 3);
        const Mesh box = host::makeBox(Point3(offset, 0.0f, 0.0f), Point3(offset + 1.0f, 1.0f, 1.0f));
        for (int v = 0; v < 8; ++v) {
            all.verts[b * 8 + v] = box.verts[v];
        }
        for (int t = 0; t < 4; ++t) {
            all.tVerts[t] = box.tVerts[t];
        }
        for (int f = 0; f < 12; ++f) {
            const Face& face = box.faces[f];
            all.faces[b * 12 + f].setVerts(static_cast<int>(face.v[0]) + b * 8, static_cast<int>(face.v[1]) + b * 8,
                                           static_cast<int>(face.v[2]) + b * 8);
            all.tvFace[b * 12 + f] = box.tvFace[f];
        }
    }
    return all;
}

const MeshCase kLargeMeshes[] = {
    {"MappedCylinder", bigCylinder},
    {"UnmappedCylinder", bigUnmappedCylinder},
    {"Sphere", bigSphere},
    {"ManyBoxes", manyBoxes},
};

// The MD3 vertices of a set of triangles, counted by hand: distinct (vertex, u, v).
size_t md3Vertices(const Mesh& mesh, const std::vector<SurfaceTriangle>& triangles) {
    const bool mapped = mesh.numTVerts > 0 && mesh.tvFace != nullptr;
    std::set<std::tuple<int, float, float>> seen;
    for (const SurfaceTriangle& triangle : triangles) {
        for (const auto& corner : triangle.corners) {
            const UVVert uv = mapped ? mesh.tVerts[corner.textureVertex] : UVVert(0.0f, 0.0f, 0.0f);
            seen.emplace(corner.vertex, uv.x, uv.y);
        }
    }
    return seen.size();
}

class LargeSurface : public ::testing::TestWithParam<MeshCase> {};

TEST_P(LargeSurface, IsCutIntoFewPartsThatFitHoldingEveryTriangleOnce) {
    const Mesh mesh = GetParam().make();
    const std::vector<SurfaceTriangle> triangles = host::arrange::meshTriangles(mesh);
    const SurfaceLimits limits;
    ASSERT_GT(md3Vertices(mesh, triangles), 999u) << "the case must break the limits";
    const auto parts = host::arrange::splitToFit(mesh, triangles, limits);

    std::multiset<int> faces;
    for (const auto& part : parts) {
        EXPECT_LE(part.size(), 1999u);
        EXPECT_LE(md3Vertices(mesh, part), 999u);
        for (const SurfaceTriangle& triangle : part) {
            faces.insert(triangle.face);
        }
    }
    std::multiset<int> expected;
    for (int f = 0; f < mesh.numFaces; ++f) {
        expected.insert(f);
    }
    EXPECT_EQ(faces, expected);
    // Grown regions waste little: at most one part more than the vertices and triangles need at
    // the least (a seam counts twice, so the count of the whole is an upper bound on the need).
    const size_t leastByVertices = (md3Vertices(mesh, triangles) + 998) / 999;
    const size_t leastByTriangles = (triangles.size() + 1998) / 1999;
    EXPECT_LE(parts.size(), std::max(leastByVertices, leastByTriangles) + 1);
}

class SmoothSurface : public LargeSurface {};

TEST_P(SmoothSurface, SimplifiesToAboutHalfFromItsOwnCorners) {
    const Mesh mesh = GetParam().make();
    const std::vector<SurfaceTriangle> triangles = host::arrange::meshTriangles(mesh);
    std::set<std::pair<int, int>> corners;
    for (const SurfaceTriangle& triangle : triangles) {
        for (const auto& corner : triangle.corners) {
            corners.emplace(corner.vertex, corner.textureVertex);
        }
    }
    const auto simplified = host::arrange::simplifyTriangles(mesh, triangles, triangles.size() / 2);
    ASSERT_FALSE(simplified.empty());
    EXPECT_LE(simplified.size(), triangles.size() / 2 + triangles.size() / 10);
    for (const SurfaceTriangle& triangle : simplified) {
        for (const auto& corner : triangle.corners) {
            EXPECT_TRUE(corners.count({corner.vertex, corner.textureVertex}) > 0)
                << "a corner that was not the mesh's: " << corner.vertex;
        }
        EXPECT_TRUE(triangle.corners[0].vertex != triangle.corners[1].vertex &&
                    triangle.corners[1].vertex != triangle.corners[2].vertex &&
                    triangle.corners[0].vertex != triangle.corners[2].vertex)
            << "a degenerate triangle";
    }
}

INSTANTIATE_TEST_SUITE_P(Meshes, LargeSurface, ::testing::ValuesIn(kLargeMeshes),
                         [](const ::testing::TestParamInfo<MeshCase>& param) { return param.param.name; });
// Boxes, every corner on a seam, have nothing to give; surfaces of many faces do.
INSTANTIATE_TEST_SUITE_P(Meshes, SmoothSurface, ::testing::ValuesIn(kLargeMeshes, kLargeMeshes + 3),
                         [](const ::testing::TestParamInfo<MeshCase>& param) { return param.param.name; });

TEST(SurfaceSimplify, ClosedPiecesAllOnSeamsStayAsTheyAre) {
    const Mesh boxes = manyBoxes();
    const std::vector<SurfaceTriangle> triangles = host::arrange::meshTriangles(boxes);
    const auto simplified = host::arrange::simplifyTriangles(boxes, triangles, triangles.size() / 2);
    EXPECT_EQ(simplified.size(), triangles.size());
}

TEST(SurfaceSplit, AMeshThatFitsStaysWhole) {
    const Mesh box = host::makeBox(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f));
    const auto parts = host::arrange::splitToFit(box, host::arrange::meshTriangles(box), SurfaceLimits());
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].size(), 12u);
}

TEST(SurfaceSplit, TheTriangleLimitAloneCutsToo) {
    // 2000 triangles over few vertices: a fan of thin triangles around one centre, unmapped.
    Mesh fan;
    const int spokes = 2100;
    fan.setNumVerts(spokes + 1);
    fan.setNumFaces(spokes);
    fan.verts[spokes] = Point3(0.0f, 0.0f, 0.0f);
    for (int s = 0; s < spokes; ++s) {
        const float angle = 6.2831853f * static_cast<float>(s) / static_cast<float>(spokes);
        fan.verts[s] = Point3(std::cos(angle), std::sin(angle), 0.0f);
        fan.faces[s].setVerts(spokes, s, (s + 1) % spokes);
    }
    SurfaceLimits limits;
    limits.maxVertices = 5000;  // so that only the triangle count matters
    const auto parts = host::arrange::splitToFit(fan, host::arrange::meshTriangles(fan), limits);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].size() + parts[1].size(), static_cast<size_t>(spokes));
    EXPECT_LE(parts[0].size(), 1999u);
}

TEST(SurfaceTriangles, ExportedVerticesCountEveryVertexAndEachFurtherCoordinate) {
    // The cylinder's seam column has two coordinates (u = 0 and u = 1): one vertex more per ring;
    // the caps' rims use the side's coordinates, the two cap centres one coordinate each.
    const Mesh cylinder = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 1.0f, 1.0f, 8, 3);
    EXPECT_EQ(host::arrange::exportedVertexCount(cylinder), 8 * 4 + 2 + 4);
    // A vertex no face uses is written all the same.
    Mesh withLoose = cylinder;
    withLoose.setNumVerts(cylinder.numVerts + 1, TRUE);
    EXPECT_EQ(host::arrange::exportedVertexCount(withLoose), 8 * 4 + 2 + 4 + 1);
}

struct NamesCase {
    const char* surface;
    size_t count;
    std::vector<std::string> names;
};

class PartNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(PartNames, AllShareTheSurfacesSkinEntry) {
    const NamesCase& c = GetParam();
    const std::vector<std::string> names = host::arrange::partNames(c.surface, c.count);
    EXPECT_EQ(names, c.names);
    std::set<std::string> distinct;
    for (const std::string& name : names) {
        EXPECT_EQ(host::arrange::skinLookupName(name), host::arrange::skinLookupName(c.surface)) << name;
        distinct.insert(name);
    }
    EXPECT_EQ(distinct.size(), names.size());
}

// Expected names from the engine's rule: lower case, a final '_' and one character dropped.
const NamesCase kNamesCases[] = {
    {"body", 1, {"body"}},
    {"body", 3, {"body", "body_1", "body_2"}},
    {"Body",
     11,
     {"Body", "Body_1", "Body_2", "Body_3", "Body_4", "Body_5", "Body_6", "Body_7", "Body_8", "Body_9", "Body_a"}},
    {"u_torso_2", 3, {"u_torso_2", "u_torso_1", "u_torso_3"}},
    {"body", 37, {}},  // the name and 35 suffixes: more parts than names
};

INSTANTIATE_TEST_SUITE_P(Surfaces, PartNames, ::testing::ValuesIn(kNamesCases));

TEST(SkinLookupName, IsLowerCaseWithoutAFinalUnderscoreAndCharacter) {
    EXPECT_EQ(host::arrange::skinLookupName("L_Legs_1"), "l_legs");
    EXPECT_EQ(host::arrange::skinLookupName("h_head"), "h_head");
    EXPECT_EQ(host::arrange::skinLookupName("body_12"), "body_12");
}

}  // namespace
