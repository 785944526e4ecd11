// The writer's file: header, frame records, tags (relative to the reference tag when asked),
// offsets, progress texts, the empty-scene box and the option lists after an export.
#include <cmath>
#include <cstdlib>
#include <fstream>

#include <mesh_builders.h>

#include "export_harness.h"

using modelformat::kMd3FrameSize;
using modelformat::kMd3HeaderSize;
using modelformat::kMd3TagSize;

namespace {

// A tag that moves along x and turns about z over time.
host::SceneNode* addMovingTag(host::Scene& scene, const std::string& name, float speed) {
    host::SceneNode* tag = scene.addNode(name);
    tag->setMesh(host::makeTagMarker());
    tag->setTransformTrack([speed](TimeValue time) {
        Matrix3 tm = RotateZMatrix(0.01f * static_cast<float>(time) / 160.0f);
        tm.Translate(Point3(speed * static_cast<float>(time) / 160.0f, 2.0f, 3.0f));
        return tm;
    });
    return tag;
}

void expectNearMatrix(const modelformat::Md3TagRecord& tag, const Matrix3& expected, float tolerance) {
    EXPECT_NEAR(tag.origin.x, expected.m[3][0], tolerance);
    EXPECT_NEAR(tag.origin.y, expected.m[3][1], tolerance);
    EXPECT_NEAR(tag.origin.z, expected.m[3][2], tolerance);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(tag.axes[axis].x, expected.m[axis][0], tolerance);
        EXPECT_NEAR(tag.axes[axis].y, expected.m[axis][1], tolerance);
        EXPECT_NEAR(tag.axes[axis].z, expected.m[axis][2], tolerance);
    }
}

}  // namespace

TEST_F(ExporterTest, HeaderFramesAndTagsLieWhereTheirOffsetsSay) {
    host::Scene scene;
    addMovingTag(scene, "tag_weapon", 1.0f);
    addMovingTag(scene, "tag_flag", 2.0f);
    addBox(scene, "crate", Point3(0.0f, 0.0f, 0.0f));
    setFrames(2, 4);
    exportOptions.relativeToTag = false;
    const ExportRun run = exportScene(scene);
    ASSERT_EQ(run.result, 1);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const std::vector<uint8_t>& b = run.bytes;

    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "IDP3");
    EXPECT_EQ(int32At(b, 4), 15);
    EXPECT_EQ(int32At(b, 76), 3);                                      // frames
    EXPECT_EQ(int32At(b, 80), 2);                                      // tags
    EXPECT_EQ(int32At(b, 84), 1);                                      // surfaces
    EXPECT_EQ(int32At(b, 88), 0);                                      // skins
    EXPECT_EQ(int32At(b, 92), kMd3HeaderSize);                         // frames offset
    EXPECT_EQ(int32At(b, 96), kMd3HeaderSize + 3 * kMd3FrameSize);     // tags offset
    EXPECT_EQ(int32At(b, 100), int32At(b, 96) + 3 * 2 * kMd3TagSize);  // surfaces offset
    EXPECT_EQ(int32At(b, 104), static_cast<int32_t>(b.size()));        // end offset
    EXPECT_EQ(int32At(b, 100) + run.model().surfaces[0].header.endOffset, static_cast<int32_t>(b.size()));

    // Frame names and local origins are fixed; tag records are frame-major in collection order.
    for (int frame = 0; frame < 3; ++frame) {
        const modelformat::Md3FrameRecord& record = run.model().frames[static_cast<size_t>(frame)];
        EXPECT_EQ(record.name, "(Larkbrind)");
        EXPECT_EQ(record.localOrigin.x, 0.0f);
        const size_t nameAt = kMd3HeaderSize + static_cast<size_t>(frame) * kMd3FrameSize + 40;
        EXPECT_EQ(std::string(b.begin() + static_cast<long>(nameAt), b.begin() + static_cast<long>(nameAt) + 16),
                  std::string("(Larkbrind)\0\0\0\0\0", 16));
        EXPECT_EQ(run.model().tag(frame, 0).name, "tag_weapon");
        EXPECT_EQ(run.model().tag(frame, 1).name, "tag_flag");
        // Frame c is sampled at (startFrame + c) * ticksPerFrame.
        host::SceneNode* weapon = scene.findNode("tag_weapon");
        expectNearMatrix(run.model().tag(frame, 0), weapon->GetObjectTM((2 + frame) * 160), 1e-5f);
    }
}

