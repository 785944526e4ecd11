#!/usr/bin/env python3
# Writes the scene files of the mesh-fidelity tests (run from this folder). All are Y-up, as glTF is:
#   seamed_sphere.gltf  a UV sphere (10 rings x 16 segments, seam on one meridian, poles split per
#                       segment) with the file's normals and the same sphere without normals, both
#                       turned and squashed by their nodes, and a turned tag_torso
#   authored_normals.gltf  a box with one normal per side, a card whose normals lean 30 degrees,
#                       folds whose two sides meet at 0 to 90 degrees, a morph target that tilts
#                       normals, a triangle with normals that are not directions, and the same tag_torso
#   squash_spin.gltf, squash_spin.dae  a box on a node that turns 120 degrees about Y while its
#                       scale goes from (1, 1, 1) to (2, 0.5, 1.5) over one second
#   skinned_tube.gltf   a seamed tube with radial normals on two bones, the upper one turning and
#                       squashing, and a hinge whose halves meet at one place but follow different bones
import base64
import json
import math
import struct

COMPONENT = {"f": 5126, "B": 5121, "H": 5123}
COUNT = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}


class Gltf:
    def __init__(self):
        self.blob = bytearray()
        self.views = []
        self.accessors = []
        self.doc = {"asset": {"version": "2.0", "generator": "make_fidelity_files.py"}, "scene": 0,
                    "scenes": [{"nodes": []}], "nodes": [], "meshes": []}

    def add(self, kind, fmt, rows, bounds=False):
        while len(self.blob) % 4:
            self.blob.append(0)
        offset = len(self.blob)
        flat = []
        for row in rows:
            values = list(row) if isinstance(row, (list, tuple)) else [row]
            assert len(values) == COUNT[kind]
            flat.append(values)
            self.blob.extend(struct.pack("<%d%s" % (len(values), fmt), *values))
        self.views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(self.blob) - offset})
        accessor = {"bufferView": len(self.views) - 1, "componentType": COMPONENT[fmt], "count": len(rows),
                    "type": kind}
        # glTF wants bounds for positions and animation times
        if bounds or kind == "SCALAR":
            columns = list(zip(*flat))
            # glTF wants the bounds of what is stored: float32, not the Python doubles
            as_stored = lambda v: struct.unpack("<f", struct.pack("<f", v))[0] if fmt == "f" else v
            accessor["min"] = [as_stored(min(c)) for c in columns]
            accessor["max"] = [as_stored(max(c)) for c in columns]
        self.accessors.append(accessor)
        return len(self.accessors) - 1

    def mesh(self, name, positions, triangles, normals=None, uvs=None, extra=None, targets=None, weights=None):
        attributes = {"POSITION": self.add("VEC3", "f", positions, bounds=True)}
        if normals is not None:
            attributes["NORMAL"] = self.add("VEC3", "f", normals)
        if uvs is not None:
            attributes["TEXCOORD_0"] = self.add("VEC2", "f", uvs)
        attributes.update(extra or {})
        primitive = {"attributes": attributes, "indices": self.add("SCALAR", "H", [i for t in triangles for i in t])}
        mesh = {"name": name, "primitives": [primitive]}
        if targets:
            primitive["targets"] = [{k: self.add("VEC3", "f", v, bounds=k == "POSITION") for k, v in t.items()}
                                    for t in targets]
            mesh["weights"] = weights
        self.doc["meshes"].append(mesh)
        return len(self.doc["meshes"]) - 1

    def node(self, properties, top=True):
        self.doc["nodes"].append(properties)
        index = len(self.doc["nodes"]) - 1
        if top:
            self.doc["scenes"][0]["nodes"].append(index)
        return index

    def write(self, path):
        self.doc["buffers"] = [{"byteLength": len(self.blob), "uri": "data:application/octet-stream;base64," +
                                base64.b64encode(bytes(self.blob)).decode()}]
        self.doc["bufferViews"] = self.views
        self.doc["accessors"] = self.accessors
        with open(path, "w") as out:
            json.dump(self.doc, out, indent=1)
            out.write("\n")


