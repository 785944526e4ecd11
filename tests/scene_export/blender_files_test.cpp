// Files as Blender 3.4 writes them with its default settings (tests/scenefile/data/blender, made
// by make_blender_scenes.py): a tube skinned to a bending 3-bone armature with tag_torso on a bone
// and tag_weapon keyed on its own, as .glb and .fbx, exported through the loaded exporter and
// compared with each other and with Blender's own evaluated values (rig.json).
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <scene_file.h>

#include "plugin_harness.h"

namespace {

using Json = nlohmann::json;

constexpr int kLastFrame = 10;  // the scenes run from frame 0 to 10 at 30 fps
// A stored coordinate is truncated to 1/64; Blender's values are kept to 5 decimals.
constexpr double kPositionTolerance = 1.0 / 64 + 1e-4;
constexpr double kAxisTolerance = 1e-4;

std::string blenderFile(const std::string& name) { return std::string(QMP_SCENE_DATA_DIR) + "/blender/" + name; }

using Vec = std::array<double, 3>;

double largestDifference(const Vec& a, const Vec& b) {
    return std::max({std::fabs(a[0] - b[0]), std::fabs(a[1] - b[1]), std::fabs(a[2] - b[2])});
}

Vec vec(const modelformat::Md3Vec3& v) { return {v.x, v.y, v.z}; }

Vec stored(const modelformat::Md3Vertex& v) { return {v.x / 64.0, v.y / 64.0, v.z / 64.0}; }

class BlenderRig : public PluginTest {
protected:
    // Exports frames 0 to 10 of a file loaded with plughost's defaults, vertices relative to
    // tag_torso (the dialog's default) or in the world.
    modelformat::Md3Model exportFile(const std::string& name, bool relative,
                                     const host::SceneLoadOptions& options = {}) {
        host::Scene scene;
        loaded = host::loadSceneFile(blenderFile(name), options, scene);
        EXPECT_TRUE(loaded.ok) << loaded.error;
        if (name.rfind("rig", 0) == 0) {
            EXPECT_EQ(loaded.frameRate, 30) << name;
            EXPECT_EQ(loaded.lengthFrames, kLastFrame) << name;
        }
        desktop.script = [relative](HWND dialog) {
            win32::user::dragTrackbar(dialog, 1005, kLastFrame);
            win32::user::setChecked(dialog, 1009, relative);
            win32::user::setChecked(dialog, 1017, false);
            win32::user::click(dialog, 1008);
            return true;
        };
        EXPECT_EQ(exportScene(scene), 1);
        EXPECT_TRUE(written.ok) << written.message;
        return written.model;
    }

    host::SceneLoadResult loaded;
};

// Every vertex of one frame of a surface has a vertex of the other within the tolerance, with the
// same texture coordinate: the two files may order their vertices differently.
::testing::AssertionResult sameVertices(const modelformat::Md3Surface& a, const modelformat::Md3Surface& b, int frame) {
    for (int v = 0; v < a.header.vertexCount; ++v) {
        const Vec place = stored(a.frameVertices(frame)[v]);
        const modelformat::Md3TexCoord& uv = a.texCoords[static_cast<size_t>(v)];
        bool found = false;
        for (int w = 0; w < b.header.vertexCount && !found; ++w) {
            const modelformat::Md3TexCoord& other = b.texCoords[static_cast<size_t>(w)];
            found = std::fabs(uv.s - other.s) < 1e-4f && std::fabs(uv.t - other.t) < 1e-4f &&
                    largestDifference(place, stored(b.frameVertices(frame)[w])) <= kPositionTolerance;
        }
        if (!found) {
            return ::testing::AssertionFailure() << "vertex " << v << " of frame " << frame << " at (" << place[0]
                                                 << ", " << place[1] << ", " << place[2] << ") has no match";
        }
    }
    return ::testing::AssertionSuccess();
}

// The default .fbx and the .glb of one scene give the same model without any option: the FBX's
// centimetres become the glTF's metres with unit tag axes, and its takes (one per object and
// action) play the armature's and the tag's together.
TEST_F(BlenderRig, FbxAndGlbGiveTheSameModel) {
    for (const bool relative : {true, false}) {
        const modelformat::Md3Model glb = exportFile("rig.glb", relative);
        const modelformat::Md3Model fbx = exportFile("rig.fbx", relative);
        ASSERT_EQ(fbx.header.frameCount, kLastFrame + 1);
        ASSERT_EQ(glb.header.frameCount, fbx.header.frameCount);
        ASSERT_EQ(glb.header.tagCount, 2);
        ASSERT_EQ(fbx.header.tagCount, glb.header.tagCount);
        ASSERT_EQ(fbx.surfaces.size(), 1u);
        ASSERT_EQ(glb.surfaces.size(), 1u);
        EXPECT_EQ(fbx.surfaces[0].header.vertexCount, glb.surfaces[0].header.vertexCount);
        EXPECT_EQ(fbx.surfaces[0].header.triangleCount, glb.surfaces[0].header.triangleCount);
        for (int frame = 0; frame <= kLastFrame; ++frame) {
            EXPECT_TRUE(sameVertices(fbx.surfaces[0], glb.surfaces[0], frame)) << "relative " << relative;
            EXPECT_TRUE(sameVertices(glb.surfaces[0], fbx.surfaces[0], frame)) << "relative " << relative;
            for (int t = 0; t < glb.header.tagCount; ++t) {
                const modelformat::Md3TagRecord& a = glb.tag(frame, t);
                const modelformat::Md3TagRecord* b = nullptr;
                for (int u = 0; u < fbx.header.tagCount; ++u) {
                    b = fbx.tag(frame, u).name == a.name ? &fbx.tag(frame, u) : b;
                }
                ASSERT_NE(b, nullptr) << a.name;
                EXPECT_LE(largestDifference(vec(a.origin), vec(b->origin)), kAxisTolerance)
                    << a.name << " frame " << frame;
                for (int axis = 0; axis < 3; ++axis) {
                    const modelformat::Md3Vec3& p = a.axes[axis];
                    const modelformat::Md3Vec3& q = b->axes[axis];
                    EXPECT_LE(largestDifference(vec(p), vec(q)), kAxisTolerance)
                        << a.name << " axis " << axis << " frame " << frame << " relative " << relative;
                    EXPECT_NEAR(std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z), 1.0, kAxisTolerance) << a.name;
                }
            }
        }
    }
}

