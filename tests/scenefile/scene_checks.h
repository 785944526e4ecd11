// Helpers of the scene-file tests: meshes converted at a time, world positions, glTF's axes.
#ifndef TESTS_SCENEFILE_SCENE_CHECKS_H
#define TESTS_SCENEFILE_SCENE_CHECKS_H

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "scene.h"

namespace scenetest {

// Host time of a moment given in seconds.
inline TimeValue ticksAt(double seconds) { return static_cast<TimeValue>(std::lround(seconds * TIME_TICKSPERSEC)); }

// A glTF (Y-up) point as the host (Z-up) sees it.
inline Point3 fromYUp(double x, double y, double z) { return Point3(x, -z, y); }

// The node's object converted to a triangle mesh at a time (a copy, so that a converted object
// can be freed at once).
inline Mesh meshAt(host::SceneNode& node, TimeValue time) {
    Object* object = node.EvalWorldState(time).obj;
    EXPECT_NE(object, nullptr) << node.name();
    if (object == nullptr) {
        return Mesh();
    }
    Object* converted = object->ConvertToType(time, triObjectClassID);
    EXPECT_NE(converted, nullptr) << node.name();
    if (converted == nullptr) {
        return Mesh();
    }
    Mesh mesh = static_cast<TriObject*>(converted)->GetMesh();
    if (converted != object) {
        converted->DeleteThis();
    }
    return mesh;
}

inline std::string describe(const Point3& p) {
    return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ", " + std::to_string(p.z) + ")";
}

inline ::testing::AssertionResult near(const Point3& actual, const Point3& expected, float tolerance = 1e-4f) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
        std::fabs(actual.z - expected.z) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << describe(actual) << " is not " << describe(expected);
}

// The diffuse bitmap's file name of the node's material, or "" when it has none.
inline std::string diffuseMapName(host::SceneNode& node) {
    Mtl* material = node.GetMtl();
    if (material == nullptr) {
        return "";
    }
    Texmap* map = material->GetSubTexmap(ID_DI);
    if (map == nullptr || map->ClassID() != Class_ID(BMTEX_CLASS_ID, 0)) {
        return "";
    }
    return static_cast<BitmapTex*>(map)->GetMapName();
}

}  // namespace scenetest

#endif