def quat(axis, degrees):
    half = math.radians(degrees) / 2
    s = math.sin(half)
    return [axis[0] * s, axis[1] * s, axis[2] * s, math.cos(half)]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def check_outward(positions, triangles, outward):
    # Front faces wind counter-clockwise: every face's normal points away from the solid.
    for t in triangles:
        a, b, c = (positions[i] for i in t)
        centre = tuple((x + y + z) / 3 for x, y, z in zip(a, b, c))
        assert dot(cross(sub(b, a), sub(c, a)), outward(centre)) > 0, t


TAG_TORSO = {"name": "tag_torso", "translation": [0.5, 1, 0], "rotation": quat((1, 0, 0), 90)}


# The sphere: vertex (ring r, segment s) at polar angle pi r / R from +Y and azimuth 2 pi s / S,
# computed as a script does, so the seam's copies differ by rounding (sin(2 pi) is not 0).
RINGS, SEGMENTS = 10, 16


def sphere_mesh(gltf, name, with_normals):
    positions, uvs = [], []
    for r in range(RINGS + 1):
        for s in range(SEGMENTS + 1):
            theta, phi = math.pi * r / RINGS, 2 * math.pi * s / SEGMENTS
            positions.append((math.sin(theta) * math.cos(phi), math.cos(theta), -math.sin(theta) * math.sin(phi)))
            uvs.append((s / SEGMENTS, r / RINGS))
    at = lambda r, s: r * (SEGMENTS + 1) + s
    triangles = []
    for r in range(RINGS):
        for s in range(SEGMENTS):
            if r > 0:
                triangles.append((at(r, s), at(r + 1, s), at(r, s + 1)))
            if r < RINGS - 1:
                triangles.append((at(r, s + 1), at(r + 1, s), at(r + 1, s + 1)))
    check_outward(positions, triangles, lambda c: c)
    return gltf.mesh(name, positions, triangles, normals=positions if with_normals else None, uvs=uvs)


def seamed_sphere():
    gltf = Gltf()
    turn = quat((0, 0, 1), 30)
    gltf.node({"name": "smooth_sphere", "mesh": sphere_mesh(gltf, "smooth", True), "translation": [-2, 0, 0],
               "rotation": turn, "scale": [1, 2, 0.5]})
    gltf.node({"name": "plain_sphere", "mesh": sphere_mesh(gltf, "plain", False), "translation": [2, 0, 0],
               "rotation": turn, "scale": [1, 2, 0.5]})
    gltf.node(dict(TAG_TORSO))
    gltf.write("seamed_sphere.gltf")


def box_mesh(gltf):
    positions, normals, uvs, triangles = [], [], [], []
    for axis in range(3):
        for sign in (1, -1):
            n = [0, 0, 0]
            n[axis] = sign
            u = [0, 0, 0]
            u[(axis + 1) % 3] = 1
            v = list(cross(n, u))
            base = len(positions)
            for a, b in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                positions.append(tuple(n[i] + a * u[i] + b * v[i] for i in range(3)))
                normals.append(tuple(n))
                uvs.append(((a + 1) / 2, (b + 1) / 2))
            triangles += [(base, base + 1, base + 2), (base, base + 2, base + 3)]
    check_outward(positions, triangles, lambda c: c)
    return gltf.mesh("box", positions, triangles, normals=normals, uvs=uvs)


# Card normals lean 30 degrees from +Y toward +X.
LEAN = (math.sin(math.radians(30)), math.cos(math.radians(30)), 0.0)
FOLD_DEGREES = [0, 0.05, 1, 10, 90]


