// Views over scenes: nodes shown as parts or simplified meshes that follow their source frame by
// frame, hidden nodes, and times mapped onto several loads of a scene.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <mesh_builders.h>
#include <scene.h>

#include "arrangement.h"
#include "scene_view.h"
#include "surface_split.h"

namespace {

using host::arrange::SceneView;
using host::arrange::SourceTime;

constexpr TimeValue kFrame = 160;

// A cylinder that sways along x with time; vertex positions differ at every time.
Mesh swayingCylinder(TimeValue time) {
    const float sway = static_cast<float>(time) / 1600.0f;
    return host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 10.0f, 40.0f, 64, 40,
                              [sway](const Point3& p) { return Point3(p.x + sway * p.z, p.y, p.z); });
}

Mesh meshOf(INode* node, TimeValue time) {
    Object* object = node->EvalWorldState(time).obj;
    EXPECT_NE(object, nullptr);
    EXPECT_TRUE(object != nullptr && object->CanConvertToType(triObjectClassID));
    Object* converted = object->ConvertToType(time, triObjectClassID);
    Mesh mesh = static_cast<TriObject*>(converted)->GetMesh();
    if (converted != object) {
        converted->DeleteThis();
    }
    return mesh;
}

std::vector<std::string> namesOf(const host::Scene& scene) {
    std::vector<std::string> names;
    for (const host::SceneNode* node : scene.nodes()) {
        names.push_back(node->name());
    }
    return names;
}

SourceTime same(TimeValue time) { return {0, time}; }

TEST(SceneView, PartsFollowTheirSourceInEveryFrameAndTakeItsPlace) {
    host::Scene source;
    host::SceneNode* body = source.addNode("body");
    body->setDeformingMesh([](TimeValue time, Mesh& mesh) { mesh = swayingCylinder(time); });
    source.addNode("tag_weapon", body)->setMesh(host::makeTagMarker());
    source.addNode("after");

    SceneView view({&source}, same);
    ASSERT_TRUE(view.ok()) << view.error();
    host::arrange::SurfaceArrangement how;
    how.fitLimits = true;
    const std::vector<std::string> messages = host::arrange::arrangeSurfaces(view, 0, how);
    ASSERT_EQ(messages.size(), 1u);
    const std::vector<host::SceneNode*>& parts = view.shownBy(0);
    ASSERT_GE(parts.size(), 2u);
    std::vector<std::string> expectedOrder = host::arrange::partNames("body", parts.size());
    expectedOrder.insert(expectedOrder.end(), {"tag_weapon", "after"});
    EXPECT_EQ(namesOf(view.scene()), expectedOrder);
    EXPECT_EQ(namesOf(source), (std::vector<std::string>{"body", "tag_weapon", "after"})) << "the source changed";

    // Every part's face is one of the source's faces, at every time, with the source's normals.
    const Mesh first = swayingCylinder(0);
    for (const TimeValue time : {TimeValue{0}, 3 * kFrame, 10 * kFrame}) {
        Mesh whole = swayingCylinder(time);
        whole.checkNormals(TRUE);
        size_t faces = 0;
        for (host::SceneNode* part : parts) {
            Mesh mesh = meshOf(part, time);
            mesh.checkNormals(TRUE);
            EXPECT_EQ(part->GetObjectTM(time).GetTrans(), body->GetObjectTM(time).GetTrans());
            for (int f = 0; f < mesh.numFaces; ++f, ++faces) {
                // The part's faces come in the order of its triangles; find the source face by
                // its first-frame corner positions.
                bool found = false;
                for (int g = 0; g < whole.numFaces && !found; ++g) {
                    found = true;
                    for (int c = 0; c < 3 && found; ++c) {
                        const Point3 a = mesh.verts[mesh.faces[f].v[c]];
                        const Point3 b = whole.verts[whole.faces[g].v[c]];
                        found = a == b;
                    }
                    if (found) {
                        for (int c = 0; c < 3; ++c) {
                            const Point3 n = mesh.getNormal(static_cast<int>(mesh.faces[f].v[c]));
                            const Point3 m = whole.getNormal(static_cast<int>(whole.faces[g].v[c]));
                            EXPECT_NEAR(n.x, m.x, 1e-6f);
                            EXPECT_NEAR(n.y, m.y, 1e-6f);
                            EXPECT_NEAR(n.z, m.z, 1e-6f);
                        }
                    }
                }
                ASSERT_TRUE(found) << "face " << f << " of " << part->name() << " at time " << time;
            }
        }
        EXPECT_EQ(faces, static_cast<size_t>(first.numFaces));
    }
}

