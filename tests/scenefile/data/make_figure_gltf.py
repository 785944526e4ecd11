#!/usr/bin/env python3
# Writes figure.gltf, the small animated test scene of the scene-file tests (run from this folder).
# Y-up, as glTF is: two top nodes, a skinned two-bone strip, animated tags, a morphing triangle, a
# node with two primitives, a nameless node and two animations.
import base64
import json
import math
import struct

blob = bytearray()
views = []
accessors = []

COMPONENT = {"f": 5126, "B": 5121, "H": 5123}
COUNT = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}


def add(kind, fmt, rows, with_bounds=False):
    while len(blob) % 4:
        blob.append(0)
    offset = len(blob)
    for row in rows:
        values = row if isinstance(row, (list, tuple)) else [row]
        assert len(values) == COUNT[kind]
        blob.extend(struct.pack("<%d%s" % (len(values), fmt), *values))
    views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(blob) - offset})
    accessor = {"bufferView": len(views) - 1, "componentType": COMPONENT[fmt], "count": len(rows), "type": kind}
    if with_bounds:
        columns = list(zip(*[r if isinstance(r, (list, tuple)) else [r] for r in rows]))
        accessor["min"] = [min(c) for c in columns]
        accessor["max"] = [max(c) for c in columns]
    accessors.append(accessor)
    return len(accessors) - 1


def quat(axis, degrees):
    half = math.radians(degrees) / 2
    s = math.sin(half)
    return [axis[0] * s, axis[1] * s, axis[2] * s, math.cos(half)]


def translation_matrix(x, y, z):
    # column-major, as glTF stores matrices
    return [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1]


# Skinned strip: rows at y = 1 (hips), 1.5 (half and half), 2 (chest).
body_positions = add("VEC3", "f", [[-0.5, 1, 0], [0.5, 1, 0], [-0.5, 1.5, 0], [0.5, 1.5, 0], [-0.5, 2, 0], [0.5, 2, 0]], True)
body_uvs = add("VEC2", "f", [[0, 0], [1, 0], [0, 0.5], [1, 0.5], [0, 1], [1, 1]])
body_joints = add("VEC4", "B", [[0, 1, 0, 0]] * 6)
body_weights = add("VEC4", "f", [[1, 0, 0, 0], [1, 0, 0, 0], [0.5, 0.5, 0, 0], [0.5, 0.5, 0, 0], [0, 1, 0, 0], [0, 1, 0, 0]])
body_indices = add("SCALAR", "H", [0, 1, 3, 0, 3, 2, 2, 3, 5, 2, 5, 4])
inverse_binds = add("MAT4", "f", [translation_matrix(0, -1, 0), translation_matrix(0, -2, 0)])

marker_positions = add("VEC3", "f", [[0, 0, 0], [0.1, 0, 0], [0, 0.1, 0]], True)
blob_positions = add("VEC3", "f", [[0, 0, 0], [1, 0, 0], [0, 1, 0]], True)
blob_target = add("VEC3", "f", [[0, 0, 0], [0, 0, 0], [0, 0, 1]], True)
spin_a = add("VEC3", "f", [[0, 0, 0], [1, 0, 0], [0, 0, -1]], True)
spin_b = add("VEC3", "f", [[0, 0, 0], [0, 0, -1], [-1, 0, 0]], True)
spin_b_uvs = add("VEC2", "f", [[0.25, 0.25], [0.75, 0.25], [0.25, 0.75]])

times_01 = add("SCALAR", "f", [0.0, 1.0])
times_0h1 = add("SCALAR", "f", [0.0, 0.5, 1.0])
times_02 = add("SCALAR", "f", [0.0, 2.0])
hips_walk = add("VEC3", "f", [[0, 1, 0], [0, 2, 0]])
chest_walk = add("VEC4", "f", [quat((0, 0, 1), 0), quat((0, 0, 1), 90)])
weapon_steps = add("VEC3", "f", [[1, 0, 0], [1, 0, 1], [1, 0, 2]])
weapon_turn = add("VEC4", "f", [quat((1, 0, 0), 0), quat((1, 0, 0), 90)])
spinner_turn = add("VEC4", "f", [quat((0, 1, 0), 0), quat((0, 1, 0), 120)])
blob_weights = add("SCALAR", "f", [0.0, 1.0])
hips_idle = add("VEC3", "f", [[0, 1, 0], [0, 1.5, 0]])
prop_idle = add("VEC3", "f", [[3, 0, 0], [3, 1, 0]])

