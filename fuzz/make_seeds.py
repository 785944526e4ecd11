#!/usr/bin/env python3
"""Writes the small seed files of corpus/: MD3 and MD2 files laid out field by field, and glTF
documents (JSON and GLB) with animations for the scene loader.

Run from anywhere: python3 fuzz/make_seeds.py. The seeds are committed; rerun only to change them.
"""
import base64
import json
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

MD3_HEADER = 108
MD3_FRAME = 56
MD3_TAG = 112
MD3_SURFACE_HEADER = 108


def text(name, width):
    data = name.encode("latin-1")[:width]
    return data + b"\0" * (width - len(data))


def md3_surface(name, frames, vertex_count, triangles, shaders, layout):
    """One surface; layout 'shaders-first' (this project's writer) or 'triangles-first' (others)."""
    shader_block = b"".join(text(s, 64) + struct.pack("<i", i) for i, s in enumerate(shaders))
    triangle_block = b"".join(struct.pack("<3i", *t) for t in triangles)
    texcoord_block = b"".join(struct.pack("<2f", v / 4.0, 1.0 - v / 8.0) for v in range(vertex_count))
    vertex_block = b""
    for f in range(frames):
        for v in range(vertex_count):
            vertex_block += struct.pack("<3h2B", 64 * v, -32 * f, 16 * (v + f), (v * 37) & 255, (v * 91 + f) & 255)
    order = ["shaders", "triangles", "texcoords", "vertices"]
    if layout == "triangles-first":
        order = ["triangles", "shaders", "texcoords", "vertices"]
    blocks = {"shaders": shader_block, "triangles": triangle_block, "texcoords": texcoord_block, "vertices": vertex_block}
    offsets = {}
    at = MD3_SURFACE_HEADER
    for key in order:
        offsets[key] = at
        at += len(blocks[key])
    header = b"IDP3" + text(name, 68) + struct.pack(
        "<9i", frames, len(shaders), vertex_count, len(triangles),
        offsets["triangles"], offsets["shaders"], offsets["texcoords"], offsets["vertices"], at)
    return header + b"".join(blocks[key] for key in order)


def md3(frames, tag_names, surfaces, tag_name_fields=None):
    frame_block = b""
    for f in range(frames):
        frame_block += struct.pack("<10f", -1 - f, -2, -3, 1 + f, 2, 3, 0, 0, 0, 4 + f) + text("frame%d" % f, 16)
    tag_block = b""
    for f in range(frames):
        for t, name in enumerate(tag_names):
            field = tag_name_fields[t] if tag_name_fields else text(name, 64)
            tag_block += field + struct.pack("<12f", f, t, 0.5, 1, 0, 0, 0, 1, 0, 0, 0, 1)
    surface_block = b"".join(surfaces)
    frames_offset = MD3_HEADER
    tags_offset = frames_offset + len(frame_block)
    surfaces_offset = tags_offset + len(tag_block)
    end = surfaces_offset + len(surface_block)
    header = b"IDP3" + struct.pack("<i", 15) + text("models/seed.md3", 68) + struct.pack(
        "<8i", frames, len(tag_names), len(surfaces), 0, frames_offset, tags_offset, surfaces_offset, end)
    return header + frame_block + tag_block + surface_block


def md2(frames, vertices, texcoords, triangles, skins=1, gl_commands=2, skin=(64, 32)):
    """vertices: per frame, a list of (x, y, z, normal index) bytes."""
    vertex_count = len(vertices[0]) if vertices else 0
    frame_size = 40 + 4 * vertex_count
    skin_block = b"".join(text("models/seed/skin%d.pcx" % s, 64) for s in range(skins))
    texcoord_block = b"".join(struct.pack("<2h", s, t) for s, t in texcoords)
    triangle_block = b"".join(struct.pack("<6h", *t) for t in triangles)
    frame_block = b""
    for f in range(frames):
        frame_block += struct.pack("<6f", 0.5, 0.25, 2.0, f, -8.0, 3.0) + text("stand%d" % (f + 1), 16)
        frame_block += b"".join(struct.pack("<4B", *v) for v in vertices[f])
    gl_block = struct.pack("<%di" % gl_commands, *([0] * gl_commands))
    ofs_skins = 68
    ofs_texcoords = ofs_skins + len(skin_block)
    ofs_triangles = ofs_texcoords + len(texcoord_block)
    ofs_frames = ofs_triangles + len(triangle_block)
    ofs_gl = ofs_frames + len(frame_block)
    ofs_end = ofs_gl + len(gl_block)
    header = b"IDP2" + struct.pack(
        "<16i", 8, skin[0], skin[1], frame_size, skins, vertex_count, len(texcoords), len(triangles), gl_commands,
        frames, ofs_skins, ofs_texcoords, ofs_triangles, ofs_frames, ofs_gl, ofs_end)
    return header + skin_block + texcoord_block + triangle_block + frame_block + gl_block


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