def fold_mesh(gltf, degrees):
    # Two triangles on the edge from (0, 0, 0) to (0, 0, 1), each with its own copies of the edge's
    # vertices (their texture coordinates differ): the left one flat, the right one turned up by
    # `degrees` about the edge, so the copies' normals differ by that angle.
    a = math.radians(degrees)
    right = (-math.sin(a), math.cos(a), 0.0)
    positions = [(0, 0, 0), (-1, 0, 0.5), (0, 0, 1), (0, 0, 0), (0, 0, 1), (math.cos(a), math.sin(a), 0.5)]
    normals = [(0, 1, 0)] * 3 + [right] * 3
    uvs = [(0.5, 0), (0, 0.5), (0.5, 1), (0.6, 0), (0.6, 1), (1, 0.5)]
    return gltf.mesh("fold", positions, [(0, 1, 2), (3, 4, 5)], normals=normals, uvs=uvs)


def authored_normals():
    gltf = Gltf()
    gltf.node({"name": "box", "mesh": box_mesh(gltf), "translation": [4, 0, 0], "rotation": quat((0, 1, 0), 20)})
    card = [(x, 0, z) for z in range(3) for x in range(3)]
    at = lambda x, z: z * 3 + x
    card_triangles = []
    for z in range(2):
        for x in range(2):
            card_triangles += [(at(x, z), at(x, z + 1), at(x + 1, z)), (at(x + 1, z), at(x, z + 1), at(x + 1, z + 1))]
    card_mesh = gltf.mesh("card", card, card_triangles, normals=[LEAN] * 9, uvs=[(p[0] / 2, p[2] / 2) for p in card])
    gltf.node({"name": "card", "mesh": card_mesh, "translation": [0, 0, 3], "rotation": quat((0, 1, 0), 45)})
    for degrees in FOLD_DEGREES:
        gltf.node({"name": "fold_" + str(degrees).replace(".", "_"), "mesh": fold_mesh(gltf, degrees),
                   "translation": [0, 0, -3]})
    # The bend: a quad facing up (vertices 0 to 3) with two more vertices at the places of 0 and 3
    # but other texture coordinates; its one target tilts every normal 45 degrees toward +X and
    # lifts vertex 3 by 1 and vertex 5 by 0.5.
    up, tilted = (0, 1, 0), (math.sqrt(0.5), math.sqrt(0.5), 0)
    tilt = sub(tilted, up)
    bend_positions = [(0, 0, 0), (1, 0, 0), (0, 0, 1), (1, 0, 1), (0, 0, 0), (1, 0, 1)]
    bend_mesh = gltf.mesh("bend", bend_positions, [(0, 2, 1), (1, 2, 3), (4, 2, 5)], normals=[up] * 6,
                          uvs=[(0, 0), (1, 0), (0, 1), (1, 1), (0.5, 0.5), (0.25, 0.75)],
                          targets=[{"POSITION": [(0, 0, 0)] * 3 + [(0, 1, 0), (0, 0, 0), (0, 0.5, 0)],
                                    "NORMAL": [tilt] * 6}],
                          weights=[0.0])
    bend = gltf.node({"name": "bend", "mesh": bend_mesh, "translation": [-4, 0, 0]})
    # A triangle facing up whose file normals are not all directions: a zero one, one that is not a
    # number, and a good one.
    broken = gltf.mesh("broken", [(0, 0, 0), (0, 0, 1), (1, 0, 0)], [(0, 1, 2)],
                       normals=[(0, 0, 0), (float("nan"), 0, 0), (0, 1, 0)])
    gltf.node({"name": "broken", "mesh": broken, "translation": [-4, 0, 3]})
    gltf.node(dict(TAG_TORSO))
    times = gltf.add("SCALAR", "f", [0.0, 1.0])
    weights = gltf.add("SCALAR", "f", [0.0, 1.0])
    gltf.doc["animations"] = [{"name": "bend", "samplers": [{"input": times, "output": weights}],
                               "channels": [{"sampler": 0, "target": {"node": bend, "path": "weights"}}]}]
    gltf.write("authored_normals.gltf")