TEST_F(ExporterTest, TagNamesAreWrittenWholeWithATerminator) {
    host::Scene scene;
    addTag(scene, "tag_head", Matrix3());
    addTag(scene, "tag_weapon_left_hand", Matrix3());
    const std::string longName = "tag_" + std::string(70, 'n');
    addTag(scene, longName, Matrix3());
    exportOptions.relativeToTag = false;
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    const size_t tags = static_cast<size_t>(int32At(run.bytes, 96));
    const auto field = [&](int index) {
        const size_t at = tags + static_cast<size_t>(index) * kMd3TagSize;
        return std::string(run.bytes.begin() + static_cast<long>(at), run.bytes.begin() + static_cast<long>(at) + 64);
    };
    EXPECT_EQ(field(0), std::string("tag_head") + std::string(56, '\0'));
    EXPECT_EQ(field(1), std::string("tag_weapon_left_hand") + std::string(44, '\0'));
    EXPECT_EQ(field(2), longName.substr(0, 63) + std::string(1, '\0'));
    EXPECT_EQ(run.model().tag(0, 1).name, "tag_weapon_left_hand");
}

TEST_F(ExporterTest, RelativeModeExpressesTagsInTheReferenceTagsFrame) {
    host::Scene scene;
    addMovingTag(scene, "tag_head", 1.5f);
    host::SceneNode* torso = addMovingTag(scene, "tag_torso", 0.5f);
    host::SceneNode* weapon = addMovingTag(scene, "tag_weapon", 3.0f);
    setFrames(0, 5);
    const ExportRun run = exportScene(scene);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    for (int frame = 0; frame < 6; ++frame) {
        const TimeValue time = frame * 160;
        expectNearMatrix(run.model().tag(frame, 1), Matrix3(), 1e-5f);  // the reference itself
        expectNearMatrix(run.model().tag(frame, 2), weapon->GetObjectTM(time) * Inverse(torso->GetObjectTM(time)),
                         1e-4f);
    }
}

TEST_F(ExporterTest, ReferenceTagChoiceAndItsExactNames) {
    struct Case {
        std::vector<std::string> tags;
        bool relative;
        int referenceIndex;  // -1: none in force
    };
    const Case cases[] = {
        {{"tag_head", "tag_weapon"}, true, 0},
        {{"tag_torso", "tag_head"}, true, 0},
        {{"tag_head", "tag_torso"}, true, 1},
        {{"tag_torso", "tag_weapon"}, false, -1},
        {{"tag_Torso", "tag_torso2", "tag_weapon"}, true, -1},
    };
    for (const Case& c : cases) {
        host::Scene scene;
        std::vector<host::SceneNode*> nodes;
        float speed = 1.0f;
        for (const std::string& name : c.tags) {
            nodes.push_back(addMovingTag(scene, name, speed));
            speed += 1.0f;
        }
        exportOptions = ExportOptions();
        exportOptions.ticksPerFrame = 160;
        exportOptions.relativeToTag = c.relative;
        setFrames(3, 3);
        const ExportRun run = exportScene(scene);
        ASSERT_TRUE(run.read.ok) << run.read.message;
        for (size_t i = 0; i < nodes.size(); ++i) {
            Matrix3 expected = nodes[i]->GetObjectTM(480);
            if (c.referenceIndex >= 0) {
                expected *= Inverse(nodes[static_cast<size_t>(c.referenceIndex)]->GetObjectTM(480));
            }
            expectNearMatrix(run.model().tag(0, static_cast<int32_t>(i)), expected, 1e-4f);
        }
    }
}

