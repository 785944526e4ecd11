#!/usr/bin/env python3
# Compares an MD3 exported from one of make_blender_scenes.py's files with Blender's own evaluated
# values (the JSON it wrote), frame by frame: every tag's origin and axes, every surface's vertex
# positions (each MD3 vertex to the nearest of Blender's, and each of Blender's to the nearest MD3
# vertex) and its vertex normals (the angle to the nearest corner normal Blender gives at that
# place). Export world positions, every frame, for example:
#   plughost export rig.fbx /tmp/rig.md3 --from 0 --to 39 --no-relative
#   compare_with_blender.py /tmp/rig.md3 rig.json
# MD3 frame N is compared with Blender's frame N; positions are in the file's units after the
# loader's unit conversion (metres for these files). Prints one line per frame and object with the
# largest errors, and the largest of all at the end.
import json
import math
import struct
import sys


def read_md3(path):
    data = open(path, "rb").read()
    if data[:4] != b"IDP3":
        sys.exit("%s is not an MD3 file" % path)
    frames, tags, surfaces = struct.unpack_from("<3i", data, 76)
    tags_at, surfaces_at = struct.unpack_from("<2i", data, 96)
    model = {"tags": [], "surfaces": []}
    for f in range(frames):
        frame = {}
        for t in range(tags):
            at = tags_at + (f * tags + t) * 112
            name = data[at:at + 64].split(b"\0")[0].decode("latin-1")
            values = struct.unpack_from("<12f", data, at + 64)
            frame[name] = {"origin": values[0:3], "axes": [values[3:6], values[6:9], values[9:12]]}
        model["tags"].append(frame)
    at = surfaces_at
    for _ in range(surfaces):
        name = data[at + 4:at + 68].split(b"\0")[0].decode("latin-1")
        surface_frames, shaders, vertex_count = struct.unpack_from("<3i", data, at + 72)
        vertices_at, end = struct.unpack_from("<2i", data, at + 100)
        shader = data[at + 108:at + 176].split(b"\0")[0].decode("latin-1") if shaders else None
        frames_of = []
        for f in range(surface_frames):
            vertices = []
            for v in range(vertex_count):
                x, y, z, polar, azimuth = struct.unpack_from("<3h2B", data, at + vertices_at + (f * vertex_count + v) * 8)
                p = polar * 2 * math.pi / 256
                a = azimuth * 2 * math.pi / 256
                normal = (math.cos(a) * math.sin(p), math.sin(a) * math.sin(p), math.cos(p))
                vertices.append(((x / 64, y / 64, z / 64), normal))
            frames_of.append(vertices)
        model["surfaces"].append({"name": name, "shader": shader, "frames": frames_of})
        at += end
    return model


# The largest difference of one coordinate: an MD3 stores each one truncated to 1/64.
def distance(a, b):
    return max(abs(x - y) for x, y in zip(a, b))


def angle(a, b):
    dot = sum(x * y for x, y in zip(a, b))
    return math.degrees(math.acos(max(-1.0, min(1.0, dot))))


def compare(md3, truth):
    worst = {"tag origin": 0.0, "tag axes": 0.0, "position": 0.0, "coverage": 0.0, "normal degrees": 0.0}
    for frame_text, objects in sorted(truth["frames"].items(), key=lambda item: int(item[0])):
        frame = int(frame_text)
        if frame >= len(md3["tags"]) and frame >= max((len(s["frames"]) for s in md3["surfaces"]), default=0):
            print("frame %d: not in the MD3" % frame)
            continue
        for name, tag in (md3["tags"][frame] if frame < len(md3["tags"]) else {}).items():
            if name not in objects:
                print("frame %d: tag %s is not in Blender's scene" % (frame, name))
                continue
            world = objects[name]["matrix_world"]
            origin_error = distance(tag["origin"], [world[i][3] for i in range(3)])
            axes_error = max(abs(tag["axes"][axis][i] - world[i][axis]) for axis in range(3) for i in range(3))
            worst["tag origin"] = max(worst["tag origin"], origin_error)
            worst["tag axes"] = max(worst["tag axes"], axes_error)
            print("frame %2d tag %-12s origin %.5f  axes %.6f" % (frame, name, origin_error, axes_error))
        for surface in md3["surfaces"]:
            source = objects.get(surface["name"])
            if source is None or "vertices" not in source:
                print("frame %d: surface %s is not a mesh in Blender's scene" % (frame, surface["name"]))
                continue
            vertices = surface["frames"][frame]
            position_error = max(min(distance(p, q) for q in source["vertices"]) for p, _ in vertices)
            coverage_error = max(min(distance(q, p) for p, _ in vertices) for q in source["vertices"])
            normal_error = 0.0
            for p, n in vertices:
                near = [c[1:4] for c in source["corners"] if distance(source["vertices"][c[0]], p) < 2.0 / 64]
                if near:
                    normal_error = max(normal_error, min(angle(n, c) for c in near))
            worst["position"] = max(worst["position"], position_error)
            worst["coverage"] = max(worst["coverage"], coverage_error)
            worst["normal degrees"] = max(worst["normal degrees"], normal_error)
            print("frame %2d surface %-10s position %.5f  coverage %.5f  normal %.2f deg  shader %s" %
                  (frame, surface["name"], position_error, coverage_error, normal_error, surface["shader"]))
    print("largest: " + ", ".join("%s %.6f" % item for item in worst.items()))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: compare_with_blender.py EXPORTED.md3 BLENDER.json")
    compare(read_md3(sys.argv[1]), json.load(open(sys.argv[2])))


main()
