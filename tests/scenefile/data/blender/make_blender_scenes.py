# Builds the scenes a modeller makes in Blender and exports each with Blender's default settings
# (.glb, .fbx, .dae), beside a JSON file of Blender's own evaluated values to compare exports with.
# Run with Debian's Blender 3.4 (its glTF exporter needs python3-numpy), headless:
#   blender -b --factory-startup -P make_blender_scenes.py -- OUT_FOLDER [--frames 0,5,10]
# It writes, into OUT_FOLDER (frames 0 to 10 at 30 fps):
#   shapes.glb/.fbx/.dae  a smooth UV sphere textured with the image "ball", a smooth cylinder, a
#                         flat-shaded cube, a plane whose normals are custom (leaning 30 degrees),
#                         and a cube keyed to turn and scale non-uniformly
#   rig.glb/.fbx/.dae     a smooth tube skinned to a 3-bone armature that bends, textured with
#                         "ball", tag_torso parented to the middle bone and tag_weapon, an empty
#                         keyed on its own (moves 2 m and turns 90 degrees)
#   card_embedded.fbx     a textured card with its image embedded (path mode Copy, Embed Textures),
#                         the one export here that leaves Blender's defaults
#   ball.png              the 8 x 8 image, which the default .fbx and .dae refer to
#   shapes.json, rig.json Blender's evaluated scene at the frames asked for: every mesh object's
#                         world-space vertex positions and corners ([vertex, normal x, y, z]),
#                         every object's world matrix, in Blender's Z-up metres
# compare_with_blender.py measures an MD3 exported from these files against the JSON.
# tests/scenefile/data/blender keeps rig.glb, rig.fbx, rig.json and card_embedded.fbx as this
# script wrote them; the tests read them and need no Blender.
import json
import math
import os
import sys

import bmesh
import bpy
from mathutils import Vector

FPS = 30
LAST_FRAME = 10


def arguments():
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    if not args:
        sys.exit("usage: blender -b --factory-startup -P make_blender_scenes.py -- OUT_FOLDER [--frames 0,10,39]")
    frames = [0, 2, 5, 8, LAST_FRAME]
    if "--frames" in args:
        frames = [int(f) for f in args[args.index("--frames") + 1].split(",")]
    return os.path.abspath(args[0]), frames


def empty_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = FPS
    scene.frame_start = 0
    scene.frame_end = LAST_FRAME
    return scene


