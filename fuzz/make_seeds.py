#!/usr/bin/env python3
"""Writes the small MD3 and MD2 seed files of corpus/md3 and corpus/md2, laid out field by field.

Run from anywhere: python3 fuzz/make_seeds.py. The seeds are committed; rerun only to change them.
"""
import os
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


if __name__ == "__main__":
    main()