# The squashed, spinning box: corners of (-0.5, -0.25, -0.75) to (0.5, 0.25, 0.75), each once.
SQUASH_CORNERS = [(x, y, z) for x in (-0.5, 0.5) for y in (-0.25, 0.25) for z in (-0.75, 0.75)]
SQUASH_TRIANGLES = [(0, 1, 3), (0, 3, 2), (4, 6, 7), (4, 7, 5), (0, 4, 5), (0, 5, 1),
                    (2, 3, 7), (2, 7, 6), (0, 2, 6), (0, 6, 4), (1, 5, 7), (1, 7, 3)]
SQUASH_TRANSLATION = (1, 0.5, 0)
SQUASH_TURN_DEGREES = 120
SQUASH_SCALE_END = (2, 0.5, 1.5)


def squash_spin_gltf():
    check_outward(SQUASH_CORNERS, SQUASH_TRIANGLES, lambda c: c)
    gltf = Gltf()
    box = gltf.mesh("squash_box", SQUASH_CORNERS, SQUASH_TRIANGLES,
                    uvs=[(0.5 + x, 0.5 + z / 1.5) for x, y, z in SQUASH_CORNERS])
    node = gltf.node({"name": "squash", "mesh": box, "translation": list(SQUASH_TRANSLATION)})
    times = gltf.add("SCALAR", "f", [0.0, 1.0])
    turns = gltf.add("VEC4", "f", [quat((0, 1, 0), 0), quat((0, 1, 0), SQUASH_TURN_DEGREES)])
    scales = gltf.add("VEC3", "f", [(1, 1, 1), SQUASH_SCALE_END])
    gltf.doc["animations"] = [{"name": "squash", "samplers": [{"input": times, "output": turns},
                                                              {"input": times, "output": scales}],
                               "channels": [{"sampler": 0, "target": {"node": node, "path": "rotation"}},
                                            {"sampler": 1, "target": {"node": node, "path": "scale"}}]}]
    gltf.write("squash_spin.gltf")