# A 1x1 white PNG, embedded in the file as a data URI.
white_png = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8/5+hHgAHggJ/PchI7wAAAABJRU5ErkJggg==")


def channel(sampler, node, path):
    return {"sampler": sampler, "target": {"node": node, "path": path}}


def sampler(times, values, interpolation="LINEAR"):
    return {"input": times, "output": values, "interpolation": interpolation}


gltf = {
    "asset": {"version": "2.0", "generator": "make_figure_gltf.py"},
    "scene": 0,
    "scenes": [{"nodes": [0, 9]}],
    "nodes": [
        {"name": "figure", "children": [1, 4, 5, 6, 7, 8]},
        {"name": "hips", "translation": [0, 1, 0], "children": [2]},
        {"name": "chest", "translation": [0, 1, 0], "children": [3]},
        {"name": "tag_torso", "translation": [0, 0.5, 0]},
        {"name": "body", "mesh": 0, "skin": 0, "translation": [2, 0, 0]},
        {"name": "tag_weapon", "mesh": 1, "translation": [1, 0, 0]},
        {"name": "spinner", "mesh": 3, "translation": [0, 0, 2]},
        {"name": "blob", "mesh": 2, "translation": [-2, 0, 0]},
        {"translation": [0, 0, -1]},
        {"name": "prop", "mesh": 1, "translation": [3, 0, 0]},
    ],
    "skins": [{"joints": [1, 2], "inverseBindMatrices": inverse_binds, "skeleton": 1}],
    "meshes": [
        {"name": "body_mesh", "primitives": [{"attributes": {"POSITION": body_positions, "TEXCOORD_0": body_uvs,
                                                             "JOINTS_0": body_joints, "WEIGHTS_0": body_weights},
                                              "indices": body_indices, "material": 0}]},
        {"name": "marker", "primitives": [{"attributes": {"POSITION": marker_positions}}]},
        {"name": "blob_mesh", "weights": [0.0],
         "primitives": [{"attributes": {"POSITION": blob_positions}, "targets": [{"POSITION": blob_target}]}]},
        {"name": "spinner_mesh", "primitives": [{"attributes": {"POSITION": spin_a}, "material": 1},
                                                {"attributes": {"POSITION": spin_b, "TEXCOORD_0": spin_b_uvs},
                                                 "material": 2}]},
    ],
    "materials": [
        {"name": "skin", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
        {"name": "red", "pbrMetallicRoughness": {"baseColorFactor": [1, 0, 0, 1]}},
        {"name": "white", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}},
    ],
    "textures": [{"source": 0}, {"source": 1}],
    "images": [{"uri": "textures/skin.png"},
               {"uri": "data:image/png;base64," + base64.b64encode(white_png).decode()}],
    "animations": [
        {"name": "walk", "samplers": [sampler(times_01, hips_walk), sampler(times_01, chest_walk),
                                      sampler(times_0h1, weapon_steps, "STEP"), sampler(times_01, weapon_turn),
                                      sampler(times_01, spinner_turn), sampler(times_01, blob_weights)],
         "channels": [channel(0, 1, "translation"), channel(1, 2, "rotation"), channel(2, 5, "translation"),
                      channel(3, 5, "rotation"), channel(4, 6, "rotation"), channel(5, 7, "weights")]},
        {"name": "idle", "samplers": [sampler(times_02, hips_idle), sampler(times_02, prop_idle)],
         "channels": [channel(0, 1, "translation"), channel(1, 9, "translation")]},
    ],
}
gltf["buffers"] = [{"byteLength": len(blob),
                    "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(blob)).decode()}]
gltf["bufferViews"] = views
gltf["accessors"] = accessors

with open("figure.gltf", "w") as out:
    json.dump(gltf, out, indent=1)
    out.write("\n")
