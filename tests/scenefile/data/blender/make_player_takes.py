# Builds a small three-part player whose parts are keyed as separate objects, each with an action of
# its own named after the game's animations, and exports it with Blender's default settings as
# .fbx and .glb. Run with Debian's Blender 3.4 (its glTF exporter needs python3-numpy), headless:
#   blender -b --factory-startup -P make_player_takes.py -- OUT_FOLDER
# It writes, into OUT_FOLDER (frames 0 to 10 at 30 fps, saved at frame 1 as Blender leaves a new
# scene):
#   player_takes.fbx, player_takes.glb  meshes l_legs (a 6-sided cylinder), u_torso (a cube),
#       h_head (a smaller cube), empties tag_torso, tag_head, tag_weapon; l_legs keyed by the action
#       LEGS_WALK (swings 20 degrees about x and back), u_torso by TORSO_GESTURE (turns 30 degrees
#       about z), tag_torso by LEGS_WALK_tag (rises 5 cm and back). Blender's FBX writer bakes every
#       action on every keyed object ("All Actions"), so the .fbx holds 9 takes "OBJECT|ACTION";
#       the .glb holds one animation per action.
#   l_legs.png, u_torso.png, h_head.png  the 8 x 8 images the .fbx refers to (the .glb holds them)
# tests/scenefile/data/blender keeps player_takes.fbx and player_takes.glb as this script wrote
# them; the tests read them and need no Blender.
import math
import os
import sys

import bpy

args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
if not args:
    sys.exit("usage: blender -b --factory-startup -P make_player_takes.py -- OUT_FOLDER")
out = os.path.abspath(args[0])
os.makedirs(out, exist_ok=True)

bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.fps = 30
scene.frame_start = 0
scene.frame_end = 10


def mesh(op, name, location, **shape):
    op(location=location, **shape)
    made = bpy.context.active_object
    made.name = name
    made.data.name = name
    image = bpy.data.images.new(name, 8, 8)
    image.filepath_raw = os.path.join(out, name + ".png")
    image.file_format = "PNG"
    image.save()
    material = bpy.data.materials.new(name + "_mat")
    material.use_nodes = True
    texture = material.node_tree.nodes.new("ShaderNodeTexImage")
    texture.image = image
    material.node_tree.links.new(texture.outputs[0], material.node_tree.nodes["Principled BSDF"].inputs[0])
    made.data.materials.append(material)
    return made


def empty(name, location):
    made = bpy.data.objects.new(name, None)
    made.location = location
    scene.collection.objects.link(made)
    return made


legs = mesh(bpy.ops.mesh.primitive_cylinder_add, "l_legs", (0, 0, 0.5), vertices=6, radius=0.3, depth=1.0)
torso = mesh(bpy.ops.mesh.primitive_cube_add, "u_torso", (0, 0, 1.4), size=0.8)
head = mesh(bpy.ops.mesh.primitive_cube_add, "h_head", (0, 0, 2.1), size=0.4)
tag_torso = empty("tag_torso", (0, 0, 1.0))
empty("tag_head", (0, 0, 1.8))
empty("tag_weapon", (0.5, 0, 1.4))

for frame, angle in ((0, 0), (5, 20), (10, 0)):
    legs.rotation_euler = (math.radians(angle), 0, 0)
    legs.keyframe_insert("rotation_euler", frame=frame)
    tag_torso.location = (0, 0, 1.0 + 0.05 * angle / 20)
    tag_torso.keyframe_insert("location", frame=frame)
legs.animation_data.action.name = "LEGS_WALK"
tag_torso.animation_data.action.name = "LEGS_WALK_tag"
for frame, angle in ((0, 0), (10, 30)):
    torso.rotation_euler = (0, 0, math.radians(angle))
    torso.keyframe_insert("rotation_euler", frame=frame)
torso.animation_data.action.name = "TORSO_GESTURE"
scene.frame_set(1)

bpy.ops.export_scene.fbx(filepath=os.path.join(out, "player_takes.fbx"))
bpy.ops.export_scene.gltf(filepath=os.path.join(out, "player_takes.glb"))
