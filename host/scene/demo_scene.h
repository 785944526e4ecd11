// The embedded demo scene: an animated, textured figure with the three player tags.
#ifndef HOST_SCENE_DEMO_SCENE_H
#define HOST_SCENE_DEMO_SCENE_H

#include "scene.h"

namespace host {

constexpr int kDemoFrameCount = 40;
constexpr int kDemoFrameRate = 30;

// Fills an empty scene with the demo figure: deforming legs, a torso, a head and a weapon,
// each with a bitmap texture, and tag_torso, tag_head and tag_weapon moving with them over
// kDemoFrameCount frames at kDemoFrameRate frames per second (the caller sets the frame rate).
void buildDemoScene(Scene& scene);

}  // namespace host

#endif
