// Scene files exported through the loaded exporter as a modeller sees them in the game: smooth
// seams, the file's own normals (hard edges, leaning normals, skinned normals) turned by their nodes
// and the reference tag, and nodes keyed to turn and scale non-uniformly at once. Expected values
// come from the files' definitions (tests/scenefile/data/make_fidelity_files.py), in the file's
// Y-up axes, and are turned to the host's Z-up at the end.
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include <scene_file.h>

#include "plugin_harness.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRings = 10;
constexpr int kSegments = 16;
constexpr int kTubeSegments = 8;
// One step of the normal encoding. It truncates both angles after scaling them by 255/256 of a
// turn, so a decoded normal lies up to about 2.3 steps (3.3 degrees) from the normal encoded.
constexpr double kNormalStep = 2 * kPi / 256;
const double kEncodedNormalCosine = std::cos(2.5 * kNormalStep);
// A stored coordinate is truncated to 1/64.
constexpr double kPositionTolerance = 1.0 / 64 + 1e-4;

std::string dataFile(const std::string& name) { return std::string(QMP_SCENE_DATA_DIR) + "/" + name; }

using Vec = std::array<double, 3>;

Vec operator+(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec operator-(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec operator*(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec unit(const Vec& a) { return a * (1.0 / std::sqrt(dot(a, a))); }
// The file's Y-up (x, y, z) is the host's (x, -z, y).
Vec toHost(const Vec& a) { return {a[0], -a[2], a[1]}; }

// An affine map of the file's space: y = m x + t.
struct Affine {
    std::array<Vec, 3> m{Vec{1, 0, 0}, Vec{0, 1, 0}, Vec{0, 0, 1}};  // rows
    Vec t{0, 0, 0};

    Vec point(const Vec& x) const { return direction(x) + t; }
    Vec direction(const Vec& x) const { return {dot(m[0], x), dot(m[1], x), dot(m[2], x)}; }
    // Normals go through the inverse transpose, whose rows are the cross products of the rows
    // over the determinant (positive for every map here).
    Vec normal(const Vec& n) const {
        return unit({dot(cross(m[1], m[2]), n), dot(cross(m[2], m[0]), n), dot(cross(m[0], m[1]), n)});
    }
    Affine operator*(const Affine& b) const {
        Affine r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
            }
        }
        r.t = point(b.t);
        return r;
    }
};

Affine translation(const Vec& t) {
    Affine a;
    a.t = t;
    return a;
}

Affine rotation(const Vec& axis, double degrees) {
    const double angle = degrees * kPi / 180;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const Vec u = unit(axis);
    Affine a;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            a.m[i][j] = (i == j ? c : 0.0) + (1 - c) * u[i] * u[j];
        }
    }
    a.m[0][1] -= s * u[2];
    a.m[0][2] += s * u[1];
    a.m[1][0] += s * u[2];
    a.m[1][2] -= s * u[0];
    a.m[2][0] -= s * u[1];
    a.m[2][1] += s * u[0];
    return a;
}

Affine scaling(const Vec& s) {
    Affine a;
    for (int i = 0; i < 3; ++i) {
        a.m[i][i] = s[i];
    }
    return a;
}

Affine inverseRigid(const Affine& a) {
    Affine r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i][j] = a.m[j][i];
        }
    }
    r.t = r.direction(a.t) * -1.0;
    return r;
}

// glTF's node transform, translation x rotation x scale.
Affine trs(const Vec& t, const Vec& axis, double degrees, const Vec& s = {1, 1, 1}) {
    return translation(t) * rotation(axis, degrees) * scaling(s);
}

// tag_torso of seamed_sphere.gltf and authored_normals.gltf: vertices and normals are exported
// relative to it.
const Affine kToTorso = inverseRigid(trs({0.5, 1, 0}, {1, 0, 0}, 90));

Vec storedPosition(const modelformat::Md3Vertex& v) { return {v.x / 64.0, v.y / 64.0, v.z / 64.0}; }

Vec decodedNormal(const modelformat::Md3Vertex& v) {
    const modelformat::Md3Vec3 n = modelformat::decodeMd3Normal(v.normalPolar, v.normalAzimuth);
    return {n.x, n.y, n.z};
}

