// A surface's frames as MD3 vertex records: one frame's mesh, under the frame's transform, turned
// into stored positions and normal bytes with the frame's bounds, without writing anything.
#ifndef BRINDLARK_SURFACE_FRAMES_H
#define BRINDLARK_SURFACE_FRAMES_H

#include <cstdint>
#include <vector>

#include <max.h>
#include <modelformat/byte_block.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/md3_format.h>

// One frame of a surface as stored.
struct SurfaceFrame {
    std::vector<modelformat::Md3Vertex> vertices;  // one record per surface vertex
    modelformat::FrameBounds bounds;               // of the stored positions
    bool clamped = false;                          // a coordinate lay outside the format's range

    // The records as the file holds them: x, y, z as little-endian int16, then the polar and
    // azimuth bytes, 8 bytes a vertex.
    void appendTo(modelformat::ByteBlock& block) const;
};

class SurfaceFrameEncoder {
public:
    // source gives the mesh vertex of each surface vertex; a vertex a frame's mesh lacks is taken
    // from startMesh. Both must outlive the encoder.
    SurfaceFrameEncoder(Mesh& startMesh, const std::vector<int>& source) : startMesh_(startMesh), source_(source) {}

    // Encodes a frame's mesh under the transform of its object space into the stored space.
    // Normals are built on the meshes when missing. From the first frame whose mesh has none, the
    // normals of that frame and every later one are stored as zero.
    void encode(Mesh& frameMesh, const Matrix3& transform, SurfaceFrame& frame);
    bool normalsMissing() const { return normalsMissing_; }

private:
    Mesh& startMesh_;
    const std::vector<int>& source_;
    bool normalsMissing_ = false;
};

#endif
