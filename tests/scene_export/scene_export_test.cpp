// A scene file made for the tests (an animated, skinned, textured figure with tags) exported
// through the loaded exporter: the file's frames follow the animation, its tags follow their
// nodes and its shaders name the textures. An MD3 imported and saved as glTF loads again with
// its nodes and geometry.
#include <cmath>

#include <brindlark/resource_ids.h>
#include <demo_scene.h>
#include <scene_file.h>

#include "plugin_harness.h"

namespace {

const std::string kFigure = std::string(QMP_SCENE_DATA_DIR) + "/figure.gltf";

// The node's mesh at a time in the file's frame: converted as the exporter converts it.
Mesh meshAt(host::SceneNode* node, TimeValue time) {
    Object* object = node->EvalWorldState(time).obj;
    Object* converted = object->ConvertToType(time, triObjectClassID);
    Mesh mesh = static_cast<TriObject*>(converted)->GetMesh();
    if (converted != object) {
        converted->DeleteThis();
    }
    return mesh;
}

}  // namespace

class SceneExportTest : public PluginTest {};

TEST_F(SceneExportTest, FramesFollowTheAnimationAndTagsTheirNodes) {
    host::Scene scene;
    const host::SceneLoadResult loaded = host::loadSceneFile(kFigure, host::SceneLoadOptions(), scene);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_GT(loaded.lengthFrames, 4);
    const int frames = loaded.lengthFrames + 1;
    desktop.script = [frames](HWND dialog) {
        win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, frames - 1);
        win32::user::setChecked(dialog, IDC_SHOW_WARNINGS, false);
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    ASSERT_TRUE(written.ok) << written.message;
    const modelformat::Md3Model& model = written.model;
    ASSERT_EQ(model.header.frameCount, frames);

    host::SceneNode* torso = scene.findNode("tag_torso");
    ASSERT_NE(torso, nullptr);
    const int tpf = GetTicksPerFrame();
    for (int32_t frame = 0; frame < frames; ++frame) {
        const TimeValue time = frame * tpf;
        const Matrix3 toReference = Inverse(torso->GetObjectTM(time));
        for (int32_t t = 0; t < model.header.tagCount; ++t) {
            const modelformat::Md3TagRecord& tag = model.tag(frame, t);
            host::SceneNode* node = scene.findNode(tag.name);
            ASSERT_NE(node, nullptr) << tag.name;
            const Matrix3 expected = node->GetObjectTM(time) * toReference;
            EXPECT_NEAR(tag.origin.x, expected.GetTrans().x, 1e-3f) << tag.name << " frame " << frame;
            EXPECT_NEAR(tag.origin.y, expected.GetTrans().y, 1e-3f) << tag.name << " frame " << frame;
            EXPECT_NEAR(tag.origin.z, expected.GetTrans().z, 1e-3f) << tag.name << " frame " << frame;
            EXPECT_NEAR(tag.axes[0].x, expected.GetRow(0).x, 1e-3f) << tag.name << " frame " << frame;
        }
        for (const modelformat::Md3Surface& surface : model.surfaces) {
            host::SceneNode* node = scene.findNode(surface.header.name);
            ASSERT_NE(node, nullptr) << surface.header.name;
            const Mesh mesh = meshAt(node, time);
            const Matrix3 placement = node->GetObjectTM(time) * toReference;
            // The file's first vertices are the mesh's own, in order.
            for (int v = 0; v < mesh.numVerts; ++v) {
                const Point3 expected = placement.PointTransform(mesh.verts[v]);
                const modelformat::Md3Vertex& stored = surface.frameVertices(frame)[v];
                EXPECT_NEAR(stored.x / 64.0f, expected.x, 1.0f / 64.0f) << surface.header.name << " frame " << frame;
                EXPECT_NEAR(stored.y / 64.0f, expected.y, 1.0f / 64.0f) << surface.header.name << " frame " << frame;
                EXPECT_NEAR(stored.z / 64.0f, expected.z, 1.0f / 64.0f) << surface.header.name << " frame " << frame;
            }
        }
    }

    // The skinned body really moves between frames, and its shader names its texture.
    const modelformat::Md3Surface* body = nullptr;
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        if (surface.header.name == "body") {
            body = &surface;
        }
    }
    ASSERT_NE(body, nullptr);
    bool moved = false;
    for (int v = 0; v < body->header.vertexCount; ++v) {
        moved = moved || body->frameVertices(0)[v].x != body->frameVertices(frames / 2)[v].x ||
                body->frameVertices(0)[v].z != body->frameVertices(frames / 2)[v].z;
    }
    EXPECT_TRUE(moved);
    ASSERT_EQ(body->shaders.size(), 1u);
    // The file names "textures/skin.png": the shader keeps it as written, or, when the checkout
    // lies in a folder named "models", the resolved name from "models" on.
    const std::string resolved = std::string(QMP_SCENE_DATA_DIR) + "/textures/skin.png";
    const size_t models = resolved.find("models");
    EXPECT_EQ(body->shaders[0].name, models != std::string::npos ? resolved.substr(models) : "textures/skin.png");
}

