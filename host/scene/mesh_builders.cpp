// Box, cylinder, sphere and tag-marker meshes.
#include "mesh_builders.h"

#include <cmath>
#include <vector>

namespace host {

namespace {
constexpr float kPi = 3.14159265358979f;

void setFace(Mesh& mesh, int face, int a, int b, int c) {
    mesh.faces[face].setVerts(a, b, c);
    mesh.faces[face].setEdgeVisFlags(1, 1, 1);
}
}  // namespace

Mesh makeBox(const Point3& lo, const Point3& hi) {
    Mesh mesh;
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) {
        mesh.verts[i] = Point3((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
    }
    mesh.setNumTVerts(4);
    mesh.tVerts[0] = UVVert(0.0f, 0.0f, 0.0f);
    mesh.tVerts[1] = UVVert(1.0f, 0.0f, 0.0f);
    mesh.tVerts[2] = UVVert(1.0f, 1.0f, 0.0f);
    mesh.tVerts[3] = UVVert(0.0f, 1.0f, 0.0f);
    // Each side as a quad of corners, counter-clockwise seen from outside.
    const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    mesh.setNumFaces(12);
    mesh.setNumTVFaces(12);
    for (int s = 0; s < 6; ++s) {
        const int* q = sides[s];
        const int face = 2 * s;
        setFace(mesh, face, q[0], q[1], q[2]);
        setFace(mesh, face + 1, q[0], q[2], q[3]);
        mesh.tvFace[face].setTVerts(0, 1, 2);
        mesh.tvFace[face + 1].setTVerts(0, 2, 3);
    }
    mesh.buildNormals();
    return mesh;
}

Mesh makeCylinder(const Point3& base, float radius, float height, int segments, int rings,
                  const std::function<Point3(const Point3&)>& deform) {
    Mesh mesh;
    const int ringVerts = segments;
    const int sideVerts = ringVerts * (rings + 1);
    mesh.setNumVerts(sideVerts + 2);
    for (int r = 0; r <= rings; ++r) {
        const float z = height * static_cast<float>(r) / static_cast<float>(rings);
        for (int s = 0; s < segments; ++s) {
            const float angle = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(segments);
            Point3 p(base.x + radius * std::cos(angle), base.y + radius * std::sin(angle), base.z + z);
            mesh.verts[r * ringVerts + s] = deform ? deform(p) : p;
        }
    }
    const Point3 bottom = base;
    const Point3 top(base.x, base.y, base.z + height);
    mesh.verts[sideVerts] = deform ? deform(bottom) : bottom;
    mesh.verts[sideVerts + 1] = deform ? deform(top) : top;

    // Texture grid: one more column than vertices, so the seam gets u = 1 on its far side.
    const int columns = segments + 1;
    mesh.setNumTVerts(columns * (rings + 1) + 1);
    for (int r = 0; r <= rings; ++r) {
        for (int c = 0; c < columns; ++c) {
            mesh.tVerts[r * columns + c] = UVVert(static_cast<float>(c) / static_cast<float>(segments),
                                                  static_cast<float>(r) / static_cast<float>(rings), 0.0f);
        }
    }
    const int capTexture = columns * (rings + 1);
    mesh.tVerts[capTexture] = UVVert(0.5f, 0.5f, 0.0f);

    const int faceCount = 2 * segments * rings + 2 * segments;
    mesh.setNumFaces(faceCount);
    mesh.setNumTVFaces(faceCount);
    int f = 0;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const int s1 = (s + 1) % segments;
            const int a = r * ringVerts + s, b = r * ringVerts + s1;
            const int c = (r + 1) * ringVerts + s1, d = (r + 1) * ringVerts + s;
            const int ta = r * columns + s, tb = r * columns + s + 1;
            const int tc = (r + 1) * columns + s + 1, td = (r + 1) * columns + s;
            setFace(mesh, f, a, b, c);
            mesh.tvFace[f++].setTVerts(ta, tb, tc);
            setFace(mesh, f, a, c, d);
            mesh.tvFace[f++].setTVerts(ta, tc, td);
        }
    }
    for (int s = 0; s < segments; ++s) {
        const int s1 = (s + 1) % segments;
        setFace(mesh, f, sideVerts, s1, s);
        mesh.tvFace[f++].setTVerts(capTexture, s + 1, s);
        setFace(mesh, f, sideVerts + 1, rings * ringVerts + s, rings * ringVerts + s1);
        mesh.tvFace[f++].setTVerts(capTexture, rings * columns + s, rings * columns + s + 1);
    }
    mesh.buildNormals();
    return mesh;
}

Mesh makeSphere(const Point3& centre, float radius, int segments, int rings) {
    Mesh mesh;
    // Poles are single vertices; each inner ring has `segments` vertices.
    const int inner = rings - 1;
    mesh.setNumVerts(inner * segments + 2);
    const int south = inner * segments;
    const int north = south + 1;
    for (int r = 1; r < rings; ++r) {
        const float polar = kPi * static_cast<float>(r) / static_cast<float>(rings);
        for (int s = 0; s < segments; ++s) {
            const float azimuth = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(segments);
            mesh.verts[(r - 1) * segments + s] =
                Point3(centre.x + radius * std::sin(polar) * std::cos(azimuth),
                       centre.y + radius * std::sin(polar) * std::sin(azimuth), centre.z - radius * std::cos(polar));
        }
    }
    mesh.verts[south] = Point3(centre.x, centre.y, centre.z - radius);
    mesh.verts[north] = Point3(centre.x, centre.y, centre.z + radius);

    const int columns = segments + 1;
    mesh.setNumTVerts(columns * (rings + 1));
    for (int r = 0; r <= rings; ++r) {
        for (int c = 0; c < columns; ++c) {
            mesh.tVerts[r * columns + c] = UVVert(static_cast<float>(c) / static_cast<float>(segments),
                                                  static_cast<float>(r) / static_cast<float>(rings), 0.0f);
        }
    }
    const int faceCount = 2 * segments * (rings - 1);
    mesh.setNumFaces(faceCount);
    mesh.setNumTVFaces(faceCount);
    int f = 0;
    for (int s = 0; s < segments; ++s) {
        const int s1 = (s + 1) % segments;
        setFace(mesh, f, south, s1, s);
        mesh.tvFace[f++].setTVerts(s, columns + s + 1, columns + s);
        const int top = (inner - 1) * segments;
        setFace(mesh, f, north, top + s, top + s1);
        mesh.tvFace[f++].setTVerts(rings * columns + s, (rings - 1) * columns + s, (rings - 1) * columns + s + 1);
    }
    for (int r = 0; r < inner - 1; ++r) {
        for (int s = 0; s < segments; ++s) {
            const int s1 = (s + 1) % segments;
            const int a = r * segments + s, b = r * segments + s1;
            const int c = (r + 1) * segments + s1, d = (r + 1) * segments + s;
            const int row = r + 1;
            const int ta = row * columns + s, tb = row * columns + s + 1;
            const int tc = (row + 1) * columns + s + 1, td = (row + 1) * columns + s;
            setFace(mesh, f, a, b, c);
            mesh.tvFace[f++].setTVerts(ta, tb, tc);
            setFace(mesh, f, a, c, d);
            mesh.tvFace[f++].setTVerts(ta, tc, td);
        }
    }
    mesh.buildNormals();
    return mesh;
}

Mesh makeTagMarker() {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(2.0f, 0.0f, 0.0f);
    mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
    mesh.setNumFaces(1);
    setFace(mesh, 0, 0, 1, 2);
    mesh.buildNormals();
    return mesh;
}

}  // namespace host