::testing::AssertionResult nearPosition(const Vec& stored, const Vec& expected) {
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(stored[i] - expected[i]) > kPositionTolerance) {
            return ::testing::AssertionFailure()
                   << "stored (" << stored[0] << ", " << stored[1] << ", " << stored[2] << ") is not (" << expected[0]
                   << ", " << expected[1] << ", " << expected[2] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult encodes(const modelformat::Md3Vertex& v, const Vec& expected) {
    const Vec decoded = decodedNormal(v);
    const double cosine = dot(decoded, unit(expected));
    if (cosine >= kEncodedNormalCosine) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "decoded normal (" << decoded[0] << ", " << decoded[1] << ", " << decoded[2]
                                         << ") is " << std::acos(std::min(1.0, cosine)) * 180 / kPi
                                         << " degrees from the expected one";
}

// Vertices stored at one place share their normal: no seam draws a crease.
void expectNoCreases(const modelformat::Md3Surface& surface, int frame) {
    std::map<std::tuple<int16_t, int16_t, int16_t>, std::pair<uint8_t, uint8_t>> normalAt;
    for (int v = 0; v < surface.header.vertexCount; ++v) {
        const modelformat::Md3Vertex& vertex = surface.frameVertices(frame)[v];
        const auto inserted = normalAt.emplace(std::make_tuple(vertex.x, vertex.y, vertex.z),
                                               std::make_pair(vertex.normalPolar, vertex.normalAzimuth));
        EXPECT_EQ(inserted.first->second, std::make_pair(vertex.normalPolar, vertex.normalAzimuth))
            << surface.header.name << " vertex " << v << " frame " << frame;
    }
}

class FidelityExport : public PluginTest {
protected:
    // Loads a scene file and exports its frames 0 to lastFrame, warnings off, relative mode as
    // the dialog has it (on: relative to tag_torso when the file has one).
    const modelformat::Md3Model& exportFile(const std::string& name, int lastFrame) {
        scene_ = std::make_unique<host::Scene>();
        const host::SceneLoadResult loaded = host::loadSceneFile(dataFile(name), {}, *scene_);
        EXPECT_TRUE(loaded.ok) << loaded.error;
        desktop.script = [lastFrame](HWND dialog) {
            win32::user::dragTrackbar(dialog, 1005, lastFrame);
            win32::user::setChecked(dialog, 1017, false);
            win32::user::click(dialog, 1008);
            return true;
        };
        EXPECT_EQ(exportScene(*scene_), 1);
        EXPECT_TRUE(written.ok) << written.message;
        EXPECT_EQ(written.model.header.frameCount, lastFrame + 1);
        return written.model;
    }

    const modelformat::Md3Surface& surface(const std::string& name) const {
        for (const modelformat::Md3Surface& s : written.model.surfaces) {
            if (s.header.name == name) {
                return s;
            }
        }
        throw std::runtime_error("no surface " + name);
    }

private:
    std::unique_ptr<host::Scene> scene_;
};

// The sphere's point at ring r and segment s: also its normal.
Vec spherePoint(int ring, int segment) {
    const double theta = kPi * ring / kRings;
    const double phi = 2 * kPi * segment / kSegments;
    return {std::sin(theta) * std::cos(phi), std::cos(theta), -std::sin(theta) * std::sin(phi)};
}

// Without the file's normals the host builds them from the faces: at each place the area-weighted
// mean of the normals of every face there, seam or not (the sphere's triangles as written).
Vec smoothFaceNormal(int ring, int segment) {
    const auto place = [](int r, int s) {
        return r == 0 || r == kRings ? std::make_pair(r, 0) : std::make_pair(r, s % kSegments);
    };
    Vec sum{0, 0, 0};
    for (int r = 0; r < kRings; ++r) {
        for (int s = 0; s < kSegments; ++s) {
            std::vector<std::array<std::pair<int, int>, 3>> faces;
            if (r > 0) {
                faces.push_back({std::make_pair(r, s), std::make_pair(r + 1, s), std::make_pair(r, s + 1)});
            }
            if (r < kRings - 1) {
                faces.push_back({std::make_pair(r, s + 1), std::make_pair(r + 1, s), std::make_pair(r + 1, s + 1)});
            }
            for (const auto& face : faces) {
                bool touches = false;
                for (const auto& corner : face) {
                    touches = touches || place(corner.first, corner.second) == place(ring, segment);
                }
                if (touches) {
                    const Vec a = spherePoint(face[0].first, face[0].second);
                    sum = sum + cross(spherePoint(face[1].first, face[1].second) - a,
                                      spherePoint(face[2].first, face[2].second) - a);
                }
            }
        }
    }
    return unit(sum);
}

struct SphereCase {
    const char* node;
    double x;  // the node's translation along x
    bool fileNormals;
};

class SeamedSphereExport : public FidelityExport, public ::testing::WithParamInterface<SphereCase> {};

TEST_P(SeamedSphereExport, SeamsAreSmoothAndNormalsTrue) {
    const SphereCase sphere = GetParam();
    exportFile("seamed_sphere.gltf", 0);
    const modelformat::Md3Surface& surface = this->surface(sphere.node);
    // One MD3 vertex per place and texture coordinate, as the file has them.
    EXPECT_EQ(surface.header.vertexCount, (kRings + 1) * (kSegments + 1) - 2);
    expectNoCreases(surface, 0);
    // Turned 30 degrees about Z and squashed (1, 2, 0.5), seen from the tag.
    const Affine placement = kToTorso * trs({sphere.x, 0, 0}, {0, 0, 1}, 30, {1, 2, 0.5});
    for (int v = 0; v < surface.header.vertexCount; ++v) {
        // The texture coordinate names the vertex: (segment / 16, ring / 10).
        const modelformat::Md3TexCoord& uv = surface.texCoords[static_cast<size_t>(v)];
        const auto segment = static_cast<int>(std::lround(uv.s * kSegments));
        const auto ring = static_cast<int>(std::lround(uv.t * kRings));
        const modelformat::Md3Vertex& stored = surface.frameVertices(0)[v];
        EXPECT_TRUE(nearPosition(storedPosition(stored), toHost(placement.point(spherePoint(ring, segment)))))
            << "vertex " << v;
        const Vec normal = sphere.fileNormals ? spherePoint(ring, segment) : smoothFaceNormal(ring, segment);
        EXPECT_TRUE(encodes(stored, toHost(placement.normal(normal)))) << "vertex " << v << " ring " << ring;
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutNormals, SeamedSphereExport,
                         ::testing::Values(SphereCase{"smooth_sphere", -2, true}, SphereCase{"plain_sphere", 2, false}),
                         [](const ::testing::TestParamInfo<SphereCase>& test) { return std::string(test.param.node); });

using AuthoredNormalsExport = FidelityExport;

TEST_F(AuthoredNormalsExport, BoxKeepsOneNormalPerSide) {
    exportFile("authored_normals.gltf", 0);
    const modelformat::Md3Surface& box = surface("box");
    EXPECT_EQ(box.header.vertexCount, 24) << "each corner once per side";
    const Affine placement = kToTorso * trs({4, 0, 0}, {0, 1, 0}, 20);
    std::vector<Vec> sides;
    for (int axis = 0; axis < 3; ++axis) {
        for (double sign : {1.0, -1.0}) {
            Vec n{0, 0, 0};
            n[static_cast<size_t>(axis)] = sign;
            sides.push_back(toHost(placement.normal(n)));
        }
    }
    const auto sideOf = [&](const Vec& direction) {
        size_t best = 0;
        for (size_t i = 1; i < sides.size(); ++i) {
            best = dot(sides[i], direction) > dot(sides[best], direction) ? i : best;
        }
        return best;
    };
    const Vec centre = toHost(placement.point({0, 0, 0}));
    for (const modelformat::Md3Triangle& triangle : box.triangles) {
        // The triangle's side, from its stored corners, facing away from the box's centre.
        const Vec a = storedPosition(box.frameVertices(0)[triangle.indices[0]]);
        const Vec b = storedPosition(box.frameVertices(0)[triangle.indices[1]]);
        const Vec c = storedPosition(box.frameVertices(0)[triangle.indices[2]]);
        Vec facing = unit(cross(b - a, c - a));
        facing = dot(facing, a - centre) < 0 ? facing * -1.0 : facing;
        const Vec side = sides[sideOf(facing)];
        for (int32_t corner : triangle.indices) {
            EXPECT_TRUE(encodes(box.frameVertices(0)[corner], side)) << "vertex " << corner;
        }
    }
}

TEST_F(AuthoredNormalsExport, LeaningNormalsComeOutAsAuthored) {
    exportFile("authored_normals.gltf", 0);
    const modelformat::Md3Surface& card = surface("card");
    ASSERT_EQ(card.header.vertexCount, 9);
    // Leaning 30 degrees from up toward +X, on a card turned 45 degrees about Y.
    const Vec lean{std::sin(kPi / 6), std::cos(kPi / 6), 0};
    const Vec expected = toHost((kToTorso * trs({0, 0, 3}, {0, 1, 0}, 45)).normal(lean));
    for (int v = 0; v < 9; ++v) {
        EXPECT_TRUE(encodes(card.frameVertices(0)[v], expected)) << "vertex " << v;
    }
}

// The node turns 120 degrees about Y while its scale goes from (1, 1, 1) to (2, 0.5, 1.5) over a
// second at 30 frames a second; every corner of its box is in the file once.
class SquashSpinExport : public FidelityExport, public ::testing::WithParamInterface<const char*> {};

TEST_P(SquashSpinExport, VerticesFollowTranslationRotationScale) {
    exportFile(GetParam(), 29);
    const modelformat::Md3Surface& box = surface("squash");
    ASSERT_EQ(box.header.vertexCount, 8);
    for (int frame : {0, 15, 29}) {
        const double t = frame / 30.0;
        const Affine placement = trs({1, 0.5, 0}, {0, 1, 0}, 120 * t, Vec{1, 1, 1} + Vec{1, -0.5, 0.5} * t);
        std::vector<Vec> corners;
        for (double x : {-0.5, 0.5}) {
            for (double y : {-0.25, 0.25}) {
                for (double z : {-0.75, 0.75}) {
                    corners.push_back(toHost(placement.point({x, y, z})));
                }
            }
        }
        // Each stored vertex is one of the corners, and each corner is stored once.
        std::vector<int> matched(corners.size(), 0);
        for (int v = 0; v < 8; ++v) {
            const Vec stored = storedPosition(box.frameVertices(frame)[v]);
            size_t nearest = 0;
            for (size_t i = 1; i < corners.size(); ++i) {
                const Vec d = corners[i] - stored;
                const Vec e = corners[nearest] - stored;
                nearest = dot(d, d) < dot(e, e) ? i : nearest;
            }
            ++matched[nearest];
            EXPECT_TRUE(nearPosition(stored, corners[nearest])) << "frame " << frame << " vertex " << v;
        }
        EXPECT_EQ(matched, std::vector<int>(8, 1)) << "frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(GltfAndCollada, SquashSpinExport, ::testing::Values("squash_spin.gltf", "squash_spin.dae"),
                         [](const ::testing::TestParamInfo<const char*>& test) {
                             return std::string(test.param).substr(std::string(test.param).find('.') + 1);
                         });

using SkinnedExport = FidelityExport;

// The tube's rings at y = 0, 1 and 2 follow the root bone, both bones equally, and the upper bone;
// the upper bone (at y = 1) turns 90 degrees about Z while its scale goes to (1.5, 1, 0.5).
TEST_F(SkinnedExport, NormalsFollowTheBlendedBones) {
    exportFile("skinned_tube.gltf", 30);
    const modelformat::Md3Surface& tube = surface("tube");
    EXPECT_EQ(tube.header.vertexCount, 3 * (kTubeSegments + 1)) << "the seam's column twice, for its coordinates";
    for (int frame : {0, 15, 30}) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const double t = frame / 30.0;
        expectNoCreases(tube, frame);
        // Bone matrices: the bone's world transform times its inverse bind matrix.
        const Affine upper =
            trs({0, 1, 0}, {0, 0, 1}, 90 * t, Vec{1, 1, 1} + Vec{0.5, 0, -0.5} * t) * translation({0, -1, 0});
        for (int v = 0; v < tube.header.vertexCount; ++v) {
            const modelformat::Md3TexCoord& uv = tube.texCoords[static_cast<size_t>(v)];
            const auto segment = static_cast<int>(std::lround(uv.s * kTubeSegments));
            const auto ring = static_cast<int>(std::lround(uv.t * 2));
            const double phi = 2 * kPi * segment / kTubeSegments;
            const Vec normal{std::cos(phi), 0, -std::sin(phi)};
            const Vec rest = normal * 0.5 + Vec{0, static_cast<double>(ring), 0};
            const double upperWeight = ring / 2.0;
            Affine blended;  // (1 - w) x root (the identity) + w x upper
            for (int i = 0; i < 3; ++i) {
                blended.m[i] = blended.m[i] * (1 - upperWeight) + upper.m[i] * upperWeight;
            }
            blended.t = upper.t * upperWeight;
            const modelformat::Md3Vertex& stored = tube.frameVertices(frame)[v];
            EXPECT_TRUE(nearPosition(storedPosition(stored), toHost(blended.point(rest)))) << "vertex " << v;
            EXPECT_TRUE(encodes(stored, toHost(blended.normal(normal)))) << "vertex " << v << " ring " << ring;
        }
    }
}

}  // namespace