def squash_spin_dae():
    floats = lambda values: " ".join("%g" % v for v in values)
    positions = floats([c for p in SQUASH_CORNERS for c in p])
    indices = " ".join(str(i) for t in SQUASH_TRIANGLES for i in t)
    xyz = '<param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>'
    text = f"""<?xml version="1.0" encoding="utf-8"?>
<!-- Written by make_fidelity_files.py: a box on a node that turns 120 degrees about Y while its scale
     goes from (1, 1, 1) to (2, 0.5, 1.5) over one second. -->
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset>
    <unit name="meter" meter="1"/>
    <up_axis>Y_UP</up_axis>
  </asset>
  <library_geometries>
    <geometry id="squash_box" name="squash_box">
      <mesh>
        <source id="squash_box-positions">
          <float_array id="squash_box-positions-array" count="{3 * len(SQUASH_CORNERS)}">{positions}</float_array>
          <technique_common>
            <accessor source="#squash_box-positions-array" count="{len(SQUASH_CORNERS)}" stride="3">{xyz}</accessor>
          </technique_common>
        </source>
        <vertices id="squash_box-vertices">
          <input semantic="POSITION" source="#squash_box-positions"/>
        </vertices>
        <triangles count="{len(SQUASH_TRIANGLES)}">
          <input semantic="VERTEX" source="#squash_box-vertices" offset="0"/>
          <p>{indices}</p>
        </triangles>
      </mesh>
    </geometry>
  </library_geometries>
  <library_animations>
    <animation id="squash-turn">
      <source id="squash-turn-input">
        <float_array id="squash-turn-input-array" count="2">0 1</float_array>
        <technique_common>
          <accessor source="#squash-turn-input-array" count="2" stride="1"><param name="TIME" type="float"/></accessor>
        </technique_common>
      </source>
      <source id="squash-turn-output">
        <float_array id="squash-turn-output-array" count="2">0 {SQUASH_TURN_DEGREES}</float_array>
        <technique_common>
          <accessor source="#squash-turn-output-array" count="2" stride="1"><param name="ANGLE" type="float"/></accessor>
        </technique_common>
      </source>
      <source id="squash-turn-interpolation">
        <Name_array id="squash-turn-interpolation-array" count="2">LINEAR LINEAR</Name_array>
        <technique_common>
          <accessor source="#squash-turn-interpolation-array" count="2" stride="1"><param name="INTERPOLATION" type="name"/></accessor>
        </technique_common>
      </source>
      <sampler id="squash-turn-sampler">
        <input semantic="INPUT" source="#squash-turn-input"/>
        <input semantic="OUTPUT" source="#squash-turn-output"/>
        <input semantic="INTERPOLATION" source="#squash-turn-interpolation"/>
      </sampler>
      <channel source="#squash-turn-sampler" target="squash/rotationY.ANGLE"/>
    </animation>
    <animation id="squash-scale">
      <source id="squash-scale-input">
        <float_array id="squash-scale-input-array" count="2">0 1</float_array>
        <technique_common>
          <accessor source="#squash-scale-input-array" count="2" stride="1"><param name="TIME" type="float"/></accessor>
        </technique_common>
      </source>
      <source id="squash-scale-output">
        <float_array id="squash-scale-output-array" count="6">1 1 1 {floats(SQUASH_SCALE_END)}</float_array>
        <technique_common>
          <accessor source="#squash-scale-output-array" count="2" stride="3">{xyz}</accessor>
        </technique_common>
      </source>
      <source id="squash-scale-interpolation">
        <Name_array id="squash-scale-interpolation-array" count="2">LINEAR LINEAR</Name_array>
        <technique_common>
          <accessor source="#squash-scale-interpolation-array" count="2" stride="1"><param name="INTERPOLATION" type="name"/></accessor>
        </technique_common>
      </source>
      <sampler id="squash-scale-sampler">
        <input semantic="INPUT" source="#squash-scale-input"/>
        <input semantic="OUTPUT" source="#squash-scale-output"/>
        <input semantic="INTERPOLATION" source="#squash-scale-interpolation"/>
      </sampler>
      <channel source="#squash-scale-sampler" target="squash/scale"/>
    </animation>
  </library_animations>
  <library_visual_scenes>
    <visual_scene id="stage" name="stage">
      <node id="squash" name="squash" sid="squash">
        <translate sid="location">{floats(SQUASH_TRANSLATION)}</translate>
        <rotate sid="rotationY">0 1 0 0</rotate>
        <scale sid="scale">1 1 1</scale>
        <instance_geometry url="#squash_box"/>
      </node>
    </visual_scene>
  </library_visual_scenes>
  <scene>
    <instance_visual_scene url="#stage"/>
  </scene>
</COLLADA>
"""
    with open("squash_spin.dae", "w") as out:
        out.write(text)


# The tube: rings at y = 0, 1 and 2 of radius 0.5, 8 segments with the seam's column twice, normals
# pointing out from the axis. Ring 0 follows the root bone, ring 2 the upper bone (at y = 1), ring 1
# both equally. The upper bone turns 90 degrees about Z and its scale goes to (1.5, 1, 0.5) in one second.
TUBE_SEGMENTS = 8
UPPER_TURN_DEGREES = 90
UPPER_SCALE_END = (1.5, 1, 0.5)


def translation_matrix(x, y, z):
    return [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1]  # column-major, as glTF stores matrices


