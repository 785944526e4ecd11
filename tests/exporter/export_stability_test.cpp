// Whole exports pinned by their bytes: a large skinned scene in relative mode over hundreds of
// frames, and a scene whose nodes appear, vanish and change their names from frame to frame.
// The pinned hashes were taken from the writer as it stood before its export run was reorganised;
// a deliberate change to the file layout changes them (the failure message prints the new ones).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <mesh_builders.h>
#include <modelformat/md3_encoding.h>
#include <node_collector.h>

#include "export_harness.h"

namespace {

// FNV-1a over bytes: a short fingerprint of a file or of a list of texts.
class Fingerprint {
public:
    void add(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            hash_ = (hash_ ^ data[i]) * 0x100000001B3ull;
        }
    }
    void add(const std::string& text) {
        add(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);  // the zero separates texts
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

// The file's fingerprint without its model name, which holds the temporary output path.
uint64_t fileFingerprint(std::vector<uint8_t> bytes) {
    std::fill(bytes.begin() + 8, bytes.begin() + 76, 0);
    Fingerprint fingerprint;
    fingerprint.add(bytes.data(), bytes.size());
    return fingerprint.value();
}

float seconds(TimeValue time) { return static_cast<float>(time) / static_cast<float>(TIME_TICKSPERSEC); }

// Two joints of a skinned body: the hips turn and sway, the spine bends forward on top of them.
Matrix3 hipsAt(TimeValue time) {
    Matrix3 tm = RotateZMatrix(0.4f * std::sin(2.0f * seconds(time)));
    tm.Translate(Point3(2.0f * std::sin(seconds(time)), 0.0f, 30.0f + std::sin(3.0f * seconds(time))));
    return tm;
}

Matrix3 spineAt(TimeValue time) {
    Matrix3 tm = RotateXMatrix(0.5f * std::sin(1.5f * seconds(time)));
    tm.Translate(Point3(0.0f, 0.0f, 12.0f));
    return tm * hipsAt(time);
}

// Linear blend skinning of a cylinder bound with the hips at z = 0 and the spine at z = 12:
// each vertex follows both joints, weighted by its height.
void skinnedBody(TimeValue time, Mesh& mesh) {
    mesh = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 5.0f, 24.0f, 20, 12);
    const Matrix3 hips = hipsAt(time);
    const Matrix3 spine = Inverse(TransMatrix(Point3(0.0f, 0.0f, 12.0f))) * spineAt(time);
    for (int v = 0; v < mesh.numVerts; ++v) {
        const Point3 rest = mesh.verts[v];
        const float weight = std::fmin(1.0f, std::fmax(0.0f, (rest.z - 6.0f) / 12.0f));
        mesh.verts[v] = hips.PointTransform(rest) * (1.0f - weight) + spine.PointTransform(rest) * weight;
    }
}

// A figure with every kind of surface the writer treats apart: skinned, rigid under a
// non-uniform scale, without texture mapping, leaving the format's range, losing vertices, and
// without normals; tags move, the reference tag included.
void buildFigure(host::Scene& scene) {
    host::SceneNode* torso = scene.addNode("tag_torso");
    torso->setMesh(host::makeTagMarker());
    torso->setTransformTrack([](TimeValue time) { return spineAt(time); });

    host::SceneNode* body = scene.addNode("body");
    body->setDeformingMesh(skinnedBody);
    giveTexture(scene, body, "C:\\quake3\\baseq3\\models\\players\\pinned\\body.tga");

    host::SceneNode* headTag = scene.addNode("tag_head", torso);
    headTag->setMesh(host::makeTagMarker());
    headTag->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateZMatrix(0.7f * std::sin(seconds(time)));
        tm.Translate(Point3(0.0f, 0.0f, 14.0f));
        return tm;
    });
    host::SceneNode* head = scene.addNode("head", headTag);
    head->setMesh(host::makeSphere(Point3(0.0f, 0.0f, 4.0f), 4.0f, 14, 9));
    head->setTransform(ScaleMatrix(Point3(1.0f, 1.3f, 0.8f)));
    giveTexture(scene, head, "/home/artist/models/players/pinned/head.tga");

    host::SceneNode* weapon = scene.addNode("tag_weapon");
    weapon->setMesh(host::makeTagMarker());
    weapon->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateYMatrix(1.3f * seconds(time));
        tm.Translate(Point3(10.0f, -4.0f, 25.0f + 3.0f * std::cos(seconds(time))));
        return tm;
    });

    host::SceneNode* cloak = scene.addNode("cloak");
    cloak->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        const float wave = seconds(time);
        mesh = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 7.0f, 20.0f, 16, 6, [wave](const Point3& p) {
            return Point3(p.x + std::sin(wave + p.z * 0.3f) * 0.1f * p.z, p.y, p.z);
        });
        mesh.setNumTVerts(0);
        mesh.setNumTVFaces(0);
    });

    host::SceneNode* rock = scene.addNode("rock");
    rock->setMesh(host::makeBox(Point3(-3.0f, -3.0f, -3.0f), Point3(3.0f, 3.0f, 3.0f)));
    rock->setTransformTrack([](TimeValue time) { return TransMatrix(Point3(300.0f + 60.0f * seconds(time), 0, 0)); });

    host::SceneNode* melter = scene.addNode("melter");
    melter->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        const int rings = time < 150 * 160 ? 10 : 6;
        mesh = host::makeSphere(Point3(-12.0f, 0.0f, 10.0f), 3.0f + seconds(time) * 0.1f, 12, rings);
    });

    host::SceneNode* ghost = scene.addNode("ghost", torso);
    Mesh ghostly = host::makeBox(Point3(-1.0f, -1.0f, -1.0f), Point3(1.0f, 2.0f, 3.0f));
    ghostly.setNormalsUnavailable(TRUE);
    ghost->setMesh(ghostly);

    scene.addNode("Bip01 Spine")->setMesh(host::makeBox(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f)));
}