def ball_image(folder):
    # A checker of two colours: small, and any mix-up of rows or channels shows.
    image = bpy.data.images.new("ball", 8, 8, alpha=False)
    pixels = []
    for y in range(8):
        for x in range(8):
            pixels += [0.9, 0.2, 0.1, 1.0] if (x // 2 + y // 2) % 2 else [0.1, 0.3, 0.9, 1.0]
    image.pixels = pixels
    image.filepath_raw = os.path.join(folder, "ball.png")
    image.file_format = "PNG"
    image.save()
    return image


def textured_material(image):
    material = bpy.data.materials.new("ball_skin")
    material.use_nodes = True
    nodes = material.node_tree.nodes
    texture = nodes.new("ShaderNodeTexImage")
    texture.image = image
    material.node_tree.links.new(texture.outputs["Color"], nodes["Principled BSDF"].inputs["Base Color"])
    return material


def link(obj):
    bpy.context.scene.collection.objects.link(obj)
    return obj


def mesh_object(name, build):
    mesh = bpy.data.meshes.new(name)
    geometry = bmesh.new()
    geometry.loops.layers.uv.new("UVMap")  # calc_uvs fills the layer that is there
    build(geometry)
    geometry.to_mesh(mesh)
    geometry.free()
    return link(bpy.data.objects.new(name, mesh))


def shade(obj, smooth):
    for polygon in obj.data.polygons:
        polygon.use_smooth = smooth


def key_transform(obj, frame, location=None, rotation=None, scale=None):
    if location is not None:
        obj.location = location
        obj.keyframe_insert("location", frame=frame)
    if rotation is not None:
        obj.rotation_euler = [math.radians(a) for a in rotation]
        obj.keyframe_insert("rotation_euler", frame=frame)
    if scale is not None:
        obj.scale = scale
        obj.keyframe_insert("scale", frame=frame)


def build_shapes(folder):
    scene = empty_scene()
    material = textured_material(ball_image(folder))

    sphere = mesh_object("sphere", lambda g: bmesh.ops.create_uvsphere(g, u_segments=12, v_segments=6, radius=1.0,
                                                                        calc_uvs=True))
    sphere.location = (0, 0, 1)
    shade(sphere, True)
    sphere.data.materials.append(material)

    cylinder = mesh_object("cylinder", lambda g: bmesh.ops.create_cone(g, cap_ends=True, segments=10, radius1=0.5,
                                                                        radius2=0.5, depth=2.0, calc_uvs=True))
    cylinder.location = (3, 0, 1)
    shade(cylinder, True)

    cube = mesh_object("cube", lambda g: bmesh.ops.create_cube(g, size=1.0, calc_uvs=True))
    cube.location = (-3, 0, 0.5)
    cube.rotation_euler = (0, 0, math.radians(30))
    shade(cube, False)

    plane = mesh_object("plane", lambda g: bmesh.ops.create_grid(g, x_segments=2, y_segments=2, size=1.0,
                                                                  calc_uvs=True))
    plane.location = (0, 3, 0)
    shade(plane, True)
    plane.data.use_auto_smooth = True
    # Every corner's normal leans 30 degrees towards +X.
    lean = Vector((math.sin(math.radians(30)), 0.0, math.cos(math.radians(30))))
    plane.data.normals_split_custom_set([lean] * len(plane.data.loops))

    spinner = mesh_object("spinner", lambda g: bmesh.ops.create_cube(g, size=0.6, calc_uvs=True))
    shade(spinner, False)
    key_transform(spinner, 0, location=(0, -3, 1), rotation=(0, 0, 0), scale=(1, 1, 1))
    key_transform(spinner, LAST_FRAME, location=(0, -3, 1), rotation=(0, 0, 120), scale=(2, 0.5, 1.5))
    return scene


def build_rig(folder):
    scene = empty_scene()
    material = textured_material(ball_image(folder))

    armature_data = bpy.data.armatures.new("skeleton")
    armature = link(bpy.data.objects.new("Armature", armature_data))
    bpy.context.view_layer.objects.active = armature
    bpy.ops.object.mode_set(mode="EDIT")
    parent = None
    for index, name in enumerate(("hips", "spine", "chest")):
        bone = armature_data.edit_bones.new(name)
        bone.head = (0, 0, index * 1.0)
        bone.tail = (0, 0, index * 1.0 + 1.0)
        if parent is not None:
            bone.parent = parent
            bone.use_connect = True
        parent = bone
    bpy.ops.object.mode_set(mode="OBJECT")

    rings = 5
    segments = 6
    radius = 0.3

    def tube(geometry):
        verts = []
        for ring in range(rings):
            z = 3.0 * ring / (rings - 1)
            verts.append([geometry.verts.new((radius * math.cos(2 * math.pi * s / segments),
                                              radius * math.sin(2 * math.pi * s / segments), z))
                          for s in range(segments)])
        for ring in range(rings - 1):
            for s in range(segments):
                t = (s + 1) % segments
                geometry.faces.new((verts[ring][s], verts[ring][t], verts[ring + 1][t], verts[ring + 1][s]))
        geometry.faces.new(list(reversed(verts[0])))
        geometry.faces.new(verts[-1])

    body = mesh_object("body", tube)
    shade(body, True)
    body.data.materials.append(material)
    body.data.uv_layers.new(name="UVMap")
    for loop in body.data.loops:
        co = body.data.vertices[loop.vertex_index].co
        body.data.uv_layers[0].data[loop.index].uv = ((math.atan2(co.y, co.x) / (2 * math.pi)) % 1.0, co.z / 3.0)
    # Weights by height: each ring follows the bones around it, blended across the joints.
    groups = {name: body.vertex_groups.new(name=name) for name in ("hips", "spine", "chest")}
    for vertex in body.data.vertices:
        z = vertex.co.z
        for index, name in enumerate(("hips", "spine", "chest")):
            weight = max(0.0, 1.0 - abs(z - (index + 0.5)))
            if weight > 0.0:
                groups[name].add([vertex.index], weight, "REPLACE")
    body.parent = armature
    modifier = body.modifiers.new("Armature", "ARMATURE")
    modifier.object = armature

    torso = link(bpy.data.objects.new("tag_torso", None))
    torso.empty_display_type = "ARROWS"
    torso.parent = armature
    torso.parent_type = "BONE"
    torso.parent_bone = "spine"
    # Relative to the bone's tail; half a metre in front of the spine's middle.
    torso.location = (0, -0.5, -0.5)

    weapon = link(bpy.data.objects.new("tag_weapon", None))
    weapon.empty_display_type = "ARROWS"
    key_transform(weapon, 0, location=(1, 0, 1), rotation=(0, 0, 0))
    key_transform(weapon, LAST_FRAME, location=(1, 2, 1), rotation=(0, 0, 90))

    bpy.context.view_layer.objects.active = armature
    bpy.ops.object.mode_set(mode="POSE")
    poses = armature.pose.bones
    for frame, spine_bend, chest_turn in ((0, 0, 0), (LAST_FRAME // 2, 35, 20), (LAST_FRAME, -20, 60)):
        poses["spine"].rotation_mode = "XYZ"
        poses["spine"].rotation_euler = (math.radians(spine_bend), 0, 0)
        poses["spine"].keyframe_insert("rotation_euler", frame=frame)
        poses["chest"].rotation_mode = "XYZ"
        poses["chest"].rotation_euler = (0, math.radians(chest_turn), 0)
        poses["chest"].keyframe_insert("rotation_euler", frame=frame)
    bpy.ops.object.mode_set(mode="OBJECT")
    return scene


def build_card(folder):
    empty_scene()
    card = mesh_object("card", lambda g: bmesh.ops.create_grid(g, x_segments=1, y_segments=1, size=0.5,
                                                                calc_uvs=True))
    card.data.materials.append(textured_material(ball_image(folder)))


def evaluated(scene, frames):
    result = {"fps": scene.render.fps, "frames": {}}
    for frame in frames:
        scene.frame_set(frame)
        depsgraph = bpy.context.evaluated_depsgraph_get()
        objects = {}
        for obj in scene.objects:
            world = obj.matrix_world
            entry = {"type": obj.type, "matrix_world": [list(row) for row in world]}
            if obj.type == "MESH":
                evaluated_object = obj.evaluated_get(depsgraph)
                mesh = evaluated_object.to_mesh()
                mesh.calc_normals_split()
                world = evaluated_object.matrix_world
                turn = world.to_3x3().inverted().transposed()
                entry["vertices"] = [list(world @ v.co) for v in mesh.vertices]
                # Each corner as its vertex's number and its normal.
                entry["corners"] = [[loop.vertex_index] + list((turn @ loop.normal).normalized()) for loop in mesh.loops]
                evaluated_object.to_mesh_clear()
            objects[obj.name] = entry
        result["frames"][str(frame)] = objects
    scene.frame_set(0)
    return result


# Five decimals: far below the 1/64 an MD3 stores, and the files stay small.
def rounded(value):
    if isinstance(value, float):
        return round(value, 5)
    if isinstance(value, dict):
        return {key: rounded(item) for key, item in value.items()}
    if isinstance(value, list):
        return [rounded(item) for item in value]
    return value


def export_all(scene, folder, name, frames):
    base = os.path.join(folder, name)
    with open(base + ".json", "w") as out:
        json.dump(rounded(evaluated(scene, frames)), out, separators=(",", ":"))
    bpy.ops.export_scene.gltf(filepath=base + ".glb")
    bpy.ops.export_scene.fbx(filepath=base + ".fbx")
    try:
        bpy.ops.wm.collada_export(filepath=base + ".dae")
    except (AttributeError, RuntimeError) as failure:
        print("no COLLADA export: %s" % failure)


def main():
    folder, frames = arguments()
    os.makedirs(folder, exist_ok=True)
    export_all(build_shapes(folder), folder, "shapes", frames)
    scene = build_rig(folder)
    export_all(scene, folder, "rig", frames)
    build_card(folder)
    bpy.ops.export_scene.fbx(filepath=os.path.join(folder, "card_embedded.fbx"), path_mode="COPY",
                             embed_textures=True)


main()