// Exported in the world (not relative to tag_torso), each file matches what Blender itself
// evaluates: every tag's place and axes, every vertex (each of the export near one of Blender's
// and each of Blender's near one of the export), at the frames rig.json holds.
class BlenderRigAgainstBlender : public BlenderRig, public ::testing::WithParamInterface<const char*> {};

TEST_P(BlenderRigAgainstBlender, TagsAndVerticesAreBlenders) {
    const modelformat::Md3Model model = exportFile(GetParam(), false);
    std::ifstream in(blenderFile("rig.json"));
    const Json truth = Json::parse(in);
    ASSERT_EQ(truth.at("fps").get<int>(), 30);
    const std::map<std::string, Vec> tagAtFirstFrame = [&] {
        std::map<std::string, Vec> places;
        for (int t = 0; t < model.header.tagCount; ++t) {
            const modelformat::Md3TagRecord& tag = model.tag(0, t);
            places[tag.name] = vec(tag.origin);
        }
        return places;
    }();
    int framesCompared = 0;
    for (const auto& [frameText, objects] : truth.at("frames").items()) {
        const int frame = std::stoi(frameText);
        ASSERT_LE(frame, kLastFrame);
        ++framesCompared;
        for (int t = 0; t < model.header.tagCount; ++t) {
            const modelformat::Md3TagRecord& tag = model.tag(frame, t);
            const Json& world = objects.at(tag.name).at("matrix_world");
            const Vec origin = vec(tag.origin);
            EXPECT_LE(largestDifference(origin, {world[0][3], world[1][3], world[2][3]}), kAxisTolerance)
                << tag.name << " frame " << frame;
            for (int axis = 0; axis < 3; ++axis) {
                // Blender's matrix holds the axes as its columns.
                const Vec column{world[0][axis], world[1][axis], world[2][axis]};
                EXPECT_LE(largestDifference(vec(tag.axes[axis]), column), kAxisTolerance)
                    << tag.name << " axis " << axis << " frame " << frame;
            }
            if (frame == kLastFrame) {
                // Both tags move: the bent spine carries tag_torso, tag_weapon slides 2 m.
                EXPECT_GT(largestDifference(origin, tagAtFirstFrame.at(tag.name)), 0.2) << tag.name;
            }
        }
        const modelformat::Md3Surface& body = model.surfaces.at(0);
        std::vector<Vec> blender;
        for (const Json& v : objects.at(body.header.name).at("vertices")) {
            blender.push_back({v[0], v[1], v[2]});
        }
        for (int v = 0; v < body.header.vertexCount; ++v) {
            const Vec place = stored(body.frameVertices(frame)[v]);
            double nearest = 1e9;
            for (const Vec& b : blender) {
                nearest = std::min(nearest, largestDifference(place, b));
            }
            EXPECT_LE(nearest, kPositionTolerance) << "vertex " << v << " frame " << frame;
        }
        for (size_t b = 0; b < blender.size(); ++b) {
            double nearest = 1e9;
            for (int v = 0; v < body.header.vertexCount; ++v) {
                nearest = std::min(nearest, largestDifference(blender[b], stored(body.frameVertices(frame)[v])));
            }
            EXPECT_LE(nearest, kPositionTolerance) << "Blender's vertex " << b << " frame " << frame;
        }
    }
    EXPECT_GE(framesCompared, 3);
}

INSTANTIATE_TEST_SUITE_P(Files, BlenderRigAgainstBlender, ::testing::Values("rig.glb", "rig.fbx"),
                         [](const auto& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

// The rig's image is embedded in the .glb (named "ball" there) and, exported with Embed
// Textures, in an FBX card (kept under its file name, card_embedded.fbm/ball.png): both become
// ball.png in the folder asked for, with the image's own bytes.
TEST_F(BlenderRig, EmbeddedImagesTakeTheirNamesInTheFolderAsked) {
    for (const char* name : {"rig.glb", "card_embedded.fbx"}) {
        host::SceneLoadOptions options;
        options.embeddedTextureFolder = "models/mapobjects/rig";
        const modelformat::Md3Model model = exportFile(name, true, options);
        ASSERT_FALSE(model.surfaces.empty());
        ASSERT_EQ(model.surfaces[0].shaders.size(), 1u) << name;
        EXPECT_EQ(model.surfaces[0].shaders[0].name, "models/mapobjects/rig/ball.png") << name;
        ASSERT_EQ(loaded.embeddedImages.size(), 1u) << name;
        const std::vector<unsigned char>& png = loaded.embeddedImages[0].bytes;
        ASSERT_GT(png.size(), 8u);
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG") << name;
    }
}

}  // namespace