// A node whose presence and name follow the time it was last evaluated at, as a host whose
// nodes are created, deleted and renamed while an animation plays would show them. An empty
// name stands for "not in the scene at that time".
class ShiftingNode : public host::SceneNode {
public:
    using Schedule = std::function<std::string(int frame)>;
    explicit ShiftingNode(Schedule schedule) : host::SceneNode(schedule(0)), schedule_(std::move(schedule)) {}

    const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden) override {
        current_ = schedule_(time / 160);
        if (current_.empty()) {
            return absent_;
        }
        return host::SceneNode::EvalWorldState(time, evalHidden);
    }
    TCHAR* GetName() override { return current_.data(); }

private:
    Schedule schedule_;
    std::string current_ = schedule_(0);
    ObjectState absent_;
};

host::SceneNode* addShifting(host::Scene& scene, ShiftingNode::Schedule schedule, const Point3& at) {
    auto node = std::make_unique<ShiftingNode>(std::move(schedule));
    node->setMesh(host::makeBox(at, at + Point3(1.0f, 2.0f, 3.0f)));
    node->setTransformTrack([at](TimeValue time) {
        Matrix3 tm = RotateZMatrix(0.1f * static_cast<float>(time) / 160.0f);
        tm.Translate(at);
        return tm;
    });
    return scene.adoptNode(std::move(node));
}

// Nodes that come and go before and between the tags and surfaces, so that a frame's
// collection holds other nodes at the start-time positions than the start-time collection.
void buildShiftingScene(host::Scene& scene) {
    addShifting(
        scene, [](int frame) { return frame >= 2 ? "late" : ""; }, Point3(1.0f, 0.0f, 0.0f));
    addShifting(
        scene, [](int frame) { return frame >= 3 && frame <= 5 ? "" : "crate"; }, Point3(2.0f, 0.0f, 0.0f));
    addShifting(
        scene, [](int frame) { return frame <= 4 ? "tag_torso" : "tag_spine"; }, Point3(0.0f, 0.0f, 5.0f));
    addShifting(
        scene, [](int frame) { return frame % 2 == 0 ? "barrel" : "Bip_barrel"; }, Point3(0.0f, 4.0f, 0.0f));
    addShifting(
        scene, [](int frame) { return frame < 6 ? "tag_weapon" : "tag_sword"; }, Point3(3.0f, 1.0f, 2.0f));
    addShifting(
        scene, [](int frame) { return frame == 1 ? "" : "shield"; }, Point3(-3.0f, 0.0f, 1.0f));
    addBox(scene, "steady", Point3(0.0f, -5.0f, 0.0f));
}

}  // namespace

class ExportStabilityTest : public ExporterTest {};