TEST(SceneView, HiddenNodesAndTagsAreNotGeometry) {
    host::Scene source;
    source.addNode("u_torso")->setMesh(host::makeBox(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f)));
    source.addNode("tag_head")->setMesh(host::makeTagMarker());
    SceneView view({&source}, same);
    view.hide(1);
    EXPECT_TRUE(view.hidden(1));
    EXPECT_FALSE(view.hidden(0));
    Object* hidden = view.node(1)->EvalWorldState(0).obj;
    EXPECT_TRUE(hidden == nullptr || hidden->CanConvertToType(triObjectClassID) == 0);
    EXPECT_EQ(meshOf(view.node(0), 0).numFaces, 12);
}

TEST(SceneView, TimesMapOntoSeveralLoadsOfOneScene) {
    // Two loads of one scene, each animating the node another way: the view plays the first for
    // frames 0 to 9 and the second from frame 10, each from its own start.
    host::Scene walk;
    host::Scene jump;
    for (auto [scene, axis] : {std::pair{&walk, 0}, std::pair{&jump, 2}}) {
        host::SceneNode* node = scene->addNode("l_legs");
        node->setTransformTrack([axis = axis](TimeValue time) {
            Matrix3 m(1);
            Point3 t(0.0f, 0.0f, 0.0f);
            t[axis] = static_cast<float>(time);
            m.SetTrans(t);
            return m;
        });
        node->setDeformingMesh([axis = axis](TimeValue time, Mesh& mesh) {
            const float offset = static_cast<float>(time) + (axis == 0 ? 0.0f : 1000.0f);
            mesh = host::makeBox(Point3(offset, 0.0f, 0.0f), Point3(offset + 1.0f, 1.0f, 1.0f));
        });
    }
    SceneView view({&walk, &jump}, [](TimeValue time) {
        return time < 10 * kFrame ? SourceTime{0, time} : SourceTime{1, time - 10 * kFrame};
    });
    ASSERT_TRUE(view.ok());
    EXPECT_EQ(view.node(0)->GetNodeTM(3 * kFrame).GetTrans(), Point3(3.0f * kFrame, 0.0f, 0.0f));
    EXPECT_EQ(view.node(0)->GetNodeTM(12 * kFrame).GetTrans(), Point3(0.0f, 0.0f, 2.0f * kFrame));
    EXPECT_EQ(meshOf(view.node(0), 12 * kFrame).verts[0], Point3(1000.0f + 2.0f * kFrame, 0.0f, 0.0f));

    host::Scene other;
    other.addNode("u_torso");
    SceneView mismatched({&walk, &other}, same);
    EXPECT_FALSE(mismatched.ok());
}

TEST(SceneView, LevelsOfDetailHalveEveryMeshAndLeaveTagsAlone) {
    host::Scene source;
    source.addNode("body")->setDeformingMesh([](TimeValue time, Mesh& mesh) { mesh = swayingCylinder(time); });
    source.addNode("tag_torso")->setMesh(host::makeTagMarker());
    const int triangles = swayingCylinder(0).numFaces;
    int previous = triangles;
    for (int level = 1; level <= 2; ++level) {
        SceneView view({&source}, same);
        host::arrange::SurfaceArrangement how;
        how.detailLevel = level;
        host::arrange::arrangeSurfaces(view, 0, how);
        const int faces = meshOf(view.node(0), 5 * kFrame).numFaces;
        EXPECT_LT(faces, previous * 6 / 10) << "level " << level;
        EXPECT_GT(faces, previous * 3 / 10) << "level " << level;
        EXPECT_EQ(meshOf(view.node(1), 0).numFaces, 1) << "the tag's marker";
        previous = faces;
    }
}

}  // namespace