TEST_F(ExporterTest, ModelNameFollowsTheSmartPathsSwitch) {
    host::Scene scene;
    addTag(scene, "tag_a", Matrix3());
    const std::string folder = directory() + "/models/players/lark";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    const std::string path = folder + "/upper.md3";
    for (bool smart : {true, false}) {
        exportOptions.smartPaths = smart;
        Md3FileWriter writer;
        ASSERT_EQ(writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, FALSE, 0), 1);
        const std::vector<uint8_t> bytes = readFileBytes(path);
        const std::string expected = smart ? "models/players/lark/upper.md3" : path;
        const std::string field(bytes.begin() + 8, bytes.begin() + 76);
        EXPECT_EQ(field.substr(0, std::min<size_t>(expected.size(), 68)), expected.substr(0, 68));
        if (expected.size() < 68) {
            EXPECT_EQ(field[expected.size()], '\0');
        }
    }
}

TEST_F(ExporterTest, AnEmptyCollectionShowsTheNoDataBoxAndWritesNothing) {
    host::Scene scene;
    scene.addNode("light")->setObject(std::make_unique<host::NonGeometricObject>());
    exportOptions.useNamePrefixes = true;
    exportOptions.namePrefixes = {"nothing"};
    ExportRun run = exportScene(scene);
    EXPECT_EQ(run.result, 1);
    EXPECT_FALSE(run.written);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, "No Data to export.");
    EXPECT_EQ(desktop.messageBoxes[0].caption, "No Data");
    EXPECT_EQ(desktop.messageBoxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(desktop.shown.empty());  // no progress window
    EXPECT_TRUE(exportOptions.namePrefixes.empty());

    run = exportScene(scene, 0, TRUE);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(desktop.messageBoxes.size(), 1u);  // suppressed
}

TEST_F(ExporterTest, NodesWithoutFacesAreNeitherTagsNorSurfaces) {
    host::Scene scene;
    scene.addNode("empty")->setMesh(Mesh());
    const ExportRun run = exportScene(scene);
    ASSERT_EQ(run.result, 1);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    EXPECT_EQ(run.model().header.tagCount, 0);
    EXPECT_EQ(run.model().header.surfaceCount, 0);
    EXPECT_EQ(run.model().header.tagsOffset, run.model().header.surfacesOffset);
    EXPECT_EQ(run.model().header.endOffset, static_cast<int32_t>(run.bytes.size()));
    EXPECT_EQ(run.bytes.size(), static_cast<size_t>(kMd3HeaderSize + kMd3FrameSize));
}

TEST_F(ExporterTest, ProgressWindowShowsEachStepAndAlwaysCloses) {
    host::Scene scene;
    addTag(scene, "tag_a", Matrix3());
    addBox(scene, "box", Point3(0.0f, 0.0f, 0.0f));
    setFrames(10, 11);
    ASSERT_EQ(exportScene(scene).result, 1);
    const std::vector<std::string> expected = {
        "Writing Tags in Frame 0 of 1\n", "Writing Tags in Frame 1 of 1\n", "Writing box Info\n",
        "Writing Frame 0 of box\n",       "Writing Frame 1 of box\n",
    };
    EXPECT_EQ(progressTexts(), expected);
    EXPECT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(desktop.destroyed.size(), 1u);

    // A very long name is cut to the 256-byte buffer, not overrun.
    host::Scene named;
    addBox(named, std::string(400, 'b'), Point3(0.0f, 0.0f, 0.0f));
    desktop.textChanges.clear();
    setFrames(0, 0);
    ASSERT_EQ(exportScene(named).result, 1);
    ASSERT_GE(progressTexts().size(), 2u);
    EXPECT_EQ(progressTexts()[0], "Writing Tags in Frame 0 of 0\n");
    EXPECT_EQ(progressTexts()[1], "Writing " + std::string(247, 'b'));
}

