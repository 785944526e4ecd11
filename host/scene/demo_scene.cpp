// The demo figure: legs that bend as it walks, a bobbing torso, a nodding head and a swinging
// weapon, tagged as a Quake III player model is.
#include "demo_scene.h"

#include <cmath>

#include "mesh_builders.h"

namespace host {

namespace {

constexpr float kTwoPi = 6.28318530717959f;
constexpr char kTextureRoot[] = "/home/artist/quake3/baseq3/models/";

constexpr TimeValue kTicksPerDemoFrame = TIME_TICKSPERSEC / kDemoFrameRate;
static_assert(kTicksPerDemoFrame * kDemoFrameRate == TIME_TICKSPERSEC, "a demo frame is a whole number of ticks");

// The phase of the walk cycle at a time, one cycle over the demo's frames.
float cyclePhase(TimeValue time) {
    const float frame = static_cast<float>(time) / static_cast<float>(kTicksPerDemoFrame);
    return kTwoPi * frame / static_cast<float>(kDemoFrameCount);
}

Material* texturedMaterial(Scene& scene, const std::string& name, const std::string& file) {
    Material* material = scene.addMaterial(name);
    material->setDiffuseMap(std::make_unique<BitmapTexture>(std::string(kTextureRoot) + file));
    return material;
}

void addMarker(SceneNode* tag) { tag->setMesh(makeTagMarker()); }

}  // namespace

void buildDemoScene(Scene& scene) {
    // Legs: a cylinder whose upper rings sway and whose knees bend with the walk.
    SceneNode* legs = scene.addNode("legs");
    legs->setMaterial(texturedMaterial(scene, "legs", "players/larkdemo/legs.tga"));
    legs->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        const float phase = cyclePhase(time);
        mesh = makeCylinder(Point3(0.0f, 0.0f, 0.0f), 6.0f, 24.0f, 10, 6, [phase](const Point3& p) {
            const float height = p.z / 24.0f;
            const float sway = 3.0f * std::sin(phase) * height;
            const float knee = 1.5f * std::sin(2.0f * phase) * std::sin(height * 3.14159265f);
            return Point3(p.x + sway + knee, p.y, p.z);
        });
    });

    // The torso rides on tag_torso, which bobs and turns at the waist.
    SceneNode* tagTorso = scene.addNode("tag_torso");
    addMarker(tagTorso);
    tagTorso->setTransformTrack([](TimeValue time) {
        const float phase = cyclePhase(time);
        Matrix3 tm = RotateZMatrix(0.15f * std::sin(phase));
        tm.Translate(Point3(3.0f * std::sin(phase), 0.0f, 24.0f + 1.0f * std::sin(2.0f * phase)));
        return tm;
    });

    SceneNode* torso = scene.addNode("torso", tagTorso);
    torso->setMaterial(texturedMaterial(scene, "upper", "players/larkdemo/upper.tga"));
    torso->setMesh(makeBox(Point3(-8.0f, -5.0f, 0.0f), Point3(8.0f, 5.0f, 20.0f)));

    SceneNode* tagHead = scene.addNode("tag_head", torso);
    addMarker(tagHead);
    tagHead->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateYMatrix(0.2f * std::sin(2.0f * cyclePhase(time)));
        tm.Translate(Point3(0.0f, 0.0f, 20.0f));
        return tm;
    });

    SceneNode* head = scene.addNode("head", tagHead);
    head->setMaterial(texturedMaterial(scene, "head", "players/larkdemo/head.tga"));
    head->setMesh(makeSphere(Point3(0.0f, 0.0f, 5.5f), 5.0f, 12, 8));

    SceneNode* tagWeapon = scene.addNode("tag_weapon", torso);
    addMarker(tagWeapon);
    tagWeapon->setTransformTrack([](TimeValue time) {
        Matrix3 tm = RotateYMatrix(0.5f * std::sin(cyclePhase(time)));
        tm.Translate(Point3(10.0f, 0.0f, 14.0f));
        return tm;
    });

    SceneNode* weapon = scene.addNode("weapon", tagWeapon);
    weapon->setMaterial(texturedMaterial(scene, "weapon", "weapons2/larkgun/larkgun.tga"));
    weapon->setMesh(makeBox(Point3(0.0f, -1.0f, -1.5f), Point3(16.0f, 1.0f, 1.5f)));
}

}  // namespace host