def skinned_tube():
    gltf = Gltf()
    positions, normals, uvs, joints, weights = [], [], [], [], []
    for ring in range(3):
        for s in range(TUBE_SEGMENTS + 1):
            phi = 2 * math.pi * s / TUBE_SEGMENTS
            normal = (math.cos(phi), 0.0, -math.sin(phi))
            positions.append((0.5 * normal[0], float(ring), 0.5 * normal[2]))
            normals.append(normal)
            uvs.append((s / TUBE_SEGMENTS, ring / 2))
            joints.append((0, 1, 0, 0))
            weights.append(((1, 0, 0, 0), (0.5, 0.5, 0, 0), (0, 1, 0, 0))[ring])
    at = lambda ring, s: ring * (TUBE_SEGMENTS + 1) + s
    triangles = []
    for ring in range(2):
        for s in range(TUBE_SEGMENTS):
            triangles += [(at(ring, s), at(ring, s + 1), at(ring + 1, s)),
                          (at(ring, s + 1), at(ring + 1, s + 1), at(ring + 1, s))]
    check_outward(positions, triangles, lambda c: (c[0], 0, c[2]))
    skin_attributes = lambda j, w: {"JOINTS_0": gltf.add("VEC4", "B", j), "WEIGHTS_0": gltf.add("VEC4", "f", w)}
    tube = gltf.mesh("tube", positions, triangles, normals=normals, uvs=uvs, extra=skin_attributes(joints, weights))
    # The hinge: two quads facing +Z at z = 1, the lower one on the root bone, the upper one on the
    # upper bone; where they meet (y = 1) each has its own vertices, alike but for the bone.
    hinge_positions = [(-0.5, 0, 1), (0.5, 0, 1), (-0.5, 1, 1), (0.5, 1, 1),
                       (-0.5, 1, 1), (0.5, 1, 1), (-0.5, 2, 1), (0.5, 2, 1)]
    hinge_triangles = [(0, 1, 2), (2, 1, 3), (4, 5, 6), (6, 5, 7)]
    check_outward(hinge_positions, hinge_triangles, lambda c: (0, 0, 1))
    hinge = gltf.mesh("hinge", hinge_positions, hinge_triangles, normals=[(0, 0, 1)] * 8,
                      uvs=[(0, 0), (1, 0), (0, 0.4), (1, 0.4), (0, 0.6), (1, 0.6), (0, 1), (1, 1)],
                      extra=skin_attributes([(0, 1, 0, 0)] * 8, [(1, 0, 0, 0)] * 4 + [(0, 1, 0, 0)] * 4))
    root = gltf.node({"name": "root", "children": []})
    upper = gltf.node({"name": "upper", "translation": [0, 1, 0]}, top=False)
    gltf.doc["nodes"][root]["children"].append(upper)
    inverse_binds = gltf.add("MAT4", "f", [translation_matrix(0, 0, 0), translation_matrix(0, -1, 0)])
    gltf.doc["skins"] = [{"joints": [root, upper], "inverseBindMatrices": inverse_binds, "skeleton": root}]
    # The mesh nodes stand aside: a skinned mesh ignores its node's transform.
    gltf.node({"name": "tube", "mesh": tube, "skin": 0, "translation": [3, 0, 0]})
    gltf.node({"name": "hinge", "mesh": hinge, "skin": 0, "translation": [3, 0, 0]})
    times = gltf.add("SCALAR", "f", [0.0, 1.0])
    turns = gltf.add("VEC4", "f", [quat((0, 0, 1), 0), quat((0, 0, 1), UPPER_TURN_DEGREES)])
    scales = gltf.add("VEC3", "f", [(1, 1, 1), UPPER_SCALE_END])
    gltf.doc["animations"] = [{"name": "bend", "samplers": [{"input": times, "output": turns},
                                                            {"input": times, "output": scales}],
                               "channels": [{"sampler": 0, "target": {"node": upper, "path": "rotation"}},
                                            {"sampler": 1, "target": {"node": upper, "path": "scale"}}]}]
    gltf.write("skinned_tube.gltf")


seamed_sphere()
authored_normals()
squash_spin_gltf()
squash_spin_dae()
skinned_tube()