TEST_F(ExporterTest, SelectedOnlyComesFromBitZeroOfTheOptionsWord) {
    host::Scene scene;
    addBox(scene, "picked", Point3(0.0f, 0.0f, 0.0f))->setSelected(true);
    addBox(scene, "other", Point3(3.0f, 0.0f, 0.0f));
    ExportRun run = exportScene(scene, 1);
    ASSERT_TRUE(run.read.ok);
    ASSERT_EQ(run.model().surfaces.size(), 1u);
    EXPECT_EQ(run.model().surfaces[0].header.name, "picked");
    run = exportScene(scene, 2);
    ASSERT_TRUE(run.read.ok);
    EXPECT_EQ(run.model().surfaces.size(), 2u);
    EXPECT_EQ(exportOptions.selectedOnly, 0);
}

// The bytes of one small export, frozen: any change to the file layout shows here. Set
// QMP_UPDATE_GOLDEN=1 to write the file anew after a deliberate change.
TEST_F(ExporterTest, SmallExportMatchesItsGoldenBytes) {
    host::Scene scene;
    host::SceneNode* torso = addTag(scene, "tag_torso", TransMatrix(Point3(0.0f, 0.0f, 4.0f)));
    Matrix3 weaponAt = RotateZMatrix(0.5f);
    weaponAt.Translate(Point3(2.0f, 1.0f, 6.0f));
    addTag(scene, "tag_weapon", weaponAt, torso);
    host::SceneNode* body = scene.addNode("body");
    Mesh quad;
    quad.setNumVerts(4);
    quad.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    quad.verts[1] = Point3(1.0f, 0.0f, 0.0f);
    quad.verts[2] = Point3(1.0f, 1.0f, 0.5f);
    quad.verts[3] = Point3(0.0f, 1.0f, 0.0f);
    quad.setNumFaces(2);
    quad.faces[0].setVerts(0, 1, 2);
    quad.faces[1].setVerts(0, 2, 3);
    quad.setNumTVerts(4);
    quad.tVerts[0] = UVVert(0.0f, 0.0f, 0.0f);
    quad.tVerts[1] = UVVert(1.0f, 0.0f, 0.0f);
    quad.tVerts[2] = UVVert(1.0f, 1.0f, 0.0f);
    quad.tVerts[3] = UVVert(0.0f, 1.0f, 0.0f);
    quad.setNumTVFaces(2);
    quad.tvFace[0].setTVerts(0, 1, 2);
    quad.tvFace[1].setTVerts(0, 2, 3);
    body->setMesh(quad);
    body->setTransformTrack(
        [](TimeValue time) { return TransMatrix(Point3(0.0f, 0.0f, static_cast<float>(time) / 160.0f)); });
    giveTexture(scene, body, "C:\\quake3\\baseq3\\models\\players\\lark\\body.tga");
    setFrames(0, 1);
    const ExportRun run = exportScene(scene);
    ASSERT_EQ(run.result, 1);
    ASSERT_TRUE(run.read.ok) << run.read.message;

    const std::string golden = std::string(QMP_TEST_DATA_DIR) + "/small_export.md3";
    if (std::getenv("QMP_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(golden, std::ios::binary)
            .write(reinterpret_cast<const char*>(run.bytes.data()), static_cast<std::streamsize>(run.bytes.size()));
    }
    std::vector<uint8_t> expected = readFileBytes(golden);
    ASSERT_FALSE(expected.empty()) << "missing " << golden;
    // The model name holds the temporary output path; compare everything else byte for byte.
    ASSERT_EQ(run.bytes.size(), expected.size());
    std::vector<uint8_t> actual = run.bytes;
    std::fill(actual.begin() + 8, actual.begin() + 76, 0);
    std::fill(expected.begin() + 8, expected.begin() + 76, 0);
    EXPECT_EQ(actual, expected);
}
