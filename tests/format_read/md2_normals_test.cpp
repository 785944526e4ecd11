// The MD2 normal table checked against the geodesic sphere it comes from and against real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model_builders.h"
#include "modelformat/md2_normals.h"
#include "modelformat/md2_reader.h"
#include "sample_files.h"

namespace {

using namespace modelformat;

struct Vec {
    double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec a) { return std::sqrt(dot(a, a)); }
Vec unit(Vec a) { return (1.0 / length(a)) * a; }
Vec toVec(const Md2Vec3& v) { return {v.x, v.y, v.z}; }

// The vertices of a frequency-4 geodesic sphere: each face ABC of the icosahedron with vertices
// (+-a, 0, +-b), (0, +-b, +-a), (+-b, +-a, 0) gives the points (iA + jB + kC) / 4, i + j + k = 4,
// pushed out to the unit sphere. Shared edge points are kept once.
std::vector<Vec> geodesicSphere() {
    const double a = 1.0 / std::sqrt(1.0 + std::pow((1.0 + std::sqrt(5.0)) / 2.0, 2.0));  // 0.525731
    const double b = a * (1.0 + std::sqrt(5.0)) / 2.0;                                    // 0.850651
    std::vector<Vec> corners;
    for (double s1 : {1.0, -1.0}) {
        for (double s2 : {1.0, -1.0}) {
            corners.push_back({s1 * a, 0, s2 * b});
            corners.push_back({0, s1 * b, s2 * a});
            corners.push_back({s1 * b, s2 * a, 0});
        }
    }
    const double edge = 2.0 * a;
    const auto adjacent = [&](Vec p, Vec q) { return std::fabs(length(p - q) - edge) < 1e-9; };
    std::vector<Vec> points;
    size_t faces = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        for (size_t j = i + 1; j < corners.size(); ++j) {
            for (size_t k = j + 1; k < corners.size(); ++k) {
                if (!adjacent(corners[i], corners[j]) || !adjacent(corners[j], corners[k]) ||
                    !adjacent(corners[i], corners[k])) {
                    continue;
                }
                ++faces;
                for (int u = 0; u <= 4; ++u) {
                    for (int v = 0; u + v <= 4; ++v) {
                        const Vec p =
                            unit(0.25 * (static_cast<double>(u) * corners[i] + static_cast<double>(v) * corners[j] +
                                         static_cast<double>(4 - u - v) * corners[k]));
                        bool known = false;
                        for (const Vec& q : points) {
                            known = known || length(p - q) < 1e-9;
                        }
                        if (!known) {
                            points.push_back(p);
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(faces, 20u);
    return points;
}

TEST(Md2NormalTable, IsTheGeodesicSphereEntryForEntry) {
    const std::vector<Vec> sphere = geodesicSphere();
    ASSERT_EQ(sphere.size(), kMd2NormalCount);  // 10 x 4^2 + 2

    std::vector<int> matchedBy(sphere.size(), -1);
    for (size_t i = 0; i < kMd2NormalCount; ++i) {
        const Vec n = toVec(kMd2Normals[i]);
        EXPECT_NEAR(length(n), 1.0, 1e-5) << "entry " << i;
        for (size_t j = 0; j < i; ++j) {
            EXPECT_GT(length(n - toVec(kMd2Normals[j])), 1e-3) << "entries " << j << " and " << i;
        }
        size_t matches = 0;
        for (size_t p = 0; p < sphere.size(); ++p) {
            if (length(n - sphere[p]) < 1e-5) {
                ++matches;
                EXPECT_EQ(matchedBy[p], -1) << "entries " << matchedBy[p] << " and " << i << " are one sphere vertex";
                matchedBy[p] = static_cast<int>(i);
            }
        }
        EXPECT_EQ(matches, 1u) << "entry " << i << " is not a vertex of the sphere";
    }
}

TEST(Md2NormalTable, StartsInTheKnownOrder) {
    const Md2Vec3 first[] = {
        {-0.525731f, 0.000000f, 0.850651f}, {-0.442863f, 0.238856f, 0.864188f}, {-0.295242f, 0.000000f, 0.955423f}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kMd2Normals[i].x, first[i].x);
        EXPECT_EQ(kMd2Normals[i].y, first[i].y);
        EXPECT_EQ(kMd2Normals[i].z, first[i].z);
    }
    EXPECT_EQ(md2Normal(kMd2NormalCount).z, 1.0f);
    EXPECT_EQ(md2Normal(255).x, 0.0f);
}

// Index of the table entry nearest to direction n.
size_t nearestEntry(Vec n, const std::array<Md2Vec3, kMd2NormalCount>& table) {
    size_t best = 0;
    for (size_t i = 1; i < kMd2NormalCount; ++i) {
        if (dot(n, toVec(table[i])) > dot(n, toVec(table[best]))) {
            best = i;
        }
    }
    return best;
}

// Fraction of the vertices of one decoded frame whose stored normal index is the table entry
// nearest to the mesh's own normal there: the mean of the adjacent face normals (smoothed
// models) or one adjacent face normal (hard-edged ones). Quake II winds front faces clockwise.
double nearestEntryRate(const Md2Model& model, const std::array<Md2Vec3, kMd2NormalCount>& table) {
    // Back to the file's axes: position = (4X, 4Z, -4Y).
    std::vector<Vec> points;
    for (const Md2Vec3& p : model.positions) {
        points.push_back({p.x, -p.z, p.y});
    }
    std::vector<Vec> sum(points.size(), Vec{0, 0, 0});
    std::vector<std::vector<Vec>> faces(points.size());
    for (const Md2Triangle& t : model.triangles) {
        const Vec a = points[static_cast<size_t>(t.vertexIndices[0])];
        const Vec b = points[static_cast<size_t>(t.vertexIndices[1])];
        const Vec c = points[static_cast<size_t>(t.vertexIndices[2])];
        const Vec n = cross(c - a, b - a);
        if (length(n) == 0.0) {
            continue;
        }
        for (int16_t index : t.vertexIndices) {
            sum[static_cast<size_t>(index)] = sum[static_cast<size_t>(index)] + unit(n);
            faces[static_cast<size_t>(index)].push_back(unit(n));
        }
    }
    size_t matching = 0, counted = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const uint8_t stored = model.frameVertices[i].normalIndex;
        if (faces[i].empty() || stored >= kMd2NormalCount) {
            continue;
        }
        std::vector<Vec> meshNormals = faces[i];
        if (length(sum[i]) > 0) {
            meshNormals.push_back(unit(sum[i]));
        }
        bool match = false;
        for (const Vec& n : meshNormals) {
            match = match || nearestEntry(n, table) == stored;
        }
        ++counted;
        matching += match ? 1 : 0;
    }
    return counted == 0 ? 0.0 : static_cast<double>(matching) / static_cast<double>(counted);
}

struct NormalSample {
    const char* name;
    const char* path;
    double minimumRate;  // of vertices whose stored index is the entry nearest the mesh normal
};

class Md2NormalOrder : public ::testing::TestWithParam<NormalSample> {};

TEST_P(Md2NormalOrder, AgreesWithTheFacesOfRealModels) {
    const std::string path = std::string(QMP_SAMPLES_DIR) + "/" + GetParam().path;
    const std::vector<uint8_t> bytes = testmodels::loadFile(path);
    if (bytes.empty()) {
        QMP_SAMPLE_MISSING() << "sample file " << path << " is not there (samples live beside the project)";
    }

    // The same table with every entry moved up one place: mostly close neighbours on the sphere.
    std::array<Md2Vec3, kMd2NormalCount> shifted{};
    for (size_t i = 0; i < kMd2NormalCount; ++i) {
        shifted[i] = kMd2Normals[(i + 1) % kMd2NormalCount];
    }

    const int32_t frames = readMd2(bytes, 0).model.header.numFrames;
    ASSERT_GT(frames, 0);
    for (int32_t frame = 0; frame < frames; ++frame) {
        const Md2ReadResult result = readMd2(bytes, frame);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_GE(nearestEntryRate(result.model, kMd2Normals), GetParam().minimumRate) << "frame " << frame;
        EXPECT_LT(nearestEntryRate(result.model, shifted), 0.2) << "frame " << frame;
    }
}

// The box is all cube corners with smoothed normals; the rifle has hard edges and a few normals
// that follow neither rule.
INSTANTIATE_TEST_SUITE_P(Samples, Md2NormalOrder,
                         ::testing::Values(NormalSample{"Box", "ufoai-data/models/objects/store/box.md2", 1.0},
                                           NormalSample{"Assault", "ufoai-data/models/weapons/assault/assault.md2",
                                                        0.8}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
