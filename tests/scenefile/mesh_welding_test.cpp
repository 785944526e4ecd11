// Welding against its definition: each file vertex joins the earliest geometric vertex within the
// position tolerance on every axis, however the points fall about the cells of the welder's grid.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "mesh_welding.h"

using host::scenefile::kWeldPositionTolerance;
using host::scenefile::WeldedVertices;

namespace {

// The earliest-agreeing search over every geometric vertex, for positions alone.
WeldedVertices weldByEveryPair(const std::vector<aiVector3D>& points, double tolerance) {
    WeldedVertices result;
    for (const aiVector3D& p : points) {
        auto found = static_cast<std::uint32_t>(result.sourceOf.size());
        for (std::uint32_t g = 0; g < result.sourceOf.size(); ++g) {
            const aiVector3D& q = points[result.sourceOf[g]];
            if (std::fabs(static_cast<double>(p.x) - q.x) <= tolerance &&
                std::fabs(static_cast<double>(p.y) - q.y) <= tolerance &&
                std::fabs(static_cast<double>(p.z) - q.z) <= tolerance) {
                found = g;
                break;
            }
        }
        if (found == result.sourceOf.size()) {
            result.sourceOf.push_back(static_cast<std::uint32_t>(&p - points.data()));
        }
        result.geometricOf.push_back(found);
    }
    return result;
}

}  // namespace

TEST(MeshWelding, JoinsTheEarliestVertexWithinTheToleranceWhereverTheCellsFall) {
    std::mt19937 random(31);
    for (int round = 0; round < 6; ++round) {
        // Clusters a few tolerances wide around a lattice, so that points fall on both sides of
        // cell borders and chains of near points form; a far point sets the extent.
        const double extent = round % 2 == 0 ? 100.0 : 3.0e4;
        const double tolerance = extent * kWeldPositionTolerance;
        std::uniform_real_distribution<double> spread(-2.5 * tolerance, 2.5 * tolerance);
        std::uniform_int_distribution<int> lattice(-20, 20);
        std::vector<aiVector3D> points;
        points.emplace_back(static_cast<float>(extent), 0.0f, 0.0f);
        for (int i = 0; i < 3000; ++i) {
            const double cx = lattice(random) * 40.0 * tolerance;
            const double cy = lattice(random) * 40.0 * tolerance;
            const double cz = (i % 7) * 40.0 * tolerance;
            points.emplace_back(static_cast<float>(cx + spread(random)), static_cast<float>(cy + spread(random)),
                                static_cast<float>(cz + spread(random)));
            if (i % 5 == 0) {
                points.push_back(points[static_cast<size_t>(random() % points.size())]);  // an exact twin
            }
        }
        aiMesh mesh;
        mesh.mNumVertices = static_cast<unsigned>(points.size());
        mesh.mVertices = new aiVector3D[points.size()];
        std::copy(points.begin(), points.end(), mesh.mVertices);

        const WeldedVertices welded = host::scenefile::weldVertices(mesh, {});
        // The welder's tolerance is a fraction of the mesh's extent: the larger of its diagonal and
        // its farthest coordinate.
        double low[3] = {points[0].x, points[0].y, points[0].z};
        double high[3] = {points[0].x, points[0].y, points[0].z};
        double farthest = 0.0;
        for (const aiVector3D& p : points) {
            for (unsigned axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], static_cast<double>(p[axis]));
                high[axis] = std::max(high[axis], static_cast<double>(p[axis]));
                farthest = std::max(farthest, std::fabs(static_cast<double>(p[axis])));
            }
        }
        const double diagonal = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
        const WeldedVertices expected = weldByEveryPair(points, std::max(farthest, diagonal) * kWeldPositionTolerance);
        ASSERT_EQ(welded.sourceOf.size(), expected.sourceOf.size()) << "round " << round;
        EXPECT_EQ(welded.sourceOf, expected.sourceOf) << "round " << round;
        EXPECT_EQ(welded.geometricOf, expected.geometricOf) << "round " << round;
        EXPECT_LT(welded.sourceOf.size(), points.size()) << "the clusters must weld something";
    }
}