TEST_F(ExportStabilityTest, LargeSkinnedRelativeExportKeepsItsBytes) {
    host::Scene scene;
    buildFigure(scene);
    setFrames(0, 299);
    exportOptions.showWarnings = true;
    const ExportRun run = exportScene(scene, 0, TRUE);
    ASSERT_EQ(run.result, 1);
    ASSERT_TRUE(run.read.ok) << run.read.message;
    ASSERT_EQ(run.model().header.frameCount, 300);
    ASSERT_EQ(run.model().header.tagCount, 3);
    ASSERT_EQ(run.model().surfaces.size(), 6u);

    Fingerprint progress;
    for (const std::string& text : progressTexts()) {
        progress.add(text);
    }
    std::vector<std::string> warnings;
    for (const auto& box : desktop.messageBoxes) {
        warnings.push_back(box.caption + ": " + box.text.substr(0, box.text.find('\n')));
    }
    // In enumeration order: the ghost hangs from tag_torso, the first node.
    const std::vector<std::string> expectedWarnings = {
        "ghost: Object does not have normals contructed.",
        "cloak: No UV mapping was found on this object.",
        "rock: Some vertices lie outside the +/-512 unit range of the MD3 format",
        "melter: The mesh changes its vertex count during the animation.",
    };
    EXPECT_EQ(warnings, expectedWarnings);
    EXPECT_EQ(progressTexts().size(), 300u + 6u * 301u);
    EXPECT_EQ(run.bytes.size(), 1861932u);
    EXPECT_EQ(fileFingerprint(run.bytes), 0x11fe8f9c6560fb23u) << std::hex << fileFingerprint(run.bytes);
    EXPECT_EQ(progress.value(), 0x2b6f2b89574ed7c2u) << std::hex << progress.value();
}

// Every frame's records come from the start-time nodes, as a collection built for each surface
// at each frame's time resolves them: a frame collection's node at a start-time position is
// taken only when it is that same node, else the start-time node is.
TEST_F(ExportStabilityTest, NodesThatComeAndGoLeaveTheStartTimeNodesRecords) {
    host::Scene scene;
    buildShiftingScene(scene);
    setFrames(0, 7);
    const ExportRun run = exportScene(scene, 0, TRUE);
    ASSERT_EQ(run.result, 1);
    ASSERT_TRUE(run.read.ok) << run.read.message;

    NodeCollector start(&scene, 0, exportOptions);
    std::vector<int> tagPositions;
    std::vector<int> surfacePositions;
    int reference = -1;
    for (int position = 0; position < start.count(); ++position) {
        const std::string name = start.nodeAt(position)->GetName();
        if (name.rfind("tag_", 0) == 0) {
            reference = name == "tag_torso" ? position : reference;
            tagPositions.push_back(position);
        } else {
            surfacePositions.push_back(position);
        }
    }
    ASSERT_EQ(tagPositions.size(), 2u);
    ASSERT_GE(reference, 0);
    ASSERT_EQ(static_cast<int32_t>(surfacePositions.size()), run.model().header.surfaceCount);

    for (int frame = 0; frame < 8; ++frame) {
        const TimeValue time = frame * 160;
        NodeCollector collection(&scene, time, exportOptions);
        const auto resolve = [&](int position) {
            INode* startNode = start.nodeAt(position);
            return collection.nodeAt(position) == startNode ? collection.nodeAt(position) : startNode;
        };
        const Matrix3 toReference = Inverse(resolve(reference)->GetObjectTM(time));
        for (size_t t = 0; t < tagPositions.size(); ++t) {
            INode* node = resolve(tagPositions[t]);
            const Matrix3 expected = node->GetObjectTM(time) * toReference;
            const modelformat::Md3TagRecord& tag = run.model().tag(frame, static_cast<int32_t>(t));
            EXPECT_EQ(tag.name, node->GetName()) << "frame " << frame;
            EXPECT_EQ(tag.origin.x, expected.m[3][0]) << "frame " << frame;
            EXPECT_EQ(tag.axes[1].z, expected.m[1][2]) << "frame " << frame;
        }
        for (size_t s = 0; s < surfacePositions.size(); ++s) {
            INode* node = resolve(surfacePositions[s]);
            // A node that does not convert at a frame's time keeps its start-time mesh there.
            EvaluatedMesh evaluated(node, time);
            EvaluatedMesh startMesh(start.nodeAt(surfacePositions[s]), 0);
            const Mesh& mesh = evaluated.mesh() != nullptr ? *evaluated.mesh() : *startMesh.mesh();
            const Matrix3 transform = node->GetObjectTM(time) * toReference;
            const modelformat::Md3Surface& surface = run.model().surfaces[s];
            for (int v = 0; v < mesh.numVerts; ++v) {
                const Point3 p = transform.PointTransform(mesh.verts[v]);
                bool clamped = false;
                const modelformat::Md3Vertex& written = surface.frameVertices(frame)[v];
                EXPECT_EQ(written.x, modelformat::encodeCoordinate(p.x, clamped));
                EXPECT_EQ(written.y, modelformat::encodeCoordinate(p.y, clamped));
                EXPECT_EQ(written.z, modelformat::encodeCoordinate(p.z, clamped));
            }
        }
    }
    EXPECT_EQ(fileFingerprint(run.bytes), 0x507ea366a1536146u) << std::hex << fileFingerprint(run.bytes);
}