class Gltf:
    """A glTF document over one buffer of little-endian numbers."""

    def __init__(self):
        self.blob = bytearray()
        self.doc = {"asset": {"version": "2.0", "generator": "make_seeds.py"}, "scene": 0,
                    "scenes": [{"nodes": []}], "nodes": [], "bufferViews": [], "accessors": []}

    def node(self, description, parent=None):
        nodes = self.doc["nodes"]
        nodes.append(description)
        index = len(nodes) - 1
        if parent is None:
            self.doc["scenes"][0]["nodes"].append(index)
        else:
            nodes[parent].setdefault("children", []).append(index)
        return index

    def accessor(self, kind, fmt, rows):
        width = {"SCALAR": 1, "VEC3": 3, "VEC4": 4, "MAT4": 16}[kind]
        while len(self.blob) % 4:
            self.blob.append(0)
        offset = len(self.blob)
        for row in rows:
            values = row if isinstance(row, (list, tuple)) else [row]
            assert len(values) == width
            self.blob.extend(struct.pack("<%d%s" % (width, fmt), *values))
        self.doc["bufferViews"].append({"buffer": 0, "byteOffset": offset, "byteLength": len(self.blob) - offset})
        component = {"f": 5126, "B": 5121}[fmt]
        self.doc["accessors"].append({"bufferView": len(self.doc["bufferViews"]) - 1, "componentType": component,
                                      "count": len(rows), "type": kind})
        return len(self.doc["accessors"]) - 1

    def animation(self, name, channels):
        """channels: (node, path, times, values, interpolation); values are rows of the path's width."""
        samplers, targets = [], []
        for node, path, times, values, interpolation in channels:
            kind = {"translation": "VEC3", "scale": "VEC3", "rotation": "VEC4", "weights": "SCALAR"}[path]
            samplers.append({"input": self.accessor("SCALAR", "f", times), "output": self.accessor(kind, "f", values),
                             "interpolation": interpolation})
            targets.append({"sampler": len(samplers) - 1, "target": {"node": node, "path": path}})
        self.doc.setdefault("animations", []).append({"name": name, "samplers": samplers, "channels": targets})

    def gltf(self):
        doc = dict(self.doc)
        doc["buffers"] = [{"byteLength": len(self.blob),
                           "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(self.blob)).decode()}]
        return json.dumps(doc, indent=1).encode()

    def glb(self):
        doc = dict(self.doc)
        doc["buffers"] = [{"byteLength": len(self.blob)}]
        text = json.dumps(doc).encode()
        text += b" " * (-len(text) % 4)
        binary = bytes(self.blob) + b"\0" * (-len(self.blob) % 4)
        chunks = struct.pack("<I4s", len(text), b"JSON") + text + struct.pack("<I4s", len(binary), b"BIN\0") + binary
        return b"glTF" + struct.pack("<II", 2, 12 + len(chunks)) + chunks


def turn(axis, degrees):
    half = math.radians(degrees) / 2
    return [axis[0] * math.sin(half), axis[1] * math.sin(half), axis[2] * math.sin(half), math.cos(half)]


def animated_figure():
    """Nodes named and nameless, a tag, a skinned and a morphing mesh, two animations over every
    path and interpolation."""
    g = Gltf()
    hips = g.node({"name": "hips", "translation": [0, 1, 0]})
    chest = g.node({"name": "chest", "translation": [0, 1, 0]}, hips)
    tag = g.node({"name": "tag_step", "translation": [1, 0, 0]}, chest)
    nameless = g.node({"translation": [0, 0, -1]}, hips)
    strip = g.accessor("VEC3", "f", [[-0.5, 1, 0], [0.5, 1, 0], [0, 2, 0]])
    joints = g.accessor("VEC4", "B", [[0, 0, 0, 0], [0, 0, 0, 0], [1, 0, 0, 0]])
    weights = g.accessor("VEC4", "f", [[1, 0, 0, 0]] * 3)
    binds = g.accessor("MAT4", "f", [[1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1],
                                     [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -2, 0, 1]])
    g.doc["skins"] = [{"joints": [hips, chest], "inverseBindMatrices": binds}]
    lift = g.accessor("VEC3", "f", [[0, 0, 0], [0, 0, 0], [0, 0, 1]])
    g.doc["meshes"] = [
        {"name": "strip", "primitives": [{"attributes": {"POSITION": strip, "JOINTS_0": joints, "WEIGHTS_0": weights}}]},
        {"name": "blob", "weights": [0], "primitives": [{"attributes": {"POSITION": strip}, "targets": [{"POSITION": lift}]}]},
    ]
    g.node({"name": "body", "mesh": 0, "skin": 0})
    blob = g.node({"name": "blob", "mesh": 1, "translation": [-2, 0, 0]})
    g.animation("walk", [
        (hips, "translation", [0, 1], [[0, 1, 0], [0, 2, 0]], "LINEAR"),
        (chest, "rotation", [0, 1], [turn((0, 0, 1), 0), turn((0, 0, 1), 90)], "LINEAR"),
        (tag, "translation", [0, 0.5, 1], [[1, 0, 0], [1, 0, 1], [1, 0, 2]], "STEP"),
        (nameless, "scale", [0, 1], [[1, 1, 1], [2, 2, 2]], "STEP"),
        (blob, "weights", [0, 1], [0, 1], "LINEAR"),
    ])
    # A cubic spline keeps an in-tangent, the value and an out-tangent per key.
    g.animation("idle", [
        (hips, "translation", [0, 2], [[0, 0, 0], [0, 1, 0], [0, 0, 0], [0, 0, 0], [0, 1.5, 0], [0, 0, 0]],
         "CUBICSPLINE"),
    ])
    return g


def odd_keys():
    """Keys sampling cannot use as they stand: times that are not numbers or out of order, values
    that are not numbers, a time past the host's clock."""
    g = Gltf()
    a = g.node({"name": "tag_a"})
    b = g.node({"name": "b"})
    c = g.node({"name": "c"})
    nan, inf = float("nan"), float("inf")
    g.animation("odd", [
        (a, "translation", [0, 1, nan], [[0, 0, 0], [1, 0, 0], [2, 0, 0]], "LINEAR"),
        (b, "rotation", [0, 2, 1, 3], [turn((0, 1, 0), d) for d in (0, 90, 45, 135)], "LINEAR"),
        (c, "scale", [0, 1, 2, 1e30], [[1, 1, 1], [nan, 1, 1], [inf, 2, 2], [3, 3, 3]], "LINEAR"),
    ])
    return g


def deep_and_crowded():
    """A chain of nodes 64 deep, and 16 siblings of one name."""
    g = Gltf()
    parent = None
    for i in range(64):
        parent = g.node({"name": "link_%d" % i, "translation": [0, 0.1, 0]}, parent)
    g.node({"name": "tag_end"}, parent)
    crowd = g.node({"name": "crowd"})
    for _ in range(16):
        g.node({"name": "n"}, crowd)
    g.animation("sway", [(0, "rotation", [0, 1], [turn((1, 0, 0), 0), turn((1, 0, 0), 10)], "LINEAR")])
    return g


def main():
    quad = [(0, 1, 2), (2, 3, 0)]
    write("md3", "empty.md3", md3(0, [], []))
    write("md3", "one_frame_shaders_first.md3",
          md3(1, ["tag_weapon"], [md3_surface("body", 1, 4, quad, ["textures/seed/body.tga"], "shaders-first")]))
    write("md3", "two_frames_triangles_first.md3",
          md3(2, ["tag_head", "tag_weapon"],
              [md3_surface("h_head", 2, 4, quad, ["textures/seed/head.tga"], "triangles-first"),
               md3_surface("u_torso", 2, 3, [(0, 1, 2)], ["a.tga", "b.tga"], "triangles-first")]))
    legacy = b"tag_torso_01unknown\0" + b"\0" * 44
    write("md3", "legacy_tag_name.md3",
          md3(1, ["legacy"], [md3_surface("s", 1, 3, [(0, 1, 2)], [], "shaders-first")], tag_name_fields=[legacy]))

    corners = [(0, 0, 0, 5), (255, 0, 0, 52), (255, 255, 0, 32), (0, 255, 255, 84)]
    texcoords = [(0, 0), (64, 0), (64, 32), (0, 32), (32, 16)]
    triangles = [(0, 1, 2, 0, 1, 2), (2, 3, 0, 2, 3, 4)]
    write("md2", "one_frame.md2", md2(1, [corners], texcoords, triangles))
    write("md2", "three_frames.md2", md2(3, [corners] * 3, texcoords, triangles, skins=0, gl_commands=0))
    write("md2", "bad_normal_index.md2", md2(2, [corners, [(1, 2, 3, 200)] * 4], texcoords[:4], triangles[:1]))
    write("md2", "no_vertices.md2", md2(0, [], [], [], skins=0, gl_commands=0))

    figure = animated_figure()
    write("gltf", "animated_figure.gltf", figure.gltf())
    write("gltf", "animated_figure.glb", figure.glb())
    write("gltf", "odd_keys.gltf", odd_keys().gltf())
    write("gltf", "deep_and_crowded.gltf", deep_and_crowded().gltf())
    # Inputs for the glTF target's other mode, which builds a scene in memory from its bytes: any
    # bytes serve, so these are fixed pseudo-random ones of a few sizes (the first byte chooses the
    # mode and must not open a document).
    for size in (64, 512, 4096):
        data = bytearray(random.Random(size).getrandbits(8) for _ in range(size))
        data[0] = 0x01
        write("gltf", "built_scene_%d.bin" % size, bytes(data))


if __name__ == "__main__":
    main()