TEST_F(SceneExportTest, AnImportedModelSavedAsGltfLoadsAgainWithItsGeometry) {
    host::Scene figure;
    host::buildDemoScene(figure);
    ASSERT_EQ(exportScene(figure, TRUE), 1);

    host::Scene imported;
    host::ImportInterface importInterface(imported);
    ASSERT_EQ(importer()->DoImport(outputPath().c_str(), &importInterface, &hostInterface, TRUE), 1);
    std::string error;
    for (const char* extension : {"gltf", "glb"}) {
        const std::string saved = path(std::string("imported.") + extension);
        ASSERT_TRUE(host::saveSceneFile(imported, saved, error)) << error;

        host::Scene reloaded;
        host::SceneLoadOptions options;
        const host::SceneLoadResult loaded = host::loadSceneFile(saved, options, reloaded);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        for (host::SceneNode* original : importInterface.addedNodes()) {
            host::SceneNode* again = reloaded.findNode(original->name());
            ASSERT_NE(again, nullptr) << original->name() << " in " << saved;
            const Mesh before = meshAt(original, 0);
            const Mesh after = meshAt(again, 0);
            ASSERT_EQ(after.numFaces, before.numFaces) << original->name();
            // Positions in the world, compared as sets of face corners with their texture
            // coordinates: a saver may split or reorder vertices.
            const Matrix3 beforeTm = original->GetObjectTM(0);
            const Matrix3 afterTm = again->GetObjectTM(0);
            std::vector<std::array<float, 5>> a;
            std::vector<std::array<float, 5>> b;
            for (int f = 0; f < before.numFaces; ++f) {
                for (int c = 0; c < 3; ++c) {
                    const Point3 p = beforeTm.PointTransform(before.verts[before.faces[f].v[c]]);
                    const Point3 q = afterTm.PointTransform(after.verts[after.faces[f].v[c]]);
                    const UVVert uvP = before.numTVerts > 0 ? before.tVerts[before.tvFace[f].t[c]] : UVVert();
                    const UVVert uvQ = after.numTVerts > 0 ? after.tVerts[after.tvFace[f].t[c]] : UVVert();
                    a.push_back({std::round(p.x * 64) / 64, std::round(p.y * 64) / 64, std::round(p.z * 64) / 64, uvP.x,
                                 uvP.y});
                    b.push_back({std::round(q.x * 64) / 64, std::round(q.y * 64) / 64, std::round(q.z * 64) / 64, uvQ.x,
                                 uvQ.y});
                }
            }
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            ASSERT_EQ(a.size(), b.size());
            for (size_t i = 0; i < a.size(); ++i) {
                for (int k = 0; k < 5; ++k) {
                    EXPECT_NEAR(a[i][static_cast<size_t>(k)], b[i][static_cast<size_t>(k)], 1e-3f)
                        << original->name() << " corner " << i << " in " << saved;
                }
            }
        }
    }
}
